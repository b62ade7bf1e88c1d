#include "fake_desktop.h"

#include <chrono>
#include <condition_variable>
#include <stdexcept>

namespace tray_test {

namespace {

const char kNotificationsXml[] =
    "<node><interface name='org.freedesktop.Notifications'>"
    " <method name='GetCapabilities'><arg type='as' direction='out'/></method>"
    " <method name='Notify'><arg type='s' direction='in'/><arg type='u' direction='in'/>"
    "  <arg type='s' direction='in'/><arg type='s' direction='in'/><arg type='s' direction='in'/>"
    "  <arg type='as' direction='in'/><arg type='a{sv}' direction='in'/><arg type='i' direction='in'/>"
    "  <arg type='u' direction='out'/></method>"
    " <method name='CloseNotification'><arg type='u' direction='in'/></method>"
    " <method name='GetServerInformation'><arg type='s' direction='out'/><arg type='s' direction='out'/>"
    "  <arg type='s' direction='out'/><arg type='s' direction='out'/></method>"
    "</interface></node>";

const char kWatcherXml[] =
    "<node><interface name='org.kde.StatusNotifierWatcher'>"
    " <method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>"
    " <method name='RegisterStatusNotifierHost'><arg type='s' direction='in'/></method>"
    "</interface></node>";

}  // namespace

FakeDesktop::FakeDesktop(const std::string& busAddress)
    : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
    GError* error = nullptr;
    bus_ = g_dbus_connection_new_for_address_sync(
        busAddress.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        NULL, NULL, &error);
    if (!bus_) {
        std::string message = error->message;
        g_error_free(error);
        g_main_loop_unref(loop_);
        g_main_context_unref(context_);
        throw std::runtime_error("cannot connect to the test bus: " + message);
    }
    thread_ = std::thread([this] {
        g_main_context_push_thread_default(context_);
        g_main_loop_run(loop_);
        g_main_context_pop_thread_default(context_);
    });
}

FakeDesktop::~FakeDesktop() {
    for (guint object : objects_) g_dbus_connection_unregister_object(bus_, object);
    g_dbus_connection_close_sync(bus_, NULL, NULL);
    g_main_loop_quit(loop_);
    thread_.join();
    // What the closed connection still dispatches to the context.
    while (g_main_context_iteration(context_, FALSE)) {
    }
    g_object_unref(bus_);
    for (GDBusNodeInfo* info : infos_) g_dbus_node_info_unref(info);
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
}

void FakeDesktop::own(const char* name, const char* xml, const char* path) {
    GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(xml, NULL);
    infos_.push_back(info);
    // The object is registered on the service thread, so that its calls are answered there.
    struct Registration {
        FakeDesktop* self;
        GDBusInterfaceInfo* interface;
        const char* path;
        guint object = 0;
        bool done = false;
        std::mutex mutex;
        std::condition_variable finished;
    } registration{this, info->interfaces[0], path, 0, false, {}, {}};
    g_main_context_invoke(
        context_,
        [](gpointer data) -> gboolean {
            static const GDBusInterfaceVTable table = {onMethod, NULL, NULL, {0}};
            Registration& r = *static_cast<Registration*>(data);
            const guint object =
                g_dbus_connection_register_object(r.self->bus_, r.path, r.interface, &table, r.self, NULL, NULL);
            std::lock_guard<std::mutex> hold(r.mutex);
            r.object = object;
            r.done = true;
            r.finished.notify_all();
            return G_SOURCE_REMOVE;
        },
        &registration);
    {
        std::unique_lock<std::mutex> hold(registration.mutex);
        registration.finished.wait(hold, [&] { return registration.done; });
    }
    if (!registration.object) throw std::runtime_error(std::string("cannot export ") + path);
    objects_.push_back(registration.object);
    GVariant* reply =
        g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                    "RequestName", g_variant_new("(su)", name, 4u), G_VARIANT_TYPE("(u)"),
                                    G_DBUS_CALL_FLAGS_NONE, 5000, NULL, NULL);
    guint32 result = 0;
    if (reply) {
        g_variant_get(reply, "(u)", &result);
        g_variant_unref(reply);
    }
    if (result != 1) throw std::runtime_error(std::string("cannot own ") + name);
}

