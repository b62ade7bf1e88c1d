// The Wine test's base provider (winebase.dll): WSPStartup, and the port routing of its connects.
#pragma once

#include <windows.h>

// From now on a connect to port fromPort goes to toPort of the same address.
extern "C" void winebase_route(WORD fromPort, WORD toPort);
typedef void (*WinebaseRoute)(WORD fromPort, WORD toPort);
