// The tray icon in the X display's classic system tray (XEmbed, the _NET_SYSTEM_TRAY_S<screen>
// selection), for desktops without a StatusNotifierWatcher: the same look and the same menu item
// as the StatusNotifierItem. The icon docks whenever a system tray runs on the display, also
// one that starts later. Needs GTK initialised on an X display.
#pragma once

#include <cstdint>
#include <functional>

typedef struct _GtkStatusIcon GtkStatusIcon;
typedef struct _GtkWidget GtkWidget;

class ClassicTray {
public:
    // How long the icon may wait to dock before a line says that no system tray takes it.
    static const std::uint64_t kDockWaitMs = 2000;

    // Shows the icon; openControlCenter runs for the menu item and for a click on the icon.
    explicit ClassicTray(std::function<void()> openControlCenter);
    // Takes the icon off the tray.
    ~ClassicTray();
    ClassicTray(const ClassicTray&) = delete;
    ClassicTray& operator=(const ClassicTray&) = delete;

    // filterState as VTTray_ProviderState gives it: 1 = on, 0 = off, -1 = not known.
    void showFilterState(int filterState);
    // Says once when the icon has not docked for kDockWaitMs (no system tray on the display),
    // and once more after it docked again and was lost.
    void checkDocked(std::uint64_t nowMs);

    // Whether an X display to offer the icon on is open (GTK initialised on X11).
    static bool displayHasClassicTray();

private:
    static void onActivate(GtkStatusIcon*, void* data);
    static void onPopupMenu(GtkStatusIcon*, unsigned button, unsigned time, void* data);
    static void onMenuItem(GtkWidget*, void* data);

    std::function<void()> openControlCenter_;
    GtkStatusIcon* icon_;
    GtkWidget* menu_;
    int filterState_ = -2;
    bool undocked_ = false;
    std::uint64_t undockedSinceMs_ = 0;
    bool undockedLogged_ = false;
};
