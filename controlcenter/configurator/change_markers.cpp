#include "change_markers.h"

namespace {

constexpr int kAreas = static_cast<int>(ChangeArea::AccessTimes) + 1;
int g_markers[kAreas];

}  // namespace

void SetChangeMarker(ChangeArea area) { g_markers[static_cast<int>(area)] = 1; }

bool AnyChangeMarker() {
    for (int marker : g_markers)
        if (marker) return true;
    return false;
}

void ClearChangeMarkers() {
    for (int& marker : g_markers) marker = 0;
}
