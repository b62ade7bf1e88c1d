// Where the machine root is and how Windows paths map into it.
#pragma once

#include <string>

namespace qf {

// $QUILLFENCE_ROOT when set, else $XDG_DATA_HOME/quillfence, else $HOME/.local/share/quillfence.
// Read afresh on every call, so a test may point a process at a new root.
std::string machine_root();

// Maps a Windows path to a Linux path: "C:\A\b.txt" -> <root>/drive_c/<A>/<b.txt>, each existing
// component matched without regard to case; "\A\b.txt" (or "/A/b.txt") starts at the root of drive
// C: as well; ".." never climbs above drive_c. A relative path stays relative to the current
// directory (backslashes become slashes). Returns false for an empty path, a drive other than C:
// and a UNC or device path ("\\server\share", "\\?\...").
bool map_windows_path(const char* windowsPath, std::string& linuxPath);

}  // namespace qf
