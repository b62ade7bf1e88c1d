// The provider key under HKEY_LOCAL_MACHINE: filtering is on exactly while it exists; the
// installer records one subkey per installed protocol chain under it.
#pragma once

#define QF_PROVIDER_KEY "SOFTWARE\\WinSock2\\Vantrel Service Provider"
