// PoolDiscipline.cpp -- every test must give back what it takes from the
// global pools: a leaked event record, data buffer or note record fails the
// test that leaked it.
#include "Kernel/RTEvents/EvBuffer.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/SeqBase/NoteInfoPool.h"

#include <gtest/gtest.h>

namespace {

struct CPoolCounts
{
    int m_iEvents;
    int m_iBuffers;
    int m_iFreeNotes;
};

CPoolCounts ReadCounts()
{
    return {EventsPool().GetCount(), EvBuffersPool().GetBlocksAllocated(), NoteInfoPool().GetFreeCount()};
}

class CPoolDisciplineListener : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo&) override { m_oAtStart = ReadCounts(); }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        const CPoolCounts oAtEnd = ReadCounts();
        EXPECT_EQ(oAtEnd.m_iEvents, m_oAtStart.m_iEvents) << "event records not returned to the events pool";
        EXPECT_EQ(oAtEnd.m_iBuffers, m_oAtStart.m_iBuffers) << "data buffers not returned to the buffers pool";
        EXPECT_EQ(oAtEnd.m_iFreeNotes, m_oAtStart.m_iFreeNotes) << "note records not returned to the note-info pool";
    }

    CPoolCounts m_oAtStart{};
};

const bool s_bRegistered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new CPoolDisciplineListener);
    return true;
}();

} // namespace
