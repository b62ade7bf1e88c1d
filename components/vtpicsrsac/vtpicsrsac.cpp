// VTPicsRsac: compares the RSACi labels of web data with the parent's four levels.
#include "vtpicsrsac.h"

#include "picslabel.h"

namespace {

const char kRsacService[] = "http://www.rsac.org/ratingsv01.html";

struct RsacLimits {
    int sex;
    int violence;
    int nudity;
    int language;
};

// RSACi categories: n nudity, s sex, v violence, l language (levels 0 to 4).
bool vtpics_rsac_above(const void* limits, const picslabel::Rating& rating) {
    const RsacLimits& l = *static_cast<const RsacLimits*>(limits);
    if (picslabel::picslabel_name_is(rating, "n")) return rating.level > l.nudity;
    if (picslabel::picslabel_name_is(rating, "s")) return rating.level > l.sex;
    if (picslabel::picslabel_name_is(rating, "v")) return rating.level > l.violence;
    if (picslabel::picslabel_name_is(rating, "l")) return rating.level > l.language;
    return false;
}

}  // namespace

extern "C" int vtpics_rsac_validate(const char* data, DWORD length, int S, int V, int N, int L) {
    const RsacLimits limits{S, V, N, L};
    return picslabel::picslabel_check(reinterpret_cast<const unsigned char*>(data), length, kRsacService,
                                      vtpics_rsac_above, &limits);
}
