// CrashProbe.cpp: test cases that end the way a broken test program does, for the check
// that the harness reports each of them as a failure. The probe is never part of a suite.
// The heap overrun is found only with Wine's full heap checking (WINEDEBUG=+heap).
#include <windows.h>

#include <gtest/gtest.h>

namespace
{

TEST(Probe, HeapIsIntact)
{
    EXPECT_TRUE(::HeapValidate(::GetProcessHeap(), 0, nullptr));
}

TEST(Probe, WritesThroughANullPointer)
{
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    ADD_FAILURE() << "still running after the fault";
}

TEST(Probe, ExitsWithStatusZeroMidTest)
{
    ::ExitProcess(0);
}

TEST(Probe, OverrunsAHeapBlock)
{
    HANDLE heap = ::GetProcessHeap();
    auto* block = static_cast<char*>(::HeapAlloc(heap, 0, 16));
    ASSERT_NE(nullptr, block);
    volatile char* overrun = block;
    for (int index = 0; index < 40; ++index)
        overrun[index] = '\x5A';
    ::HeapFree(heap, 0, block);
    ::HeapValidate(heap, 0, nullptr);
}

} // namespace