void FakeDesktop::startNotifications(const std::vector<std::string>& capabilities) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        capabilities_ = capabilities;
    }
    own("org.freedesktop.Notifications", kNotificationsXml, "/org/freedesktop/Notifications");
}

void FakeDesktop::startWatcher() { own("org.kde.StatusNotifierWatcher", kWatcherXml, "/StatusNotifierWatcher"); }

void FakeDesktop::stopWatcher() {
    GVariant* reply = g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "ReleaseName",
                                                  g_variant_new("(s)", "org.kde.StatusNotifierWatcher"),
                                                  G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, NULL, NULL);
    if (!reply) throw std::runtime_error("cannot release org.kde.StatusNotifierWatcher");
    g_variant_unref(reply);
}

bool FakeDesktop::nameHasOwner(const char* name) {
    GVariant* reply = g_dbus_connection_call_sync(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                                                  G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 5000, NULL, NULL);
    if (!reply) return false;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

void FakeDesktop::onMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    FakeDesktop* self = static_cast<FakeDesktop*>(data);
    const std::string name = method;
    std::lock_guard<std::mutex> hold(self->mutex_);
    if (name == "GetCapabilities") {
        GVariantBuilder list;
        g_variant_builder_init(&list, G_VARIANT_TYPE("as"));
        for (const std::string& capability : self->capabilities_) g_variant_builder_add(&list, "s", capability.c_str());
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(as)", &list));
    } else if (name == "Notify") {
        const gchar *app, *icon, *summary, *body;
        guint32 replaces;
        g_variant_get(parameters, "(&su&s&s&s@as@a{sv}i)", &app, &replaces, &icon, &summary, &body, NULL, NULL, NULL);
        self->notifications_.push_back({app, summary, body});
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", (guint32)self->notifications_.size()));
    } else if (name == "GetServerInformation") {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(ssss)", "fake", "test", "1", "1.2"));
    } else if (name == "RegisterStatusNotifierItem") {
        const gchar* service;
        g_variant_get(parameters, "(&s)", &service);
        self->items_.push_back(service);
        g_dbus_method_invocation_return_value(invocation, NULL);
    } else {
        g_dbus_method_invocation_return_value(invocation, NULL);
    }
}

std::vector<SeenNotification> FakeDesktop::notifications() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return notifications_;
}

std::vector<std::string> FakeDesktop::registeredItems() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return items_;
}

GVariant* FakeDesktop::itemProperty(const std::string& service, const char* property) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, service.c_str(), "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.kde.StatusNotifierItem", property), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
        5000, NULL, NULL);
    if (!reply) return NULL;
    GVariant* value = NULL;
    g_variant_get(reply, "(v)", &value);
    g_variant_unref(reply);
    return value;
}

std::string FakeDesktop::itemText(const std::string& service, const char* property) {
    GVariant* value = itemProperty(service, property);
    if (!value) return "";
    std::string text = g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ||
                               g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH)
                           ? g_variant_get_string(value, NULL)
                           : "";
    g_variant_unref(value);
    return text;
}

std::string FakeDesktop::itemToolTipTitle(const std::string& service) {
    GVariant* value = itemProperty(service, "ToolTip");
    if (!value) return "";
    std::string title;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE("(sa(iiay)ss)"))) {
        const gchar* text = nullptr;
        g_variant_get(value, "(&s@a(iiay)&s&s)", NULL, NULL, &text, NULL);
        title = text;
    }
    g_variant_unref(value);
    return title;
}

GVariant* FakeDesktop::callMenu(const std::string& service, const char* method, GVariant* parameters,
                                const char* replyType) {
    const std::string menu = itemText(service, "Menu");
    if (menu.empty()) {
        g_variant_unref(g_variant_ref_sink(parameters));
        return NULL;
    }
    return g_dbus_connection_call_sync(bus_, service.c_str(), menu.c_str(), "com.canonical.dbusmenu", method,
                                       parameters, replyType ? G_VARIANT_TYPE(replyType) : NULL,
                                       G_DBUS_CALL_FLAGS_NONE, 5000, NULL, NULL);
}

bool FakeDesktop::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace tray_test
