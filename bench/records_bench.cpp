// bench-links: addrrec sockrec
// Look-ups in full record tables, as the connect check and every inspected send or receive do.
#include "addrrec.h"
#include "sockrec.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_AddrrecRetrieve(benchmark::State& state) {
    addrrec_init();
    std::vector<AddressRecord> table(ADDRREC_CAPACITY);
    INT count = 0;
    for (DWORD i = 0; i < ADDRREC_CAPACITY; ++i) addrrec_add(table.data(), &count, 0x0a000000u + i * 7919u, 2, "", 2);
    DWORD i = 0;
    for (auto _ : state) {
        AddressRecord* record = nullptr;
        benchmark::DoNotOptimize(addrrec_retrieve(table.data(), count, 0x0a000000u + (i++ % ADDRREC_CAPACITY) * 7919u,
                                                  &record));
        benchmark::DoNotOptimize(record);
    }
}
BENCHMARK(BM_AddrrecRetrieve)->ThreadRange(1, 4);

void BM_AddrrecRetrieveMissing(benchmark::State& state) {
    addrrec_init();
    std::vector<AddressRecord> table(ADDRREC_CAPACITY);
    INT count = 0;
    for (DWORD i = 0; i < ADDRREC_CAPACITY; ++i) addrrec_add(table.data(), &count, i, 2, "", 2);
    DWORD i = 0;
    for (auto _ : state) {
        AddressRecord* record = nullptr;
        benchmark::DoNotOptimize(addrrec_retrieve(table.data(), count, 0x80000000u + i++, &record));
    }
}
BENCHMARK(BM_AddrrecRetrieveMissing);

void BM_SockrecRetrieve(benchmark::State& state) {
    sockrec_init();
    std::vector<SocketRecord> table(SOCKREC_CAPACITY);
    INT count = 0;
    for (SOCKET s = 0; s < SOCKREC_CAPACITY; ++s) sockrec_add(table.data(), &count, s + 3, 80, 0, 1, 0, 0, 0, 0, 0);
    SOCKET s = 0;
    for (auto _ : state) {
        SocketRecord* record = nullptr;
        benchmark::DoNotOptimize(sockrec_retrieve(table.data(), count, 3 + (s++ % SOCKREC_CAPACITY), &record));
    }
}
BENCHMARK(BM_SockrecRetrieve);

void BM_SockrecAddDelete(benchmark::State& state) {
    sockrec_init();
    std::vector<SocketRecord> table(SOCKREC_CAPACITY);
    INT count = 0;
    for (SOCKET s = 0; s < 1000; ++s) sockrec_add(table.data(), &count, s + 3, 80, 0, 1, 0, 0, 0, 0, 0);
    for (auto _ : state) {
        sockrec_add(table.data(), &count, 5000, 53, 0, 1, 0, 0, 0, 0, 0);
        sockrec_delete(table.data(), &count, 5000);
    }
}
BENCHMARK(BM_SockrecAddDelete);

}  // namespace

BENCHMARK_MAIN();
