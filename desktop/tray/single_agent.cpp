#include "single_agent.h"

namespace {

const guint32 kDoNotQueue = 4;  // DBUS_NAME_FLAG_DO_NOT_QUEUE
const guint32 kPrimaryOwner = 1;
const guint32 kExists = 3;
const guint32 kAlreadyOwner = 4;
const int kCallTimeoutMs = 5000;

}  // namespace

AgentClaim ClaimSessionAgent(GDBusConnection* bus, std::string& error) {
    GError* failure = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", TRAY_AGENT_BUS_NAME, kDoNotQueue), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE,
        kCallTimeoutMs, NULL, &failure);
    if (!reply) {
        error = std::string("the session bus did not give the name " TRAY_AGENT_BUS_NAME ": ") + failure->message;
        g_error_free(failure);
        return AgentClaim::Failed;
    }
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
    if (result == kPrimaryOwner || result == kAlreadyOwner) return AgentClaim::Claimed;
    if (result == kExists) return AgentClaim::AlreadyRuns;
    error = "the session bus answered " + std::to_string(result) + " for the name " TRAY_AGENT_BUS_NAME;
    return AgentClaim::Failed;
}
