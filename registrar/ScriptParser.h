// ScriptParser.h: reads a registration script and applies it to the registry, registering or
// unregistering. One parser serves one run of one script; it takes no locks.
#pragma once

#include "Common/Utility/UniqueResource.h"
#include "registrar/ScriptTables.h"

#include <windows.h>

namespace Veyrak
{

class Registrar;

class ScriptParser
{
public:
    // The registrar supplies the variables that "%name%" references expand to; it must outlive the parser.
    explicit ScriptParser(const Registrar& registrar) : m_registrar(registrar) {}
    ScriptParser(const ScriptParser&) = delete;
    ScriptParser& operator=(const ScriptParser&) = delete;

    // Expands the text's variables and runs its hive blocks in order. A block that fails while
    // registering is unregistered again; the blocks before it stay. Throws nothing.
    HRESULT RunScript(const char* text, BOOL doRegister);

private:
    HRESULT ExpandVariables(const char* text, UniqueTaskMemory& expanded) const;
    void SkipBlanks();
    // Reads the next token into m_token.
    HRESULT ReadToken();
    HRESULT ReadQuotedToken();
    HRESULT ReadUnquotedToken();
    bool TokenIs(const char* keyword) const { return IsKeyword(m_token, keyword); }
    bool TokenIsOpenBrace() const { return m_token[0] == '{' && m_token[1] == '\0'; }

    HRESULT ProcessBlock(HKEY parent, bool doRegister);
    HRESULT RegisterBlock(HKEY parent);
    HRESULT RegisterRemoval(HKEY parent, bool& isDelete);
    HRESULT RegisterKeyEntry(HKEY parent, UniqueHkey& current);
    HRESULT ReadValueName(char (&valueName)[kValueNameSize]);
    HRESULT UnregisterBlock(HKEY parent, bool recovering);
    HRESULT UnregisterValueEntry(HKEY parent, bool recovering);
    HRESULT UnregisterKeyEntry(HKEY parent, UniqueHkey& current, bool noRemove, bool& recovering,
                               bool enteredRecovering);
    HRESULT SkipNestedBlock(HKEY key, bool recovering, bool& blockRead);
    // Entered with the "=" token in hand; a null value name sets the key's default value.
    HRESULT SetValueFromScript(HKEY key, const char* valueName);
    HRESULT SkipValueAssignment();

    const Registrar& m_registrar;
    const char* m_cursor = nullptr;
    // The token in hand; shared by every block level, so a block copies what it must keep.
    char m_token[kTokenSize] = {};
};

} // namespace Veyrak
