// NstStyleElem.cpp -- CNstStyleElem: a style element's parameters, chord
// table and chord variations.
#define QD_REPORT_FILE "NlzdStyle/NlzdStyle"

#include "NlzdStyle/NlzdStyle.h"

#include "Base/Report.h"

#include <algorithm>

CNstStyleElem::CNstStyleElem(CNstStyle* poStyle)
    : m_byMode(0), m_abyChordTable{}, m_byMeasures(1), m_poStyle(poStyle)
{
}

CNstStyleElem::~CNstStyleElem() = default;

CNstTrackParam* CNstStyleElem::GetTrackParam(BYTE byPNr)
{
    if (!QD_ASSERT(byPNr < NST_NR_TRK))
        return nullptr;
    return &m_aoTrackParams[byPNr];
}

const CNstTrackParam* CNstStyleElem::GetTrackParam(BYTE byPNr) const
{
    if (!QD_ASSERT(byPNr < NST_NR_TRK))
        return nullptr;
    return &m_aoTrackParams[byPNr];
}

BYTE CNstStyleElem::GetChordEntry(BYTE byChord) const
{
    if (!QD_ASSERT(byChord < QDI_MAX_CHORD))
        return 0;
    return m_abyChordTable[byChord];
}

void CNstStyleElem::SetChordEntry(BYTE byChord, BYTE byCvNr)
{
    if (!QD_ASSERT(byChord < QDI_MAX_CHORD))
        return;
    m_abyChordTable[byChord] = byCvNr;
}

// CNstStyleElem::RepairChordTable -- values of NST_NR_CV and above name no
// chord variation either.
void CNstStyleElem::RepairChordTable()
{
    BYTE byLowest = 0;
    for (BYTE by = 0; by < NST_NR_CV; ++by)
        if (m_apoChordVars[by])
        {
            byLowest = by;
            break;
        }
    for (BYTE& rbyEntry : m_abyChordTable)
        if (rbyEntry >= NST_NR_CV || !m_apoChordVars[rbyEntry])
            rbyEntry = byLowest;
}

bool CNstStyleElem::HasChordVar(BYTE byCvNr) const
{
    if (!QD_ASSERT(byCvNr < NST_NR_CV))
        return false;
    return m_apoChordVars[byCvNr] != nullptr;
}

// CNstStyleElem::GetChordVar -- the hook sees the chord variation with the
// element's time signature and measures; the length follows what it leaves.
CNstChordVar* CNstStyleElem::GetChordVar(BYTE byCvNr)
{
    if (!QD_ASSERT(byCvNr < NST_NR_CV))
        return nullptr;
    std::unique_ptr<CNstChordVar>& rpoChordVar = m_apoChordVars[byCvNr];
    if (!rpoChordVar)
    {
        auto poNew = std::make_unique<CNstChordVar>(m_poStyle);
        poNew->m_oTimeSig = m_oTimeSig;
        poNew->m_byMeasures = m_byMeasures;
        if (m_poStyle)
            m_poStyle->OnNewChordVar(*poNew, byCvNr);
        poNew->m_tLength = poNew->GetTicksPerMeasure() * poNew->m_byMeasures;
        rpoChordVar = std::move(poNew);
    }
    return rpoChordVar.get();
}

const CNstChordVar* CNstStyleElem::FindChordVar(BYTE byCvNr) const
{
    if (!QD_ASSERT(byCvNr < NST_NR_CV))
        return nullptr;
    return m_apoChordVars[byCvNr].get();
}

void CNstStyleElem::DeleteChordVar(BYTE byCvNr)
{
    if (!QD_ASSERT(byCvNr < NST_NR_CV))
        return;
    m_apoChordVars[byCvNr].reset();
}

bool CNstStyleElem::IsEmpty() const
{
    return std::all_of(std::begin(m_apoChordVars), std::end(m_apoChordVars),
                       [](const std::unique_ptr<CNstChordVar>& rkpoChordVar)
                       { return !rkpoChordVar || rkpoChordVar->IsEmpty(); });
}

