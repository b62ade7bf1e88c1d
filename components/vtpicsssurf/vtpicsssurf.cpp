// VTPicsSSurf: compares the SafeSurf labels of web data with the parent's eleven levels.
#include "vtpicsssurf.h"

#include "picslabel.h"

#include <safesurf_categories.h>

namespace {

const char kSafeSurfService[] = "http://www.classify.org/safesurf/";
constexpr int kCategories = SAFESURF_CATEGORY_COUNT;

// Categories "SS~~000" to "SS~~009" and "SS~~00A"; -1 for any other transmit name.
int vtpics_safesurf_category(const picslabel::Rating& rating) {
    for (int i = 0; i < kCategories; ++i)
        if (picslabel::picslabel_name_is(rating, kSafeSurfCategories[i].code)) return i;
    return -1;
}

// A stored level p allows SafeSurf level p + 1; a page rating above that is above the limit.
bool vtpics_safesurf_above(const void* limits, const picslabel::Rating& rating) {
    const int category = vtpics_safesurf_category(rating);
    if (category < 0) return false;
    const long long allowed = static_cast<long long>(static_cast<const int*>(limits)[category]) + 1;
    return rating.level > allowed;
}

}  // namespace

extern "C" int vtpics_safesurf_validate(const char* data, DWORD length, int level0, int level1, int level2, int level3,
                                        int level4, int level5, int level6, int level7, int level8, int level9,
                                        int level10) {
    const int limits[kCategories] = {level0, level1, level2, level3, level4, level5,
                                     level6, level7, level8, level9, level10};
    return picslabel::picslabel_check(reinterpret_cast<const unsigned char*>(data), length, kSafeSurfService,
                                      vtpics_safesurf_above, limits);
}
