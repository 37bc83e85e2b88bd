// Many threads of the multithreaded apartment use the server at once.
#include "AuthenticatorTestSupport.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace VrkTest;

TEST_F(AuthenticatorTest, ConcurrentCreationRequestsAndLocks_LeaveNoLockAndNoComponentReference)
{
    constexpr int kThreads = 8;
    constexpr int kRounds = 40;
    std::atomic<int> failures{0};
    std::atomic<int> trueVerdicts{0};

    auto work = [&](int seed)
    {
        ComApartment apartment(COINIT_MULTITHREADED);
        UniqueBstr user = Bstr(L"alice");
        for (int round = 0; round < kRounds; ++round)
        {
            ComPtr<IClassFactory> factory;
            if (m_dll.GetClassObject(CLSID_VRKsolutionAuthenticator, IID_IClassFactory, factory.PutVoid()) != S_OK)
            {
                ++failures;
                continue;
            }
            if ((round + seed) % 3 == 0)
                factory->LockServer(TRUE);
            ComPtr<IVRKsolutionAuthenticator1> object;
            if (factory->CreateInstance(nullptr, IID_IVRKsolutionAuthenticator1, object.PutVoid()) != S_OK)
                ++failures;
            else
            {
                ComPtr<ISupportErrorInfo> support;
                if (object.QueryInterface(IID_ISupportErrorInfo, support) != S_OK)
                    ++failures;
                VARIANT_BOOL valid = VARIANT_FALSE;
                if (object->Authenticate(nullptr, user.get(), &valid) == S_OK && valid == VARIANT_TRUE)
                    ++trueVerdicts;
            }
            if ((round + seed) % 3 == 0)
                factory->LockServer(FALSE);
        }
    };

    std::vector<std::thread> threads;
    for (int seed = 0; seed < kThreads; ++seed)
        threads.emplace_back(work, seed);
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(kThreads * kRounds, trueVerdicts.load());
    EXPECT_EQ(kThreads * kRounds, g_fakeRecord.handleManagerCreated);
    // TearDown checks that no component reference and no module lock is left.
}
