// DesktopNotifier: each notification asks the service for its capabilities first (the service
// may have been replaced since the last one), then sends Notify.
#include "desktop_notifier.h"

#include "tray_log.h"

namespace {

const char kService[] = "org.freedesktop.Notifications";
const char kPath[] = "/org/freedesktop/Notifications";
const char kInterface[] = "org.freedesktop.Notifications";
const char kAppName[] = "Quillfence";
const char kAppIcon[] = "dialog-warning";
const int kCallTimeoutMs = 5000;
const guint kEndGraceMs = 1000;  // how long the end waits for the answers of calls under way

bool has_capability(GVariant* reply, const char* wanted) {
    GVariantIter* capabilities = nullptr;
    g_variant_get(reply, "(as)", &capabilities);
    bool found = false;
    const char* capability;
    while (g_variant_iter_next(capabilities, "&s", &capability))
        if (g_strcmp0(capability, wanted) == 0) found = true;
    g_variant_iter_free(capabilities);
    return found;
}

}  // namespace

struct DesktopNotifier::Call {
    DesktopNotifier* notifier;
    std::string summary;
    std::string body;
    Done done;
};

DesktopNotifier::DesktopNotifier(GDBusConnection* bus)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))),
      context_(g_main_context_ref_thread_default()),
      cancellable_(g_cancellable_new()) {}

DesktopNotifier::~DesktopNotifier() {
    // A notification the service already has is answered at once: wait a little for its answer,
    // so that what was shown is recorded as shown.
    if (underWay_ > 0) {
        bool late = false;
        GSource* timer = g_timeout_source_new(kEndGraceMs);
        g_source_set_callback(
            timer, [](gpointer flag) -> gboolean {
                *static_cast<bool*>(flag) = true;
                return G_SOURCE_REMOVE;
            },
            &late, NULL);
        g_source_attach(timer, context_);
        while (underWay_ > 0 && !late) g_main_context_iteration(context_, TRUE);
        g_source_destroy(timer);
        g_source_unref(timer);
    }
    g_cancellable_cancel(cancellable_);
    while (underWay_ > 0) g_main_context_iteration(context_, TRUE);
    g_object_unref(cancellable_);
    g_main_context_unref(context_);
    g_object_unref(bus_);
}

void DesktopNotifier::notify(const std::string& summary, const std::string& body, Done done) {
    Call* call = new Call{this, summary, body, std::move(done)};
    ++underWay_;
    g_dbus_connection_call(bus_, kService, kPath, kInterface, "GetCapabilities", NULL, G_VARIANT_TYPE("(as)"),
                           G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, cancellable_, onCapabilities, call);
}

void DesktopNotifier::onCapabilities(GObject* source, GAsyncResult* result, gpointer data) {
    Call* call = static_cast<Call*>(data);
    DesktopNotifier* self = call->notifier;
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (!reply) {
        self->finish(call, false, error);
        return;
    }
    const bool markup = has_capability(reply, "body-markup");
    g_variant_unref(reply);
    gchar* body = markup ? g_markup_escape_text(call->body.c_str(), -1) : g_strdup(call->body.c_str());
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    GVariant* parameters = g_variant_new("(susssasa{sv}i)", kAppName, 0u, kAppIcon, call->summary.c_str(), body, NULL,
                                         &hints, -1);
    g_free(body);
    g_dbus_connection_call(self->bus_, kService, kPath, kInterface, "Notify", parameters, G_VARIANT_TYPE("(u)"),
                           G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, self->cancellable_, onNotified, call);
}

void DesktopNotifier::onNotified(GObject* source, GAsyncResult* result, gpointer data) {
    Call* call = static_cast<Call*>(data);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply) g_variant_unref(reply);
    call->notifier->finish(call, reply != nullptr, error);
}

void DesktopNotifier::finish(Call* call, bool shown, GError* error) {
    const bool cancelled = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    if (shown) {
        outageLogged_ = false;
    } else if (!cancelled && !outageLogged_) {
        tray_log("no desktop notification shown (%s: %s); %s", kService, error ? error->message : "no answer",
                 outageOutcome_.c_str());
        outageLogged_ = true;
    }
    if (error) g_error_free(error);
    --underWay_;
    if (!cancelled && call->done) call->done(shown);
    delete call;
}
