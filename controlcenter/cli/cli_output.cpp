#include "cli_output.h"

#include <stdio.h>

int UsageError(const std::string& message) {
    fprintf(stderr, "quillfence: %s\nusage: quillfence COMMAND [ARGS...] [--root DIR] [--password-stdin]"
                    " (quillfence --help lists the commands)\n",
            message.c_str());
    return 2;
}

int Failure(const std::string& message) {
    fflush(stdout);
    fprintf(stderr, "quillfence: %s\n", message.c_str());
    return 1;
}

int DialogRefusal(const std::string& text) {
    std::string shown = text;
    while (!shown.empty() && shown.back() == '\n') shown.pop_back();
    return Failure(shown);
}
