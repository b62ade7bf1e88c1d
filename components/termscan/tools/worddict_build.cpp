// Builds the topic word dictionary (worddict.idx + worddict.dat) from plain word lists.
//
//   worddict_build <dir> <worddict.idx> <worddict.dat>
//
// <dir> holds one list per topic, named "<id>_<anything>.txt" (for example 3_gambling.txt); the
// topics are written in the order of their ids.
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "worddict.h"

namespace fs = std::filesystem;

static bool read_text(const fs::path& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

static bool write_text(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out);
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s <list dir> <worddict.idx> <worddict.dat>\n", argv[0]);
        return 2;
    }
    std::map<int32_t, fs::path> lists;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(argv[1], ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".txt") continue;
        const size_t underscore = name.find('_');
        char* end = nullptr;
        const long id = strtol(name.c_str(), &end, 10);
        if (underscore == std::string::npos || end != name.c_str() + underscore || id < 0 || id > 0x7FFFFFFF) {
            fprintf(stderr, "%s: not named <id>_<name>.txt\n", name.c_str());
            return 1;
        }
        if (!lists.emplace(static_cast<int32_t>(id), entry.path()).second) {
            fprintf(stderr, "%s: topic %ld has two lists\n", name.c_str(), id);
            return 1;
        }
    }
    if (ec) {
        fprintf(stderr, "%s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    if (lists.size() > worddict::kMaxTopics) {
        fprintf(stderr, "more than %zu topics\n", worddict::kMaxTopics);
        return 1;
    }
    std::vector<std::pair<int32_t, std::vector<std::string>>> topics;
    for (const auto& [id, path] : lists) {
        std::string text;
        if (!read_text(path, text)) {
            fprintf(stderr, "%s: cannot read\n", path.c_str());
            return 1;
        }
        std::vector<std::string> words;
        size_t badLine = 0;
        if (!worddict::parse_list(text, words, &badLine)) {
            fprintf(stderr, "%s:%zu: not a valid word\n", path.c_str(), badLine);
            return 1;
        }
        topics.emplace_back(id, std::move(words));
    }
    std::string index, data;
    worddict::write_pair(topics, index, data);
    if (data.size() > worddict::kMaxDataSize) {
        fprintf(stderr, "the word lists are too large\n");
        return 1;
    }
    if (!write_text(argv[2], index) || !write_text(argv[3], data)) {
        fprintf(stderr, "cannot write the dictionary\n");
        return 1;
    }
    size_t total = 0;
    for (const auto& t : topics) total += t.second.size();
    printf("%zu topics, %zu words\n", topics.size(), total);
    return 0;
}
