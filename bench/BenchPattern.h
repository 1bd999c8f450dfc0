// BenchPattern.h -- the benchmarks' generated styles: measures of random
// notes on a grid, each measure repeated or changed, as compact streams in
// every chord variation of a style.
#pragma once

#include "BenchRng.h"

#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "MemCoder/MaEncoder.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

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

// BenchFillStyle -- every element of the style byMeasures long, with every
// chord variation the bank keeps (six for the Variations, two for the
// others) and all eight tracks generated; the Drum pattern is shared by the
// chord variations of an element. Returns the chord variations made;
// rdwEvents counts the notes.
inline int BenchFillStyle(CNstEditIfc& roEdit, CBenchRng& roRng, const int (&rkaiNotesPerMeasure)[NST_NR_TRK],
                          const BYTE (&rkabyLowKey)[NST_NR_TRK], BYTE byMeasures, DWORD& rdwEvents)
{
    int iChordVars = 0;
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
    {
        CNstStyleElem& roElem = *roEdit.GetStyle().GetStyleElem(bySe);
        roElem.SetMeasures(byMeasures);
        std::vector<BYTE> abyDrum;
        DWORD dwDrumEvents = 0;
        for (BYTE byCv = 0; byCv < (bySe < 4 ? NST_NR_CV : 2); ++byCv)
        {
            CNstChordVar& roCv = *roElem.GetChordVar(byCv);
            ++iChordVars;
            for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            {
                DWORD dwEvents = 0;
                std::vector<BYTE> abyData;
                if (byTrack == 0 && !abyDrum.empty())
                {
                    abyData = abyDrum;
                    dwEvents = dwDrumEvents;
                }
                else
                    abyData = BenchEncodePattern(roRng, rkaiNotesPerMeasure[byTrack], rkabyLowKey[byTrack], byMeasures,
                                                 dwEvents);
                if (byTrack == 0)
                {
                    abyDrum = abyData;
                    dwDrumEvents = dwEvents;
                }
                rdwEvents += dwEvents;
                roCv.GetPattern(byTrack)->SetData(abyData.data(), DWORD(abyData.size()), roCv.GetLength());
            }
        }
    }
    return iChordVars;
}
