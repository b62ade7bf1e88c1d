// What the module loader tells the rest of the stand-in.
#pragma once

#include <windows.h>

namespace qf {

// Called (with the loader lock held) just before a module is unmapped: the window classes it
// registered go with it, so no class keeps a procedure that no longer exists.
void window_classes_forget_module(HINSTANCE module);

// True from the moment the process starts ending (the loader's detach at exit, DllMain with a
// non-null reserved argument) on. Windows has stopped the process's other threads by then; here
// they may still run, so what a detach frees must stay usable to them.
bool process_exiting();

}  // namespace qf
