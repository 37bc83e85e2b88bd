// COMError.cpp: raising a COMError. How one becomes the thread's COM error information is the
// error reporting's business (authenticator/COMErrorReport.cpp), above the toolbox.
#include "Common/Utility/COMError.h"

namespace Veyrak
{

void ThrowCOMError(const HRESULT& hr, const vrkstring& message)
{
    throw COMError(hr, message, false, kErrorInfoDescribe);
}

} // namespace Veyrak
