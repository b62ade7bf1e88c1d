#include "system_tray_manager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <stdexcept>

namespace qf_test {

namespace {

const long kRequestDock = 0;         // SYSTEM_TRAY_REQUEST_DOCK
const long kEmbeddedNotify = 0;      // XEMBED_EMBEDDED_NOTIFY
const int kIconSize = 24;
const int kPollMs = 20;

// An icon may go between its request and the docking: the errors that follow are expected.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

}  // namespace

SystemTrayManager::SystemTrayManager(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    if (!display_) throw std::runtime_error("cannot open display " + display);
    XSetErrorHandler(ignore_x_error);
    const int screen = DefaultScreen(display_);
    const Window root = RootWindow(display_, screen);
    XSetWindowAttributes attributes;
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(display_, screen);
    window_ = XCreateWindow(display_, root, 0, 0, 8 * kIconSize, kIconSize, 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XSelectInput(display_, window_, SubstructureNotifyMask | StructureNotifyMask);
    long orientation = 0;  // horizontal
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_SYSTEM_TRAY_ORIENTATION", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&orientation), 1);
    long visual = (long)XVisualIDFromVisual(DefaultVisual(display_, screen));
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_SYSTEM_TRAY_VISUAL", False), XA_VISUALID, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&visual), 1);
    XMapWindow(display_, window_);
    opcodeAtom_ = XInternAtom(display_, "_NET_SYSTEM_TRAY_OPCODE", False);
    xembedAtom_ = XInternAtom(display_, "_XEMBED", False);

    const Atom selection = XInternAtom(display_, ("_NET_SYSTEM_TRAY_S" + std::to_string(screen)).c_str(), False);
    if (XGetSelectionOwner(display_, selection) != None) {
        XCloseDisplay(display_);
        throw std::runtime_error("a system tray runs on the display already");
    }
    XSetSelectionOwner(display_, selection, window_, CurrentTime);
    XEvent manager = {};
    manager.xclient.type = ClientMessage;
    manager.xclient.window = root;
    manager.xclient.message_type = XInternAtom(display_, "MANAGER", False);
    manager.xclient.format = 32;
    manager.xclient.data.l[0] = CurrentTime;
    manager.xclient.data.l[1] = (long)selection;
    manager.xclient.data.l[2] = (long)window_;
    XSendEvent(display_, root, False, StructureNotifyMask, &manager);
    XFlush(display_);
    thread_ = std::thread([this] { run(); });
}

SystemTrayManager::~SystemTrayManager() {
    stopping_ = true;
    thread_.join();
    XCloseDisplay(display_);
}

std::vector<unsigned long> SystemTrayManager::docked() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return docked_;
}

void SystemTrayManager::run() {
    struct pollfd connection = {ConnectionNumber(display_), POLLIN, 0};
    while (!stopping_) {
        if (!XPending(display_)) {
            poll(&connection, 1, kPollMs);
            continue;
        }
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == ClientMessage && event.xclient.message_type == opcodeAtom_ &&
            event.xclient.data.l[1] == kRequestDock) {
            dock((unsigned long)event.xclient.data.l[2]);
        } else if (event.type == DestroyNotify) {
            undock(event.xdestroywindow.window);
        } else if (event.type == ReparentNotify && event.xreparent.parent != window_) {
            undock(event.xreparent.window);
        }
    }
}

void SystemTrayManager::dock(unsigned long icon) {
    size_t slot;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (std::find(docked_.begin(), docked_.end(), icon) != docked_.end()) return;
        slot = docked_.size();
    }
    // An icon that went before its request was read (GTK makes its window again when the tray's
    // visual differs) is not docked; one that goes after this is undocked on its DestroyNotify.
    XSelectInput(display_, icon, StructureNotifyMask | PropertyChangeMask);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, icon, &attributes)) return;
    XResizeWindow(display_, icon, kIconSize, kIconSize);
    XReparentWindow(display_, icon, window_, (int)slot * kIconSize, 0);
    XMapRaised(display_, icon);
    XEvent embedded = {};
    embedded.xclient.type = ClientMessage;
    embedded.xclient.window = icon;
    embedded.xclient.message_type = xembedAtom_;
    embedded.xclient.format = 32;
    embedded.xclient.data.l[0] = CurrentTime;
    embedded.xclient.data.l[1] = kEmbeddedNotify;
    embedded.xclient.data.l[3] = (long)window_;
    embedded.xclient.data.l[4] = 0;  // XEmbed version
    XSendEvent(display_, icon, False, NoEventMask, &embedded);
    XSync(display_, False);
    std::lock_guard<std::mutex> hold(mutex_);
    docked_.push_back(icon);
}

void SystemTrayManager::undock(unsigned long icon) {
    std::lock_guard<std::mutex> hold(mutex_);
    docked_.erase(std::remove(docked_.begin(), docked_.end(), icon), docked_.end());
}

}  // namespace qf_test
