// FakeComponentState.h: what the test components (vrk_fake_components.dll) do and what they saw,
// shared by the DLL and the tests that drive it. The DLL is signed and registered like the maker's
// components, so that the server's integrity check passes it; a test reaches its one state through
// the export VrkFakeComponentState of the same loaded module that COM created the components from.
#pragma once

#include "VeyrakComponents.h"

#include <windows.h>

#include <string>

namespace VrkTest
{

// What the fakes do; reset with the record before each test.
struct FakeScript
{
    HRESULT createSingleSignOn = S_OK;      // the SSO factory's CreateInstance
    HRESULT getApplication = S_OK;          // GetPrimaryUserApplication
    bool deliverNullApplication = false;    // success with a null application
    IUnknown* handOutApplication = nullptr; // handed out instead of the fake application (a test's own)
    bool applicationRefusesApp3 = false;    // QueryInterface(IPrimaryUserApp3) fails
    HRESULT createHandleManager = S_OK;     // the handle manager factory's CreateInstance
    HRESULT createUserHandle = S_OK;        // CreateUserHandle
    HRESULT authenticateUser = S_OK;        // AuthenticateUser
    VARIANT_BOOL verdict = VARIANT_TRUE;    // written by AuthenticateUser, also before it fails
    bool judgeByUser = false;               // instead: valid exactly for users whose name starts with "valid"
};

// What the fakes saw: interlocked counters, and the last call's texts, written under a lock so that
// many threads may call at once. Read it once the calls are over.
struct FakeRecord
{
    volatile LONG liveReferences = 0; // over every fake object
    volatile LONG singleSignOnCreated = 0, handleManagerCreated = 0, createUserHandleCalls = 0,
                  authenticateUserCalls = 0, aggregationRequests = 0;
    std::wstring domain, user, handleCreated, handleReceived; // a null text as "<null>"
    LONG reserved = -1;
    std::string releases; // the last few Releases of the SSO component ('s') and the application ('a')
};

struct FakeComponentState
{
    FakeScript script;
    FakeRecord record;
};

using FakeComponentStateFunction = FakeComponentState*(WINAPI*)();

} // namespace VrkTest
