// Raises alerts in the machine root named by QUILLFENCE_ROOT:
//   vtmessage_child <tag> <count> [<threads> [<marker>]]
// Each of threads threads (1 when not given) raises count alerts, "<tag> <i>" with one thread,
// "<tag> <thread> <i>" with more. With a marker, the program creates that (Linux) file once it
// has begun to end, after main has returned: the test then knows that any alert still waiting
// can only be stored by the library's own clean-up at the process's end.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <thread>
#include <vector>

#include "vtmessage.h"

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
    std::vector<std::thread> raisers;
    for (int t = 0; t < threads; ++t) {
        raisers.emplace_back([&, t] {
            const std::string prefix = threads > 1 ? tag + " " + std::to_string(t) + " " : tag + " ";
            for (int i = 0; i < count; ++i) VTGenerateMsg("Quillfence Warning", (prefix + std::to_string(i)).c_str());
        });
    }
    for (std::thread& raiser : raisers) raiser.join();
    if (argc == 5) {
        // Registered after the library's own clean-up, so it runs before that at exit.
        g_marker = argv[4];
        atexit(create_marker);
        return 0;
    }
    VTMessage_Close();
    return 0;
}
