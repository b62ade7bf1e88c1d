// What the installer's tests share: a machine root seeded as quillfence-machine init leaves it,
// the catalog and the provider key's subkeys as they stand, and catalog entries of other vendors.
#pragma once

#include <temp_machine_root.h>
#include <wide_text.h>

#include <windows.h>
#include <ws2spi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace installer_test {

class SeededMachine : public ::testing::Test {
protected:
    void SetUp() override;

    qf_test::TempMachineRoot root_;
};

std::vector<WSAPROTOCOL_INFOW> catalog();
// The library path of every catalog entry, in catalog order, as UTF-8.
std::vector<std::string> catalog_paths();
// The subkey names of the provider key, in registry order (empty when the key is absent).
std::vector<std::string> provider_subkeys();
// Creates subkey path (relative to the provider key, "a\\b" for a nested one).
void create_provider_subkey(const std::string& path);

// Runs ProviderInstaller::Toggle and answers what it wrote to standard output.
std::string toggle();

std::string name_of(const WSAPROTOCOL_INFOW& entry);
std::string guid_text(const GUID& guid);
bool same_guid(const GUID& a, const GUID& b);

// A base entry of another vendor: TCP over IPv4, named name (UTF-16 code units).
WSAPROTOCOL_INFOW foreign_base(const std::basic_string<WCHAR>& name);
// Installs entry under id with library path "othervendor.dll".
void install_foreign(const GUID& id, WSAPROTOCOL_INFOW entry);

const GUID kForeignBaseId = {0x1b2c3d4e, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
const GUID kForeignLayeredId = {0x2b2c3d4e, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
const GUID kForeignChainId = {0x3b2c3d4e, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};

}  // namespace installer_test
