// Atomic steps on plain fields of the fixed-size records (which keep their C layout, so they
// cannot be std::atomic): the compiler's built-ins behind one small header.
#pragma once

#include <windows.h>

#if !defined(__GNUC__) && !defined(__clang__)
#error "qfatomic.h needs the GCC or Clang atomic built-ins"
#endif

// For the 16- and 32-bit fields and counts of the records and for a record's key.
template <class T>
inline T qf_atomic_load(const T* value) {
    return __atomic_load_n(value, __ATOMIC_ACQUIRE);
}

template <class T>
inline void qf_atomic_store(T* value, T v) {
    __atomic_store_n(value, v, __ATOMIC_RELEASE);
}

// Adds n to *value in one step, stopping at 0xFFFFFFFF; returns the value after the addition.
inline DWORD qf_atomic_add_saturating(DWORD* value, DWORD n) {
    DWORD old = __atomic_load_n(value, __ATOMIC_RELAXED);
    for (;;) {
        const DWORD sum = old > 0xFFFFFFFFu - n ? 0xFFFFFFFFu : old + n;
        if (__atomic_compare_exchange_n(value, &old, sum, true, __ATOMIC_ACQ_REL, __ATOMIC_RELAXED)) return sum;
    }
}
