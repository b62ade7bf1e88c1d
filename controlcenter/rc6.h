// RC6 with 32-bit words and 20 rounds, one 16-byte block at a time (no chaining), words read and
// written little-endian. The password store uses it on one block.
#pragma once

#include <windows.h>

// The round keys of one key, made for one operation and released after it.
struct Rc6KeySchedule {
    unsigned char wordCount;  // number of round-key words: 44
    DWORD* roundKeys;         // wordCount words, allocated by Rc6MakeKeySchedule
};

enum { RC6_DECRYPT = 0, RC6_ENCRYPT = 1 };

// Builds the round keys of the key of keyBits bits (keyBits / 32 words of key, little-endian; a
// key of fewer than 32 bits counts as one zero-padded word). FALSE when keyBits is over 2040 or
// the table cannot be allocated.
BOOL Rc6MakeKeySchedule(const unsigned char* key, int keyBits, Rc6KeySchedule* schedule);
void Rc6ReleaseKeySchedule(Rc6KeySchedule* schedule);

// Encrypts (direction RC6_ENCRYPT) or decrypts (RC6_DECRYPT) the 16 bytes of in into out; in and
// out may be the same block.
void Rc6Block(const Rc6KeySchedule* schedule, const unsigned char in[16], unsigned char out[16], int direction);
