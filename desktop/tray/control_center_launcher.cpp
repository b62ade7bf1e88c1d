#include "control_center_launcher.h"

#include <glib.h>

#include <unistd.h>

namespace {

const char kProgram[] = "configurator";

}  // namespace

std::string ControlCenterPath() {
    gchar* self = g_file_read_link("/proc/self/exe", NULL);
    if (!self) return kProgram;
    gchar* folder = g_path_get_dirname(self);
    gchar* path = g_build_filename(folder, kProgram, NULL);
    std::string result = path;
    g_free(path);
    g_free(folder);
    g_free(self);
    return result;
}

bool StartControlCenter(std::string& error) {
    const std::string path = ControlCenterPath();
    if (access(path.c_str(), X_OK) != 0) {
        error = "The Quillfence Control Center is not installed (" + path + " is missing).";
        return false;
    }
    gchar* argv[] = {const_cast<gchar*>(path.c_str()), NULL};
    GError* failure = nullptr;
    // Started through an intermediate child that GLib reaps: the Control Center is not the
    // tray's child and outlives a restart of the tray.
    const gboolean started = g_spawn_async(NULL, argv, NULL, G_SPAWN_DEFAULT, NULL, NULL, NULL, &failure);
    if (!started) {
        error = "The Quillfence Control Center could not be started: " + std::string(failure->message);
        g_error_free(failure);
        return false;
    }
    return true;
}
