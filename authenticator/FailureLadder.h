// FailureLadder.h: the boundary of every authenticator operation. Runs the operation's
// body and turns whatever it raises into the HRESULT to return plus the thread's COM
// error information. Nothing leaves it as an exception.
#pragma once

#include "Common/Utility/COMError.h"
#include "authenticator/ComErrorReporting.h"

#include <windows.h>

#include <exception>
#include <new>
#include <stdexcept>

namespace Veyrak
{

// The server's result for failures that bring no HRESULT of their own.
inline constexpr HRESULT kNoOwnResult = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x201);

namespace detail
{
// A report that itself fails (it only can when memory runs out) still yields a failure.
template <typename Report> HRESULT ReportOrFallBack(Report&& report, HRESULT fallback) noexcept
{
    try
    {
        return report();
    }
    catch (...)
    {
        return fallback;
    }
}
} // namespace detail

// Rungs in order: COMError, any other toolbox exception, bad_alloc, invalid_argument,
// any other standard exception; a non-standard exception is stopped here too.
template <typename Body> HRESULT RunGuarded(REFCLSID clsid, REFIID iid, Body&& body) noexcept
{
    try
    {
        return body();
    }
    catch (const COMError& error)
    {
        return detail::ReportOrFallBack([&] { return error.Report(clsid, iid); }, error.GetHRESULT());
    }
    catch (const VRKException& error)
    {
        return detail::ReportOrFallBack([&] { return ReportComError(clsid, error.what(), iid, kNoOwnResult); },
                                        kNoOwnResult);
    }
    catch (const std::bad_alloc&)
    {
        return detail::ReportOrFallBack([&] { return COMError::ReportHResult(clsid, E_OUTOFMEMORY); }, E_OUTOFMEMORY);
    }
    catch (const std::invalid_argument&)
    {
        return detail::ReportOrFallBack([&] { return COMError::ReportHResult(clsid, E_INVALIDARG); }, E_INVALIDARG);
    }
    catch (const std::exception&)
    {
        return detail::ReportOrFallBack([&] { return COMError::ReportHResult(clsid, kNoOwnResult); }, kNoOwnResult);
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}

} // namespace Veyrak
