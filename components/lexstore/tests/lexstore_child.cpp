// Inserts count keys "<tag>-<i>" (type 1) into the dictionary of the machine root named by
// QUILLFENCE_ROOT. Exit code 0 when every insert succeeded.
#include <stdio.h>
#include <stdlib.h>

#include "lexstore.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    int count = atoi(argv[2]);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        char key[48];
        snprintf(key, sizeof(key), "%s-%d", argv[1], i);
        if (lexs_insertdb("", key, Word, -1) != 1) ++failures;
    }
    lexs_closedbase();
    return failures == 0 ? 0 : 1;
}
