// The tray icon where the desktop has a StatusNotifierWatcher: an org.kde.StatusNotifierItem on
// the session bus that shows whether filtering is on, with a menu (com.canonical.dbusmenu) whose
// one item opens the Control Center. The item registers with every watcher that appears, and
// says whether a watcher shows it, so that the agent can offer the classic tray meanwhile.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>

class StatusItem {
public:
    // Exports the item and its menu on bus and owns the item's name; the calls come in on the
    // calling thread's main context. openControlCenter runs for the menu item and for a click on
    // the icon. watched(true) runs once a watcher has taken the item, watched(false) when none
    // runs (first at start), the watcher went, or it refused the item.
    StatusItem(GDBusConnection* bus, std::function<void()> openControlCenter, std::function<void(bool)> watched);
    ~StatusItem();
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    // filterState as VTTray_ProviderState gives it: 1 = on, 0 = off, -1 = not known.
    void showFilterState(int filterState);

    // The item's bus name ("org.kde.StatusNotifierItem-PID-1").
    const std::string& busName() const { return busName_; }

private:
    static void onItemMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                             GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data);
    static GVariant* onItemProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                                    GError** error, gpointer data);
    static void onMenuMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                             GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data);
    static GVariant* onMenuProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                                    GError** error, gpointer data);
    static void onNameAcquired(GDBusConnection*, const gchar*, gpointer data);
    static void onWatcherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data);
    static void onWatcherVanished(GDBusConnection*, const gchar*, gpointer data);
    static void onRegistered(GObject* source, GAsyncResult* result, gpointer data);
    void registerWithWatcher();
    void emit(const char* signal, GVariant* parameters);

    GDBusConnection* bus_;
    std::function<void()> openControlCenter_;
    std::function<void(bool)> watched_;
    std::string busName_;
    GDBusNodeInfo* itemInfo_ = nullptr;
    GDBusNodeInfo* menuInfo_ = nullptr;
    guint itemObject_ = 0;
    guint menuObject_ = 0;
    guint nameOwner_ = 0;
    guint watcherWatch_ = 0;
    GCancellable* cancellable_;
    int registrationsUnderWay_ = 0;
    bool nameAcquired_ = false;
    bool watcherPresent_ = false;
    int filterState_ = -1;
};
