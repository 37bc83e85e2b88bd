// FaultRehearsal.cpp: the rehearsed faults over the registry.
#include "simulator/FaultRehearsal.h"

#include "simulator/SimulatorRegistry.h"

namespace Veyrak::Simulator
{

const wchar_t* FaultRehearsal::FindOperation(const std::wstring& name)
{
    for (const wchar_t* operation : kFaultOperations)
    {
        if (EqualNoCase(name, operation))
            return operation;
    }
    return nullptr;
}

HRESULT FaultRehearsal::ActiveFault(const wchar_t* operation) const
{
    UniqueHkey key;
    if (OpenKey(m_location.root, m_location.Child(kFaultsKeyName), KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return S_OK;
    DWORD value = 0;
    if (!ReadDword(key.get(), operation, value))
        return S_OK;
    HRESULT result = static_cast<HRESULT>(value);
    return FAILED(result) ? result : S_OK;
}

HRESULT FaultRehearsal::CreationFault(const wchar_t* componentOperation) const
{
    HRESULT fault = ActiveFault(componentOperation);
    return FAILED(fault) ? fault : ActiveFault(L"CreateComponent");
}

HRESULT FaultRehearsal::SetFault(const std::wstring& operation, HRESULT result) const
{
    const wchar_t* name = FindOperation(operation);
    if (!name || SUCCEEDED(result))
        return E_INVALIDARG;
    UniqueHkey key;
    LONG status = CreateKey(m_location.root, m_location.Child(kFaultsKeyName), key);
    if (status == ERROR_SUCCESS)
        status = WriteDword(key.get(), name, static_cast<DWORD>(result));
    return HRESULT_FROM_WIN32(status);
}

HRESULT FaultRehearsal::ClearFault(const std::wstring& operation) const
{
    const wchar_t* name = FindOperation(operation);
    if (!name)
        return E_INVALIDARG;
    UniqueHkey key;
    LONG status = OpenKey(m_location.root, m_location.Child(kFaultsKeyName), KEY_SET_VALUE, key);
    if (status == ERROR_SUCCESS)
        status = ::RegDeleteValueW(key.get(), name);
    return status == ERROR_FILE_NOT_FOUND ? kNotFound : HRESULT_FROM_WIN32(status);
}

HRESULT FaultRehearsal::ClearAllFaults() const
{
    UniqueHkey key;
    LONG status = OpenKey(m_location.root, m_location.path, KEY_ALL_ACCESS, key);
    if (status == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (status == ERROR_SUCCESS)
        status = ::RegDeleteTreeW(key.get(), kFaultsKeyName);
    return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

std::vector<RehearsedFault> FaultRehearsal::ListFaults() const
{
    std::vector<RehearsedFault> faults;
    for (const wchar_t* operation : kFaultOperations)
    {
        HRESULT result = ActiveFault(operation);
        if (FAILED(result))
            faults.push_back({operation, result});
    }
    return faults;
}

} // namespace Veyrak::Simulator
