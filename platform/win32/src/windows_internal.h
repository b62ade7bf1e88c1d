// Windows, classes and message queues of the stand-in: the parts the winuser sources share.
#pragma once

#include "thread_state.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qf {

struct WindowClass {
    std::string name;  // as registered
    WNDCLASSA info;    // lpszClassName and lpszMenuName are not kept
    ATOM atom;
    // A class of a module that has been unloaded: kept, but no window is made of it until the
    // module (by its name) is loaded again. Its instance is then null.
    bool dormant = false;
    std::string moduleName;
    bool procInModule = false;  // lpfnWndProc was procOffset into the module's mapping
    uintptr_t procOffset = 0;
};

struct Window {
    HWND hwnd;
    DWORD threadId;
    ATOM classAtom;
    // Guarded by windows_lock().
    WNDPROC proc;
    HINSTANCE instance;
    HWND parent;
    LONG_PTR id;
    LONG_PTR userData = 0;
    int extraSize;                     // cbWndExtra of the class
    std::vector<unsigned char> extra;  // extraSize bytes, plus room for a pointer at the last 32-bit index
    bool destroying = false;
};

// A message sent to a window of another thread, waiting for that thread to call the procedure.
struct SentMessage {
    MSG msg;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<struct MessageQueue> sender;
};

struct MessageQueue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quitCode = 0;
    bool ended = false;  // the thread has ended: nothing more is taken
};

std::mutex& windows_lock();
// With windows_lock() held.
std::shared_ptr<Window> window_find(HWND hwnd);
// The class for a new window: by atom or name, preferring the given module's class.
bool window_class_find(LPCSTR classNameOrAtom, HINSTANCE module, WindowClass& out);
bool window_class_has_windows(ATOM atom);

// The message queue of a live thread, made on first need; null when the thread has ended.
std::shared_ptr<MessageQueue> message_queue_of(DWORD threadId);
std::shared_ptr<MessageQueue> current_message_queue();
// Removes the posted messages of a window that is being destroyed.
void message_queue_discard_window(DWORD threadId, HWND hwnd);
// Runs the messages sent to the calling thread from other threads; with the queue lock held
// (released around each call). Answers whether any ran.
bool message_queue_run_sent(MessageQueue& queue, std::unique_lock<std::mutex>& held);

}  // namespace qf
