// BenchBank.cpp -- 64 large styles through the edit interface, each in the
// instrument's stored form (BuildBankData with markers), in a bank laid out
// and saved by DemoSaveBank.
//
// A style is made as the style benchmark makes its style: measures of
// notes on a grid, repeated or changed from measure to measure, the Drum
// pattern shared by the chord variations of an element. The density is set
// so that 64 styles fill about 3 MB of the 3 MB bank block, as a bank the
// instrument filled would.
#include "BenchBank.h"

#include "BenchRng.h"
#include "DemoBank.h"

#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "MemCoder/MaEncoder.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int NR_SLOTS = 64;
constexpr BYTE BANK_MEASURES = 4;
constexpr TTICK BANK_MEASURE_TICKS = 1536;

// Notes per measure and lowest key of each track: Drum, Percussion, Bass,
// Acc. 1 to Acc. 5.
const int s_aiNotesPerMeasure[NST_NR_TRK] = {16, 5, 4, 15, 4, 3, 2, 2};
const BYTE s_abyLowKey[NST_NR_TRK] = {35, 50, 28, 48, 52, 55, 60, 64};

struct CBankNote
{
    TTICK m_tTick;
    BYTE m_byKey;
    BYTE m_byVelocity;
    DWORD m_dwDuration;
};

// MakeMeasure -- iNotes notes on a grid of iNotes steps, each ending inside
// its step.
std::vector<CBankNote> MakeMeasure(CBenchRng& roRng, int iNotes, BYTE byLowKey)
{
    std::vector<CBankNote> aoNotes;
    const TTICK tStep = BANK_MEASURE_TICKS / TTICK(iNotes);
    for (int i = 0; i < iNotes; ++i)
        aoNotes.push_back({TTICK(i) * tStep + roRng.Next(4), BYTE(byLowKey + roRng.Next(24)),
                           BYTE(40 + roRng.Next(80)), 1 + roRng.Next(tStep - 8)});
    return aoNotes;
}

// EncodePattern -- the measures (each repeated or changed) as a compact stream.
std::vector<BYTE> EncodePattern(CBenchRng& roRng, int iNotesPerMeasure, BYTE byLowKey, DWORD& rdwEvents)
{
    CMemEncoder oEncoder;
    oEncoder.Open();
    std::vector<CBankNote> aoMeasure = MakeMeasure(roRng, iNotesPerMeasure, byLowKey);
    for (BYTE byMeasure = 0; byMeasure < BANK_MEASURES; ++byMeasure)
    {
        if (byMeasure > 0 && roRng.Next(3) == 0)
            aoMeasure = MakeMeasure(roRng, iNotesPerMeasure, byLowKey);
        for (const CBankNote& rkoNote : aoMeasure)
        {
            CLinkedEvent* poEvent = EventsPool().GetNewEvent();
            poEvent->SetNoteEvent(0, rkoNote.m_byKey, rkoNote.m_byVelocity, 64, rkoNote.m_dwDuration);
            oEncoder.EncodeEventsAt(byMeasure * BANK_MEASURE_TICKS + rkoNote.m_tTick, poEvent);
            FreeEventsList(poEvent);
            ++rdwEvents;
        }
    }
    oEncoder.SetEnd(BANK_MEASURES * BANK_MEASURE_TICKS);
    oEncoder.Close();
    return std::vector<BYTE>(oEncoder.GetBufferStart(), oEncoder.GetBufferStart() + oEncoder.GetBytesWritten());
}

// BuildStyleChunk -- one style, its stored form; empty when it failed.
std::vector<BYTE> BuildStyleChunk(int iSlot, const std::string& rkstrName, CBenchBankFacts& roFacts)
{
    CBenchRng oRng(0xB4A2C0u + std::uint64_t(iSlot) * 7919u);
    CNstEditIfc oEdit(nullptr, 0);
    oEdit.SetName(rkstrName.c_str());
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
    {
        CNstStyleElem& roElem = *oEdit.GetStyle().GetStyleElem(bySe);
        roElem.SetMeasures(BANK_MEASURES);
        std::vector<BYTE> abyDrum;
        DWORD dwDrumEvents = 0;
        for (BYTE byCv = 0; byCv < (bySe < 4 ? NST_NR_CV : 2); ++byCv)
        {
            CNstChordVar& roCv = *roElem.GetChordVar(byCv);
            ++roFacts.m_iChordVars;
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
                    abyData = EncodePattern(oRng, s_aiNotesPerMeasure[byTrack], s_abyLowKey[byTrack], dwEvents);
                if (byTrack == 0)
                {
                    abyDrum = abyData;
                    dwDrumEvents = dwEvents;
                }
                roFacts.m_dwEvents += dwEvents;
                roCv.GetPattern(byTrack)->SetData(abyData.data(), DWORD(abyData.size()), roCv.GetLength());
            }
        }
    }
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbyStored = oEdit.BuildBankData(true, dwSize);
    if (!pbyStored || dwSize == 0)
        return {};
    roFacts.m_dwStyleBytes += dwSize;
    return std::vector<BYTE>(pbyStored.get(), pbyStored.get() + dwSize);
}

} // namespace

// BenchBuildFullBank -- the 64 styles, named "Bench 01" ... "Bench 64".
bool BenchBuildFullBank(std::vector<BYTE>& rabyFile, CBenchBankFacts& roFacts,
                        std::vector<std::string>& rastrProblems)
{
    roFacts = CBenchBankFacts();
    std::vector<CDemoSlot> aoSlots(NR_SLOTS);
    std::vector<std::vector<BYTE>> aoChunks(NR_SLOTS);
    for (int i = 0; i < NR_SLOTS; ++i)
    {
        char szName[16];
        std::snprintf(szName, sizeof szName, "Bench %02d", i + 1);
        aoSlots[std::size_t(i)].m_iStyle = i;
        aoSlots[std::size_t(i)].m_strName = szName;
        aoChunks[std::size_t(i)] = BuildStyleChunk(i, szName, roFacts);
        if (aoChunks[std::size_t(i)].empty())
        {
            rastrProblems.push_back(std::string("style '") + szName + "' could not be built");
            return false;
        }
    }
    return DemoSaveBank(aoSlots, aoChunks, rabyFile, rastrProblems);
}
