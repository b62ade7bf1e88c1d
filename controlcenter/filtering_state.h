// The provider key: its presence under HKEY_LOCAL_MACHINE means filtering is on; its subkeys name
// the installed protocol chains.
#pragma once

extern const char kProviderKey[];

// Whether filtering is on: the provider key opens with KEY_ALL_ACCESS.
bool IsFilteringOn();
