// The topic list and the four settings stores: factory settings wherever a read fails.
#include "seed_steps.h"

#include <VTList.h>
#include <vtfw.h>
#include <vtperiod.h>
#include <vtrsac.h>
#include <vtssurf.h>

#include <memory>

#include <store_recovery.h>

namespace qf {
namespace {

// Reads a store; when the read fails, writes its factory settings.
template <class Record>
bool complete_store(int (*init)(Record*), int (*read)(Record*), int (*regen)(Record*), const char* what,
                    std::string& error) {
    auto record = std::make_unique<Record>();
    if (qf_read_store(record.get(), init, read, regen, [](StoreRead) {}) != StoreRead::RestoreFailed) return true;
    error = std::string("cannot write the factory ") + what;
    return false;
}

}  // namespace

bool seed_topic_list(std::string& error) {
    return complete_store<TopicRecord>(vtlist_init, vtlist_read, vtlist_regen, "topic list", error);
}

bool seed_settings_stores(std::string& error) {
    return complete_store<RsacSettings>(vtrsac_init, vtrsac_read, vtrsac_regen, "RSACi settings", error) &&
           complete_store<SafeSurfSettings>(vtssurf_init, vtssurf_read, vtssurf_regen, "SafeSurf settings", error) &&
           complete_store<ProtocolRuleTable>(vtfw_init, vtfw_read, vtfw_regen, "protocol settings", error) &&
           complete_store<AccessTimeTable>(vtperiod_init, vtperiod_read, vtperiod_regen, "time settings", error);
}

}  // namespace qf
