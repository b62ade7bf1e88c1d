// The stand-in's kernel object handles: every HANDLE made by the Win32 stand-in (files, events,
// threads, ...) names a KernelObject in one process-wide table. CloseHandle drops the table's
// reference; the object is destroyed when the last call holding it lets go.
#pragma once

#include <windows.h>

#include <memory>

namespace qf {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

HANDLE handle_insert(std::shared_ptr<KernelObject> object);
// Look-ups ignore the low two bits of the handle value, as Windows does (they are tag bits).
std::shared_ptr<KernelObject> handle_lookup(HANDLE handle);
// Removes the handle (tag bits ignored); false when it names no object.
bool handle_remove(HANDLE handle);

template <class T>
std::shared_ptr<T> handle_lookup_as(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(handle_lookup(handle));
}

}  // namespace qf
