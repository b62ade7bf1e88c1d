// The update's size file: lines 1 to 3 hold the byte counts of the dictionary data, the
// dictionary index and the topic list, each a decimal number read as atoi reads it (leading
// blanks and sign, then digits; anything else ends it, no digits give 0). Further lines are
// ignored.
#pragma once

#include <stddef.h>

struct UpdateSizes {
    int counts[3];  // dictionary data, dictionary index, topic list
};

// The three counts of text (length bytes). False unless each is at least 1 and their sum fits in
// an int (the progress bar's range).
bool ParseUpdateSizes(const char* text, size_t length, UpdateSizes& sizes);

// Reads the file at path (its first 64 KB) and parses it. False also when it cannot be opened.
bool ReadUpdateSizes(const char* path, UpdateSizes& sizes);
