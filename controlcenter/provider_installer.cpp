// ProviderInstaller::Toggle: one hidden layered entry for vtlsp.dll plus a protocol chain over every
// base provider, each chain recorded as a subkey of the provider key and moved to the front of the
// catalog order; or all of that removed again.
//
// An installation that cannot complete (the layered entry, a chain, its record or the new order
// refused) is undone, so the provider key, which the Control Center reads as "on", is only left
// behind by an installation that put every chain in front of the base providers.
#include "provider_installer.h"

#include "chain_guid.h"
#include "protocol_catalog.h"
#include "filtering_state.h"

#include <windows.h>
#include <sporder.h>
#include <ws2spi.h>

#include <stdio.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

namespace {

// "vtlsp.dll", without a directory: the platform resolves it.
const WCHAR kProviderPath[] = {'v', 't', 'l', 's', 'p', '.', 'd', 'l', 'l', 0};
const char kLayeredName[] = "LAYERED_VTLSP";
const char kChainPrefix[] = "LAYERED ";

// Registry key names are at most 255 characters.
const DWORD kSubkeyNameSize = 256;

// Data1 of the next chain identifier; set to the current time at the start of each installation,
// so the chains of one installation get consecutive values.
DWORD chainCounter = 0;

bool same_guid(const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof(GUID)) == 0; }

void set_name(WSAPROTOCOL_INFOW& info, const char* text) {
    memset(info.szProtocol, 0, sizeof(info.szProtocol));
    for (size_t i = 0; text[i] && i < WSAPROTOCOL_LEN; ++i) info.szProtocol[i] = static_cast<unsigned char>(text[i]);
}

// "LAYERED " followed by the base entry's name, cut to fit the 256 characters of szProtocol
// (terminator included) and never between the two halves of a surrogate pair.
void set_chain_name(WSAPROTOCOL_INFOW& chain, const WSAPROTOCOL_INFOW& base) {
    WCHAR name[WSAPROTOCOL_LEN + 1] = {};
    size_t n = 0;
    for (; kChainPrefix[n]; ++n) name[n] = static_cast<unsigned char>(kChainPrefix[n]);
    for (size_t i = 0; i <= WSAPROTOCOL_LEN && base.szProtocol[i] && n < WSAPROTOCOL_LEN; ++i) name[n++] = base.szProtocol[i];
    if (n == WSAPROTOCOL_LEN && name[n - 1] >= 0xD800 && name[n - 1] <= 0xDBFF) name[--n] = 0;
    memcpy(chain.szProtocol, name, sizeof(name));
}

WSAPROTOCOL_INFOW layered_record() {
    WSAPROTOCOL_INFOW info;
    memset(&info, 0, sizeof(info));
    info.dwServiceFlags1 = 0;
    info.dwServiceFlags2 = 0;
    info.dwServiceFlags3 = 0;
    info.dwServiceFlags4 = 0;
    info.dwProviderFlags = PFL_HIDDEN;
    info.ProviderId = kLayeredProviderId;
    info.dwCatalogEntryId = 0;
    info.ProtocolChain.ChainLen = LAYERED_PROTOCOL;
    info.iVersion = 0;
    info.iAddressFamily = AF_INET;
    info.iMaxSockAddr = 16;
    info.iMinSockAddr = 16;
    info.iSocketType = SOCK_RAW;
    info.iProtocol = 0;
    info.iProtocolMaxOffset = 0;
    info.iNetworkByteOrder = 0;
    info.iSecurityScheme = 0;
    info.dwMessageSize = 0;
    info.dwProviderReserved = 0;
    set_name(info, kLayeredName);
    return info;
}

// What one installation has put in place so far, so that a failed one can be undone.
struct Installed {
    HKEY key = nullptr;
    bool createdKey = false;
    bool layered = false;
    struct Chain {
        GUID id;
        bool inCatalog;  // false: only its subkey was created (the identifier may be someone else's)
    };
    std::vector<Chain> chains;
};

