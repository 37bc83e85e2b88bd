// QuietComponents.h: stand-ins for the maker's components that cost as little as a call can:
// no allocation, no lock and no write to memory that two threads share, so that a benchmark
// measures the caller and not the stand-in. Unlike the tests' fakes they record nothing.
//
// The handle manager hands out the null BSTR (the empty string, which the caller's
// SysFreeString accepts), so that no allocation happens on either side of the comparison;
// the application judges every handle valid.
#pragma once

#include <windows.h>

namespace VrkBench
{

// Registers the signed vrk_quiet_components.dll (bin/components/) for the two components in the
// machine's classes, where the server's integrity check reads them and COM finds them, and removes
// the registration again. One registration per process at a time.
class QuietComponentRegistration
{
public:
    QuietComponentRegistration();
    QuietComponentRegistration(const QuietComponentRegistration&) = delete;
    QuietComponentRegistration& operator=(const QuietComponentRegistration&) = delete;
    ~QuietComponentRegistration();

    // S_OK when both classes were registered.
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result = E_FAIL;
};

} // namespace VrkBench
