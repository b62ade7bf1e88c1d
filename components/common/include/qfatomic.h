// Atomic steps on plain fields of the fixed-size records (which keep their C layout, so they
// cannot be std::atomic): the compiler's built-ins behind one small header.
#pragma once

#include <windows.h>

#if !defined(__GNUC__) && !defined(__clang__)
#error "qfatomic.h needs the GCC or Clang atomic built-ins"
#endif

inline INT qf_atomic_load(const INT* value) { return __atomic_load_n(value, __ATOMIC_ACQUIRE); }
inline void qf_atomic_store(INT* value, INT v) { __atomic_store_n(value, v, __ATOMIC_RELEASE); }
inline WORD qf_atomic_load(const WORD* value) { return __atomic_load_n(value, __ATOMIC_ACQUIRE); }
inline void qf_atomic_store(WORD* value, WORD v) { __atomic_store_n(value, v, __ATOMIC_RELEASE); }
inline DWORD qf_atomic_load(const DWORD* value) { return __atomic_load_n(value, __ATOMIC_ACQUIRE); }

// Adds n to *value in one step, stopping at 0xFFFFFFFF; returns the value after the addition.
inline DWORD qf_atomic_add_saturating(DWORD* value, DWORD n) {
    DWORD old = __atomic_load_n(value, __ATOMIC_RELAXED);
    for (;;) {
        const DWORD sum = old > 0xFFFFFFFFu - n ? 0xFFFFFFFFu : old + n;
        if (__atomic_compare_exchange_n(value, &old, sum, true, __ATOMIC_ACQ_REL, __ATOMIC_RELAXED)) return sum;
    }
}