bool is_chain_of(const WSAPROTOCOL_INFOW& entry, DWORD layeredId) {
    return entry.ProtocolChain.ChainLen > 1 && entry.ProtocolChain.ChainEntries[0] == layeredId;
}

// Records and installs a chain over base entry B. False when it could not be put in place.
bool install_chain(const WSAPROTOCOL_INFOW& base, DWORD layeredId, Installed& installed) {
    const std::string baseName = ProtocolNameText(base);
    GUID chainId;
    MakeChainGuid(chainId, chainCounter);
    char* text = FormatGuid(chainId);
    if (!text) {
        printf("UuidToString() Failed\n");
        return false;
    }
    // The record comes first: a chain in the catalog that no subkey names could never be removed.
    HKEY subkey;
    LONG status = RegCreateKeyExA(installed.key, text, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &subkey, nullptr);
    FreeGuidText(text);
    if (status != ERROR_SUCCESS) {
        printf("The record of the chain over %s cannot be created (error %ld).\n", baseName.c_str(), (long)status);
        return false;
    }
    RegCloseKey(subkey);
    installed.chains.push_back({chainId, false});

    WSAPROTOCOL_INFOW chain = base;
    chain.ProviderId = chainId;
    set_chain_name(chain, base);
    chain.ProtocolChain.ChainLen = 2;
    chain.ProtocolChain.ChainEntries[0] = layeredId;
    chain.ProtocolChain.ChainEntries[1] = base.dwCatalogEntryId;
    int error = 0;
    if (WSCInstallProvider(&chainId, kProviderPath, &chain, 1, &error) != 0) {
        printf("Installation over %s failed with error %ld.\n", baseName.c_str(), (long)error);
        return false;
    }
    installed.chains.back().inCatalog = true;
    printf("Installed over %s.\n", baseName.c_str());
    return true;
}

// The installation proper; false as soon as a step fails (what was done is in installed).
bool install_all(Installed& installed) {
    WSAPROTOCOL_INFOW layered = layered_record();
    GUID layeredGuid = kLayeredProviderId;
    int error = 0;
    if (WSCInstallProvider(&layeredGuid, kProviderPath, &layered, 1, &error) != 0) {
        printf("The layered provider cannot be installed (error %ld).\n", (long)error);
        return false;
    }
    installed.layered = true;

    printf("Scanning Installed Providers\n");
    std::vector<WSAPROTOCOL_INFOW> entries;
    if (int readError = ReadProtocolCatalog(entries, "Installing Layered Providers\n")) {
        printf("The catalog cannot be read (error %ld).\n", (long)readError);
        return false;
    }
    DWORD layeredId = 0;
    bool found = false;
    for (const WSAPROTOCOL_INFOW& entry : entries) {
        if (same_guid(entry.ProviderId, kLayeredProviderId)) {
            layeredId = entry.dwCatalogEntryId;
            found = true;
        }
    }
    if (!found) {
        printf("The layered provider is missing from the catalog.\n");
        return false;
    }
    int chains = 0;
    for (const WSAPROTOCOL_INFOW& base : entries) {
        if (base.ProtocolChain.ChainLen != BASE_PROTOCOL) continue;  // layered entries and chains of any provider
        if (!install_chain(base, layeredId, installed)) return false;
        ++chains;
    }
    if (chains == 0) {
        printf("The catalog holds no base provider to install over.\n");
        return false;
    }

    printf("Preparing To Reorder Installed Chains\n");
    if (int readError = ReadProtocolCatalog(entries, "Reordering Installed Chains\n")) {
        printf("The catalog cannot be read (error %ld).\n", (long)readError);
        return false;
    }
    std::vector<DWORD> order;
    order.reserve(entries.size());
    for (const WSAPROTOCOL_INFOW& entry : entries)
        if (is_chain_of(entry, layeredId)) order.push_back(entry.dwCatalogEntryId);
    for (const WSAPROTOCOL_INFOW& entry : entries)
        if (!is_chain_of(entry, layeredId)) order.push_back(entry.dwCatalogEntryId);
    printf("Saving New Protocol Order\n");
    int result = WSCWriteProviderOrder(order.data(), static_cast<DWORD>(order.size()));
    if (result != 0) {
        printf("Reordering failed with error %ld", (long)result);
        printf("\n");
        return false;
    }
    return true;
}

