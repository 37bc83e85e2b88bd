// ScriptBlocks.cpp: the script's block level: key and value entries applied to the registry,
// registering (open or create, write) and unregistering (delete what the script names, keeping
// shared keys), and the value assignments.
#include "registrar/ScriptParser.h"

#include "Common/Utility/Result.h"
#include "Common/Utility/TextConversion.h"
#include "registrar/RegistryTree.h"

#include <oleauto.h>

#include <cstring>

namespace Veyrak
{

namespace
{

// Closes a key whose close result decides the block's outcome.
HRESULT CloseCurrentKey(UniqueHkey& key)
{
    if (!key)
        return S_OK;
    return ::RegCloseKey(key.release()) == ERROR_SUCCESS ? S_OK : DISP_E_EXCEPTION;
}

// Copies the text when it fits whole; a name cut short could name some other key.
bool CopyWhole(char* target, size_t size, const char* text)
{
    size_t length = std::strlen(text);
    if (length >= size)
        return false;
    std::memcpy(target, text, length + 1);
    return true;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

} // namespace

HRESULT ScriptParser::ProcessBlock(HKEY parent, bool doRegister)
{
    return doRegister ? RegisterBlock(parent) : UnregisterBlock(parent, false);
}

HRESULT ScriptParser::RegisterBlock(HKEY parent)
{
    UniqueHkey current;
    VRK_RETURN_IF_FAILED(ReadToken());
    while (m_token[0] != '}')
    {
        bool isDelete = false;
        if (TokenIs(kForceRemoveKeyword) || TokenIs(kDeleteKeyword))
            VRK_RETURN_IF_FAILED(RegisterRemoval(parent, isDelete));

        bool keyEntry = !isDelete;
        if (keyEntry && TokenIs(kNoRemoveKeyword))
            VRK_RETURN_IF_FAILED(ReadToken());
        if (keyEntry && TokenIs(kValKeyword))
        {
            char valueName[kValueNameSize];
            VRK_RETURN_IF_FAILED(ReadValueName(valueName));
            VRK_RETURN_IF_FAILED(SetValueFromScript(parent, valueName));
            keyEntry = false;
        }
        else if (keyEntry)
        {
            VRK_RETURN_IF_FAILED(RegisterKeyEntry(parent, current));
        }

        if (TokenIsOpenBrace())
        {
            // Only a key entry opens a key for a nested block to work in.
            if (!keyEntry)
                return DISP_E_EXCEPTION;
            VRK_RETURN_IF_FAILED(RegisterBlock(current.get()));
            VRK_RETURN_IF_FAILED(ReadToken());
        }
    }
    return CloseCurrentKey(current);
}

// "ForceRemove" or "Delete" in hand: removes the named key's subtree unless the name is protected.
// After "Delete" the token after the entry is in hand; after "ForceRemove" the key name is.
HRESULT ScriptParser::RegisterRemoval(HKEY parent, bool& isDelete)
{
    isDelete = TokenIs(kDeleteKeyword);
    VRK_RETURN_IF_FAILED(ReadToken());
    if (!IsKeyName(m_token))
        return DISP_E_EXCEPTION;
    if (!IsProtectedKeyName(m_token))
        DeleteKeyTree(parent, m_token);
    if (!isDelete)
        return S_OK;
    VRK_RETURN_IF_FAILED(ReadToken());
    return SkipValueAssignment();
}

// Key name in hand: opens or creates the key as the block's current key, sets its default value
// when an assignment follows, and leaves the next token in hand.
HRESULT ScriptParser::RegisterKeyEntry(HKEY parent, UniqueHkey& current)
{
    if (!IsKeyName(m_token))
        return DISP_E_EXCEPTION;
    UniqueHkey key;
    if (::RegOpenKeyExA(parent, m_token, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS &&
        ::RegOpenKeyExA(parent, m_token, 0, KEY_READ, key.put()) != ERROR_SUCCESS &&
        ::RegCreateKeyExA(parent, m_token, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS)
        return DISP_E_EXCEPTION;
    VRK_RETURN_IF_FAILED(CloseCurrentKey(current));
    current = std::move(key);

    VRK_RETURN_IF_FAILED(ReadToken());
    if (m_token[0] == '=')
        return SetValueFromScript(current.get(), nullptr);
    return S_OK;
}

// "Val" in hand: reads the value name and the "=" after it, leaving the "=" in hand.
HRESULT ScriptParser::ReadValueName(char (&valueName)[kValueNameSize])
{
    VRK_RETURN_IF_FAILED(ReadToken());
    if (!CopyWhole(valueName, kValueNameSize, m_token))
        return DISP_E_EXCEPTION;
    VRK_RETURN_IF_FAILED(ReadToken());
    return m_token[0] == '=' ? S_OK : DISP_E_EXCEPTION;
}

HRESULT ScriptParser::UnregisterBlock(HKEY parent, bool enteredRecovering)
{
    UniqueHkey current;
    bool noRemove = false;
    bool recovering = enteredRecovering;
    VRK_RETURN_IF_FAILED(ReadToken());
    while (m_token[0] != '}')
    {
        // Removal keywords only matter while registering.
        if (TokenIs(kForceRemoveKeyword) || TokenIs(kDeleteKeyword))
            VRK_RETURN_IF_FAILED(ReadToken());
        // The mark holds for the rest of the block, not for one entry.
        if (TokenIs(kNoRemoveKeyword))
        {
            noRemove = true;
            VRK_RETURN_IF_FAILED(ReadToken());
        }
        if (TokenIs(kValKeyword))
            VRK_RETURN_IF_FAILED(UnregisterValueEntry(parent, recovering));
        else
            VRK_RETURN_IF_FAILED(UnregisterKeyEntry(parent, current, noRemove, recovering, enteredRecovering));
    }
    return CloseCurrentKey(current);
}

HRESULT ScriptParser::UnregisterValueEntry(HKEY parent, bool recovering)
{
    char valueName[kValueNameSize];
    VRK_RETURN_IF_FAILED(ReadValueName(valueName));
    if (!recovering)
        ::RegDeleteValueA(parent, valueName);
    return SkipValueAssignment();
}

// Key name in hand. A missing key shields its own subtree; a key with no subkeys and at most its
// default value goes at once; any other key is walked and goes only if no subkey remains. The key
// goes before the token after its entry is read, so that a script cut short or broken right
// there (a failed registration being rolled back) still removes it.
HRESULT ScriptParser::UnregisterKeyEntry(HKEY parent, UniqueHkey& current, bool noRemove, bool& recovering,
                                         bool enteredRecovering)
{
    if (!IsKeyName(m_token))
        return DISP_E_EXCEPTION;
    if (!recovering)
    {
        // Value entries inside the key delete from it, which needs KEY_SET_VALUE.
        UniqueHkey key;
        if (::RegOpenKeyExA(parent, m_token, 0, KEY_READ | KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
            current = std::move(key);
        else
            recovering = true;
    }
    char keyName[kRememberedKeyNameSize];
    bool mayDelete = !noRemove && CopyWhole(keyName, kRememberedKeyNameSize, m_token);
    bool blockRead = false;

    if (recovering || KeyHasSubkeys(current.get()) || KeyHasNamedValues(current.get()))
    {
        VRK_RETURN_IF_FAILED(SkipNestedBlock(current.get(), recovering, blockRead));
        if (recovering)
        {
            recovering = enteredRecovering;
        }
        else if (!KeyHasSubkeys(current.get()))
        {
            VRK_RETURN_IF_FAILED(CloseCurrentKey(current));
            if (mayDelete)
                ::RegDeleteKeyA(parent, keyName);
        }
        return blockRead ? ReadToken() : S_OK;
    }

    VRK_RETURN_IF_FAILED(CloseCurrentKey(current));
    if (mayDelete)
        ::RegDeleteKeyA(parent, keyName);
    VRK_RETURN_IF_FAILED(SkipNestedBlock(nullptr, true, blockRead));
    return blockRead ? ReadToken() : S_OK;
}

// Reads past the entry's assignment and nested block (unregistering it in `key` unless
// recovering). After a block, `blockRead` is set and the next entry's first token is still to
// be read; otherwise that token is in hand.
HRESULT ScriptParser::SkipNestedBlock(HKEY key, bool recovering, bool& blockRead)
{
    blockRead = false;
    VRK_RETURN_IF_FAILED(ReadToken());
    VRK_RETURN_IF_FAILED(SkipValueAssignment());
    if (!TokenIsOpenBrace())
        return S_OK;
    blockRead = true;
    return UnregisterBlock(key, recovering);
}

HRESULT ScriptParser::SetValueFromScript(HKEY key, const char* valueName)
{
    VRK_RETURN_IF_FAILED(ReadToken());
    DWORD type = TypeFromName(m_token);
    if (type == REG_NONE)
        return DISP_E_EXCEPTION;
    VRK_RETURN_IF_FAILED(ReadToken());

    // A value that the registry refuses does not fail the script.
    switch (type)
    {
        case REG_SZ:
            ::RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(m_token),
                             static_cast<DWORD>(std::strlen(m_token) + 1));
            break;
        case REG_DWORD:
        {
            OLECHAR wideText[kTokenSize];
            ULONG number = 0;
            if (!WidenAnsiInto(m_token, wideText, kTokenSize) || FAILED(::VarUI4FromStr(wideText, 0, 0, &number)))
                return DISP_E_EXCEPTION;
            DWORD data = number;
            ::RegSetValueExA(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
            break;
        }
        default:
        {
            size_t length = std::strlen(m_token);
            if (length % 2 != 0)
                return E_FAIL;
            BYTE data[kTokenSize / 2];
            for (size_t i = 0; i < length / 2; ++i)
                data[i] = static_cast<BYTE>(HexDigitValue(m_token[2 * i]) << 4 | HexDigitValue(m_token[2 * i + 1]));
            ::RegSetValueExA(key, valueName, 0, REG_BINARY, data, static_cast<DWORD>(length / 2));
            break;
        }
    }
    return ReadToken();
}

HRESULT ScriptParser::SkipValueAssignment()
{
    if (m_token[0] != '=')
        return S_OK;
    for (int i = 0; i < 3; ++i)
        VRK_RETURN_IF_FAILED(ReadToken());
    return S_OK;
}

} // namespace Veyrak
