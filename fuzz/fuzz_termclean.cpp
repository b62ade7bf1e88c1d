// termclean_process over one connection's data in up to eight chunks, with topic and word tables
// whose entries come from the input. Each chunk lies in an allocation of exactly its size.
//
// Now and then the state words start with any values instead of 0.
//
// Checked besides the sanitizers: cleaning changes bytes only to '*'; and, when each table fits one
// automaton (so the state is carried from chunk to chunk), every match in the connection's data,
// as a plain matcher finds it in the whole text, is starred from its first to its last byte, but
// for the part that lay in chunks already handed on before the chunk in which the entry's text
// ends.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_term_tables.h"
#include "termclean.h"
#include "termscan_automaton.h"

using qf_fuzz::check;

namespace {

bool one_automaton(const qf_fuzz::FuzzTable& table) {
    if (table.count == 0) return true;
    return termscan::automaton_for(table.get(), table.count, '*', termscan::Mode::Content)->parts().size() <= 1;
}

// Every match of the table in text is starred in cleaned from the chunk where its text ends on.
void check_cleaned(const qf_fuzz::FuzzTable& table, const std::string& text, const std::string& cleaned,
                   const std::vector<size_t>& chunkStart) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (const qf_fuzz::RefMatch& m : qf_fuzz::ref_matches(table.get(), table.count, bytes, text.size())) {
        size_t from = m.start;
        for (size_t start : chunkStart)
            if (start < m.textEnd && start > from) from = start;
        for (size_t i = from; i < m.end; ++i) check(cleaned[i] == '*');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const uint8_t mode = input.ConsumeIntegral<uint8_t>();
    const bool narrowed = mode & 1;
    const bool garbage = (mode & 6) == 6;  // the connection starts from state words of any value
    qf_fuzz::FuzzTable topics(input, narrowed, 6);
    qf_fuzz::FuzzTable words(input, narrowed, 6);
    std::vector<size_t> cuts(input.ConsumeIntegralInRange<int>(0, 7));
    for (size_t& cut : cuts) cut = input.ConsumeIntegralInRange<size_t>(0, 64);
    std::string text = input.ConsumeRemainingBytesAsString();
    if (narrowed) text = qf_fuzz::narrow(text);

    WORD state[5] = {0, 0, 0, 0, 0};
    if (garbage)
        for (WORD& w : state) w = input.ConsumeIntegral<WORD>();
    std::string cleaned;
    std::vector<size_t> chunkStart;
    size_t pos = 0;
    for (size_t k = 0; k <= cuts.size() && pos < text.size(); ++k) {
        chunkStart.push_back(pos);
        const size_t length = k < cuts.size() ? std::min(cuts[k] + 1, text.size() - pos) : text.size() - pos;
        std::vector<char> chunk(text.begin() + pos, text.begin() + pos + length);
        termclean_process(chunk.data(), static_cast<DWORD>(length), topics.get(), topics.count, words.get(), words.count,
                          80, &state[0], &state[1], &state[2], &state[3], &state[4]);
        for (size_t i = 0; i < length; ++i) check(chunk[i] == text[pos + i] || chunk[i] == '*');
        cleaned.append(chunk.begin(), chunk.end());
        pos += length;
    }

    if (!garbage && one_automaton(topics) && one_automaton(words)) {
        check_cleaned(topics, text, cleaned, chunkStart);
        check_cleaned(words, text, cleaned, chunkStart);
    }
    return 0;
}
