// QuietComponents.h: stand-ins for the maker's components that cost as little as a call can:
// no allocation, no lock and no write to memory that two threads share, so that a benchmark
// measures the caller and not the stand-in. Unlike the tests' fakes they record nothing.
//
// The handle manager hands out the null BSTR (the empty string, which the caller's
// SysFreeString accepts), so that no allocation happens on either side of the comparison;
// the application judges every handle valid.
#pragma once

#include "VeyrakComponents.h"

#include <windows.h>

namespace VrkBench
{

// Registers the two components' class objects with the calling thread's apartment; the server's
// CoCreateInstance finds them there. One registration per process at a time.
class QuietComponentRegistration
{
public:
    QuietComponentRegistration();
    QuietComponentRegistration(const QuietComponentRegistration&) = delete;
    QuietComponentRegistration& operator=(const QuietComponentRegistration&) = delete;
    ~QuietComponentRegistration();

    // S_OK when both class objects were registered.
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result = E_FAIL;
    DWORD m_singleSignOnCookie = 0;
    DWORD m_handleManagerCookie = 0;
};

} // namespace VrkBench
