// AdminCommand.cpp: argument handling and messages of vrksim.exe.
#include "simulator/AdminCommand.h"

#include "simulator/FaultRehearsal.h"
#include "simulator/LiveComponents.h"
#include "simulator/SimulatorRegistry.h"
#include "simulator/UserDirectory.h"

#include <cwchar>
#include <cwctype>

namespace Veyrak::Simulator
{

namespace
{

const wchar_t kUsage[] = L"Usage: vrksim COMMAND\n"
                         L"Maintains the users and rehearsed faults of the VRKsolution simulator.\n"
                         L"\n"
                         L"  users add DOMAIN USER [--disabled]   add a user (enabled unless --disabled)\n"
                         L"  users remove DOMAIN USER             remove a user\n"
                         L"  users list [DOMAIN]                  list users as DOMAIN\\USER enabled|disabled\n"
                         L"  users enable DOMAIN USER             let a user authenticate\n"
                         L"  users disable DOMAIN USER            refuse a user\n"
                         L"  fault set OPERATION HRESULT          make OPERATION fail with HRESULT (0x8xxxxxxx)\n"
                         L"  fault clear [OPERATION]              clear one fault, or all of them\n"
                         L"  fault list                           list faults as OPERATION HRESULT\n"
                         L"  status                               how many component objects are alive\n"
                         L"  --help                               show this text\n"
                         L"\n"
                         L"Operations: CreateComponent, CreateSingleSignOn, CreateHandleManager,\n"
                         L"  GetPrimaryUserApplication, CreateUserHandle, AuthenticateUser.\n"
                         L"Exit codes: 0 success, 1 not found, 2 wrong usage, 3 registry failure.\n";

using Arguments = std::vector<std::wstring>;

class Command
{
public:
    Command(CommandOutput& output, const SettingsLocation& location)
        : m_output(output), m_directory(location), m_faults(location)
    {
    }

    int Run(const Arguments& arguments);

private:
    int Users(const Arguments& arguments);
    int AddUser(const Arguments& arguments);
    int ChangeUser(const std::wstring& verb, const std::wstring& domain, const std::wstring& user);
    int ListUsers(const Arguments& arguments);
    int Faults(const Arguments& arguments);
    int SetFault(const std::wstring& operation, const std::wstring& resultText);
    int ClearFaults(const Arguments& arguments);

    int UsageError(const std::wstring& problem)
    {
        m_output.err += L"vrksim: " + problem + L"\nRun 'vrksim --help' for usage.\n";
        return kExitUsage;
    }
    int NotFound(const std::wstring& what)
    {
        m_output.err += L"vrksim: " + what + L"\n";
        return kExitNotFound;
    }
    int Failure(const std::wstring& what, HRESULT result)
    {
        m_output.err += L"vrksim: " + what + L" failed: " + HResultToHex(result) + L"\n";
        return kExitFailure;
    }

