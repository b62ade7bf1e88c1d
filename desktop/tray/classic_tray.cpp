// ClassicTray: GTK's GtkStatusIcon, which docks into the system tray of the display with the
// XEmbed protocol and follows trays that come and go. It is deprecated in GTK 3 because Wayland
// has no such tray, but it is the classic tray's client for X11 desktops.
#include "classic_tray.h"

#include "tray_log.h"
#include "tray_look.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

ClassicTray::ClassicTray(std::function<void()> openControlCenter)
    : openControlCenter_(std::move(openControlCenter)), icon_(gtk_status_icon_new()), menu_(gtk_menu_new()) {
    g_object_ref_sink(menu_);
    GtkWidget* item = gtk_menu_item_new_with_label(TRAY_OPEN_CONTROL_CENTER_LABEL);
    g_signal_connect(item, "activate", G_CALLBACK(onMenuItem), this);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu_), item);
    gtk_widget_show_all(menu_);
    gtk_status_icon_set_name(icon_, "quillfence-tray");
    g_signal_connect(icon_, "activate", G_CALLBACK(onActivate), this);
    g_signal_connect(icon_, "popup-menu", G_CALLBACK(onPopupMenu), this);
    showFilterState(-1);
    gtk_status_icon_set_visible(icon_, TRUE);
}

ClassicTray::~ClassicTray() {
    g_signal_handlers_disconnect_by_data(icon_, this);
    gtk_status_icon_set_visible(icon_, FALSE);
    g_object_unref(icon_);
    gtk_widget_destroy(menu_);
    g_object_unref(menu_);
}

void ClassicTray::showFilterState(int filterState) {
    if (filterState == filterState_) return;
    filterState_ = filterState;
    const StateLook& look = tray_look_of(filterState);
    gtk_status_icon_set_from_icon_name(icon_, look.iconName);
    // The title names the icon's window (what a tray lists); the tooltip adds the description.
    gtk_status_icon_set_title(icon_, look.title);
    gchar* tooltip = g_strdup_printf("%s\n%s", look.title, look.description);
    gtk_status_icon_set_tooltip_text(icon_, tooltip);
    g_free(tooltip);
}

void ClassicTray::checkDocked(std::uint64_t nowMs) {
    if (gtk_status_icon_is_embedded(icon_)) {
        undocked_ = false;
        undockedLogged_ = false;
        return;
    }
    if (!undocked_) {
        undocked_ = true;
        undockedSinceMs_ = nowMs;
    }
    if (!undockedLogged_ && nowMs - undockedSinceMs_ >= kDockWaitMs) {
        tray_log("no StatusNotifierWatcher on the session bus and no system tray on the X display: no tray icon is "
                 "shown until one starts (alerts are still shown)");
        undockedLogged_ = true;
    }
}

bool ClassicTray::displayHasClassicTray() {
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display);
#else
    return false;
#endif
}

void ClassicTray::onActivate(GtkStatusIcon*, gpointer data) { static_cast<ClassicTray*>(data)->openControlCenter_(); }

void ClassicTray::onPopupMenu(GtkStatusIcon* icon, unsigned button, unsigned time, gpointer data) {
    ClassicTray* self = static_cast<ClassicTray*>(data);
    gtk_menu_popup(GTK_MENU(self->menu_), NULL, NULL, gtk_status_icon_position_menu, icon, button, time);
}

void ClassicTray::onMenuItem(GtkWidget*, gpointer data) { static_cast<ClassicTray*>(data)->openControlCenter_(); }

G_GNUC_END_IGNORE_DEPRECATIONS
