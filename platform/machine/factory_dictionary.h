// The factory topic word dictionary, built into the program from data/dict1.
#pragma once

#include <cstddef>

namespace qf {

struct EmbeddedFile {
    const char* name;  // file name under DBDIR "db\dict1\"
    const unsigned char* data;
    size_t size;
};

extern const EmbeddedFile kFactoryDictionary[];
extern const size_t kFactoryDictionaryFileCount;  // 0 when the build found no dictionary

}  // namespace qf
