// FuzzSupport.h -- what every fuzz target shares: the start of the global
// objects, a report sink for corrupt input, the check that every input gives
// back what it took from the global pools, and a loud stop for a broken
// promise of the code under test.
//
// Corrupt input legitimately reports, so reports are only counted; with
// QD_FUZZ_REPORTS=1 in the environment they go to stderr as well (to read
// what the core said while a finding is replayed).
#pragma once

#include "Base/Report.h"
#include "Kernel/Core/GlobalObj.h"
#include "Kernel/RTEvents/EvBuffer.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/SeqBase/NoteInfoPool.h"

#include <cstdio>
#include <cstdlib>

namespace QdFuzz {

inline long s_lReports = 0;

// ShowReports -- QD_FUZZ_REPORTS=1 is set.
inline bool ShowReports()
{
    static const bool s_bShow = [] {
        const char* pszShow = std::getenv("QD_FUZZ_REPORTS");
        return pszShow != nullptr && pszShow[0] == '1';
    }();
    return s_bShow;
}

// Start -- once per process, from LLVMFuzzerInitialize.
inline void Start()
{
    const bool bShow = ShowReports();
    QdSetReportSink([bShow](const char* pszText) {
        ++s_lReports;
        if (bShow)
            std::fprintf(stderr, "report: %s\n", pszText);
    });
    QdGlobalObjectsStart();
}

// Fail -- a promise of the code under test is broken: stops the run so that
// libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* pszWhat)
{
    std::fprintf(stderr, "qd-fuzz: %s\n", pszWhat);
    std::abort();
}

inline void Require(bool bCondition, const char* pszWhat)
{
    if (!bCondition)
        Fail(pszWhat);
}

// CPoolBalance -- the pools are global and live for the whole run, so the
// leak checker never sees a record that an input kept: the counts at the
// end of one input must be those at its start.
class CPoolBalance
{
public:
    CPoolBalance()
        : m_iEvents(EventsPool().GetCount()), m_iBuffers(EvBuffersPool().GetBlocksAllocated()),
          m_iFreeNotes(NoteInfoPool().GetFreeCount())
    {
    }
    ~CPoolBalance()
    {
        Require(EventsPool().GetCount() == m_iEvents, "event records not returned to the events pool");
        Require(EvBuffersPool().GetBlocksAllocated() == m_iBuffers, "data buffers not returned to the buffers pool");
        Require(NoteInfoPool().GetFreeCount() == m_iFreeNotes, "note records not returned to the note-info pool");
    }
    CPoolBalance(const CPoolBalance&) = delete;
    CPoolBalance& operator=(const CPoolBalance&) = delete;

private:
    int m_iEvents;
    int m_iBuffers;
    int m_iFreeNotes;
};

} // namespace QdFuzz
