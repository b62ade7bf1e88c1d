// Failures on demand, for tests: the next calls of a Win32 function fail as they would on a
// machine out of resources, so that a caller's fallback and error paths can be reached.
//
//   qf::fail_next(qf::Fault::CreateThread, 1);   // the next CreateThread fails
//   ...
//   qf::fail_next(qf::Fault::CreateThread, 0);   // nothing more fails
//
// A failing call does nothing else and answers as documented for a lack of resources: NULL (0 for
// RegisterClassA) with the last error ERROR_NOT_ENOUGH_MEMORY. Calls with bad arguments fail with
// their own error first and use up no failure. Process-wide: a call on any thread counts.
#pragma once

namespace qf {

enum class Fault {
    CreateIoCompletionPort,  // every call: creating a port and associating a handle
    CreateThread,
    RegisterClassA,
    CreateWindowExA,
};

// The next count calls of kind fail (count 0 ends a previous request; negative counts as 0).
void fail_next(Fault kind, int count);

// How many of the requested failures of kind have not happened yet.
int fail_remaining(Fault kind);

}  // namespace qf
