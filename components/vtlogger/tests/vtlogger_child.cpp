// Appends entries to the log of the machine root named by QUILLFENCE_ROOT:
//   vtlogger_child <tag> <count> [<threads> [<marker>]]
// Each of threads threads (1 when not given) submits count entries, "<tag> <i>" with one thread,
// "<tag> <thread> <i>" with more. With a marker, the program creates that (Linux) file once it
// has begun to end, after main has returned: the test then knows that any entry still waiting
// can only be stored by the library's own clean-up at the process's end.
// Exit code 0 when every Submit answered 1.
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "vtlogger.h"

namespace {

std::string g_marker;

void create_marker() {
    if (FILE* file = fopen(g_marker.c_str(), "w")) fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) return 2;
    const std::string tag = argv[1];
    const int count = atoi(argv[2]);
    const int threads = argc >= 4 ? atoi(argv[3]) : 1;
    if (count < 0 || threads < 1) return 2;
    if (VTLogger_Init() != 1) return 1;
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            const std::string prefix = threads > 1 ? tag + " " + std::to_string(t) + " " : tag + " ";
            for (int i = 0; i < count; ++i)
                if (VTLogger_Submit("INFORM", i, (prefix + std::to_string(i)).c_str()) != 1) ++failures;
        });
    }
    for (std::thread& writer : writers) writer.join();
    if (argc == 5) {
        // Registered after the library's own clean-up, so it runs before that at exit.
        g_marker = argv[4];
        atexit(create_marker);
        return failures == 0 ? 0 : 1;
    }
    VTLogger_Free();
    return failures == 0 ? 0 : 1;
}
