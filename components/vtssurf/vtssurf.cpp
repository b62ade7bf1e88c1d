// VTSSurf: the SafeSurf limits in DBDIR "db\ssurf.dat", a checked record file.
#include "vtssurf.h"

#include <string.h>

#include "recfile.h"

namespace {

const char kFile[] = "db\\ssurf.dat";
const char kTag[4] = {'S', 'S', 'R', 'F'};

bool valid(const SafeSurfSettings& r) {
    if (r.enabled != 0 && r.enabled != 1) return false;
    for (INT level : r.levels)
        if (level < 0 || level > 8) return false;
    return true;
}

}  // namespace

extern "C" {

int vtssurf_init(SafeSurfSettings* record) {
    if (!record) return 0;
    memset(record, 0, sizeof(*record));
    return 1;
}

int vtssurf_read(SafeSurfSettings* record) {
    if (!record) return 0;
    SafeSurfSettings stored;
    if (!recfile_read(kFile, kTag, &stored, sizeof(stored)) || !valid(stored)) return 0;
    *record = stored;
    return 1;
}

int vtssurf_write(SafeSurfSettings* record) {
    if (!record || !valid(*record)) return 0;
    return recfile_write(kFile, kTag, record, sizeof(*record));
}

int vtssurf_regen(SafeSurfSettings* record) {
    if (!record) return 0;
    vtssurf_init(record);  // disabled, every category at stored level 0
    return vtssurf_write(record);
}

}  // extern "C"
