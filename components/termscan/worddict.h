/* The topic word dictionary: the file pair worddict.idx / worddict.dat (format in DICTIONARY.md).
 * Reading checks every size, offset, checksum and character, so a damaged file yields nothing
 * rather than garbage. */
#ifndef WORDDICT_H
#define WORDDICT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace worddict {

constexpr char kIndexMagic[8] = {'Q', 'F', 'W', 'D', 'I', 'D', 'X', '1'};
constexpr char kDataMagic[8] = {'Q', 'F', 'W', 'D', 'D', 'A', 'T', '1'};
constexpr size_t kHeaderSize = 16;
constexpr size_t kRecordSize = 16;
constexpr size_t kMaxTopics = 256;
constexpr size_t kMaxWordLength = 179;
constexpr size_t kMaxDataSize = 32u << 20;
constexpr size_t kMaxIndexSize = kHeaderSize + kMaxTopics * kRecordSize + 4;

struct Topic {
    int32_t id;
    uint32_t offset;
    uint32_t length;
    uint32_t checksum;
};

uint32_t checksum(const unsigned char* data, size_t length);

/* The topics of an index file, or false when the index is damaged or does not belong to a data
 * file of dataSize bytes. */
bool read_index(const unsigned char* index, size_t indexSize, size_t dataSize, std::vector<Topic>& topics);

/* The words of one topic's block, or false (and no words) when the block is damaged. */
bool read_words(const unsigned char* data, size_t dataSize, const Topic& topic, std::vector<std::string>& words);

/* Builds the file pair from topic word lists (already cleaned: lower case, valid characters). */
void write_pair(const std::vector<std::pair<int32_t, std::vector<std::string>>>& topics, std::string& index,
                std::string& data);

/* The words of a plain word list: one per line, '#' starts a comment line, surrounding white space
 * is dropped and inner runs become one space, letters are lower-cased; repeats are dropped and the
 * words sorted. False (with the line number in *badLine) on a line that is no valid word. */
bool parse_list(const std::string& text, std::vector<std::string>& words, size_t* badLine);

/* A word fit for the dictionary: 1 to 179 printable ASCII characters, not beginning or ending with
 * a space and with no two spaces in a row. */
bool valid_word(const std::string& word);

}  // namespace worddict

#endif
