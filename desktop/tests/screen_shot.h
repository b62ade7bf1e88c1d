// The whole screen of an X display as the person sees it, written as a PNG file.
#pragma once

#include <string>

namespace desktop_test {

// Writes the root window of display into path. False, with the reason in error, when the display
// cannot be read or the file cannot be written.
bool save_screen_png(const std::string& display, const std::string& path, std::string& error);

}  // namespace desktop_test
