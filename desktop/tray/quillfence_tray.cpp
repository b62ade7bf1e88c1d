// quillfence-tray [--root DIR]: the tray agent of the desktop session. Shows whether filtering is
// on and the alerts of the machine's programs; ends on SIGTERM, SIGINT or SIGHUP. One runs per
// session: a second one says so and ends.
#include "single_agent.h"
#include "tray_agent.h"
#include "tray_log.h"

#include <machine_root_option.h>
#include <vtmessage.h>

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <signal.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const char kUsage[] =
    "usage: quillfence-tray [--root DIR]\n"
    "  shows whether filtering is on (tray icon) and the alerts of the filtered programs\n"
    "  (desktop notifications, else a window of its own) until it is ended\n"
    "  --root DIR   the machine root (default: $QUILLFENCE_ROOT, else $XDG_DATA_HOME/quillfence)\n";

int usage_error(const std::string& message) {
    fprintf(stderr, "quillfence-tray: %s\n%s", message.c_str(), kUsage);
    return 2;
}

gboolean quit(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_CONTINUE;
}

gboolean tick(gpointer agent) {
    static_cast<TrayAgent*>(agent)->tick();
    return G_SOURCE_CONTINUE;
}

// The agent from its connection to the session bus to its end; the exit code.
int run_agent(GMainLoop* loop) {
    GError* failure = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, NULL, &failure);
    if (!bus) {
        tray_log("no session bus (%s): there is nowhere to show the tray icon or the alerts", failure->message);
        g_error_free(failure);
        return 1;
    }
    // The session's end closes the bus: end then as on SIGTERM, not at once.
    g_dbus_connection_set_exit_on_close(bus, FALSE);

    // Alerts shown by two agents would be shown twice.
    std::string error;
    switch (ClaimSessionAgent(bus, error)) {
    case AgentClaim::Claimed:
        break;
    case AgentClaim::AlreadyRuns:
        tray_log("a tray agent already runs in this session (%s on the session bus): this one ends",
                 TRAY_AGENT_BUS_NAME);
        g_object_unref(bus);
        return 0;
    case AgentClaim::Failed:
        tray_log("%s", error.c_str());
        g_object_unref(bus);
        return 1;
    }

    // The display, when the session has one, for the classic tray (X11 only) and the alert
    // window; GTK's events come through the same main loop as the bus's.
    gdk_set_allowed_backends("x11,*");
    if (!gtk_init_check(NULL, NULL))
        tray_log("no display: the tray agent shows no window of its own");

    gulong closed = g_signal_connect_swapped(bus, "closed", G_CALLBACK(g_main_loop_quit), loop);
    {
        TrayAgent agent(bus);
        agent.tick();
        const guint ticks = g_timeout_add(TrayAgent::kTickMs, tick, &agent);
        g_main_loop_run(loop);
        g_source_remove(ticks);
    }
    g_signal_handler_disconnect(bus, closed);
    g_object_unref(bus);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    bool rootGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printf("%s", kUsage);
            return 0;
        }
        if (rootGiven && (arg == "--root" || arg.rfind("--root=", 0) == 0)) return usage_error("--root is given twice");
        if (arg == "--root" && i + 1 < argc) {
            root = argv[++i];
        } else if (arg.rfind("--root=", 0) == 0) {
            root = arg.substr(7);
        } else if (arg == "--root") {
            return usage_error("--root needs a directory");
        } else {
            return usage_error("unexpected argument '" + arg + "'");
        }
        if (root.empty()) return usage_error("--root needs a directory");
        rootGiven = true;
    }
    std::string error;
    if (!SelectMachineRoot(rootGiven, root, error)) {
        tray_log("%s", error.c_str());
        return 1;
    }

    // Signals end the agent cleanly from here on, also one that comes while it starts.
    GMainLoop* loop = g_main_loop_new(NULL, FALSE);
    const guint signals[] = {g_unix_signal_add(SIGTERM, quit, loop), g_unix_signal_add(SIGINT, quit, loop),
                             g_unix_signal_add(SIGHUP, quit, loop)};
    const int code = run_agent(loop);
    for (guint source : signals) g_source_remove(source);
    g_main_loop_unref(loop);
    VTMessage_Close();
    return code;
}
