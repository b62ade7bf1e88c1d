// Whether this Windows has what the layered provider needs (Winsock 2, and on Windows NT version
// 4 with service pack 4 or later), judged from the version values in the registry.
#pragma once

bool SystemCheck();
