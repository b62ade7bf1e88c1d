// The three scanners over a small table whose entries come from the input, and a text (the rest
// of the input) in an allocation of exactly its size.
//
// Checked besides the sanitizers: the counts of the content and host name scans equal those of a
// plain matcher written from the rules (texts from 4096 bytes on take the four-quarter path of
// the automaton); the counter adds to what it held; a table given a count below 0 finds nothing;
// the site search answers 0 or 2001 and ignores letter case.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_term_tables.h"

using qf_fuzz::check;

namespace {

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const uint8_t mode = input.ConsumeIntegral<uint8_t>();
    const bool narrowed = mode & 1;
    const char wildcard = (mode & 6) == 6 ? '%' : '*';
    qf_fuzz::FuzzTable table(input, narrowed, 12);
    std::string rest = input.ConsumeRemainingBytesAsString();
    if (narrowed) rest = qf_fuzz::narrow(rest);
    std::vector<char> text(rest.begin(), rest.end());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const DWORD length = static_cast<DWORD>(text.size());

    const uint64_t content = qf_fuzz::ref_count(table.get(), table.count, wildcard, false, bytes, text.size());
    const uint64_t name = qf_fuzz::ref_count(table.get(), table.count, wildcard, true, bytes, text.size());

    DWORD counter = 0;
    termscan_process_containsword(text.data(), length, table.get(), table.count, 80, &counter, wildcard);
    check(counter == content);
    counter = 3;
    termscan_process(text.data(), length, table.get(), table.count, 80, mode >> 7, 0, &counter, wildcard);
    check(counter == content + 3);
    counter = 0;
    termscan_process(text.data(), length, table.get(), table.count, 53, 0, 1, &counter, wildcard);
    check(counter == name);
    counter = 0;
    termscan_process(text.data(), length, table.get(), -1 - table.count, 80, 0, 0, &counter, wildcard);
    check(counter == 0);

    const int contained = termscan_search_containsword(text.data(), static_cast<int>(length), table.get(), table.count);
    check(contained == 0 || contained == TERMSCAN_CONTAINED);
    const std::string shouted = upper(rest);
    check(termscan_search_containsword(shouted.data(), static_cast<int>(shouted.size()), table.get(), table.count) ==
          contained);
    return 0;
}
