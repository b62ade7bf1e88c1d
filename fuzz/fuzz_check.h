// What the fuzz targets share: a check that stops the run (libFuzzer keeps the input).
#pragma once

#include <cstdlib>

namespace qf_fuzz {

inline void check(bool condition) {
    if (!condition) abort();
}

}  // namespace qf_fuzz
