// The pass-through layered provider of the Winsock tests: it forwards every call to the next
// provider of its chain, handing out its own socket handles, and counts the calls of each entry
// point so that a test can see which ones were reached.
#pragma once

#include <ws2spi.h>

// The provider's identifier: its hidden layered entry in the catalog carries it.
constexpr GUID kPassthruLayeredId = {0x7e1c5a40, 0x2b9d, 0x4c61, {0x8f, 0x03, 0x51, 0x9a, 0x6d, 0x2e, 0xb4, 0x10}};

// Exported: how often entry point `index` (its position in WSPPROC_TABLE) was called.
extern "C" LONG passthru_calls(int index);
typedef LONG (*PassthruCallsFn)(int index);
// Exported: the upcall table the provider received at its latest WSPStartup.
extern "C" const WSPUPCALLTABLE* passthru_upcalls();
typedef const WSPUPCALLTABLE* (*PassthruUpcallsFn)();
