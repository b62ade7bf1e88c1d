// The topic word dictionary reader on an index and a data file of any content. The first byte
// chooses between raw files and a pair built from the input with sound checksums (so the reader
// gets past them to the records and the words), and whether the pair also goes through
// termscan_init from the files of a machine root, with every topic selected.
//
// Checked besides the sanitizers: an accepted index names at most 256 topics, each block inside
// the data file; a block is accepted exactly when it is a run of valid words, each ending in a line
// feed; termscan_init never fills more slots than a table holds, and each topic slot is terminated
// and holds one of the dictionary's words.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "VTList.h"
#include "fuzz_check.h"
#include "store_root.h"
#include "termscan.h"
#include "worddict.h"

using qf_fuzz::check;

namespace {

// One machine root for the run, removed when the run ends.
qf_test::StoreRoot& root() {
    static qf_test::StoreRoot r;
    static const bool dictionaryFolder = std::filesystem::create_directories(r.installed("db/dict1"));
    (void)dictionaryFolder;
    return r;
}

void put32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// Lines of mostly valid words: letters, single spaces, now and then something out of place.
std::string block_text(const std::string& raw) {
    static const char kAlphabet[] = {'a', 'b', 'c', ' ', '\n', 'd', '*', 'e', '\n', 'f', '\t', '\x80'};
    std::string out(raw);
    for (char& c : out) c = kAlphabet[static_cast<unsigned char>(c) % sizeof kAlphabet];
    return out;
}

// The format's word: 1 to 179 characters from 0x20 to 0x7E, no space at either end, no two in a row.
bool sound_word(const std::string& w) {
    if (w.empty() || w.size() > 179 || w.front() == ' ' || w.back() == ' ') return false;
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] < 0x20 || w[i] > 0x7E) return false;
        if (i > 0 && w[i] == ' ' && w[i - 1] == ' ') return false;
    }
    return true;
}

bool sound_block(const std::string& block) {
    if (block.empty()) return true;
    if (block.back() != '\n') return false;
    size_t start = 0;
    for (size_t i = 0; i < block.size(); ++i) {
        if (block[i] != '\n') continue;
        if (!sound_word(block.substr(start, i - start))) return false;
        start = i + 1;
    }
    return true;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out));
}

void through_init(const std::string& index, const std::string& data, const std::vector<int32_t>& ids,
                  const std::set<std::string>& words) {
    write_file(root().installed("db/dict1/worddict.idx"), index);
    write_file(root().installed("db/dict1/worddict.dat"), data);
    TopicRecord record;
    vtlist_init(&record);
    record.count = 0;
    for (int32_t id : ids) {
        if (record.count == VTLIST_ENTRIES) break;
        record.entries[record.count].id = id;
        record.entries[record.count].enabled = 1;
        ++record.count;
    }
    check(vtlist_write(&record) == 1);

    const int capacities[6] = {TERMSCAN_WORD_CAPACITY, TERMSCAN_TOPIC_CAPACITY, TERMSCAN_PHRASE_CAPACITY,
                               TERMSCAN_SITE_CAPACITY, TERMSCAN_SITE_CAPACITY, TERMSCAN_SITE_CAPACITY};
    std::unique_ptr<TermSlot[]> tables[6];
    INT counts[6];
    for (int t = 0; t < 6; ++t) {
        tables[t].reset(new TermSlot[capacities[t]]);
        memset(tables[t].get(), 0x55, sizeof(TermSlot) * capacities[t]);
        counts[t] = -9;
    }
    termscan_init(tables[0].get(), &counts[0], tables[1].get(), &counts[1], tables[2].get(), &counts[2],
                  tables[3].get(), &counts[3], tables[4].get(), &counts[4], tables[5].get(), &counts[5]);
    for (int t = 0; t < 6; ++t) check(counts[t] >= 0 && counts[t] <= capacities[t]);
    for (INT i = 0; i < counts[1]; ++i) {
        const char* slot = tables[1][i];
        check(memchr(slot, '\0', TERMSCAN_SLOT_SIZE) != nullptr);
        check(words.count(slot) == 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider input(bytes, size);
    const uint8_t mode = input.ConsumeIntegral<uint8_t>();
    const bool built = mode & 1;
    std::string index, data;
    std::vector<int32_t> ids;
    std::vector<std::string> blocks;
    if (built) {
        data.assign(worddict::kDataMagic, sizeof worddict::kDataMagic);
        std::string records;
        const int topics = input.ConsumeIntegralInRange<int>(0, 6);
        for (int t = 0; t < topics; ++t) {
            const int32_t id = input.ConsumeIntegralInRange<int32_t>(-2, 8);
            const std::string block = block_text(input.ConsumeRandomLengthString(400));
            uint32_t offset = static_cast<uint32_t>(data.size());
            uint32_t length = static_cast<uint32_t>(block.size());
            if (input.ConsumeIntegralInRange<int>(0, 15) == 0) offset = input.ConsumeIntegral<uint32_t>();
            if (input.ConsumeIntegralInRange<int>(0, 15) == 0) length = input.ConsumeIntegral<uint32_t>();
            data += block;
            ids.push_back(id);
            blocks.push_back(block);
            put32(records, static_cast<uint32_t>(id));
            put32(records, offset);
            put32(records, length);
            put32(records, worddict::checksum(reinterpret_cast<const unsigned char*>(block.data()), block.size()));
        }
        index.assign(worddict::kIndexMagic, sizeof worddict::kIndexMagic);
        put32(index, static_cast<uint32_t>(topics));
        put32(index, static_cast<uint32_t>(data.size()));
        index += records;
        put32(index, worddict::checksum(reinterpret_cast<const unsigned char*>(index.data()), index.size()));
    } else {
        index = input.ConsumeRandomLengthString(worddict::kMaxIndexSize + 8);
        data = input.ConsumeRemainingBytesAsString();
    }
    const std::vector<unsigned char> indexBytes(index.begin(), index.end());
    const std::vector<unsigned char> dataBytes(data.begin(), data.end());

    std::vector<worddict::Topic> topics;
    std::set<std::string> every;
    if (worddict::read_index(indexBytes.data(), indexBytes.size(), dataBytes.size(), topics)) {
        check(topics.size() <= worddict::kMaxTopics);
        for (size_t t = 0; t < topics.size(); ++t) {
            const worddict::Topic& topic = topics[t];
            check(topic.offset >= sizeof worddict::kDataMagic && topic.offset <= dataBytes.size() &&
                  topic.length <= dataBytes.size() - topic.offset);
            std::vector<std::string> words;
            const bool read = worddict::read_words(dataBytes.data(), dataBytes.size(), topic, words);
            if (read) {
                for (const std::string& w : words) {
                    check(sound_word(w));
                    every.insert(w);
                }
            } else {
                check(words.empty());
            }
            if (built && topic.offset + topic.length <= dataBytes.size() &&
                worddict::checksum(dataBytes.data() + topic.offset, topic.length) == topic.checksum) {
                const std::string block(data, topic.offset, topic.length);
                check(read == sound_block(block));
            }
        }
    } else {
        check(topics.empty());
    }

    if ((mode & 0x0E) == 0x0E) through_init(index, data, ids, every);
    return 0;
}
