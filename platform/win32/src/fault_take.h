// What the functions named by qf::Fault ask before they do their work.
#pragma once

#include <qf/fault_injection.h>

namespace qf {

// True when this call is to fail as requested with fail_next (and counts it).
bool fault_take(Fault kind);

}  // namespace qf
