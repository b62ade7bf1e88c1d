// vtlsp installed by hand in a test's or benchmark's machine root, as its installer would: the
// hidden layered entry, one chain over the base TCP entry, the chain first in the order.
#pragma once

#include <winsock2.h>
#include <ws2spi.h>

#include <string>
#include <vector>

namespace vtlsp_install {

// vtlsp's provider identifier, as the installer gives it, and the test chain's.
extern const GUID kVtlspId;
extern const GUID kChainId;

bool same_id(const GUID& a, const GUID& b);
std::vector<WSAPROTOCOL_INFOW> enumerate_catalog();
// False, with a sentence in error, when a step fails. base: the base TCP entry the chain covers.
bool install_vtlsp(WSAPROTOCOL_INFOW& base, std::string& error);

}  // namespace vtlsp_install
