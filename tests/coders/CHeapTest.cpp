// CHeapTest.cpp -- the min-heap of pending note-offs: order, growth, empty heap.
#include "Kernel/SeqBase/CHeap.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(Heap, PopsBySmallestPriority)
{
    CHeap oHeap;
    // The value tells the priority it was pushed with.
    for (DWORD dwPriority : {5u, 3u, 8u, 3u})
        oHeap.Push(dwPriority * 100, dwPriority);
    EXPECT_EQ(oHeap.GetCount(), 4);
    std::vector<DWORD> adwOut;
    while (oHeap.GetCount() > 0)
    {
        const DWORD dwHead = oHeap.GetHeadPriority();
        const DWORD dwValue = oHeap.Pop();
        EXPECT_EQ(dwValue, dwHead * 100);
        adwOut.push_back(dwHead);
    }
    EXPECT_EQ(adwOut, std::vector<DWORD>({3, 3, 5, 8}));

    // Empty: Pop gives 0, the head is reported.
    CReportCapture oCapture;
    EXPECT_EQ(oHeap.Pop(), 0u);
    EXPECT_EQ(oHeap.GetHeadPriority(), 0u);
    EXPECT_EQ(oCapture.Texts(), std::vector<std::string>({"CHeap::GetHeadPriority() - Heap is empty"}));
}

TEST(Heap, GrowsAndClears)
{
    CHeap oHeap;
    // Beyond the 16 entries of the start, pushed in falling order so that
    // every push moves up to the root.
    for (DWORD i = 0; i < 100; ++i)
        oHeap.Push(i, 1000 - i);
    EXPECT_EQ(oHeap.GetCount(), 100);
    EXPECT_EQ(oHeap.GetHeadPriority(), 901u);
    for (DWORD i = 0; i < 100; ++i)
        EXPECT_EQ(oHeap.Pop(), 99 - i);
    EXPECT_EQ(oHeap.GetCount(), 0);

    oHeap.Push(1, 1);
    oHeap.Push(2, 2);
    oHeap.Clear();
    EXPECT_EQ(oHeap.GetCount(), 0);
    oHeap.Push(7, 70);
    EXPECT_EQ(oHeap.Pop(), 7u);
}

TEST(Heap, SeededAgainstTheStandardPriorityQueue)
{
    const DWORD dwSeed = 1234567;
    std::mt19937 oRandom(dwSeed);
    CHeap oHeap;
    std::priority_queue<DWORD, std::vector<DWORD>, std::greater<DWORD>> oReference;
    for (int iStep = 0; iStep < 20000; ++iStep)
    {
        // Mostly pushes early, mostly pops late; small priorities give many equal ones.
        const bool bPush = oReference.empty() || oRandom() % 100 < (iStep < 10000 ? 60u : 40u);
        if (bPush)
        {
            const DWORD dwPriority = oRandom() % 64 == 0 ? 0xFFFFFFFF : oRandom() % 500;
            oHeap.Push(dwPriority ^ 0x5A5A5A5A, dwPriority);
            oReference.push(dwPriority);
        }
        else
        {
            ASSERT_EQ(oHeap.GetHeadPriority(), oReference.top()) << "seed " << dwSeed << " step " << iStep;
            ASSERT_EQ(oHeap.Pop(), oReference.top() ^ 0x5A5A5A5A) << "seed " << dwSeed << " step " << iStep;
            oReference.pop();
        }
        ASSERT_EQ(oHeap.GetCount(), int(oReference.size()));
    }
}

} // namespace
