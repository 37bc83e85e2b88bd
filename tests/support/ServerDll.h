// ServerDll.h: a test's view of a server DLL through its exports; a DLL that cannot be
// loaded, or lacks an export, fails the test that loads it.
#pragma once

#include "support/ServerLibrary.h"

namespace VrkTest
{

class ServerDll : public ServerLibrary
{
public:
    explicit ServerDll(const char* fileName = "vrksolauth.dll");
};

} // namespace VrkTest
