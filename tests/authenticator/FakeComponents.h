// FakeComponents.h: stand-ins for the maker's components, registered in the test's apartment so
// that the server's own CoCreateInstance finds them; they count references and record the calls.
#pragma once

#include "VeyrakComponents.h"

#include <windows.h>

#include <string>

namespace VrkTest
{

// What the fakes do; reset with the record before each test.
struct FakeScript
{
    HRESULT createSingleSignOn = S_OK;   // the SSO factory's CreateInstance
    HRESULT getApplication = S_OK;       // GetPrimaryUserApplication
    bool deliverNullApplication = false; // success with a null application
    bool applicationRefusesApp3 = false; // QueryInterface(IPrimaryUserApp3) fails
    HRESULT createHandleManager = S_OK;  // the handle manager factory's CreateInstance
    HRESULT createUserHandle = S_OK;     // CreateUserHandle
    HRESULT authenticateUser = S_OK;     // AuthenticateUser
    VARIANT_BOOL verdict = VARIANT_TRUE; // written by AuthenticateUser, also before it fails
};

// What the fakes saw: interlocked counters, and the last call's texts, written under a lock so that
// many threads may call at once. Read it once the calls are over.
struct FakeRecord
{
    volatile LONG liveReferences = 0; // over every fake object
    volatile LONG singleSignOnCreated = 0, handleManagerCreated = 0, createUserHandleCalls = 0,
                  authenticateUserCalls = 0;
    std::wstring domain, user, handleCreated, handleReceived; // a null text as "<null>"
    LONG reserved = -1;
    std::string releases; // the last few Releases of the SSO component ('s') and the application ('a')
};

extern FakeScript g_fakeScript;
extern FakeRecord g_fakeRecord;
void ResetFakes();

// Registers the two components' class objects in the calling thread's apartment while it lives.
class FakeComponentRegistration
{
public:
    FakeComponentRegistration();
    ~FakeComponentRegistration();

private:
    DWORD m_cookies[2] = {};
};

// The ways the components fail, shared by the authenticator tests and the soak: each arranges the
// fakes' script and gives what the step it breaks returns and describes. A failure at creation
// fails CreateInstance; any other fails Authenticate (with a user) on an object that connected.
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
