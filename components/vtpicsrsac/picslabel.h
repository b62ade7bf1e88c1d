// The PICS label reader behind VTPicsRsac and VTPicsSSurf (label lists of PICS-1.1 and PICS-1.0).
//
// Labels are looked for in META tags whose http-equiv is "PICS-Label" (the label is the content
// attribute, in double, single or no quotes) and in "PICS-Label:" header lines (folded lines
// included). Keywords and names compare without regard to case; `l`/`labels` and
// `r`/`ratings` are both understood; option values (for, on, by, comment, gen, ...) are skipped,
// so a quoted option value is never taken for a service. Inside a label, "&quot;" and "&#34;"
// serve as double quotes (a label in a double-quoted attribute is written that way).
//
// A ratings list counts once its closing parenthesis has been read, even when the rest of the
// label is cut off by the end of the data; an unfinished ratings list, or anything that does not
// parse, is no objection.
#pragma once

#include <cstddef>

namespace picslabel {

constexpr int kNoLabel = 0;      // no label of the service was found
constexpr int kPassed = 1;       // labels of the service were found, none rated above the limits
constexpr int kRatedAbove = 2;   // a rating of the service is above the limits

// One rating of a label: its transmit name (e.g. "n", "SS~~004") and its value as a whole level,
// rounded up (4.5 counts as 5); of several values (a list or a range) the highest counts.
struct Rating {
    const unsigned char* name;
    size_t nameLength;
    long long level;
};

// Returns true when the rating is above the caller's limits.
using Judge = bool (*)(const void* limits, const Rating& rating);

// Reads every label in the data for the service whose URL is given (compared without regard to
// case or a trailing slash) and passes each of its ratings to judge.
int picslabel_check(const unsigned char* data, size_t length, const char* serviceUrl, Judge judge,
                    const void* limits);

// True when the rating's transmit name is name, ignoring case.
bool picslabel_name_is(const Rating& rating, const char* name);

}  // namespace picslabel
