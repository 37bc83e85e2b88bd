// FakeComponents.h: the test components (vrk_fake_components.dll, signed like the maker's) as the
// tests see them, and the ways they fail, shared by the authenticator tests and the soak.
#pragma once

#include "FakeComponentState.h"

#include <windows.h>

#include <string>

namespace VrkTest
{

// The copies of the DLL that the build makes: signed with the build's key (the one the server
// accepts), signed with another publisher's certificate, and unsigned.
enum class FakeComponentCopy
{
    Signed,
    OtherPublisher,
    Unsigned,
};
std::wstring FakeComponentFile(FakeComponentCopy copy = FakeComponentCopy::Signed);

// While it lives, the signed DLL is registered in the machine's classes for both components and
// loaded, its state reset; the class keys are removed again at the end.
class FakeComponents
{
public:
    FakeComponents();
    FakeComponents(const FakeComponents&) = delete;
    FakeComponents& operator=(const FakeComponents&) = delete;
    ~FakeComponents();

    FakeScript& Script() { return m_state->script; }
    FakeRecord& Record() { return m_state->record; }
    void Reset() { *m_state = FakeComponentState(); }

private:
    FakeComponentState* m_state = nullptr;
    FakeComponentState m_unavailable; // stands in when the DLL cannot be loaded (the test has failed)
};

// The ways the components fail: each arranges the fakes' script and gives what the step it breaks
// returns and describes. A failure at creation fails CreateInstance; any other fails Authenticate
// (with a user) on an object that connected.
struct ComponentFailure
{
    const char* name;
    void (*arrange)(FakeScript&);
    bool atCreation;
    HRESULT expected;
    const wchar_t* message;
};
extern const ComponentFailure kComponentFailures[7];

} // namespace VrkTest
