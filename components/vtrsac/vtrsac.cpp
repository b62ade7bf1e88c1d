// VTRsac: the RSACi limits in DBDIR "db\rsac.dat", a checked record file.
#include "vtrsac.h"

#include <string.h>

#include "recfile.h"

namespace {

const char kFile[] = "db\\rsac.dat";
const char kTag[4] = {'R', 'S', 'A', 'C'};

bool level_ok(INT level) { return level >= 0 && level <= 4; }

bool valid(const RsacSettings& r) {
    return (r.enabled == 0 || r.enabled == 1) && level_ok(r.sexLevel) && level_ok(r.violenceLevel) &&
           level_ok(r.languageLevel) && level_ok(r.nudityLevel);
}

}  // namespace

extern "C" {

int vtrsac_init(RsacSettings* record) {
    if (!record) return 0;
    memset(record, 0, sizeof(*record));
    return 1;
}

int vtrsac_read(RsacSettings* record) {
    if (!record) return 0;
    RsacSettings stored;
    if (!recfile_read(kFile, kTag, &stored, sizeof(stored)) || !valid(stored)) return 0;
    *record = stored;
    return 1;
}

int vtrsac_write(RsacSettings* record) {
    if (!record || !valid(*record)) return 0;
    return recfile_write(kFile, kTag, record, sizeof(*record));
}

int vtrsac_regen(RsacSettings* record) {
    if (!record) return 0;
    vtrsac_init(record);  // disabled, every level 0
    return vtrsac_write(record);
}

}  // extern "C"
