// MarkerAlg.cpp -- cleaning a pattern, splitting it into sub-patterns and
// extracting one sub-pattern.
//
// Notes with duration and the memory encoder. The encoder splits a note into
// its note-on and a note-off queued at its end, and its note tracer joins the
// two into one note again; it writes the pattern's end event no earlier than
// the latest queued note end. So a note is never cut by where the end event
// is asked for: cleaning and extraction shorten a note's duration before it
// is encoded, to end at the last allowed tick or at the sub-pattern's end,
// and the end event then lands exactly at the length asked for. A plain
// note-off that the channel state keeps completes its note in the encoder
// and is no event of the encoded stream; the event counts given to the
// destination are those of the encoded stream.
#define QD_REPORT_FILE "MarkerAlg/MarkerAlg"

#include "MarkerAlg/MarkerAlg.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/EventList.h"
#include "MemCoder/MaEncoder.h"

#include <algorithm>
#include <memory>

namespace {

// SetNoEvents -- a destination that received nothing usable.
void SetNoEvents(PatternData& roDest)
{
    roDest.m_pbyEvents = nullptr;
    roDest.m_dwTotalEventsDim = 0;
    roDest.m_dwNrEvents = 0;
}

bool IsNote(const CEvent& rkoEvent)
{
    return rkoEvent.GetClass() == EC_CHMSG && rkoEvent.GetCode() == EVSC_NOTE;
}

// CloseEncoder -- the end event at tEndTick, then Close. A failed encoding
// is abandoned: its open notes are forgotten before the encoder closes.
bool CloseEncoder(CMemEncoder& roEncoder, bool bEncoded, TTICK tEndTick)
{
    if (bEncoded)
        bEncoded = roEncoder.SetEnd(tEndTick);
    if (!bEncoded)
        roEncoder.Reset();
    roEncoder.Close();
    return bEncoded;
}

} // namespace

// ---------------------------------------------------------------------------
// Cleaning
// ---------------------------------------------------------------------------