void CNstStyleElem::TakeFieldsFrom(const CNstStyleElem& rkoSource)
{
    m_oTimeSig = rkoSource.m_oTimeSig;
    m_byMeasures = rkoSource.m_byMeasures;
    m_byMode = rkoSource.m_byMode;
    std::copy(std::begin(rkoSource.m_abyChordTable), std::end(rkoSource.m_abyChordTable),
              std::begin(m_abyChordTable));
}

// CNstStyleElem::CopyFrom -- the element's own fields go first, while the
// destination's emptiness is still that of before the copy.
void CNstStyleElem::CopyFrom(const CNstStyleElem& rkoSource, BYTE byCvSrc, BYTE byPNrSrc, BYTE byCvDst, BYTE byPNrDst)
{
    const CNstCopyRange oChordVars(byCvSrc, byCvDst, NST_NR_CV);
    const CNstCopyRange oTracks(byPNrSrc, byPNrDst, NST_NR_TRK);
    if (IsEmpty() || (oChordVars.m_bAll && oTracks.m_bAll))
    {
        TakeFieldsFrom(rkoSource);
        for (BYTE by = 0; by < oTracks.m_byCount; ++by)
            m_aoTrackParams[oTracks.m_byDst + by] = rkoSource.m_aoTrackParams[oTracks.m_bySrc + by];
    }
    for (BYTE by = 0; by < oChordVars.m_byCount; ++by)
    {
        const CNstChordVar* pkoSource = rkoSource.m_apoChordVars[oChordVars.m_bySrc + by].get();
        const BYTE byDst = BYTE(oChordVars.m_byDst + by);
        if (pkoSource)
            GetChordVar(byDst)->CopyFrom(*pkoSource, byPNrSrc, byPNrDst);
        else
            DeleteChordVar(byDst);
    }
    RepairChordTable();
}

// CNstStyleElem::CopyTracksFrom -- as CopyFrom, with the emptiness of the
// element and of each chord variation judged before the first track of the
// set changes, and the table repaired after the last.
void CNstStyleElem::CopyTracksFrom(const CNstStyleElem& rkoSource, BYTE byCvSrc, BYTE byCvDst, BYTE byTracks)
{
    const CNstCopyRange oChordVars(byCvSrc, byCvDst, NST_NR_CV);
    const bool bAllTracks = byTracks == NST_ALL_TRACKS_MASK;
    if (IsEmpty() || (oChordVars.m_bAll && bAllTracks))
    {
        TakeFieldsFrom(rkoSource);
        for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
            if (NstHasTrack(byTracks, byPNr))
                m_aoTrackParams[byPNr] = rkoSource.m_aoTrackParams[byPNr];
    }
    for (BYTE by = 0; by < oChordVars.m_byCount; ++by)
    {
        const CNstChordVar* pkoSource = rkoSource.m_apoChordVars[oChordVars.m_bySrc + by].get();
        const BYTE byDst = BYTE(oChordVars.m_byDst + by);
        if (pkoSource)
            GetChordVar(byDst)->CopyTracksFrom(*pkoSource, byTracks);
        else if (bAllTracks)
            DeleteChordVar(byDst);
        else if (CNstChordVar* poChordVar = m_apoChordVars[byDst].get())
            for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
                if (NstHasTrack(byTracks, byPNr))
                    poChordVar->ClearPattern(byPNr);
    }
    RepairChordTable();
}

DWORD CNstStyleElem::SizeEstimate(bool bExpand) const
{
    DWORD dwSize = NST_SIZE_STE;
    for (const std::unique_ptr<CNstChordVar>& rkpoChordVar : m_apoChordVars)
        if (rkpoChordVar)
            dwSize += rkpoChordVar->SizeEstimate(bExpand);
    return dwSize;
}
