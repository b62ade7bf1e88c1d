// The four settings store readers on files of any content, and the schedule check on any
// schedule and time. The first byte picks the store and whether the payload goes into the file as
// it is or wrapped in a sound header and checksum (so the record's own checks are reached); two
// more bytes give a time of the week for the schedule check.
//
// Checked besides the sanitizers: read answers 0 or 1; on 0 the record is untouched; on 1 the
// record is one that write accepts and a second read gives it back; a sound file that read refuses
// holds a record that write refuses too. The schedule check answers 0, 1 or 2 on any record, and on
// a record read from the store agrees with a second-by-second walk over the warning period.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "recfile.h"
#include "store_root.h"
#include "vtfw.h"
#include "vtperiod.h"
#include "vtperiod_clock.h"
#include "vtrsac.h"
#include "vtssurf.h"

using qf_fuzz::check;

namespace {

// One machine root for the run, removed when the run ends.
qf_test::StoreRoot& root() {
    static qf_test::StoreRoot r;
    return r;
}

struct Store {
    const char* file;  // under DBDIR, with slashes
    char tag[4];
    size_t size;
    int (*read)(void*);
    int (*write)(void*);
};

template <typename Record, int (*F)(Record*)>
int call(void* record) {
    return F(static_cast<Record*>(record));
}

const Store kStores[] = {
    {"db/rsac.dat", {'R', 'S', 'A', 'C'}, sizeof(RsacSettings), call<RsacSettings, vtrsac_read>,
     call<RsacSettings, vtrsac_write>},
    {"db/ssurf.dat", {'S', 'S', 'R', 'F'}, sizeof(SafeSurfSettings), call<SafeSurfSettings, vtssurf_read>,
     call<SafeSurfSettings, vtssurf_write>},
    {"db/fw.dat", {'P', 'R', 'F', 'W'}, sizeof(ProtocolRuleTable), call<ProtocolRuleTable, vtfw_read>,
     call<ProtocolRuleTable, vtfw_write>},
    {"db/period.dat", {'P', 'E', 'R', 'D'}, sizeof(AccessTimeTable), call<AccessTimeTable, vtperiod_read>,
     call<AccessTimeTable, vtperiod_write>},
};

void put32(std::vector<unsigned char>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// The file a store writes for record: magic, tag, size, the record, CRC-32 over all of it.
std::vector<unsigned char> sound_file(const Store& store, const std::vector<unsigned char>& record) {
    std::vector<unsigned char> file = {'Q', 'F', 'R', 'C'};
    file.insert(file.end(), store.tag, store.tag + 4);
    put32(file, static_cast<uint32_t>(store.size));
    file.insert(file.end(), record.begin(), record.end());
    put32(file, recfile_crc32(file.data(), file.size()));
    return file;
}

void write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out));
}

// The same as vtperiod_validate_at, by walking every second of the warning period.
int walk_schedule(const AccessTimeTable& table, int day, int hour, int minute, int second) {
    const long week = 7L * 24 * 3600;
    const long now = day * 86400L + hour * 3600L + minute * 60L + (second > 59 ? 59 : second);
    auto allowed = [&](long t) {
        const long slot = (t % week) / 1800;
        return table.slots[slot / 48][slot % 48] != 0;
    };
    if (!allowed(now)) return 0;
    bool always = true;
    for (long s = 0; s < 336; ++s) always = always && allowed(s * 1800);
    if (always) return 1;
    for (long d = 1; d <= table.warningMinutes * 60L; ++d)
        if (!allowed(now + d)) return 2;
    return 1;
}

// A schedule made from the payload's bits, every value one the store accepts.
AccessTimeTable schedule_from(const std::vector<unsigned char>& payload) {
    AccessTimeTable table;
    memset(&table, 0, sizeof table);
    auto bit = [&](size_t i) { return i / 8 < payload.size() ? (payload[i / 8] >> (i % 8)) & 1 : 0; };
    table.enabled = 1;
    table.warningMinutes = 5 * (1 + (payload.empty() ? 0 : payload[0] % 3));
    for (size_t k = 0; k < 336; ++k) table.slots[k / 48][k % 48] = bit(8 + k);
    return table;
}

