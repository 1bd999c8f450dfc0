// NstChordVar.cpp -- CNstChordVar: the eight patterns of a chord variation
// and its meta pattern.
#define QD_REPORT_FILE "NlzdStyle/NlzdStyle"

#include "NlzdStyle/NlzdStyle.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/PropForm.h"
#include "MemCoder/MaEncoder.h"

#include <algorithm>
#include <cstdint>

namespace {

// Room beyond the input for the meta pattern's encoding: its end of track
// may take more bytes than the input's.
constexpr DWORD NST_META_SPARE = 20;

} // namespace

CNstChordVar::CNstChordVar(CNstStyle* poStyle)
    : m_byMeasures(1), m_tLength(NST_INITIAL_TICKS), m_poStyle(poStyle)
{
}

bool CNstChordVar::IsPatternInUse(BYTE byPNr) const
{
    if (!QD_ASSERT(byPNr < NST_NR_TRK))
        return false;
    return !m_aoPatterns[byPNr].m_bUntouched;
}

CNstPattern* CNstChordVar::GetPattern(BYTE byPNr)
{
    if (!QD_ASSERT(byPNr < NST_NR_TRK))
        return nullptr;
    CNstPattern& roPattern = m_aoPatterns[byPNr];
    if (roPattern.m_bUntouched)
    {
        roPattern.m_bUntouched = false;
        roPattern.m_oTimeSig = m_oTimeSig;
        roPattern.m_byMeasures = m_byMeasures;
        if (m_poStyle)
            m_poStyle->OnNewPattern(roPattern, byPNr);
    }
    return &roPattern;
}

const CNstPattern* CNstChordVar::FindPattern(BYTE byPNr) const
{
    if (!QD_ASSERT(byPNr < NST_NR_TRK))
        return nullptr;
    return &m_aoPatterns[byPNr];
}

void CNstChordVar::ClearPattern(BYTE byPNr)
{
    if (!QD_ASSERT(byPNr < NST_NR_TRK))
        return;
    m_aoPatterns[byPNr].Clear();
}

bool CNstChordVar::IsEmpty() const
{
    return std::all_of(std::begin(m_aoPatterns), std::end(m_aoPatterns),
                       [](const CNstPattern& rkoPattern) { return rkoPattern.m_bEmpty; });
}

// CNstChordVar::TakeFieldsFrom -- the meta pattern goes with its data: a
// source without one leaves the destination without one.
void CNstChordVar::TakeFieldsFrom(const CNstChordVar& rkoSource)
{
    m_tLength = rkoSource.m_tLength;
    m_oTimeSig = rkoSource.m_oTimeSig;
    m_byMeasures = rkoSource.m_byMeasures;
    if (this != &rkoSource)
        m_abyMetaPattern = rkoSource.m_abyMetaPattern;
}

void CNstChordVar::CopyPatternFrom(const CNstChordVar& rkoSource, BYTE byPNrSrc, BYTE byPNrDst)
{
    const CNstPattern& rkoPattern = rkoSource.m_aoPatterns[byPNrSrc];
    if (rkoPattern.m_bUntouched)
        ClearPattern(byPNrDst);
    else
        GetPattern(byPNrDst)->CopyFrom(rkoPattern);
}

void CNstChordVar::CopyFrom(const CNstChordVar& rkoSource, BYTE byPNrSrc, BYTE byPNrDst)
{
    const CNstCopyRange oTracks(byPNrSrc, byPNrDst, NST_NR_TRK);
    if (IsEmpty() || oTracks.m_bAll)
        TakeFieldsFrom(rkoSource);
    for (BYTE by = 0; by < oTracks.m_byCount; ++by)
        CopyPatternFrom(rkoSource, BYTE(oTracks.m_bySrc + by), BYTE(oTracks.m_byDst + by));
}

void CNstChordVar::CopyTracksFrom(const CNstChordVar& rkoSource, BYTE byTracks)
{
    if (IsEmpty() || byTracks == NST_ALL_TRACKS_MASK)
        TakeFieldsFrom(rkoSource);
    for (BYTE byPNr = 0; byPNr < NST_NR_TRK; ++byPNr)
        if (NstHasTrack(byTracks, byPNr))
            CopyPatternFrom(rkoSource, byPNr, byPNr);
}

// CNstChordVar::SizeEstimate -- a pattern that the bank writer lengthens to
// the chord variation's length by repetition grows to at most the next
// doubling of its length: one more data length per doubling that fits.
DWORD CNstChordVar::SizeEstimate(bool bExpand) const
{
    std::uint64_t qwSize = NST_SIZE_CV + std::uint64_t(m_abyMetaPattern.size());
    for (const CNstPattern& rkoPattern : m_aoPatterns)
    {
        const std::uint64_t qwData = rkoPattern.GetDataLength();
        qwSize += qwData;
        if (!bExpand || rkoPattern.m_tNrTicks == 0)
            continue;
        for (std::uint64_t qwTicks = 2 * std::uint64_t(rkoPattern.m_tNrTicks); qwTicks <= m_tLength; qwTicks *= 2)
            qwSize += qwData;
    }
    return DWORD(std::min<std::uint64_t>(qwSize, 0xFFFFFFFF));
}

// CNstChordVar::SetMetaPattern -- the kept markers are encoded into a buffer
// of the input's length + NST_META_SPARE. A marker later than
// NST_META_END_TICK moves the end of track to its tick, so the stream stays
// valid. A stream without an end of track (no room) is not stored.
TTICK CNstChordVar::SetMetaPattern(const BYTE* pbyData, DWORD dwLength)
{
    if (!QD_ASSERT(pbyData || dwLength == 0))
        dwLength = 0;
    std::vector<BYTE> abyBuffer(std::size_t(dwLength) + NST_META_SPARE);
    CMemEncoder oEncoder(abyBuffer.data(), DWORD(abyBuffer.size()));
    oEncoder.Open();

    CDecProp oDecoder(pbyData, dwLength);
    bool bKept = false;
    TTICK tLastKept = 0;
    TDELTA sdwDelta = oDecoder.Rewind();
    CEventList oList;
    while (!oDecoder.IsEndOfStream() && sdwDelta != NO_DELTA)
    {
        sdwDelta = oDecoder.ExtractEvents(oList);
        oList.KeepIf([](const CLinkedEvent& rkoEvent) { return PropFormIsMarker(rkoEvent, PROP_MARKER_KEPT); });
        if (!oList.IsEmpty() && oEncoder.EncodeEventsAt(oDecoder.GetTick(), oList.Get()))
        {
            bKept = true;
            tLastKept = oDecoder.GetTick();
        }
    }
    const TTICK tTotal = oDecoder.GetTick();

    const bool bEnded = oEncoder.SetEnd(std::max(NST_META_END_TICK, tLastKept));
    oEncoder.Close();
    if (bKept && bEnded)
        m_abyMetaPattern.assign(oEncoder.GetBufferStart(), oEncoder.GetBufferStart() + oEncoder.GetBytesWritten());
    else
        m_abyMetaPattern.clear();
    return tTotal;
}
