// Result.h: the two idioms of the HRESULT boundary: passing a failure on, and a last line of
// defence that keeps any exception from crossing into the caller.
#pragma once

#include <windows.h>

#include <exception>
#include <new>

// Ends the calling function with the result of an HRESULT expression that failed.
#define VRK_RETURN_IF_FAILED(expression)                                                                               \
    do                                                                                                                 \
    {                                                                                                                  \
        const HRESULT vrkCheckedResult = (expression);                                                                 \
        if (FAILED(vrkCheckedResult))                                                                                  \
            return vrkCheckedResult;                                                                                   \
    } while (0)

namespace Veyrak
{

// The calling thread's last error as an HRESULT; a failure that set no error code must still
// read as a failure.
inline HRESULT LastErrorResult()
{
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// Runs body (returning HRESULT) at a boundary that must not throw and turns anything it throws
// into an HRESULT. The last catch matters: an exception leaving a noexcept function would end
// the client's process.
template <typename Body> HRESULT GuardedResult(Body&& body) noexcept
{
    try
    {
        return body();
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
    catch (const std::exception&)
    {
        return E_FAIL;
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}

} // namespace Veyrak
