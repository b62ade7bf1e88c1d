// What the module loader tells the rest of the stand-in.
#pragma once

#include <windows.h>

#include <string>

namespace qf {

// Called (with the loader lock held) just before a module is unmapped. Its window classes stay
// registered, as Windows keeps them, but dormant: no window is made of them while the module is
// away (their procedures are not mapped).
void window_classes_module_unloading(HINSTANCE module, const std::string& moduleName);
// Called (with the loader lock held) when a module has been mapped, before its DllMain runs: the
// dormant classes of the module of that name are its classes again, their procedures at the same
// place in the new mapping.
void window_classes_module_loaded(HINSTANCE module, const std::string& moduleName);

// Where address lies in module's mapping: false when it lies outside the module.
bool module_offset_of(HMODULE module, const void* address, uintptr_t& offset);
// The address at offset in module's mapping.
void* module_address_at(HMODULE module, uintptr_t offset);

// True from the moment the process starts ending (the loader's detach at exit, DllMain with a
// non-null reserved argument) on. Windows has stopped the process's other threads by then; here
// they may still run, so what a detach frees must stay usable to them.
bool process_exiting();

}  // namespace qf
