#include "window_snapshot.h"

#include <gtk/gtk.h>
#include <wx/window.h>

bool SaveWindowSnapshot(wxWindow* window, const std::string& pngPath, std::string& error) {
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    GdkWindow* shown = widget ? gtk_widget_get_window(widget) : nullptr;
    if (!shown || !gdk_window_is_viewable(shown)) {
        error = "the window is not shown";
        return false;
    }
    GdkPixbuf* picture =
        gdk_pixbuf_get_from_window(shown, 0, 0, gdk_window_get_width(shown), gdk_window_get_height(shown));
    if (!picture) {
        error = "the window's picture cannot be read";
        return false;
    }
    GError* failure = nullptr;
    const gboolean saved = gdk_pixbuf_save(picture, pngPath.c_str(), "png", &failure, NULL);
    g_object_unref(picture);
    if (!saved) {
        error = "cannot write " + pngPath + ": " + (failure ? failure->message : "unknown error");
        if (failure) g_error_free(failure);
        return false;
    }
    return true;
}
