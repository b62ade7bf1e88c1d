// Where the machine root is and how Windows paths map into it.
#pragma once

#include <string>

namespace qf {

// $QUILLFENCE_ROOT when set, else $XDG_DATA_HOME/quillfence, else $HOME/.local/share/quillfence.
// Read afresh on every call, so a test may point a process at a new root.
std::string machine_root();

// Maps a Windows path to a Linux path: "C:\A\b.txt" -> <root>/drive_c/<A>/<b.txt>, each existing
// component matched without regard to case; a relative path stays relative (backslashes become
// slashes). Returns false for a drive other than C: or an empty path.
bool map_windows_path(const char* windowsPath, std::string& linuxPath);

}  // namespace qf