    CommandOutput& m_output;
    UserDirectory m_directory;
    FaultRehearsal m_faults;
};

std::wstring QualifiedName(const std::wstring& domain, const std::wstring& user)
{
    return domain + L"\\" + user;
}

// Accepts "0x" followed by one to eight hexadecimal digits.
bool ParseHResult(const std::wstring& text, HRESULT& result)
{
    if (text.size() < 3 || text.size() > 10 || text[0] != L'0' || (text[1] != L'x' && text[1] != L'X'))
        return false;
    for (size_t index = 2; index < text.size(); ++index)
    {
        if (!std::iswxdigit(text[index]))
            return false;
    }
    result = static_cast<HRESULT>(std::wcstoul(text.c_str() + 2, nullptr, 16));
    return true;
}

int Command::Run(const Arguments& arguments)
{
    if (arguments.empty())
        return UsageError(L"a command is missing");
    const std::wstring& command = arguments[0];
    if (command == L"--help" || command == L"-h" || command == L"/?" || command == L"help")
    {
        m_output.out += kUsage;
        return kExitSuccess;
    }
    Arguments rest(arguments.begin() + 1, arguments.end());
    if (command == L"users")
        return Users(rest);
    if (command == L"fault")
        return Faults(rest);
    if (command == L"status")
    {
        if (!rest.empty())
            return UsageError(L"status takes no arguments");
        m_output.out += L"live components: " + std::to_wstring(LiveComponentCount()) + L"\n";
        return kExitSuccess;
    }
    return UsageError(L"unknown command '" + command + L"'");
}

int Command::Users(const Arguments& arguments)
{
    if (arguments.empty())
        return UsageError(L"users: an action is missing (add, remove, list, enable, disable)");
    const std::wstring& action = arguments[0];
    if (action == L"add")
        return AddUser(arguments);
    if (action == L"list")
        return ListUsers(arguments);
    if (action == L"remove" || action == L"enable" || action == L"disable")
    {
        if (arguments.size() != 3)
            return UsageError(L"users " + action + L" takes DOMAIN USER");
        return ChangeUser(action, arguments[1], arguments[2]);
    }
    return UsageError(L"users: unknown action '" + action + L"'");
}

int Command::AddUser(const Arguments& arguments)
{
    Arguments names;
    bool enabled = true;
    for (size_t index = 1; index < arguments.size(); ++index)
    {
        if (arguments[index] == L"--disabled")
            enabled = false;
        else if (arguments[index].compare(0, 2, L"--") == 0)
            return UsageError(L"users add: unknown option '" + arguments[index] + L"'");
        else
            names.push_back(arguments[index]);
    }
    if (names.size() != 2)
        return UsageError(L"users add takes DOMAIN USER [--disabled]");
    const std::wstring name = QualifiedName(names[0], names[1]);
    bool existed = m_directory.Lookup(names[0], names[1]) != UserState::Missing;
    HRESULT result = m_directory.AddUser(names[0], names[1], enabled);
    if (result == E_INVALIDARG)
        return UsageError(L"a domain or user name must be 1 to 255 characters without a backslash");
    if (FAILED(result))
        return Failure(L"adding " + name, result);
    m_output.out += (existed ? L"Updated " : L"Added ") + name + (enabled ? L" (enabled).\n" : L" (disabled).\n");
    return kExitSuccess;
}

int Command::ChangeUser(const std::wstring& verb, const std::wstring& domain, const std::wstring& user)
{
    const std::wstring name = QualifiedName(domain, user);
    HRESULT result = verb == L"remove" ? m_directory.RemoveUser(domain, user)
                                       : m_directory.SetEnabled(domain, user, verb == L"enable");
    if (result == kNotFound)
        return NotFound(L"no user " + name + L" in the directory");
    if (FAILED(result))
        return Failure(verb + L" " + name, result);
    const wchar_t* done = verb == L"remove" ? L"Removed " : verb == L"enable" ? L"Enabled " : L"Disabled ";
    m_output.out += done + name + L".\n";
    return kExitSuccess;
}

int Command::ListUsers(const Arguments& arguments)
{
    if (arguments.size() > 2)
        return UsageError(L"users list takes at most a DOMAIN");
    std::vector<DirectoryEntry> entries;
    HRESULT result = m_directory.List(arguments.size() == 2 ? &arguments[1] : nullptr, entries);
    if (result == kNotFound)
        return NotFound(L"no domain " + arguments[1] + L" in the directory");
    if (FAILED(result))
        return Failure(L"reading the directory", result);
    for (const DirectoryEntry& entry : entries)
        m_output.out += QualifiedName(entry.domain, entry.user) + (entry.enabled ? L" enabled\n" : L" disabled\n");
    return kExitSuccess;
}

int Command::Faults(const Arguments& arguments)
{
    if (arguments.empty())
        return UsageError(L"fault: an action is missing (set, clear, list)");
    const std::wstring& action = arguments[0];
    if (action == L"set")
    {
        if (arguments.size() != 3)
            return UsageError(L"fault set takes OPERATION HRESULT");
        return SetFault(arguments[1], arguments[2]);
    }
    if (action == L"clear")
        return ClearFaults(arguments);
    if (action == L"list")
    {
        if (arguments.size() != 1)
            return UsageError(L"fault list takes no arguments");
        for (const RehearsedFault& fault : m_faults.ListFaults())
            m_output.out += fault.operation + L" " + HResultToHex(fault.result) + L"\n";
        return kExitSuccess;
    }
    return UsageError(L"fault: unknown action '" + action + L"'");
}

int Command::SetFault(const std::wstring& operation, const std::wstring& resultText)
{
    const wchar_t* name = FaultRehearsal::FindOperation(operation);
    if (!name)
        return UsageError(L"unknown operation '" + operation + L"'");
    HRESULT fault = S_OK;
    if (!ParseHResult(resultText, fault))
        return UsageError(L"'" + resultText + L"' is not an HRESULT in hexadecimal such as 0x80004005");
    if (SUCCEEDED(fault))
        return UsageError(HResultToHex(fault) + L" is not a failure code (bit 31 is clear)");
    HRESULT result = m_faults.SetFault(name, fault);
    if (FAILED(result))
        return Failure(L"setting the fault", result);
    m_output.out += std::wstring(name) + L" will fail with " + HResultToHex(fault) + L".\n";
    return kExitSuccess;
}

int Command::ClearFaults(const Arguments& arguments)
{
    if (arguments.size() > 2)
        return UsageError(L"fault clear takes at most an OPERATION");
    if (arguments.size() == 1)
    {
        HRESULT result = m_faults.ClearAllFaults();
        if (FAILED(result))
            return Failure(L"clearing the faults", result);
        m_output.out += L"Cleared all faults.\n";
        return kExitSuccess;
    }
    const wchar_t* name = FaultRehearsal::FindOperation(arguments[1]);
    if (!name)
        return UsageError(L"unknown operation '" + arguments[1] + L"'");
    HRESULT result = m_faults.ClearFault(name);
    if (result == kNotFound)
        return NotFound(std::wstring(L"no fault is set for ") + name);
    if (FAILED(result))
        return Failure(L"clearing the fault", result);
    m_output.out += std::wstring(L"Cleared the fault of ") + name + L".\n";
    return kExitSuccess;
}

} // namespace

int RunAdminCommand(const std::vector<std::wstring>& arguments, CommandOutput& output, const SettingsLocation& location)
{
    Command command(output, location);
    return command.Run(arguments);
}

} // namespace Veyrak::Simulator
