/* What differs between the compilers of the two builds (GCC on Linux, mingw-w64 GCC for Windows)
 * and any other compiler, in one place: branch hints, printf format checks, bit scans, and where
 * the toolchains' Windows headers differ.
 *
 * printf formats: mingw-w64's C++ runtime uses its own ISO printf (__USE_MINGW_ANSI_STDIO), whose
 * formats GCC checks as gnu_printf there; plain "printf" would check Microsoft's formats. */
#ifndef QF_PORTABLE_H
#define QF_PORTABLE_H

#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define QF_UNLIKELY(condition) __builtin_expect(!!(condition), 0)
#if defined(__MINGW_PRINTF_FORMAT)
#define QF_PRINTF_LIKE(formatIndex, firstArgument) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, formatIndex, firstArgument)))
#else
#define QF_PRINTF_LIKE(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#endif
#else
#define QF_UNLIKELY(condition) (condition)
#define QF_PRINTF_LIKE(formatIndex, firstArgument)
#endif

/* WSPSelect's timeout: Windows' ws2spi.h has a pointer to a constant timeval there, mingw-w64's
 * (as "const PTIMEVAL") a constant pointer to a changeable one, so the function types differ. */
#if defined(__MINGW32__)
#define QF_WSPSELECT_TIMEOUT_CONST
#else
#define QF_WSPSELECT_TIMEOUT_CONST const
#endif

/* The index of the lowest set bit of bits, which is not 0. */
static inline int qf_lowest_bit64(uint64_t bits) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctzll(bits);
#else
    int index = 0;
    while (!(bits & 1u)) {
        bits >>= 1;
        ++index;
    }
    return index;
#endif
}

#endif
