// ServerDll.cpp: the loader, checked.
#include "support/ServerDll.h"

#include "support/TestSupport.h"

namespace VrkTest
{

ServerDll::ServerDll(const char* fileName) : ServerLibrary(fileName)
{
    EXPECT_HR(S_OK, Result()) << "cannot load " << ProgramDirectory() << fileName << " with its exports";
}

} // namespace VrkTest
