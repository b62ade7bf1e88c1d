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

// A load with no ordering of its own (a field read under a lock, or a counter).
template <class T>
inline T qf_atomic_load_relaxed(const T* value) {
    return __atomic_load_n(value, __ATOMIC_RELAXED);
}

// A load in the single total order of sequentially consistent steps.
template <class T>
inline T qf_atomic_load_seq(const T* value) {
    return __atomic_load_n(value, __ATOMIC_SEQ_CST);
}

template <class T>
inline void qf_atomic_store(T* value, T v) {
    __atomic_store_n(value, v, __ATOMIC_RELEASE);
}

// Sets or clears bits of *value in one step.
template <class T>
inline void qf_atomic_set_bits(T* value, T bits) {
    __atomic_fetch_or(value, bits, __ATOMIC_SEQ_CST);
}

template <class T>
inline void qf_atomic_clear_bits(T* value, T bits) {
    __atomic_fetch_and(value, static_cast<T>(~bits), __ATOMIC_SEQ_CST);
}

// Adds n to *value in one step, stopping at 0xFFFFFFFF; returns the value after the addition.
inline DWORD qf_atomic_add_saturating(DWORD* value, DWORD n) {
    DWORD old = __atomic_load_n(value, __ATOMIC_RELAXED);
    for (;;) {
        const DWORD sum = old > 0xFFFFFFFFu - n ? 0xFFFFFFFFu : old + n;
        if (__atomic_compare_exchange_n(value, &old, sum, true, __ATOMIC_ACQ_REL, __ATOMIC_RELAXED)) return sum;
    }
}