// CleanPattern -- one pass over the source's lists; see the header.
int CleanPattern(CChannelState& roChannelState, const PatternData& rkoSource, PatternData& roDest, BYTE* pbyBuffer,
                 DWORD dwSize, bool bAllowLastTick)
{
    // The source may be the destination itself: take what is needed first.
    const TTICK tTotalTicks = rkoSource.m_dwTotalTicks;
    const DWORD dwSourceDim = rkoSource.m_pbyEvents ? rkoSource.m_dwTotalEventsDim : 0;
    const BYTE byChunkId = rkoSource.m_byChunkId;
    const BYTE byAttr1 = rkoSource.m_byAttr1;
    const BYTE byAttr2 = rkoSource.m_byAttr2;
    CPatternReader oReader(rkoSource.m_pbyEvents, dwSourceDim);

    roDest.Release();
    roDest.m_byChunkId = byChunkId;
    roDest.m_dwTotalTicks = tTotalTicks;
    roDest.m_byAttr1 = byAttr1;
    roDest.m_byAttr2 = byAttr2;
    SetNoEvents(roDest);
    if (!pbyBuffer || !dwSize)
        return MA_CLEAN_FAILED;

    // The last allowed tick; a pattern of length 0 has none (-1).
    roChannelState.Reset();
    const std::int64_t sqwLastAllowed =
        bAllowLastTick && tTotalTicks ? std::int64_t(tTotalTicks) : std::int64_t(tTotalTicks) - 1;
    CMemEncoder oEncoder(pbyBuffer, dwSize);
    oEncoder.Open();
    bool bChanged = false;
    bool bEncoded = true;
    DWORD dwKept = 0;
    std::uint64_t qwTick = 0;

    // The lists up to the last allowed tick, with what the channel state keeps.
    CEventList oList;
    while (bEncoded && oReader.Next(oList, qwTick))
    {
        const CLinkedEvent* pkoFirst = oList.Get();
        if (std::int64_t(qwTick) > sqwLastAllowed || pkoFirst->GetClass() != EC_CHMSG)
        {
            // Not written; only the source's own end event may lie at the
            // length, and the end event is written afresh there.
            const bool bOwnEnd = pkoFirst->IsEndOfTrack() && !pkoFirst->Next() && qwTick == tTotalTicks;
            bChanged = bChanged || !bOwnEnd;
            if (std::int64_t(qwTick) > sqwLastAllowed)
                break;
            continue;
        }

        // A list at the length itself is written one tick earlier.
        const TTICK tWrite = qwTick == tTotalTicks ? tTotalTicks - 1 : TTICK(qwTick);
        roChannelState.AdvanceTo(tWrite);
        oList.KeepIf([&](CLinkedEvent& roEvent) {
            // A note still held at the end is closed there as the reset closes
            // a held key: at the last allowed tick, with note-off velocity 64.
            if (IsNote(roEvent) && std::int64_t(tWrite) + roEvent.GetDuration() > sqwLastAllowed)
            {
                roEvent.SetDuration(DWORD(sqwLastAllowed - tWrite));
                roEvent.SetVelOff(MA_RESET_VELOCITY);
                bChanged = true;
            }
            if (!roChannelState.Update(roEvent, tWrite))
            {
                bChanged = true;
                return false;
            }
            if (roEvent.GetCode() != EVSC_NOTEOFF)
                ++dwKept;
            return true;
        });
        if (!oList.IsEmpty())
        {
            bChanged = bChanged || tWrite != qwTick;
            bEncoded = oEncoder.EncodeEventsAt(tWrite, oList.Get());
        }
    }
    bChanged = bChanged || oReader.IsCorrupted();

    // Whatever still sounds or is off its rest is reset just before the end;
    // every note with duration has ended by the last allowed tick.
    roChannelState.AdvanceTo(tTotalTicks);
    if (bEncoded && !roChannelState.IsClean())
    {
        CLinkedEvent* poReset = nullptr;
        roChannelState.MakeResetEvents(poReset);
        const CEventList oReset(poReset);
        for (CLinkedEvent* poEvent = poReset; poEvent; poEvent = poEvent->Next())
        {
            roChannelState.Update(*poEvent, tTotalTicks);
            if (poEvent->GetCode() != EVSC_NOTEOFF)
                ++dwKept;
        }
        if (poReset)
            bEncoded = oEncoder.EncodeEventsAt(tTotalTicks ? tTotalTicks - 1 : 0, poReset);
        bChanged = true;
    }

    if (!CloseEncoder(oEncoder, bEncoded, tTotalTicks))
        return MA_CLEAN_FAILED;
    roDest.m_pbyEvents = pbyBuffer;
    roDest.m_dwTotalEventsDim = oEncoder.GetBytesWritten();
    roDest.m_dwNrEvents = dwKept + 1;

    // A different size, or a source whose reading ended elsewhere than at its
    // length, is a change too.
    bChanged = bChanged || roDest.m_dwTotalEventsDim != dwSourceDim || qwTick != tTotalTicks;
    return bChanged ? MA_CLEAN_CHANGED : MA_CLEAN_UNCHANGED;
}

// ---------------------------------------------------------------------------
// Splitting
// ---------------------------------------------------------------------------

