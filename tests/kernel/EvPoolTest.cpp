// EvPoolTest.cpp -- events pool, buffers pool and the global objects registry.
#include "Kernel/Core/GlobalObj.h"
#include "Kernel/RTEvents/EvBuffer.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string kstrPoolFile = "Kernel/RTEvents/EvPool";
const std::string kstrBufferFile = "Kernel/RTEvents/EvBuffer";

TEST(EventsPool, ExhaustsAtTheRecordAfterTheLastAndRecoversOnRelease)
{
    CReportCapture oCapture;
    CEventsPool oPool;
    CLinkedEvent* poFirst = oPool.GetNewEvent();
    CLinkedEvent* poLast = poFirst;
    for (int i = 1; i < CEventsPool::NR_EVENTS; ++i) {
        CLinkedEvent* poEvent = oPool.GetNewEvent();
        ASSERT_TRUE(poEvent && poEvent->IsEmpty() && !poEvent->Next()) << i;
        poLast = poLast->SetNext(poEvent);
    }
    EXPECT_TRUE(oCapture.Empty());
    EXPECT_EQ(oPool.GetNewEvent(), nullptr);
    ASSERT_EQ(oCapture.Texts().size(), 2u);
    EXPECT_TRUE(oCapture.HasAssert("FALSE", kstrPoolFile));
    EXPECT_EQ(oCapture.Texts()[1], "CEventPool::GetNewEvent() - Pool of events is exhausted");

    CLinkedEvent* poSingle = poFirst->DetachNext();
    EXPECT_EQ(oPool.ReleaseList(poFirst, poFirst, 1), 1);
    EXPECT_EQ(oPool.GetNewEvent(), poFirst);
    poFirst->SetNext(poSingle);
    EXPECT_EQ(oPool.ReleaseList(poFirst, poLast, CEventsPool::NR_EVENTS), CEventsPool::NR_EVENTS);
    EXPECT_EQ(oPool.GetCount(), 0);
    EXPECT_EQ(oPool.GetPeakCount(), CEventsPool::NR_EVENTS);
    oCapture.Clear();
    EXPECT_EQ(oPool.Exit(), 0);
    EXPECT_TRUE(oCapture.Empty());
}

TEST(EventsPool, ReleasingAFilledRecordReportsAndClearsIt)
{
    CReportCapture oCapture;
    CEventsPool oPool;
    const int iBlocksBefore = EvBuffersPool().GetBlocksAllocated();
    CLinkedEvent* poFirst = oPool.GetNewEvent();
    CLinkedEvent* poFilled = poFirst->SetNext(oPool.GetNewEvent());
    poFilled->SetSysExEventBegin(30);
    poFilled->SetSysExEventEnd(30);

    EXPECT_EQ(oPool.ReleaseList(poFirst, poFilled, 2), 2);
    EXPECT_TRUE(oCapture.HasAssert("poScan->IsEmpty()", kstrPoolFile));
    EXPECT_EQ(EvBuffersPool().GetBlocksAllocated(), iBlocksBefore) << "the record's buffer went back";
    EXPECT_TRUE(oPool.GetNewEvent()->IsEmpty());
    EXPECT_TRUE(oPool.GetNewEvent()->IsEmpty());
}

TEST(EventsPool, DuplicateGivesBackWhatItTookWhenThePoolRunsOut)
{
    CReportCapture oCapture;
    CEventsPool& roPool = EventsPool();
    const int iBefore = roPool.GetCount();
    // Leave room for exactly one record.
    CLinkedEvent oHogHead;
    CLinkedEvent* poHogTail = &oHogHead;
    while (roPool.GetCount() < CEventsPool::NR_EVENTS - 1)
        poHogTail = poHogTail->SetNext(roPool.GetNewEvent());
    CLinkedEvent aoSource[2];
    aoSource[0].SetNext(&aoSource[1]);

    CLinkedEvent* poLast = &aoSource[0];
    EXPECT_EQ(DuplicateEventsList(&aoSource[0], poLast), nullptr);
    EXPECT_EQ(poLast, nullptr);
    EXPECT_TRUE(oCapture.Has("CEventPool::GetNewEvent() - Pool of events is exhausted"));
    EXPECT_EQ(roPool.GetCount(), CEventsPool::NR_EVENTS - 1);
    if (oHogHead.Next())
        FreeEventsList(oHogHead.DetachNext());
    EXPECT_EQ(roPool.GetCount(), iBefore);
}

