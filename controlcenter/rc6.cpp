// RC6-32/20: the key schedule and the block operations.
#include "rc6.h"

#include <stdlib.h>
#include <string.h>

namespace {

const int kRounds = 20;
const int kRoundKeyWords = 2 * kRounds + 4;
const DWORD kP32 = 0xB7E15163u;
const DWORD kQ32 = 0x9E3779B9u;

DWORD rotl(DWORD x, DWORD n) {
    n &= 31;
    return n == 0 ? x : (x << n) | (x >> (32 - n));
}

DWORD rotr(DWORD x, DWORD n) {
    n &= 31;
    return n == 0 ? x : (x >> n) | (x << (32 - n));
}

DWORD get32(const unsigned char* p) {
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

void put32(unsigned char* p, DWORD v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

}  // namespace

BOOL Rc6MakeKeySchedule(const unsigned char* key, int keyBits, Rc6KeySchedule* schedule) {
    if (!schedule) return FALSE;
    schedule->wordCount = 0;
    schedule->roundKeys = NULL;
    if (!key || keyBits < 0 || keyBits > 255 * 8) return FALSE;
    const int keyBytes = keyBits / 8;
    const int keyWords = keyBits / 32 > 0 ? keyBits / 32 : 1;
    DWORD words[64] = {0};
    for (int i = 0; i < keyWords * 4 && i < keyBytes; ++i) words[i / 4] |= (DWORD)key[i] << (8 * (i % 4));

    DWORD* s = (DWORD*)malloc(kRoundKeyWords * sizeof(DWORD));
    if (!s) return FALSE;
    s[0] = kP32;
    for (int i = 1; i < kRoundKeyWords; ++i) s[i] = s[i - 1] + kQ32;
    DWORD a = 0, b = 0;
    int i = 0, j = 0;
    const int steps = 3 * (kRoundKeyWords > keyWords ? kRoundKeyWords : keyWords);
    for (int k = 0; k < steps; ++k) {
        a = s[i] = rotl(s[i] + a + b, 3);
        b = words[j] = rotl(words[j] + a + b, a + b);
        i = (i + 1) % kRoundKeyWords;
        j = (j + 1) % keyWords;
    }
    memset(words, 0, sizeof(words));
    schedule->wordCount = (unsigned char)kRoundKeyWords;
    schedule->roundKeys = s;
    return TRUE;
}

void Rc6ReleaseKeySchedule(Rc6KeySchedule* schedule) {
    if (!schedule || !schedule->roundKeys) return;
    volatile DWORD* keys = schedule->roundKeys;
    for (int i = 0; i < schedule->wordCount; ++i) keys[i] = 0;
    free(schedule->roundKeys);
    schedule->roundKeys = NULL;
    schedule->wordCount = 0;
}

void Rc6Block(const Rc6KeySchedule* schedule, const unsigned char in[16], unsigned char out[16], int direction) {
    const DWORD* s = schedule->roundKeys;
    DWORD a = get32(in), b = get32(in + 4), c = get32(in + 8), d = get32(in + 12);
    if (direction == RC6_ENCRYPT) {
        b += s[0];
        d += s[1];
        for (int i = 1; i <= kRounds; ++i) {
            const DWORD t = rotl(b * (2 * b + 1), 5);
            const DWORD u = rotl(d * (2 * d + 1), 5);
            a = rotl(a ^ t, u) + s[2 * i];
            c = rotl(c ^ u, t) + s[2 * i + 1];
            const DWORD first = a;
            a = b;
            b = c;
            c = d;
            d = first;
        }
        a += s[2 * kRounds + 2];
        c += s[2 * kRounds + 3];
    } else {
        c -= s[2 * kRounds + 3];
        a -= s[2 * kRounds + 2];
        for (int i = kRounds; i >= 1; --i) {
            const DWORD last = d;
            d = c;
            c = b;
            b = a;
            a = last;
            const DWORD u = rotl(d * (2 * d + 1), 5);
            const DWORD t = rotl(b * (2 * b + 1), 5);
            c = rotr(c - s[2 * i + 1], t) ^ u;
            a = rotr(a - s[2 * i], u) ^ t;
        }
        d -= s[1];
        b -= s[0];
    }
    put32(out, a);
    put32(out + 4, b);
    put32(out + 8, c);
    put32(out + 12, d);
}
