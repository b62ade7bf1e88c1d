// vtlist_read on a topic file of any content and length, into a record that holds other bytes
// before the read.
//
// Checked besides the sanitizers: the read answers 1; every byte of the record is the file's byte
// (or, past a short file, the byte the record held), with the name bytes of entries 0 to count
// lowered by 32, never more than the 20 entries that exist; writing the record back stores the
// file's first 804 bytes unchanged, and a second read gives the same record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "VTList.h"
#include "fuzz_check.h"
#include "store_root.h"

using qf_fuzz::check;

namespace {

// One machine root for the run, removed when the run ends.
qf_test::StoreRoot& root() {
    static qf_test::StoreRoot r;
    return r;
}

bool is_name_byte(size_t offset, INT count) {
    if (offset < offsetof(TopicRecord, entries)) return false;
    const size_t inEntries = offset - offsetof(TopicRecord, entries);
    const size_t entry = inEntries / sizeof(TopicEntry);
    const size_t field = inEntries % sizeof(TopicEntry);
    const long converted = count < 0 ? 0 : (count >= VTLIST_ENTRIES ? VTLIST_ENTRIES : count + 1);
    return static_cast<long>(entry) < converted && field >= offsetof(TopicEntry, name) &&
           field < offsetof(TopicEntry, name) + VTLIST_NAME_SIZE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string path = root().systemFile("ixplor64.dll");
    const uint8_t fill = data[0];
    const std::vector<unsigned char> file(data + 1, data + size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        check(static_cast<bool>(out));
    }

    TopicRecord record;
    memset(&record, fill, sizeof record);
    check(vtlist_read(&record) == 1);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
    for (size_t i = 0; i < sizeof record; ++i) {
        const unsigned char before = i < file.size() ? file[i] : fill;
        const unsigned char expected =
            is_name_byte(i, record.count) && i < file.size() ? static_cast<unsigned char>(before - 32) : before;
        check(bytes[i] == expected);
    }

    TopicRecord plain = record;
    check(vtlist_write(&record) == 1);
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    check(written.size() == sizeof(TopicRecord));
    if (file.size() >= sizeof(TopicRecord))
        check(memcmp(written.data(), file.data(), sizeof(TopicRecord)) == 0);

    TopicRecord again;
    memset(&again, fill ^ 0xFF, sizeof again);
    check(vtlist_read(&again) == 1);
    check(memcmp(&again, &plain, sizeof again) == 0);
    return 0;
}
