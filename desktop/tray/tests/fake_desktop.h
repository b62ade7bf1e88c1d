// The desktop's side of the session bus, as a test plays it: a notification service that records
// every Notify call, and a StatusNotifierWatcher that records every registered item. Their calls
// are answered on a thread of their own; the test asks the agent's objects directly.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tray_test {

struct SeenNotification {
    std::string appName;
    std::string summary;
    std::string body;
};

class FakeDesktop {
public:
    explicit FakeDesktop(const std::string& busAddress);
    ~FakeDesktop();
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    // Owns org.freedesktop.Notifications, answering GetCapabilities with capabilities.
    void startNotifications(const std::vector<std::string>& capabilities = {"body"});
    // Owns org.kde.StatusNotifierWatcher.
    void startWatcher();
    // Gives the watcher's name up, as a panel that ends does.
    void stopWatcher();
    // Whether a connection owns name on the bus.
    bool nameHasOwner(const char* name);

    std::vector<SeenNotification> notifications() const;
    // The service names items registered with, in order.
    std::vector<std::string> registeredItems() const;

    // A string property of the item org.kde.StatusNotifierItem at /StatusNotifierItem of service
    // ("" when it cannot be read).
    std::string itemText(const std::string& service, const char* property);
    // The title in the item's ToolTip.
    std::string itemToolTipTitle(const std::string& service);
    // Calls a method of the item's menu (at the path of its Menu property); the reply, or NULL.
    GVariant* callMenu(const std::string& service, const char* method, GVariant* parameters,
                       const char* replyType);

    // Waits up to timeoutMs for condition to hold.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs);

private:
    static void onMethod(GDBusConnection*, const gchar* sender, const gchar*, const gchar* interfaceName,
                         const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data);
    void own(const char* name, const char* xml, const char* path);
    GVariant* itemProperty(const std::string& service, const char* property);

    GMainContext* context_;
    GMainLoop* loop_;
    GDBusConnection* bus_;
    std::thread thread_;
    std::vector<GDBusNodeInfo*> infos_;
    std::vector<guint> objects_;
    mutable std::mutex mutex_;
    std::vector<std::string> capabilities_;
    std::vector<SeenNotification> notifications_;
    std::vector<std::string> items_;
};

}  // namespace tray_test
