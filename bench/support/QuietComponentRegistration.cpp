// QuietComponentRegistration.cpp: the allocation-free components, registered like the maker's.
#include "support/QuietComponents.h"

#include "support/MachineClasses.h"
#include "support/ServerLibrary.h"

#include "Common/Utility/TextConversion.h"
#include "VeyrakComponents.h"

namespace VrkBench
{

QuietComponentRegistration::QuietComponentRegistration()
{
    const std::wstring file =
        Veyrak::WidenAnsi((VrkTest::ProgramDirectory() + "components\\vrk_quiet_components.dll").c_str());
    LSTATUS status = VrkTest::RegisterInprocServer(CLSID_VeyrakSingleSignOn, file);
    if (status == ERROR_SUCCESS)
        status = VrkTest::RegisterInprocServer(CLSID_VeyrakHandleManager, file);
    m_result = HRESULT_FROM_WIN32(status);
}

QuietComponentRegistration::~QuietComponentRegistration()
{
    VrkTest::RemoveClass(CLSID_VeyrakSingleSignOn);
    VrkTest::RemoveClass(CLSID_VeyrakHandleManager);
}

} // namespace VrkBench
