// A PNG picture of a shown top-level window, read back from the X server (GTK 3).
#pragma once

#include <string>

class wxWindow;

// False, with a sentence in error, when the window is not shown or the file cannot be written.
bool SaveWindowSnapshot(wxWindow* window, const std::string& pngPath, std::string& error);
