// The demonstration's policy on top of the factory settings: one site on the disallow list and
// RSACi ratings filtered.
#include "machine.h"

#include <lexstore.h>
#include <vtrsac.h>

namespace qf {

const char kDemoDisallowedSite[] = "blocked.quillfence.test";
const int kDemoRsacLevel = 2;  // the highest level allowed in each category

bool machine_add_demo_policy(std::string& error) {
    if (lexs_openit() != 1) {
        error = "cannot open the word and site lists";
        return false;
    }
    char value[LEXS_VALUE_SIZE] = {};
    INT type = 0;
    INT aux = 0;
    bool ok = lexs_retrievedb(value, kDemoDisallowedSite, &type, &aux) == 1;
    if (!ok) {
        char empty[LEXS_VALUE_SIZE] = {};
        ok = lexs_insertdb(empty, kDemoDisallowedSite, BlockedSite, -1) == 1;
    }
    lexs_closedbase();
    if (!ok) {
        error = std::string("cannot add ") + kDemoDisallowedSite + " to the disallow list";
        return false;
    }
    RsacSettings rsac = {1, kDemoRsacLevel, kDemoRsacLevel, kDemoRsacLevel, kDemoRsacLevel};
    if (vtrsac_write(&rsac) != 1) {
        error = "cannot write the RSACi settings";
        return false;
    }
    return true;
}

}  // namespace qf
