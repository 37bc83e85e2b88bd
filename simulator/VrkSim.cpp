// VrkSim.cpp: vrksim.exe, the simulator's administration command (see AdminCommand.h).
#include "simulator/AdminCommand.h"

#include <windows.h>

#include <new>

namespace
{

// Consoles get the text as it is; pipes and files get it in the ANSI code page.
void Write(DWORD handleId, const std::wstring& text)
{
    if (text.empty())
        return;
    HANDLE handle = ::GetStdHandle(handleId);
    DWORD written = 0;
    if (::GetFileType(handle) == FILE_TYPE_CHAR &&
        ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return;
    std::wstring crlf;
    for (wchar_t character : text)
    {
        if (character == L'\n')
            crlf += L'\r';
        crlf += character;
    }
    int size =
        ::WideCharToMultiByte(CP_ACP, 0, crlf.data(), static_cast<int>(crlf.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, crlf.data(), static_cast<int>(crlf.size()), &bytes[0], size, nullptr, nullptr);
    ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try
    {
        std::vector<std::wstring> arguments(argv + 1, argv + argc);
        Veyrak::Simulator::CommandOutput output;
        int exitCode = Veyrak::Simulator::RunAdminCommand(arguments, output);
        Write(STD_OUTPUT_HANDLE, output.out);
        Write(STD_ERROR_HANDLE, output.err);
        return exitCode;
    }
    catch (const std::bad_alloc&)
    {
        Write(STD_ERROR_HANDLE, L"vrksim: out of memory\n");
        return Veyrak::Simulator::kExitFailure;
    }
    catch (...)
    {
        Write(STD_ERROR_HANDLE, L"vrksim: unexpected internal failure\n");
        return Veyrak::Simulator::kExitFailure;
    }
}
