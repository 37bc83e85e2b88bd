// ScriptParser.cpp: the script's text level: variable expansion, blanks and tokens, and the run
// over the hive blocks. Every scan steps by whole characters (CharNextA), so the second byte of a
// double-byte character is never taken for a delimiter.
#include "registrar/ScriptParser.h"

#include "Common/Utility/Result.h"
#include "registrar/Registrar.h"
#include "Common/Utility/TextConversion.h"

#include <cstring>

namespace Veyrak
{

namespace
{

// A growing zero-terminated text in COM task memory.
class ExpansionBuffer
{
public:
    HRESULT Start(size_t inputLength)
    {
        // Twice the input, and room for the terminator of an empty one.
        m_capacity = 2 * inputLength + 1;
        m_memory.reset(::CoTaskMemAlloc(m_capacity));
        return m_memory ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT Append(const char* bytes, size_t count)
    {
        while (m_used + count + 1 > m_capacity)
        {
            void* grown = ::CoTaskMemRealloc(m_memory.get(), m_capacity * 2);
            if (!grown)
                return E_OUTOFMEMORY;
            m_memory.release();
            m_memory.reset(grown);
            m_capacity *= 2;
        }
        std::memcpy(static_cast<char*>(m_memory.get()) + m_used, bytes, count);
        m_used += count;
        return S_OK;
    }

    void Finish(UniqueTaskMemory& out)
    {
        static_cast<char*>(m_memory.get())[m_used] = '\0';
        out = std::move(m_memory);
    }

private:
    UniqueTaskMemory m_memory;
    size_t m_capacity = 0;
    size_t m_used = 0;
};

HRESULT AppendWholeCharacters(ExpansionBuffer& buffer, const char* text)
{
    for (const char* cursor = text; *cursor;)
    {
        const char* next = ::CharNextA(cursor);
        VRK_RETURN_IF_FAILED(buffer.Append(cursor, static_cast<size_t>(next - cursor)));
        cursor = next;
    }
    return S_OK;
}

} // namespace

HRESULT ScriptParser::RunScript(const char* text, BOOL doRegister)
{
    UniqueTaskMemory expanded;
    VRK_RETURN_IF_FAILED(ExpandVariables(text, expanded));
    m_cursor = static_cast<const char*>(expanded.get());

    while (*m_cursor)
    {
        VRK_RETURN_IF_FAILED(ReadToken());
        HKEY root = HiveFromName(m_token);
        if (!root)
            return DISP_E_EXCEPTION;
        VRK_RETURN_IF_FAILED(ReadToken());
        if (m_token[0] != '{')
            return DISP_E_EXCEPTION;

        const char* blockStart = m_cursor;
        const HRESULT hr = ProcessBlock(root, doRegister != FALSE);
        if (FAILED(hr) && doRegister)
        {
            // Take back what this hive block names; the blocks before it stay registered.
            m_cursor = blockStart;
            ProcessBlock(root, false);
        }
        if (FAILED(hr))
            return hr;
        SkipBlanks();
    }
    return S_OK;
}

HRESULT ScriptParser::ExpandVariables(const char* text, UniqueTaskMemory& expanded) const
{
    ExpansionBuffer buffer;
    VRK_RETURN_IF_FAILED(buffer.Start(std::strlen(text)));

    const char* cursor = text;
    while (*cursor)
    {
        HRESULT hr = S_OK;
        const char* next = ::CharNextA(cursor);
        if (*cursor != '%')
        {
            hr = buffer.Append(cursor, static_cast<size_t>(next - cursor));
            cursor = next;
        }
        else if (*next == '%')
        {
            hr = buffer.Append("%", 1);
            cursor = next + 1;
        }
        else
        {
            const char* nameEnd = next;
            while (*nameEnd && *nameEnd != '%')
                nameEnd = ::CharNextA(nameEnd);
            if (!*nameEnd)
                return DISP_E_EXCEPTION;
            size_t nameLength = static_cast<size_t>(nameEnd - next);
            if (nameLength > kVariableNameMaxLength)
                return E_FAIL;
            char name[kVariableNameMaxLength + 1];
            std::memcpy(name, next, nameLength);
            name[nameLength] = '\0';

            LPCOLESTR value = m_registrar.FindVariable(name);
            if (!value)
                return DISP_E_EXCEPTION;
            UniqueTaskMemory ansiValue;
            hr = WideToAnsi(value, ansiValue);
            if (SUCCEEDED(hr))
                hr = AppendWholeCharacters(buffer, static_cast<const char*>(ansiValue.get()));
            cursor = nameEnd + 1;
        }
        if (FAILED(hr))
            return hr;
    }
    buffer.Finish(expanded);
    return S_OK;
}

void ScriptParser::SkipBlanks()
{
    while (IsBlank(*m_cursor))
        m_cursor = ::CharNextA(m_cursor);
}

HRESULT ScriptParser::ReadToken()
{
    m_token[0] = '\0';
    SkipBlanks();
    if (!*m_cursor)
        return DISP_E_EXCEPTION;
    return *m_cursor == '\'' ? ReadQuotedToken() : ReadUnquotedToken();
}

HRESULT ScriptParser::ReadQuotedToken()
{
    ++m_cursor;
    size_t used = 0;
    for (;;)
    {
        if (!*m_cursor)
            return DISP_E_EXCEPTION;
        if (*m_cursor == '\'')
        {
            if (m_cursor[1] != '\'')
                break;
            ++m_cursor;
        }
        // Copies only while three bytes are free: a double-byte character and the terminator.
        if (kTokenSize - used < 3)
            return DISP_E_EXCEPTION;
        const char* next = ::CharNextA(m_cursor);
        size_t count = static_cast<size_t>(next - m_cursor);
        std::memcpy(m_token + used, m_cursor, count);
        used += count;
        m_cursor = next;
    }
    ++m_cursor;
    m_token[used] = '\0';
    return S_OK;
}

HRESULT ScriptParser::ReadUnquotedToken()
{
    size_t used = 0;
    while (*m_cursor && !IsBlank(*m_cursor))
    {
        const char* next = ::CharNextA(m_cursor);
        size_t count = static_cast<size_t>(next - m_cursor);
        if (used + count + 1 > kTokenSize)
            return DISP_E_EXCEPTION;
        std::memcpy(m_token + used, m_cursor, count);
        used += count;
        m_cursor = next;
    }
    m_token[used] = '\0';
    return S_OK;
}

} // namespace Veyrak
