// PatMerge.cpp -- pattern merge (export) and un-merge (import).
#define QD_REPORT_FILE "MemCoder/PatMerge"

#include "MemCoder/PatMerge.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/CDecBase.h"
#include "Kernel/SeqBase/CEncBase.h"

#include <algorithm>
#include <cstdint>

namespace {

// End tick of a track input: its lists are all taken.
constexpr TTICK PM_NO_END_TICK = 0xFFFFFFFF;

// FindEndOfTrack -- the end-of-track event of a meta list, or null; rpoBefore
// is the event in front of it (null when it comes first).
CLinkedEvent* FindEndOfTrack(CLinkedEvent* poList, CLinkedEvent*& rpoBefore)
{
    rpoBefore = nullptr;
    for (CLinkedEvent* poEvent = poList; poEvent; rpoBefore = poEvent, poEvent = poEvent->Next())
        if (poEvent->GetClass() == EC_META && poEvent->IsEndOfTrack())
            return poEvent;
    return nullptr;
}

// SetListChannel -- gives every channel message of the list byChannel.
void SetListChannel(CLinkedEvent* poList, BYTE byChannel)
{
    for (CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
        if (poEvent->GetClass() == EC_CHMSG)
            poEvent->SetTrack(byChannel);
}

int CountEvents(const CLinkedEvent* poList)
{
    int iCount = 0;
    for (; poList; poList = poList->Next())
        ++iCount;
    return iCount;
}

// DropFirstEvents -- gives the first iCount events of the list back to the
// pool.
void DropFirstEvents(CEventList& roList, int iCount)
{
    int iSeen = 0;
    roList.KeepIf([&iSeen, iCount](const CLinkedEvent&) { return iSeen++ >= iCount; });
}

} // namespace

CFilterOut::~CFilterOut() = default;

// ---------------------------------------------------------------------------
// Merge
// ---------------------------------------------------------------------------

CPropPattMerge::CPropPattMerge(CEncoderBase& roEncoder) : m_poEncoder(&roEncoder)
{
    QD_ASSERT(roEncoder.IsOpen());
}

CPropPattMerge::~CPropPattMerge() = default;

bool CPropPattMerge::AddTrackInput(CDecBase& roDecoder, BYTE byChannel)
{
    if (!QD_ASSERT(byChannel < 16))
        return false;
    AddInput(roDecoder, byChannel, PM_NO_END_TICK);
    return true;
}

void CPropPattMerge::AddMetaInput(CDecBase& roDecoder, TTICK tEndTick)
{
    AddInput(roDecoder, PM_ALL_CHANNELS, tEndTick);
}

// CPropPattMerge::AddInput -- an input without any list (an empty stream) or
// whose first list lies at or beyond its end tick is not kept. A decoder that
// fails already at its rewind is kept at tick 0, so that the merge ends
// there as at any decoder error.
void CPropPattMerge::AddInput(CDecBase& roDecoder, BYTE byChannel, TTICK tEndTick)
{
    CMergeInput oInput{&roDecoder, byChannel, tEndTick, false};
    const TDELTA sdwDelta = roDecoder.Rewind();
    TTICK tFirstTick = 0;
    if (sdwDelta == NO_DELTA)
    {
        if (roDecoder.IsEndOfStream())
            return;
        oInput.m_bFailed = true;
    }
    else
    {
        tFirstTick = TTICK(sdwDelta);
        if (tFirstTick >= tEndTick)
            return;
    }
    InsertInput(tFirstTick, oInput);
}

// CPropPattMerge::InsertInput -- behind every input whose next list lies at
// the same tick or earlier.
void CPropPattMerge::InsertInput(TTICK tTick, const CMergeInput& rkoInput)
{
    const auto itBehind =
        std::upper_bound(m_aoInputs.begin(), m_aoInputs.end(), tTick,
                         [](TTICK tKey, const std::pair<TTICK, CMergeInput>& rkoEntry) { return tKey < rkoEntry.first; });
    m_aoInputs.insert(itBehind, {tTick, rkoInput});
}

CLinkedEvent* CPropPattMerge::PrepareList(const CMergeInput& rkoInput, CLinkedEvent* poList)
{
    switch (poList->GetClass())
    {
    case EC_CHMSG:
        if (rkoInput.m_byChannel < 16)
            SetListChannel(poList, rkoInput.m_byChannel);
        return poList;

    case EC_META:
    {
        CLinkedEvent* poBefore = nullptr;
        if (!FindEndOfTrack(poList, poBefore))
            return poList;
        if (!poBefore)
        {
            FreeEventsList(poList);
            return nullptr;
        }
        FreeEventsList(poBefore->DetachNext());
        return poList;
    }

    default:
        return poList;
    }
}

// CPropPattMerge::Merge -- the first input is always the one whose next list
// comes first; after its list is written it goes back behind the inputs of
// the same next tick. A decoder error ends the loop at the tick of the list
// the decoder failed on, which then counts as the last list taken.
bool CPropPattMerge::Merge()
{
    if (!m_poEncoder->IsOpen())
    {
        m_aoInputs.clear();
        return false;
    }

    bool bDone = true;
    TTICK tLastTaken = 0;
    TTICK tLastWritten = 0;
    while (!m_aoInputs.empty())
    {
        const TTICK tTick = m_aoInputs.front().first;
        const CMergeInput oInput = m_aoInputs.front().second;
        const CMergeInput& rkoInput = oInput;
        m_aoInputs.erase(m_aoInputs.begin());
        tLastTaken = tTick;
        if (rkoInput.m_bFailed)
        {
            bDone = false;
            break;
        }

        CLinkedEvent* poList = nullptr;
        const TDELTA sdwDelta = rkoInput.m_poDecoder->ExtractEvents(poList);
        const CEventList oList(poList ? PrepareList(rkoInput, poList) : nullptr);
        if (!oList.IsEmpty())
        {
            if (!m_poEncoder->EncodeEvents(tTick - tLastWritten, oList.Get()))
                bDone = false;
            tLastWritten = tTick;
        }

        if (sdwDelta == NO_DELTA)
        {
            if (rkoInput.m_poDecoder->IsEndOfStream())
                continue;
            bDone = false;
            break;
        }
        const std::uint64_t qwNextTick = std::uint64_t(tTick) + DWORD(sdwDelta);
        if (qwNextTick >= rkoInput.m_tEndTick)
            continue;
        // Back in line: the vector has held it, so no allocation.
        InsertInput(TTICK(qwNextTick), rkoInput);
    }
    m_aoInputs.clear();

    CLinkedEvent oEndOfTrack;
    oEndOfTrack.SetMetaEventBegin(META_END_OF_TRACK, 0);
    oEndOfTrack.SetMetaEventEnd();
    if (!m_poEncoder->EncodeEvents(tLastTaken - tLastWritten, &oEndOfTrack))
        bDone = false;
    m_poEncoder->Close();
    return bDone;
}

// ---------------------------------------------------------------------------
// Output pattern
// ---------------------------------------------------------------------------

CPropPatt::CPropPatt(CEncoderBase& roEncoder, BYTE byChannel, bool bTrack)
    : m_poEncoder(&roEncoder), m_byChannel(byChannel), m_bTrack(bTrack), m_tLastTick(0)
{
}

bool CPropPatt::IsOpen() const
{
    return m_poEncoder->IsOpen();
}

void CPropPatt::Write(TTICK tTick, const CLinkedEvent* poList)
{
    m_poEncoder->EncodeEvents(tTick >= m_tLastTick ? tTick - m_tLastTick : 0, poList);
    m_tLastTick = std::max(m_tLastTick, tTick);
}

// CPropPatt::PutEvents -- events behind an end-of-track are freed here, so
// that an output that sees the list after this one gets it without them.
void CPropPatt::PutEvents(TTICK tTick, CLinkedEvent* poList)
{
    if (!poList || !IsOpen())
        return;
    switch (poList->GetClass())
    {
    case EC_META:
    {
        CLinkedEvent* poBefore = nullptr;
        CLinkedEvent* poEndOfTrack = FindEndOfTrack(poList, poBefore);
        if (poEndOfTrack && poEndOfTrack->Next())
            FreeEventsList(poEndOfTrack->DetachNext());
        if (m_bTrack)
        {
            if (poEndOfTrack)
                SetEnd(tTick);
            break;
        }
        Write(tTick, poList);
        if (poEndOfTrack)
            m_poEncoder->Close();
        break;
    }

    case EC_CHMSG:
        if (m_byChannel < 16)
            SetListChannel(poList, m_byChannel);
        Write(tTick, poList);
        break;

    default:
        // System exclusive events belong to no pattern.
        break;
    }
}

// CPropPatt::SetEnd -- a note still sounding would keep the duration 0 its
// note-on was written with; ShutNotes gives it the duration up to tTick, and
// the end-of-track can then not move beyond tTick to a note's end.
void CPropPatt::SetEnd(TTICK tTick)
{
    if (!IsOpen())
        return;
    if (m_bTrack)
        m_poEncoder->ShutNotes(tTick);
    CLinkedEvent oEndOfTrack;
    oEndOfTrack.SetMetaEventBegin(META_END_OF_TRACK, 0);
    oEndOfTrack.SetMetaEventEnd();
    Write(tTick, &oEndOfTrack);
    m_poEncoder->Close();
}

// ---------------------------------------------------------------------------
// Un-merge
// ---------------------------------------------------------------------------

CPropPattUnmerge::CPropPattUnmerge(CDecBase& roDecoder, CFilterOut* poFilter)
    : m_bAllTracksIn(false), m_bAnyTrack(false), m_bCut(false), m_poDecoder(&roDecoder), m_poFilter(poFilter)
{
}

CPropPattUnmerge::~CPropPattUnmerge() = default;

bool CPropPattUnmerge::AddOutput(CEncoderBase& roEncoder, BYTE byTrackIn)
{
    if (!QD_ASSERT(roEncoder.IsOpen()) || !QD_ASSERT(!m_bAllTracksIn))
        return false;
    if (byTrackIn == PM_ALL_CHANNELS)
    {
        if (!QD_ASSERT(!m_bAnyTrack))
            return false;
        m_apoPPatt[0] = std::make_unique<CPropPatt>(roEncoder, 0, true);
        m_bAllTracksIn = true;
    }
    else
    {
        // A channel beyond 15 has no slot; it is refused before any slot is
        // looked at.
        if (!QD_ASSERT(byTrackIn < 16) || !QD_ASSERT(m_apoPPatt[byTrackIn] == 0))
            return false;
        m_apoPPatt[byTrackIn] = std::make_unique<CPropPatt>(roEncoder, 0, true);
    }
    m_bAnyTrack = true;
    return true;
}

bool CPropPattUnmerge::SetMetaOutput(CEncoderBase& roEncoder)
{
    if (!QD_ASSERT(roEncoder.IsOpen()) || !QD_ASSERT(m_poMetaPatt == 0))
        return false;
    m_poMetaPatt = std::make_unique<CPropPatt>(roEncoder, PM_ALL_CHANNELS, false);
    return true;
}

// CPropPattUnmerge::Unmerge -- the tick of the next list is known from the
// delta before it is taken, so a list beyond tMaxTick is never taken. The
// loop ends when no list follows: at the end of the stream, or at a decoder
// error (-1 while the stream has not ended), at the tick of the list the
// decoder failed on.
TTICK CPropPattUnmerge::Unmerge(int iSkipNrEvents, TTICK tMaxTick)
{
    QD_ASSERT(m_bAnyTrack);

    int iNrEvents = 0;
    TTICK tTick = 0;
    TDELTA sdwDelta = m_poDecoder->Rewind();
    CEventList oList;
    while (sdwDelta != NO_DELTA)
    {
        const std::uint64_t qwNextTick = std::uint64_t(tTick) + DWORD(sdwDelta);
        if (qwNextTick > tMaxTick)
        {
            tTick = tMaxTick;
            m_bCut = true;
            break;
        }
        tTick = TTICK(qwNextTick);

        sdwDelta = m_poDecoder->ExtractEvents(oList);
        const int iInList = CountEvents(oList.Get());
        if (iNrEvents < iSkipNrEvents)
            DropFirstEvents(oList, iSkipNrEvents - iNrEvents);
        iNrEvents += iInList;
        if (!oList.IsEmpty())
            Route(tTick, oList.Get());
    }
    QD_ASSERT(iNrEvents >= iSkipNrEvents);

    EndAll(tTick);
    return tTick;
}

void CPropPattUnmerge::Route(TTICK tTick, CLinkedEvent* poList)
{
    const BYTE byClass = poList->GetClass();
    if (m_poMetaPatt && byClass == EC_META)
        m_poMetaPatt->PutEvents(tTick, poList);

    if (m_bAllTracksIn)
    {
        if (m_apoPPatt[0])
            m_apoPPatt[0]->PutEvents(tTick, poList);
        return;
    }
    if (byClass != EC_CHMSG)
    {
        for (std::unique_ptr<CPropPatt>& rpoPatt : m_apoPPatt)
            if (rpoPatt)
                rpoPatt->PutEvents(tTick, poList);
        return;
    }
    RouteChnEvents(tTick, poList);
}

// CPropPattUnmerge::RouteChnEvents -- each copy joins its channel's list
// before it is filled, so that the lists hold every record taken.
void CPropPattUnmerge::RouteChnEvents(TTICK tTick, const CLinkedEvent* poList)
{
    CEventList aoCopies[PM_NR_CHANNELS];
    for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
    {
        if (poEvent->GetClass() != EC_CHMSG)
            continue;
        if (m_poFilter && m_poFilter->IsFilteredOut(*poEvent, tTick))
            continue;
        const BYTE byChannel = poEvent->GetTrack();
        if (byChannel >= PM_NR_CHANNELS || !m_apoPPatt[byChannel])
            continue;
        // An exhausted pool has reported; the event is lost.
        if (CLinkedEvent* poCopy = aoCopies[byChannel].Add())
            *poCopy = *poEvent;
    }
    for (BYTE byChannel = 0; byChannel < PM_NR_CHANNELS; ++byChannel)
        if (!aoCopies[byChannel].IsEmpty())
            m_apoPPatt[byChannel]->PutEvents(tTick, aoCopies[byChannel].Get());
}

void CPropPattUnmerge::EndAll(TTICK tTick)
{
    if (m_poMetaPatt)
        m_poMetaPatt->SetEnd(tTick);
    for (std::unique_ptr<CPropPatt>& rpoPatt : m_apoPPatt)
        if (rpoPatt)
            rpoPatt->SetEnd(tTick);
}
