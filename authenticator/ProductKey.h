// ProductKey.h: where the VRKsolution product records its installation, below
// HKEY_LOCAL_MACHINE; the key's existence alone counts. The server, its console client and
// the tests all look there.
#pragma once

namespace Veyrak
{

constexpr char kProductKeyPath[] = "SOFTWARE\\VEYRAK Corporation\\VRKSolutionClient";

} // namespace Veyrak
