// The process's Winsock state: the start-up count, the catalog read at WSAStartup, and the
// provider libraries loaded from it (one per provider identifier, started once with WSPStartup).
#pragma once

#include "catalog_store.h"

#include <ws2spi.h>

#include <memory>

namespace qf::ws2 {

struct LoadedProvider {
    GUID providerId{};
    DWORD catalogEntryId = 0;  // the entry it was started for
    HMODULE module = nullptr;
    WSPPROC_TABLE procs{};
    bool cleanedUp = false;
    ~LoadedProvider();  // FreeLibrary, once no call is inside the provider any more
};

// Whether WSAStartup has succeeded more often than WSACleanup was called.
bool ws2_started();

// The catalog as read at the latest WSAStartup.
std::shared_ptr<const wscat::Catalog> ws2_catalog();

// The entry of the catalog with this id; false when there is none.
bool ws2_find_entry(DWORD catalogEntryId, wscat::CatalogEntry& entry);

// The provider of a catalog entry, loaded and started on first use. Returns 0 or a Winsock error.
int ws2_provider_for(const wscat::CatalogEntry& entry, std::shared_ptr<LoadedProvider>& provider);

// The upcall table handed to every provider.
const WSPUPCALLTABLE& ws2_upcall_table();

// The calling thread's id for completion routines (opened once per thread).
LPWSATHREADID ws2_current_thread_id();

}  // namespace qf::ws2
