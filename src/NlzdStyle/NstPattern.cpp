// NstPattern.cpp -- CNstPattern: the compact stream of one track, its end of
// track, and lengthening by repetition.
#define QD_REPORT_FILE "NlzdStyle/NlzdStyle"

#include "NlzdStyle/NlzdStyle.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "MemCoder/MaEncoder.h"

#include <cstdint>

namespace {

constexpr BYTE META_END_OF_TRACK = 0x2F;
constexpr BYTE META_MARKER = 0x7E;
// First data byte of the marker meta event that ends a compact stream.
constexpr BYTE MARKER_END_OF_STREAM = 1;
// Buffer of the initial stream: the end of track at tick 384 takes 6 bytes.
constexpr DWORD NST_INITIAL_BUFFER = 20;

// IsStreamEnd -- an event after which the decoder reads no further record:
// the end of track, or the end marker (meta 0x7E with first data byte 1).
bool IsStreamEnd(const CEvent& rkoEvent)
{
    if (rkoEvent.GetClass() != EC_META)
        return false;
    if (rkoEvent.GetMetaType() == META_END_OF_TRACK)
        return true;
    return rkoEvent.GetMetaType() == META_MARKER && rkoEvent.GetMetaLength() > 0 &&
           rkoEvent.GetMetaData()[0] == MARKER_END_OF_STREAM;
}

// CutAtStreamEnd -- frees the stream's end event and everything after it in
// the list; returns what remains (null when nothing does).
CLinkedEvent* CutAtStreamEnd(CLinkedEvent* poList)
{
    if (!poList)
        return nullptr;
    if (IsStreamEnd(*poList))
    {
        FreeEventsList(poList);
        return nullptr;
    }
    for (CLinkedEvent* poEvent = poList; poEvent->Next(); poEvent = poEvent->Next())
        if (IsStreamEnd(*poEvent->Next()))
        {
            FreeEventsList(poEvent->DetachNext());
            break;
        }
    return poList;
}

// HoldsOnlyEnd -- the first event list of the stream is the end of track.
// A stream with no decodable first list (none, or corrupt: the decoder has
// reported) holds nothing either.
bool HoldsOnlyEnd(const std::vector<BYTE>& rkabyData)
{
    CDecProp oDecoder(rkabyData.data(), rkabyData.size());
    if (oDecoder.GetPendingClass() == EC_NONE)
        return true;
    CLinkedEvent* poList = nullptr;
    oDecoder.ExtractEvents(poList);
    const bool bEnd =
        poList && poList->GetClass() == EC_META && poList->GetMetaType() == META_END_OF_TRACK;
    if (poList)
        FreeEventsList(poList);
    return bEnd;
}

// EncodeCopies -- the passes of SetLength: the pattern's event lists, without
// the end of the stream, at a running offset that each pass carries on from
// the last, as long as a whole further copy (m_tNrTicks) fits into
// tNrTicks. With bNoRepeat one pass only. A pass that advances the offset by
// nothing ends the copying (a stream that ends at tick 0 would otherwise
// repeat forever), and so does a decoder that stops on corrupt data or a
// list that would lie beyond tNrTicks (only a stream whose end lies beyond
// m_tNrTicks holds one).
void EncodeCopies(CMemEncoder& roEncoder, const std::vector<BYTE>& rkabyData, TTICK tPatternTicks,
                  TTICK tNrTicks, bool bNoRepeat)
{
    CDecProp oDecoder(rkabyData.data(), rkabyData.size());
    std::uint64_t qwOffset = 0;
    bool bEnd = false;
    while (!bEnd && std::uint64_t(tPatternTicks) + qwOffset <= tNrTicks)
    {
        const std::uint64_t qwPassStart = qwOffset;
        TDELTA sdwDelta = oDecoder.Rewind();
        while (!oDecoder.IsEndOfStream())
        {
            if (sdwDelta == NO_DELTA)
            {
                bEnd = true;
                break;
            }
            qwOffset += TTICK(sdwDelta);
            CLinkedEvent* poList = nullptr;
            sdwDelta = oDecoder.ExtractEvents(poList);
            if (poList && poList->GetClass() == EC_META)
                poList = CutAtStreamEnd(poList);
            if (!poList)
                continue;
            // The encoder's own buffer may grow (and run out of memory).
            const COwnedEventsList oList(poList);
            const bool bEncoded = qwOffset <= tNrTicks && roEncoder.EncodeEventsAt(TTICK(qwOffset), poList);
            if (!bEncoded)
            {
                bEnd = true;
                break;
            }
        }
        if (bNoRepeat || qwOffset == qwPassStart)
            bEnd = true;
    }
}

} // namespace

CNstPattern::CNstPattern()
    : m_byType(0), m_byAttr1(0), m_byAttr2(0), m_byMeasures(1), m_tNrTicks(NST_INITIAL_TICKS), m_bEmpty(true),
      m_bUntouched(true)
{
    InitData();
}

// CNstPattern::InitData -- a memory encoder on a 20-byte buffer, ended at
// tick 384; stored with SetData, then untouched again.
void CNstPattern::InitData()
{
    BYTE abyBuffer[NST_INITIAL_BUFFER];
    CMemEncoder oEncoder(abyBuffer, NST_INITIAL_BUFFER);
    oEncoder.Open();
    oEncoder.SetEnd(NST_INITIAL_TICKS);
    oEncoder.Close();
    SetData(oEncoder.GetBufferStart(), oEncoder.GetBytesWritten(), NST_INITIAL_TICKS);
    m_bUntouched = true;
}

void CNstPattern::CopyFrom(const CNstPattern& rkoOther)
{
    if (this != &rkoOther)
        *this = rkoOther;
}

void CNstPattern::Clear()
{
    *this = CNstPattern();
}

// CNstPattern::SetData -- the block is copied first, so data taken from this
// pattern itself may be given.
void CNstPattern::SetData(const BYTE* pbyData, DWORD dwLength, TTICK tNrTicks)
{
    if (!QD_ASSERT(pbyData || dwLength == 0))
        dwLength = 0;
    std::vector<BYTE> abyData;
    if (dwLength)
        abyData.assign(pbyData, pbyData + dwLength);
    m_abyData.swap(abyData);
    m_tNrTicks = tNrTicks;
    m_bEmpty = HoldsOnlyEnd(m_abyData);
    m_bUntouched = false;
}

// CNstPattern::SetLength -- the copies go into a memory encoder of its own
// buffer, ended at tNrTicks (or at the end of a note that sounds longer).
bool CNstPattern::SetLength(TTICK tNrTicks, bool bNoRepeat)
{
    if (!QD_ASSERT(m_bEmpty || tNrTicks >= m_tNrTicks))
        return false;
    if (tNrTicks == m_tNrTicks)
        return true;

    const bool bUntouched = m_bUntouched;
    CMemEncoder oEncoder;
    if (!oEncoder.Open())
        return false;
    if (!m_bEmpty)
        EncodeCopies(oEncoder, m_abyData, m_tNrTicks, tNrTicks, bNoRepeat);
    oEncoder.SetEnd(tNrTicks);
    oEncoder.Close();
    SetData(oEncoder.GetBufferStart(), oEncoder.GetBytesWritten(), tNrTicks);
    m_bUntouched = bUntouched;
    return true;
}
