// Thumbprint.h: a certificate's SHA-256 thumbprint, the hash of its DER encoding, by which the
// server names the publishers it accepts.
#pragma once

#include <windows.h>

#include <cstring>

namespace Veyrak
{

struct Thumbprint
{
    BYTE bytes[32];

    bool operator==(const Thumbprint& other) const { return std::memcmp(bytes, other.bytes, sizeof bytes) == 0; }
};

} // namespace Veyrak
