// BenchPattern.h -- the benchmarks' generated patterns: measures of random
// notes on a grid, each measure repeated or changed, as a compact stream.
#pragma once

#include "BenchRng.h"

#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "MemCoder/MaEncoder.h"

#include <vector>

inline constexpr TTICK BENCH_MEASURE_TICKS = 1536;

struct CBenchNote
{
    TTICK m_tTick;
    BYTE m_byKey;
    BYTE m_byVelocity;
    DWORD m_dwDuration;
};

// BenchMakeMeasure -- iNotes notes on a grid of iNotes steps, each ending
// inside its step (so inside the measure), two octaves up from byLowKey.
inline std::vector<CBenchNote> BenchMakeMeasure(CBenchRng& roRng, int iNotes, BYTE byLowKey)
{
    std::vector<CBenchNote> aoNotes;
    const TTICK tStep = BENCH_MEASURE_TICKS / TTICK(iNotes);
    for (int i = 0; i < iNotes; ++i)
        aoNotes.push_back({TTICK(i) * tStep + roRng.Next(4), BYTE(byLowKey + roRng.Next(24)),
                           BYTE(40 + roRng.Next(80)), 1 + roRng.Next(tStep - 8)});
    return aoNotes;
}

// BenchEncodePattern -- byMeasures measures (a third of them changed, the
// others repeating the one before) as a compact stream; rdwEvents counts
// the notes written.
inline std::vector<BYTE> BenchEncodePattern(CBenchRng& roRng, int iNotesPerMeasure, BYTE byLowKey, BYTE byMeasures,
                                            DWORD& rdwEvents)
{
    CMemEncoder oEncoder;
    oEncoder.Open();
    std::vector<CBenchNote> aoMeasure = BenchMakeMeasure(roRng, iNotesPerMeasure, byLowKey);
    for (BYTE byMeasure = 0; byMeasure < byMeasures; ++byMeasure)
    {
        if (byMeasure > 0 && roRng.Next(3) == 0)
            aoMeasure = BenchMakeMeasure(roRng, iNotesPerMeasure, byLowKey);
        for (const CBenchNote& rkoNote : aoMeasure)
        {
            CLinkedEvent* poEvent = EventsPool().GetNewEvent();
            poEvent->SetNoteEvent(0, rkoNote.m_byKey, rkoNote.m_byVelocity, 64, rkoNote.m_dwDuration);
            oEncoder.EncodeEventsAt(byMeasure * BENCH_MEASURE_TICKS + rkoNote.m_tTick, poEvent);
            FreeEventsList(poEvent);
            ++rdwEvents;
        }
    }
    oEncoder.SetEnd(byMeasures * BENCH_MEASURE_TICKS);
    oEncoder.Close();
    return std::vector<BYTE>(oEncoder.GetBufferStart(), oEncoder.GetBufferStart() + oEncoder.GetBytesWritten());
}
