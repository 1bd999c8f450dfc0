// NstPattern.cpp -- CNstPattern: the compact stream of one track, its end of
// track, and lengthening by repetition.
#define QD_REPORT_FILE "NlzdStyle/NlzdStyle"

#include "NlzdStyle/NlzdStyle.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/PropForm.h"
#include "MemCoder/MaEncoder.h"

#include <cstdint>

namespace {

// Buffer of the initial stream: the end of track at tick 384 takes 6 bytes.
constexpr DWORD NST_INITIAL_BUFFER = 20;

// IsStreamEnd -- an event after which the decoder reads no further record:
// the end of track, or the end marker.
bool IsStreamEnd(const CEvent& rkoEvent)
{
    return rkoEvent.GetClass() == EC_META &&
           PropFormIsStreamEnd(rkoEvent.GetMetaType(), rkoEvent.GetMetaData(), rkoEvent.GetMetaLength());
}

// HoldsOnlyEnd -- the first event list of the stream is the end of track.
// A stream with no decodable first list (none, or corrupt: the decoder has
// reported) holds nothing either.
bool HoldsOnlyEnd(const std::vector<BYTE>& rkabyData)
{
    CDecProp oDecoder(rkabyData.data(), rkabyData.size());
    if (oDecoder.GetPendingClass() == EC_NONE)
        return true;
    CEventList oList;
    oDecoder.ExtractEvents(oList);
    const CLinkedEvent* pkoFirst = oList.Get();
    return pkoFirst && pkoFirst->GetClass() == EC_META && pkoFirst->GetMetaType() == META_END_OF_TRACK;
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
    CEventList oList;
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
            sdwDelta = oDecoder.ExtractEvents(oList);
            // The stream's end event and anything after it are not copied.
            bool bStreamEnded = false;
            oList.KeepIf([&bStreamEnded](const CLinkedEvent& rkoEvent) {
                bStreamEnded = bStreamEnded || IsStreamEnd(rkoEvent);
                return !bStreamEnded;
            });
            if (oList.IsEmpty())
                continue;
            if (!(qwOffset <= tNrTicks && roEncoder.EncodeEventsAt(TTICK(qwOffset), oList.Get())))
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
// tick 384; stored with SetData, then untouched again. The bytes are always
// the same, so they are made once: a style makes eight patterns for every
// chord variation it creates.
void CNstPattern::InitData()
{
    static const std::vector<BYTE> s_abyInitial = [] {
        BYTE abyBuffer[NST_INITIAL_BUFFER];
        CMemEncoder oEncoder(abyBuffer, NST_INITIAL_BUFFER);
        oEncoder.Open();
        oEncoder.SetEnd(NST_INITIAL_TICKS);
        oEncoder.Close();
        return std::vector<BYTE>(oEncoder.GetBufferStart(), oEncoder.GetBufferStart() + oEncoder.GetBytesWritten());
    }();
    SetData(s_abyInitial.data(), DWORD(s_abyInitial.size()), NST_INITIAL_TICKS);
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
