// FaultRehearsal.h: failures that an administrator can order from the substitute
// components, to rehearse how the server and its clients meet them. Each is a REG_DWORD
// value under <settings>\Faults, named after the operation and holding the HRESULT to
// fail with. Only failure codes (bit 31 set) count; any other value, or none, is no fault.
// The components read the setting at every call, so a change takes effect at once.
#pragma once

#include "simulator/SettingsLocation.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace Veyrak::Simulator
{

// The operations that can be made to fail, as value names.
inline constexpr const wchar_t* kFaultOperations[] = {
    L"CreateComponent",           // creating either component
    L"CreateSingleSignOn",        // creating the SSO component
    L"CreateHandleManager",       // creating the handle manager
    L"GetPrimaryUserApplication", // ISingleSignOn::GetPrimaryUserApplication
    L"CreateUserHandle",          // IHandleManager::CreateUserHandle
    L"AuthenticateUser",          // IPrimaryUserApp3::AuthenticateUser
};

struct RehearsedFault
{
    std::wstring operation;
    HRESULT result;
};

class FaultRehearsal
{
public:
    explicit FaultRehearsal(SettingsLocation location = SettingsLocation::Machine()) : m_location(std::move(location))
    {
    }

    // The known operation that matches name case-insensitively, in its own spelling; nullptr if none.
    static const wchar_t* FindOperation(const std::wstring& name);

    // The failure set for the operation, or S_OK when none is.
    HRESULT ActiveFault(const wchar_t* operation) const;
    // The failure set for creating one component: its own operation first, then CreateComponent.
    HRESULT CreationFault(const wchar_t* componentOperation) const;

    // E_INVALIDARG for an unknown operation or a result that is not a failure code.
    HRESULT SetFault(const std::wstring& operation, HRESULT result) const;
    // kNotFound when no fault is set for the operation.
    HRESULT ClearFault(const std::wstring& operation) const;
    HRESULT ClearAllFaults() const;
    // The faults in force, in the order of kFaultOperations.
    std::vector<RehearsedFault> ListFaults() const;

private:
    SettingsLocation m_location;
};

} // namespace Veyrak::Simulator