// SplitPattern -- one pass over the lists; see the header.
int SplitPattern(CChannelState& roChannelState, PatternData& roPatternData, WORD wSigCode, int iTarget)
{
    roPatternData.Release();
    if (!QD_ASSERT(wSigCode))
        return 0;
    const DWORD dwNumerator = NstSplitCodeNumerator(wSigCode);
    const DWORD dwDenominator = NstSplitCodeDenominator(wSigCode);
    if (!QD_ASSERT(dwNumerator > 0 && dwDenominator > 0) || !QD_ASSERT(iTarget > 0))
        return 0;
    const DWORD dwNrEvents = roPatternData.m_dwNrEvents;
    DWORD dwTarget = DWORD(iTarget);
    const DWORD dwHalf = dwTarget / 2;
    if (std::uint64_t(dwNrEvents) < std::uint64_t(dwTarget) + dwHalf)
        return 0;

    // A long pattern is cut into about four sub-patterns.
    if (std::uint64_t(dwNrEvents) > 4 * std::uint64_t(dwTarget))
        dwTarget = DWORD((std::uint64_t(dwNrEvents) + dwHalf) / 4);

    // Bounds on the events of a sub-pattern: a pattern of a measure or more
    // is cut at measure boundaries between lo and hi events, a shorter one
    // by count. A target of 1 would give lo = 0: at least 1.
    roChannelState.Reset();
    const TTICK tMeasure = dwNumerator * NST_TICKS_PER_WHOLE / dwDenominator;
    DWORD dwLo = dwTarget;
    DWORD dwHi = dwTarget;
    if (roPatternData.m_dwTotalTicks >= tMeasure)
    {
        dwLo = std::max<DWORD>(1, dwTarget / 2);
        dwHi = dwTarget + dwTarget / 2;
    }

    // Every sub-pattern but the last holds at least dwLo events, so the
    // array cannot run full; the bound is kept all the same.
    const DWORD dwDim = dwNrEvents / dwLo + 3;
    std::unique_ptr<SubPattern[]> poSubPatterns = std::make_unique<SubPattern[]>(dwDim);
    SubPattern* poCurrent = &poSubPatterns[0];
    DWORD dwNrSubPatterns = 0;

    // The first sub-pattern starts at tick 0, its offset is the first list's
    // tick. A cut is looked for before each list.
    CPatternReader oReader(roPatternData.m_pbyEvents, roPatternData.m_pbyEvents ? roPatternData.m_dwTotalEventsDim : 0);
    CEventList oList;
    std::uint64_t qwTick = 0;
    TTICK tTick = 0;
    DWORD dwSeen = 0;
    DWORD dwInCurrent = 0;
    bool bWhole = true;
    bool bFirst = true;
    while (oReader.Next(oList, qwTick))
    {
        const TTICK tPrevMeasure = tTick / tMeasure;
        if (!QD_ASSERT_TEXT(qwTick <= roPatternData.m_dwTotalTicks, "tTick <= roPatternData.m_dwTotalTicks"))
        {
            bWhole = false;
            break;
        }
        tTick = TTICK(qwTick);
        if (bFirst)
            poCurrent->m_dwFirstOffset = tTick;
        bFirst = false;

        roChannelState.AdvanceTo(tTick);
        if (roChannelState.IsClean() && dwSeen < dwNrEvents && dwNrEvents - dwSeen > dwLo &&
            dwNrSubPatterns + 1 < dwDim)
        {
            const TTICK tMeasureStart = tTick / tMeasure * tMeasure;
            const bool bCountCut = dwInCurrent >= dwHi;
            // No note that began before the boundary may sound across it.
            const bool bMeasureCut = !bCountCut && dwInCurrent >= dwLo && tTick / tMeasure > tPrevMeasure &&
                                     roChannelState.GetLastNoteEnd() <= tMeasureStart;
            if (bCountCut || bMeasureCut)
            {
                const TTICK tCut = bCountCut ? tTick : tMeasureStart;
                poCurrent->m_dwTicks = tCut - poCurrent->m_dwStartTick;
                poCurrent->m_dwNrEvents = dwInCurrent;
                ++dwNrSubPatterns;
                poCurrent = &poSubPatterns[dwNrSubPatterns];
                poCurrent->m_dwStartTick = tCut;
                poCurrent->m_dwFirstOffset = tTick - tCut;
                poCurrent->m_dwFirstEvent = dwSeen;
                dwInCurrent = 0;
            }
        }

        for (const CLinkedEvent* pkoEvent = oList.Get(); pkoEvent; pkoEvent = pkoEvent->Next())
        {
            if (pkoEvent->GetClass() == EC_CHMSG)
                roChannelState.Update(*pkoEvent, tTick);
            ++dwSeen;
            ++dwInCurrent;
        }
    }
    if (!bWhole || oReader.IsCorrupted())
        return 0;

    // The last sub-pattern ends with the pattern and leaves out its end event.
    poCurrent->m_dwTicks = tTick - poCurrent->m_dwStartTick;
    poCurrent->m_dwNrEvents = dwInCurrent ? dwInCurrent - 1 : 0;
    ++dwNrSubPatterns;
    roPatternData.m_poSubPatterns = std::move(poSubPatterns);
    roPatternData.m_iNrSubPatterns = int(dwNrSubPatterns);
    return roPatternData.m_iNrSubPatterns - 1;
}

