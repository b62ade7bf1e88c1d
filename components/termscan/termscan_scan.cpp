#include <new>

#include "termscan.h"
#include "termscan_automaton.h"

using namespace termscan;

namespace {

void add_saturating(DWORD* counter, uint64_t found) {
    const uint64_t sum = static_cast<uint64_t>(*counter) + found;
    *counter = sum > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(sum);
}

int scan(const char* text, DWORD length, const TermSlot* table, INT count, Mode mode, DWORD* counter,
         char wildcard) {
    if (!counter) return 0;
    const int n = table ? usable_count(count) : 0;
    if (!text || length == 0 || n == 0) return 1;
    try {
        std::shared_ptr<const Automaton> automaton = automaton_for(table, n, wildcard, mode);
        add_saturating(counter, automaton->count(reinterpret_cast<const unsigned char*>(text), length));
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // namespace

extern "C" int termscan_search_containsword(const char* text, int length, const TermSlot* table, INT count) {
    const int n = table ? usable_count(count) : 0;
    if (!text || length <= 0 || n == 0) return 0;
    try {
        return sites_for(table, n)->contains(text, static_cast<size_t>(length)) ? TERMSCAN_CONTAINED : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

extern "C" int termscan_process_containsword(const char* text, DWORD length, const TermSlot* table, INT count,
                                             WORD port, DWORD* counter, char wildcard) {
    (void)port;
    return scan(text, length, table, count, Mode::Content, counter, wildcard);
}

extern "C" int termscan_process(const char* text, DWORD length, const TermSlot* table, INT count, WORD port,
                                int contentFlag, int nameFlag, DWORD* counter, char wildcard) {
    (void)port;
    (void)contentFlag;
    return scan(text, length, table, count, nameFlag ? Mode::Name : Mode::Content, counter, wildcard);
}
