// What the module loader tells the rest of the stand-in.
#pragma once

#include <windows.h>

namespace qf {

// Called (with the loader lock held) just before a module is unmapped: the window classes it
// registered go with it, so no class keeps a procedure that no longer exists.
void window_classes_forget_module(HINSTANCE module);

}  // namespace qf
