#include "x_probe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>

#include <chrono>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace qf_test {

namespace {

const int kTreeDepth = 4;
const int kAnswerMs = 3000;
const int kXdotoolMs = 10000;

// Windows may go while the tree is read: the errors that follow are expected.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

std::string text_property(Display* display, Window window, Atom property, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actual, &format, &count, &after, &data) !=
            Success ||
        !data)
        return "";
    std::string text = format == 8 ? std::string(reinterpret_cast<char*>(data), count) : "";
    XFree(data);
    return text;
}

}  // namespace

XProbe::XProbe(const std::string& display) : name_(display), display_(XOpenDisplay(display.c_str())) {
    if (!display_) throw std::runtime_error("cannot open display " + display);
    XSetErrorHandler(ignore_x_error);
    requestor_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
}

XProbe::~XProbe() { XCloseDisplay(display_); }

std::string XProbe::title(unsigned long window) {
    const std::string wide = text_property(display_, window, XInternAtom(display_, "_NET_WM_NAME", False),
                                           XInternAtom(display_, "UTF8_STRING", False));
    return wide.empty() ? text_property(display_, window, XA_WM_NAME, AnyPropertyType) : wide;
}

std::vector<unsigned long> XProbe::windowsTitled(const std::string& title) {
    std::vector<unsigned long> found;
    collect(DefaultRootWindow(display_), title, 0, found);
    return found;
}

void XProbe::collect(unsigned long parent, const std::string& wanted, int depth, std::vector<unsigned long>& found) {
    Window root, above;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, parent, &root, &above, &children, &count)) return;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, children[i], &attributes) || attributes.map_state != IsViewable) continue;
        if (title(children[i]) == wanted) found.push_back(children[i]);
        if (depth + 1 < kTreeDepth) collect(children[i], wanted, depth + 1, found);
    }
    if (children) XFree(children);
}

void XProbe::askToClose(unsigned long window) {
    XEvent close = {};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = (long)XInternAtom(display_, "WM_DELETE_WINDOW", False);
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &close);
    XFlush(display_);
}

std::string XProbe::clipboard() {
    const Atom selection = XInternAtom(display_, "CLIPBOARD", False);
    const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    const Atom property = XInternAtom(display_, "QF_PROBE_CLIPBOARD", False);
    XDeleteProperty(display_, requestor_, property);
    XConvertSelection(display_, selection, utf8, property, requestor_, CurrentTime);
    XFlush(display_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerMs);
    XEvent event;
    while (!XCheckTypedWindowEvent(display_, requestor_, SelectionNotify, &event)) {
        if (std::chrono::steady_clock::now() >= deadline) return "";
        struct pollfd connection = {ConnectionNumber(display_), POLLIN, 0};
        poll(&connection, 1, 20);
    }
    if (event.xselection.property == None) return "";
    return text_property(display_, requestor_, property, utf8);
}

int XProbe::xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        if (strncmp(*entry, "DISPLAY=", 8) != 0) environment.push_back(*entry);
    environment.push_back("DISPLAY=" + name_);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(&entry[0]);
    envp.push_back(nullptr);
    std::vector<std::string> words = {XDOTOOL};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, XDOTOOL, nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kXdotoolMs);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qf_test
