// The authenticator used from other apartments and threads than its maker's: passed STA to MTA,
// MTA to STA and through the global interface table, both methods answer there, early- and
// late-bound, as at home; and one object serves many MTA threads at once. Marshaling needs the
// Interface key that RegisterTypeLib writes: with VRK_REGISTERED_SERVER set the object comes from
// the machine's registration and nothing is registered here (tests/clients/run-side-by-side.sh).
#include "support/ServerTest.h"

#include <cstdlib>
#include <sstream>
#include <thread>

using namespace VrkTest;

namespace
{

constexpr DWORD kWaitMilliseconds = 30000;
const bool kUsesRegisteredServer = std::getenv("VRK_REGISTERED_SERVER") != nullptr;

// Both methods, early- and late-bound, as one line of results (numbers in hexadecimal).
std::wstring Ask(IVRKsolutionAuthenticator1* object)
{
    std::wostringstream answers;
    Variant domain(L"CORP"), user(L"alice");
    VARIANT_BOOL installed = 0x1234, valid = 0x1234;
    answers << std::hex << L"IsInstalled " << object->IsInstalled(&installed) << L" " << installed;
    answers << L"; Authenticate " << object->Authenticate(nullptr, V_BSTR(&user), &valid) << L" " << valid;
    for (const wchar_t* name : {L"IsInstalled", L"Authenticate"})
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID dispid = kPoisonDispid;
        Variant result;
        EXCEPINFO exception = {};
        HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
        if (SUCCEEDED(hr))
            hr = InvokeWith(object, dispid,
                            dispid == 2 ? std::vector<VARIANT*>{&domain, &user} : std::vector<VARIANT*>{}, result.put(),
                            &exception);
        UniqueBstr description(exception.bstrDescription), source(exception.bstrSource), help(exception.bstrHelpFile);
        answers << L"; Invoke(" << name << L") " << hr << L" " << (V_VT(&result) == VT_BOOL ? V_BOOL(&result) : -1)
                << L" " << (description ? description.get() : L"");
    }
    return answers.str();
}

class ApartmentTest : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        ASSERT_HR(S_OK, kUsesRegisteredServer ? S_OK : RegisterServerTypeLibrary());
    }
    void TearDown() override
    {
        EXPECT_HR(S_OK, kUsesRegisteredServer ? S_OK : UnregisterServerTypeLibrary());
        ServerTest::TearDown();
    }

    ComPtr<IVRKsolutionAuthenticator1> Create()
    {
        ComPtr<IVRKsolutionAuthenticator1> object;
        EXPECT_HR(S_OK, kUsesRegisteredServer
                            ? ::CoCreateInstance(CLSID_VRKsolutionAuthenticator, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_IVRKsolutionAuthenticator1, object.PutVoid())
                            : m_dll.CreateAuthenticator(object));
        return object;
    }
};

// One thread makes the object in its apartment and hands it over; a thread of the other kind of
// apartment takes it and asks again. The maker waits, pumping messages as an STA must, until the
// other one is done, and only then lets go of its object.
TEST_F(ApartmentTest, PassedToAnotherApartment_ByStreamOrGlobalTable_AnswersAsAtHome)
{
    const struct
    {
        const char* label;
        DWORD home, away;
        bool throughTable;
    } handovers[] = {{"STA to MTA by stream", COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED, false},
                     {"MTA to STA by stream", COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED, false},
                     {"MTA to STA through the global table", COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED, true}};
    ComPtr<IGlobalInterfaceTable> table;
    ASSERT_HR(S_OK, ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IGlobalInterfaceTable, table.PutVoid()));
    for (const auto& handover : handovers)
    {
        SCOPED_TRACE(handover.label);
        std::wstring home, away;
        IStream* stream = nullptr;
        DWORD cookie = 0;
        Veyrak::UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
            done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::thread owner(
            [&]
            {
                ComApartment apartment(handover.home);
                ComPtr<IVRKsolutionAuthenticator1> object = Create();
                if (object)
                {
                    home = Ask(object.Get());
                    EXPECT_HR(S_OK, handover.throughTable ? table->RegisterInterfaceInGlobal(
                                                                object.Get(), IID_IVRKsolutionAuthenticator1, &cookie)
                                                          : ::CoMarshalInterThreadInterfaceInStream(
                                                                IID_IVRKsolutionAuthenticator1, object.Get(), &stream));
                }
                ::SetEvent(ready.get());
                DWORD index = 0;
                HANDLE handles[] = {done.get()};
                EXPECT_HR(S_OK, ::CoWaitForMultipleHandles(0, kWaitMilliseconds, 1, handles, &index));
                EXPECT_HR(S_OK, cookie ? table->RevokeInterfaceFromGlobal(cookie) : S_OK);
            });
        std::thread caller(
            [&]
            {
                ComApartment apartment(handover.away);
                ComPtr<IVRKsolutionAuthenticator1> proxy;
                EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready.get(), kWaitMilliseconds));
                EXPECT_HR(S_OK, cookie   ? table->GetInterfaceFromGlobal(cookie, IID_IVRKsolutionAuthenticator1,
                                                                         proxy.PutVoid())
                                : stream ? ::CoGetInterfaceAndReleaseStream(stream, IID_IVRKsolutionAuthenticator1,
                                                                            proxy.PutVoid())
                                         : E_FAIL); // E_FAIL: the maker handed nothing over
                if (proxy)
                    away = Ask(proxy.Get());
                proxy.Reset();
                ::SetEvent(done.get());
            });
        caller.join();
        owner.join();
        EXPECT_NE(L"", home);
        EXPECT_EQ(home, away);
    }
}

// A "Both" object may be called by many threads of the multithreaded apartment at once: its count
// and the module's lock come out exact. The threads start together and mostly count references,
// so that a count changed without an interlocked operation loses an update within the run.
TEST_F(ApartmentTest, OneObjectSharedByManyMtaThreads_CountAndUnloadExactAtTheEnd)
{
    if (kUsesRegisteredServer)
        GTEST_SKIP() << "the module's lock is the loaded DLL's own";
    ComPtr<IVRKsolutionAuthenticator1> object = Create();
    ASSERT_TRUE(object);
    const std::wstring home = Ask(object.Get());
    std::atomic<int> waiting{8}, differing{0};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 8; ++thread)
        threads.emplace_back(
            [&, thread]
            {
                ComApartment apartment(COINIT_MULTITHREADED);
                for (--waiting; waiting > 0;)
                    std::this_thread::yield();
                for (int round = 0; round < 400000; ++round)
                {
                    object->AddRef();
                    object->Release();
                    if (round % 50000 == thread && Ask(object.Get()) != home)
                        ++differing;
                }
            });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, differing.load());
    EXPECT_EQ(1u, ReferenceCount(object.Get()));
    object.Reset(); // TearDown checks that the module can unload.
}

} // namespace
