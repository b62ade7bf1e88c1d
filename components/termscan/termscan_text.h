/* Character rules shared by the list matcher and the cleaner (internal to termscan/termclean).
 *
 * Word characters are the ASCII letters and digits and every byte from 0x80 up (the parts of
 * non-ASCII letters); white space is space, tab, line feed, vertical tab, form feed and carriage
 * return. Everything else, NUL included, separates words. */
#ifndef TERMSCAN_TEXT_H
#define TERMSCAN_TEXT_H

#include <stddef.h>
#include <stdint.h>

#include <asciicase.h>

namespace termscan {

inline unsigned char fold(unsigned char c) { return qf_ascii_lower(c); }

inline bool is_word_char(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
}

inline bool is_space_char(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

/* Length of the text in a 180-byte list slot: up to its terminator, at most 179 characters. */
size_t slot_length(const char* slot);

}  // namespace termscan

#endif