// ---------------------------------------------------------------------------
// Extraction
// ---------------------------------------------------------------------------

// ExtractSubPattern -- skips to the sub-pattern's first event, writes its
// lists relative to its start and ends it at its length.
bool ExtractSubPattern(const PatternData& rkoPatternData, int iIndex, PatternData& roDest, BYTE* pbyBuffer,
                       DWORD dwSize)
{
    if (!QD_ASSERT_TEXT(iIndex >= 0 && iIndex < rkoPatternData.m_iNrSubPatterns && rkoPatternData.m_poSubPatterns,
                        "iIndex < roPatternData.m_iNrSubPatterns && roPatternData.m_poSubPatterns"))
    {
        if (&roDest != &rkoPatternData)
            SetNoEvents(roDest);
        return false;
    }
    // The destination may be the pattern itself: take what is needed first.
    const SubPattern oSub = rkoPatternData.m_poSubPatterns[iIndex];
    const BYTE byChunkId = rkoPatternData.m_byChunkId;
    const BYTE byAttr1 = rkoPatternData.m_byAttr1;
    const BYTE byAttr2 = rkoPatternData.m_byAttr2;
    CPatternReader oReader(rkoPatternData.m_pbyEvents,
                           rkoPatternData.m_pbyEvents ? rkoPatternData.m_dwTotalEventsDim : 0);

    roDest.Release();
    roDest.m_byChunkId = byChunkId;
    roDest.m_dwTotalTicks = oSub.m_dwTicks;
    roDest.m_byAttr1 = byAttr1;
    roDest.m_byAttr2 = byAttr2;
    SetNoEvents(roDest);
    if (!pbyBuffer || !dwSize)
        return false;

    CMemEncoder oEncoder(pbyBuffer, dwSize);
    oEncoder.Open();
    bool bEncoded = true;
    // A sub-pattern that does not fit its pattern (notes or lists past its
    // length) is reported once; what lies past its length is cut off.
    bool bWithinSubPattern = true;
    DWORD dwSkipped = 0;
    DWORD dwTaken = 0;
    // Events of the encoded stream: a plain note-off completes its note.
    DWORD dwWritten = 0;
    bool bFirst = true;
    std::uint64_t qwPrevTick = 0;
    std::uint64_t qwAt = oSub.m_dwFirstOffset;
    CEventList oList;
    std::uint64_t qwTick = 0;
    while (bEncoded && dwTaken < oSub.m_dwNrEvents && oReader.Next(oList, qwTick))
    {
        // Whole lists up to the sub-pattern's first event are passed over.
        if (dwSkipped < oSub.m_dwFirstEvent)
        {
            dwSkipped += CountEventsList(oList.Get());
            continue;
        }
        // The first list goes at the first offset, the others at their deltas.
        if (!bFirst)
            qwAt += qwTick - qwPrevTick;
        bFirst = false;
        qwPrevTick = qwTick;
        if (qwAt > oSub.m_dwTicks)
        {
            bWithinSubPattern = false;
            break;
        }

        // Events beyond the count, and the pattern's own end event, stay out.
        oList.KeepIf([&](CLinkedEvent& roEvent) {
            if (dwTaken >= oSub.m_dwNrEvents || roEvent.IsEndOfTrack())
                return false;
            if (IsNote(roEvent) && qwAt + roEvent.GetDuration() > oSub.m_dwTicks)
            {
                roEvent.SetDuration(DWORD(oSub.m_dwTicks - qwAt));
                bWithinSubPattern = false;
            }
            ++dwTaken;
            dwWritten += !(roEvent.GetClass() == EC_CHMSG && roEvent.GetCode() == EVSC_NOTEOFF);
            return true;
        });
        if (!oList.IsEmpty())
            bEncoded = oEncoder.EncodeEventsAt(TTICK(qwAt), oList.Get());
    }
    QD_ASSERT(bWithinSubPattern);

    if (!CloseEncoder(oEncoder, bEncoded, oSub.m_dwTicks))
        return false;
    roDest.m_pbyEvents = pbyBuffer;
    roDest.m_dwTotalEventsDim = oEncoder.GetBytesWritten();
    roDest.m_dwNrEvents = dwWritten + 1;
    return true;
}
