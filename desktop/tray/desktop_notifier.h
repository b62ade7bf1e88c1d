// Desktop notifications: the Notify method of org.freedesktop.Notifications on the session bus.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>

class DesktopNotifier {
public:
    // Calls go out on bus; their answers come in the calling thread's main context.
    explicit DesktopNotifier(GDBusConnection* bus);
    // Waits up to a second for the answers of the calls under way (their done is called), then
    // cancels the rest (their done is not called).
    ~DesktopNotifier();
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    // done(true) once the notification service has taken the notification, done(false) when no
    // service runs or it refused (a line says so, once until a notification is shown again).
    using Done = std::function<void(bool shown)>;
    // summary and body (lines separated by "\n") as they are: escaped for a service that reads
    // markup in the body.
    void notify(const std::string& summary, const std::string& body, Done done);

    // What the line about a missing or refusing service says happens to the alerts.
    void setOutageOutcome(const std::string& outcome) { outageOutcome_ = outcome; }

    // Calls still waiting for their answer.
    int underWay() const { return underWay_; }

private:
    struct Call;
    static void onCapabilities(GObject* source, GAsyncResult* result, gpointer data);
    static void onNotified(GObject* source, GAsyncResult* result, gpointer data);
    void finish(Call* call, bool shown, GError* error);

    GDBusConnection* bus_;
    GMainContext* context_;
    GCancellable* cancellable_;
    int underWay_ = 0;
    bool outageLogged_ = false;
    std::string outageOutcome_ = "alerts are kept until a notification service runs";
};
