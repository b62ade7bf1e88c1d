#include "worddict.h"

#include <string.h>

#include <asciicase.h>

#include <algorithm>

namespace worddict {
namespace {

uint32_t get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

uint32_t checksum(const unsigned char* data, size_t length) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < length; ++i) h = (h ^ data[i]) * 16777619u;
    return h;
}

bool valid_word(const std::string& word) {
    if (word.empty() || word.size() > kMaxWordLength || word.front() == ' ' || word.back() == ' ') return false;
    for (size_t i = 0; i < word.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (c < 0x20 || c > 0x7E) return false;
        if (c == ' ' && word[i - 1] == ' ') return false;
    }
    return true;
}

bool parse_list(const std::string& text, std::vector<std::string>& words, size_t* badLine) {
    words.clear();
    size_t line = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        ++line;
        std::string word;
        bool pendingSpace = false;
        for (size_t i = pos; i < end; ++i) {
            char c = text[i];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
                pendingSpace = !word.empty();
                continue;
            }
            if (pendingSpace) word.push_back(' ');
            pendingSpace = false;
            word.push_back(qf_ascii_lower(c));
        }
        pos = end + 1;
        if (word.empty() || word[0] == '#') continue;
        if (!valid_word(word)) {
            if (badLine) *badLine = line;
            words.clear();
            return false;
        }
        words.push_back(std::move(word));
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return true;
}

bool read_index(const unsigned char* index, size_t indexSize, size_t dataSize, std::vector<Topic>& topics) {
    topics.clear();
    if (indexSize < kHeaderSize + 4 || indexSize > kMaxIndexSize) return false;
    if (memcmp(index, kIndexMagic, sizeof(kIndexMagic)) != 0) return false;
    const uint32_t count = get32(index + 8);
    if (count > kMaxTopics || indexSize != kHeaderSize + count * kRecordSize + 4) return false;
    if (get32(index + 12) != dataSize || dataSize < sizeof(kDataMagic) || dataSize > kMaxDataSize) return false;
    if (checksum(index, indexSize - 4) != get32(index + indexSize - 4)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* r = index + kHeaderSize + i * kRecordSize;
        Topic t{static_cast<int32_t>(get32(r)), get32(r + 4), get32(r + 8), get32(r + 12)};
        if (t.offset < sizeof(kDataMagic) || t.offset > dataSize || t.length > dataSize - t.offset) {
            topics.clear();
            return false;
        }
        topics.push_back(t);
    }
    return true;
}

bool read_words(const unsigned char* data, size_t dataSize, const Topic& topic, std::vector<std::string>& words) {
    words.clear();
    if (dataSize < sizeof(kDataMagic) || memcmp(data, kDataMagic, sizeof(kDataMagic)) != 0) return false;
    if (topic.offset < sizeof(kDataMagic) || topic.offset > dataSize || topic.length > dataSize - topic.offset)
        return false;
    const unsigned char* block = data + topic.offset;
    if (checksum(block, topic.length) != topic.checksum) return false;
    if (topic.length > 0 && block[topic.length - 1] != '\n') return false;
    size_t start = 0;
    for (size_t i = 0; i < topic.length; ++i) {
        if (block[i] != '\n') continue;
        std::string word(reinterpret_cast<const char*>(block + start), i - start);
        if (!valid_word(word)) {
            words.clear();
            return false;
        }
        words.push_back(std::move(word));
        start = i + 1;
    }
    return true;
}

void write_pair(const std::vector<std::pair<int32_t, std::vector<std::string>>>& topics, std::string& index,
                std::string& data) {
    data.assign(kDataMagic, sizeof(kDataMagic));
    std::vector<Topic> records;
    for (const auto& topic : topics) {
        Topic t{topic.first, static_cast<uint32_t>(data.size()), 0, 0};
        for (const std::string& word : topic.second) {
            data += word;
            data.push_back('\n');
        }
        t.length = static_cast<uint32_t>(data.size() - t.offset);
        t.checksum = checksum(reinterpret_cast<const unsigned char*>(data.data()) + t.offset, t.length);
        records.push_back(t);
    }
    index.assign(kIndexMagic, sizeof(kIndexMagic));
    put32(index, static_cast<uint32_t>(records.size()));
    put32(index, static_cast<uint32_t>(data.size()));
    for (const Topic& t : records) {
        put32(index, static_cast<uint32_t>(t.id));
        put32(index, t.offset);
        put32(index, t.length);
        put32(index, t.checksum);
    }
    put32(index, checksum(reinterpret_cast<const unsigned char*>(index.data()), index.size()));
}

}  // namespace worddict
