// Loads the log as a module, appends entries and unloads it, as a program whose layered provider
// logs and is then unloaded does; the machine root is named by QUILLFENCE_ROOT:
//   vtlogger_loader <tag> <count> <marker>
// Submits count entries "<tag> <i>", creates the (Linux) file marker, unloads the module and
// sleeps a moment with it gone. Exit code 0 when every Submit answered 1 and nothing failed.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

typedef int (*SubmitProc)(const char*, int, const char*);

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    int count = atoi(argv[2]);
    HMODULE module = LoadLibraryA("vtlogger.dll");
    if (!module) return 3;
    SubmitProc submit = (SubmitProc)(void*)GetProcAddress(module, "VTLogger_Submit");
    if (!submit) return 3;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        char text[64];
        snprintf(text, sizeof(text), "%s %d", argv[1], i);
        if (submit("INFORM", i, text) != 1) ++failures;
    }
    if (FILE* marker = fopen(argv[3], "w")) fclose(marker);
    if (!FreeLibrary(module)) return 4;
    Sleep(300);  // a writer thread left running in the unloaded module would fault here
    return failures == 0 ? 0 : 1;
}
