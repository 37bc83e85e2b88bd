// ScriptTestSupport.h: a fixture that runs script texts over the test's scratch key, and a dump of
// a registry subtree as sorted text, so that a test compares the whole result at once.
#pragma once

#include "registrar/Registrar.h"
#include "registrar/ScriptParser.h"
#include "support/TestSupport.h"

#include <string>
#include <vector>

namespace VrkTest
{

// One line per key ("A\B") and per value ("A\B:Name=S:text"); "." is the dumped key itself and
// "@" its default value. D values in decimal, B values in lowercase hex. Lines sorted, joined by "\n".
std::string DumpTree(HKEY root, const std::string& path);

// The expected dump from unsorted lines.
std::string Lines(std::vector<std::string> lines);

class ScriptTest : public ScratchKeyTest
{
protected:
    // Runs the body as the content of the scratch key's block, the keys above it marked NoRemove.
    HRESULT Run(const std::string& body, bool doRegister);
    HRESULT Register(const std::string& body) { return Run(body, true); }
    HRESULT Unregister(const std::string& body) { return Run(body, false); }
    // Runs a whole script text.
    HRESULT RunText(const std::string& text, bool doRegister);
    // The hive block that reaches the scratch key, around the body.
    std::string InScratch(const std::string& body) const;

    std::string Tree() const { return DumpTree(HKEY_CURRENT_USER, ScratchPath()); }
    // Relative to the scratch key; "" names the scratch key itself.
    void SetString(const std::string& path, const std::string& name, const std::string& value);
    void MakeKey(const std::string& path);

    Veyrak::Registrar m_registrar;
};

} // namespace VrkTest