TEST(BuffersPool, SizeClassesFallbacksAndReturnToTheOwnList)
{
    CReportCapture oCapture;
    CEvBuffersPool oPool;
    struct SRow
    {
        int iRequest;
        int iCapacity;
    };
    std::vector<void*> apvTaken;
    for (const SRow& rkoRow : {SRow{0, 16}, SRow{16, 16}, SRow{17, 128}, SRow{128, 128}, SRow{129, 129}}) {
        apvTaken.push_back(oPool.Alloc(rkoRow.iRequest));
        EXPECT_EQ(CEvBuffersPool::GetBufferSize(apvTaken.back()), rkoRow.iCapacity) << rkoRow.iRequest;
        EXPECT_TRUE(oPool.IsLocked(apvTaken.back()));
    }
    ASSERT_EQ(oCapture.Texts().size(), 1u);
    EXPECT_EQ(oCapture.Texts()[0], "CEventsHeap::Alloc - 'new' used for 133 bytes buffer");

    // Use up the small blocks, then the medium ones: 1 byte ends on the heap.
    while (int(apvTaken.size()) < 1 + CEvBuffersPool::NR_SMALL_BLOCKS + CEvBuffersPool::NR_MEDIUM_BLOCKS)
        apvTaken.push_back(oPool.Alloc(1));
    EXPECT_EQ(CEvBuffersPool::GetBufferSize(apvTaken.back()), 128) << "small request in a medium block";
    apvTaken.push_back(oPool.Alloc(1));
    EXPECT_EQ(oCapture.Texts().back(), "CEventsHeap::Alloc - 'new' used for 5 bytes buffer");
    EXPECT_EQ(CEvBuffersPool::GetBufferSize(apvTaken.back()), 1) << "a heap block reports the size asked for";
    for (void* pv : apvTaken)
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pv) & 0x03, 0u);

    // A freed block goes back to its own list and is handed out next.
    oPool.Free(apvTaken[1]);
    oPool.Free(apvTaken[2]);
    EXPECT_EQ(oPool.Alloc(16), apvTaken[1]);
    EXPECT_EQ(oPool.Alloc(100), apvTaken[2]);
    EXPECT_EQ(oPool.GetBlocksAllocated(), int(apvTaken.size()));
    for (void* pv : apvTaken)
        oPool.Free(pv);
    EXPECT_EQ(oPool.GetBlocksAllocated(), 0);

    // The heap size field holds 16 bits.
    EXPECT_EQ(oPool.Alloc(0x10000), nullptr);
    EXPECT_TRUE(oCapture.HasAssert("(iSize >= 0) && (iSize <= MAX_BUFFER_SIZE)", kstrBufferFile));
    EXPECT_EQ(oPool.GetBlocksAllocated(), 0);
}

TEST(BuffersPool, ReferencesAndLock)
{
    CReportCapture oCapture;
    CEvBuffersPool oPool;
    void* pvShared = oPool.Alloc(8);
    EXPECT_TRUE(oPool.AddReference(pvShared));
    oPool.Unlock(pvShared);
    EXPECT_FALSE(oPool.IsLocked(pvShared));
    oPool.Free(pvShared);
    EXPECT_EQ(oPool.GetBlocksAllocated(), 1) << "the second reference keeps the block";
    oPool.Free(pvShared);
    EXPECT_EQ(oPool.GetBlocksAllocated(), 0);

    // A locked block with one reference goes back at one Free; the 64th
    // reference is refused and leaves the count as it was.
    void* pvFull = oPool.Alloc(8);
    for (int i = 1; i < 63; ++i)
        oPool.AddReference(pvFull);
    EXPECT_TRUE(oCapture.Empty());
    EXPECT_FALSE(oPool.AddReference(pvFull));
    EXPECT_TRUE(oCapture.HasAssert("! (*((BYTE *)pvObject - HDRSIZE + 1) & MASK_TEST)", kstrBufferFile));
    for (int i = 0; i < 62; ++i)
        oPool.Free(pvFull);
    EXPECT_EQ(oPool.GetBlocksAllocated(), 1);
    oPool.Free(pvFull);
    EXPECT_EQ(oPool.GetBlocksAllocated(), 0);
}

TEST(BuffersPool, ForeignAndDoubleFreesAreLeftAlone)
{
    CReportCapture oCapture;
    CEvBuffersPool oPool;
    void* pvHeld = oPool.Alloc(4);
    // An unknown ID, and a small-block ID outside the pool's array.
    for (BYTE byId : {BYTE(7), CEvBuffersPool::SMALL_BLOCK_ID}) {
        DWORD adwFake[4] = {};
        BYTE* pbyFake = reinterpret_cast<BYTE*>(adwFake);
        pbyFake[0] = byId;
        pbyFake[1] = 0x81;
        oCapture.Clear();
        oPool.Free(pbyFake + CEvBuffersPool::HDRSIZE);
        EXPECT_TRUE(oCapture.Has("CEventsHeap::Free - Block ID unknown")) << int(byId);
        EXPECT_EQ(pbyFake[1], 0x81);
    }
    EXPECT_EQ(oPool.GetBlocksAllocated(), 1);

    // The second Free of a block is refused and the free list stays sound.
    void* pvTwice = oPool.Alloc(4);
    oPool.Free(pvTwice);
    oPool.Free(pvTwice);
    EXPECT_TRUE(oCapture.HasAssert("!(pbyBlock[1] & MASK_TEST)", kstrBufferFile));
    EXPECT_EQ(static_cast<BYTE*>(pvTwice)[1 - CEvBuffersPool::HDRSIZE], 0) << "the refused Free leaves the header";
    EXPECT_EQ(oPool.GetBlocksAllocated(), 1);
    void* pvA = oPool.Alloc(4);
    void* pvB = oPool.Alloc(4);
    EXPECT_NE(pvA, pvB);
    for (void* pv : {pvA, pvB, pvHeld})
        oPool.Free(pv);
    EXPECT_EQ(oPool.GetBlocksAllocated(), 0);
}

