// The tray agent's own alert window, for where no notification service shows its notices: the
// caption as the window's title and heading, the text below, and an OK button. One notice at a
// time: what comes while it is open waits and is shown next, as one notice with its count, so a
// burst never opens a flood of windows. Ctrl+C copies the caption and text, as a Windows message
// box does. Needs GTK initialised on a display.
#pragma once

#include <functional>
#include <string>

typedef struct _GtkWidget GtkWidget;
typedef union _GdkEvent GdkEvent;
typedef struct _GdkEventKey GdkEventKey;

class AlertWindow {
public:
    AlertWindow() = default;
    // Closes a window still open (its dismissed is not called).
    ~AlertWindow();
    AlertWindow(const AlertWindow&) = delete;
    AlertWindow& operator=(const AlertWindow&) = delete;

    // Shows caption and text (lines separated by "\n"); dismissed runs once the person closed it
    // with OK or the window's close. False while another notice is open.
    bool show(const std::string& caption, const std::string& text, std::function<void()> dismissed);
    bool isOpen() const { return window_ != nullptr; }

    // Whether GTK has a display for windows.
    static bool displayAvailable();

private:
    static void onOk(GtkWidget*, void* data);
    static int onDelete(GtkWidget*, GdkEvent*, void* data);
    static int onKey(GtkWidget*, GdkEventKey* event, void* data);
    void dismiss();

    GtkWidget* window_ = nullptr;
    std::string copyText_;
    std::function<void()> dismissed_;
};