// Takes out what a failed installation put in place: its chains and their records, the layered
// entry if it installed it, and the provider key if it created it.
void undo(Installed& installed) {
    printf("Installation incomplete: removing what was installed\n");
    int error = 0;
    for (Installed::Chain& chain : installed.chains) {
        if (chain.inCatalog) WSCDeinstallProvider(&chain.id, &error);
        if (char* text = FormatGuid(chain.id)) {
            RegDeleteKeyA(installed.key, text);
            FreeGuidText(text);
        }
    }
    if (installed.layered) {
        GUID layeredGuid = kLayeredProviderId;
        WSCDeinstallProvider(&layeredGuid, &error);
    }
    RegCloseKey(installed.key);
    if (installed.createdKey) {
        LONG status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProviderKey);
        if (status != ERROR_SUCCESS) printf("The provider key cannot be deleted (error %ld).\n", (long)status);
    }
}

void install() {
    chainCounter = static_cast<DWORD>(time(nullptr));
    Installed installed;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &installed.key, &disposition);
    if (status != ERROR_SUCCESS) {
        printf("The provider key cannot be created (error %ld).\n", (long)status);
        return;
    }
    installed.createdKey = disposition == REG_CREATED_NEW_KEY;
    if (install_all(installed))
        RegCloseKey(installed.key);
    else
        undo(installed);
}

// Deinstalls every chain the provider key records, the key and the layered entry. A subkey that
// cannot be deleted ends the loop (it would be read again at index 0 for ever); the provider key
// and the layered entry then stay, since chains that are still recorded may still need it.
void remove(HKEY key) {
    printf("Removing Installed Layered Providers\n");
    char name[kSubkeyNameSize];
    DWORD length = sizeof(name);
    LONG status = RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    printf("Removing layered provider protocol chains\n");
    bool stopped = false;
    int error = 0;
    while (status != ERROR_NO_MORE_ITEMS) {
        if (status != ERROR_SUCCESS) {
            printf("The chain records cannot be read (error %ld); removal stops here.\n", (long)status);
            stopped = true;
            break;
        }
        GUID chain;
        // Only an identifier of this provider's chains is deinstalled: a subkey of any other name
        // is no instruction to take someone else's entry out of the catalog.
        if (ParseGuid(name, length, chain) && IsChainGuid(chain))
            WSCDeinstallProvider(&chain, &error);
        else
            printf("Subkey %s names no chain of this provider; nothing deinstalled for it.\n", name);
        LONG deleted = RegDeleteKeyA(key, name);
        if (deleted != ERROR_SUCCESS) {
            printf("Subkey %s cannot be deleted (error %ld); removal stops here.\n", name, (long)deleted);
            stopped = true;
            break;
        }
        length = sizeof(name);
        status = RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    }
    RegCloseKey(key);
    if (stopped) {
        printf("The provider key and the layered provider stay installed.\n");
        return;
    }
    LONG deleted = RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProviderKey);
    if (deleted != ERROR_SUCCESS) printf("The provider key cannot be deleted (error %ld).\n", (long)deleted);
    GUID layeredGuid = kLayeredProviderId;
    WSCDeinstallProvider(&layeredGuid, &error);
}

}  // namespace

void ProviderInstaller::Toggle() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviderKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
        remove(key);
    else
        install();
    printf("Press any key to continue...\n");
    fflush(stdout);
}
