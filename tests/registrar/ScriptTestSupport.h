// ScriptTestSupport.h: runs tables of script cases over the scratch key, comparing its whole subtree.
#pragma once

#include "registrar/Registrar.h"
#include "support/TestSupport.h"

#include <string>

namespace VrkTest
{

enum class Pass
{
    Register,
    Unregister,
    RoundTrip // registers (which must succeed), then unregisters
};

// Registry contents are written as lines joined by "|": one per key ("A\B") and per value
// ("A\B:Name=S:text"), where "." is the scratch key and "@" a default value; D values in decimal,
// B values in lowercase hex. The order of the lines does not matter.
struct ScriptCase
{
    const char* name;
    std::string text;
    HRESULT expected;
    std::string tree = ""; // after the run
    std::string seed = ""; // written before the run; string values only
    Pass pass = Pass::Register;
};

class ScriptTest : public ScratchKeyTest
{
protected:
    // The hive block that reaches the scratch key (the keys above it NoRemove), around the body.
    std::string InScratch(const std::string& body) const;
    void RunCases(const std::vector<ScriptCase>& cases);

    Veyrak::Registrar m_registrar;
};

} // namespace VrkTest