SYSTEMTIME time_of_week(int day, int minuteOfDay, int second) {
    SYSTEMTIME time;
    memset(&time, 0, sizeof time);
    time.wDayOfWeek = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(minuteOfDay / 60);
    time.wMinute = static_cast<WORD>(minuteOfDay % 60);
    time.wSecond = static_cast<WORD>(second);
    return time;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const Store& store = kStores[data[0] % 4];
    const bool wrapped = (data[0] & 4) != 0;
    const int day = data[1] % 8;  // 7 is no day of the week
    const int minuteOfDay = (data[2] * 6) % 1441;
    const int second = (data[1] >> 3) * 2;  // up to 62: a leap second and beyond
    const std::vector<unsigned char> payload(data + 3, data + size);
    if ((data[0] & 8) != 0) {
        // The schedule check alone, on a sound schedule.
        const AccessTimeTable table = schedule_from(payload);
        const SYSTEMTIME time = time_of_week(day, minuteOfDay, second);
        const int expected = (day > 6 || time.wHour > 23) ? 0 : walk_schedule(table, day, time.wHour, time.wMinute, second);
        check(vtperiod_validate_at(&table, &time) == expected);
        return 0;
    }

    std::vector<unsigned char> record(payload);
    record.resize(store.size, 0);
    const std::string path = root().installed(store.file);
    write_file(path, wrapped ? sound_file(store, record) : payload);

    std::vector<unsigned char> read(store.size, 0xA5);
    const int result = store.read(read.data());
    check(result == 0 || result == 1);
    if (result == 0) {
        for (unsigned char b : read) check(b == 0xA5);
        if (wrapped) check(store.write(record.data()) == 0);
    } else {
        if (wrapped) {
            // The file's own record, but for the protocol rules' reserved bytes, which the store clears.
            std::vector<unsigned char> expected = record;
            if (store.size == sizeof(ProtocolRuleTable)) {
                for (int i = 0; i < PROTOCOL_RULE_CAPACITY; ++i)
                    memcpy(&read[offsetof(ProtocolRuleTable, rules) + i * sizeof(ProtocolRule) +
                                 offsetof(ProtocolRule, reserved)],
                           &expected[offsetof(ProtocolRuleTable, rules) + i * sizeof(ProtocolRule) +
                                     offsetof(ProtocolRule, reserved)],
                           2);
            }
            check(read == expected);
        }
        std::vector<unsigned char> copy = read;
        check(store.write(copy.data()) == 1);
        std::vector<unsigned char> again(store.size, 0x5A);
        check(store.read(again.data()) == 1);
        if (store.size == sizeof(ProtocolRuleTable)) {
            for (int i = 0; i < PROTOCOL_RULE_CAPACITY; ++i) {
                const size_t at = offsetof(ProtocolRuleTable, rules) + i * sizeof(ProtocolRule) +
                                  offsetof(ProtocolRule, reserved);
                memset(&again[at], 0, 2);
                memset(&read[at], 0, 2);
            }
        }
        check(again == read);
    }

    if (store.size == sizeof(AccessTimeTable)) {
        const SYSTEMTIME time = time_of_week(day, minuteOfDay, second);
        AccessTimeTable raw;
        memcpy(&raw, record.data(), sizeof raw);
        const int answer = vtperiod_validate_at(&raw, &time);
        check(answer >= 0 && answer <= 2);
        if (result == 1) {
            AccessTimeTable table;
            memcpy(&table, read.data(), sizeof table);
            const int expected = (day > 6 || time.wHour > 23) ? 0 : walk_schedule(table, day, time.wHour, time.wMinute, second);
            check(vtperiod_validate_at(&table, &time) == expected);
        }
    }
    return 0;
}