TEST(Pools, ExitWithItemsOutReportsAndKeepsThemValid)
{
    CReportCapture oCapture;
    CEventsPool oEvents;
    CEvBuffersPool oBuffers;
    CLinkedEvent* poHeld = oEvents.GetNewEvent();
    BYTE* pbyHeld = static_cast<BYTE*>(oBuffers.Alloc(16));
    EXPECT_NE(oEvents.Exit(), 0);
    EXPECT_NE(oBuffers.Exit(), 0);
    EXPECT_TRUE(oCapture.HasAssert("m_iCount == 0", kstrPoolFile));
    EXPECT_TRUE(oCapture.HasAssert("!m_iBlocksAllocatedDebug", kstrBufferFile));
    // Still usable (the sanitizer build would catch freed memory here).
    poHeld->SetChnMessage(EVSC_NOTEON, 0, 60, 100);
    poHeld->Clear();
    std::memset(pbyHeld, 0x5A, 16);
    oEvents.ReleaseList(poHeld, poHeld, 1);
    oBuffers.Free(pbyHeld);
}

// Writes its notifications into a shared log.
class CLoggingObject : public CGlobalObjectBase
{
public:
    CLoggingObject(std::string& rstrLog, char cName) : m_rstrLog(rstrLog), m_cName(cName) {}
    int Initialise() override { return Log("init"); }
    int Start() override { return Log("start"); }
    int Stop() override { return Log("stop"); }
    int Exit() override { return Log("exit"); }

private:
    int Log(const char* pszWhat)
    {
        m_rstrLog += std::string(1, m_cName) + "-" + pszWhat + " ";
        return 0;
    }
    std::string& m_rstrLog;
    char m_cName;
};

TEST(GlobalObjects, AnObjectLeavesTheRegistryWhenDestroyed)
{
    const int iBefore = CGlobalObjectCollector::GetCount();
    std::string strLog;
    {
        CLoggingObject oA(strLog, 'A');
        EXPECT_EQ(CGlobalObjectCollector::GetCount(), iBefore + 1);
    }
    EXPECT_EQ(CGlobalObjectCollector::GetCount(), iBefore);
    EXPECT_TRUE(QdGlobalObjectsStart());
    EXPECT_EQ(strLog, "");
}

// The end phase ends the global pools, so it runs in a child process. Exit
// code 0 also says that the pools found everything returned.
TEST(GlobalObjectsDeathTest, PhasesNotifyInReverseOrderOfConstruction)
{
    EXPECT_EXIT(
        {
            std::string strLog;
            CLoggingObject oA(strLog, 'A');
            CLoggingObject oB(strLog, 'B');
            CLoggingObject oC(strLog, 'C');
            const bool bStarted = QdGlobalObjectsStart();
            const bool bEnded = QdGlobalObjectsEnd();
            std::fprintf(stderr, "log: %s| collector %d\n", strLog.c_str(), CGlobalObjectCollector::GetCount());
            std::exit(bStarted && bEnded ? 0 : 2);
        },
        ::testing::ExitedWithCode(0),
        "log: C-init B-init A-init C-start B-start A-start C-stop B-stop A-stop C-exit B-exit A-exit \\| collector 0");
}

TEST(GlobalObjectsDeathTest, EndPhaseReportsWhatThePoolsMiss)
{
    EXPECT_EXIT(
        {
            CLinkedEvent* poLeaked = EventsPool().GetNewEvent();
            poLeaked->SetSysExEventBegin(4);
            poLeaked->SetSysExEventEnd(0);
            std::exit(QdGlobalObjectsEnd() ? 0 : 3);
        },
        ::testing::ExitedWithCode(3),
        "Assert m_iCount == 0 File:Kernel/RTEvents/EvPool Line:[0-9]+\n"
        "Assert !m_iBlocksAllocatedDebug File:Kernel/RTEvents/EvBuffer Line:[0-9]+");
}

} // namespace
