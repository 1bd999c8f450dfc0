// PatternData.cpp -- the pattern record: parse, size and write of its stored
// form, and the reader of its event lists.
#define QD_REPORT_FILE "MarkerAlg/MarkerAlg"

#include "MarkerAlg/MarkerAlg.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/LinkedEv.h"

#include <cstring>

namespace {

// HasAttributes -- all pattern records but those of type 0 end with the two
// attribute bytes.
bool HasAttributes(BYTE byChunkId)
{
    return byChunkId != QDI_ID_PATTERN_BASE;
}

// Bytes of the stored form besides the event bytes.
DWORD dwfnFixedSize(BYTE byChunkId)
{
    return MA_PATTERN_EVENTS_OFFSET + (HasAttributes(byChunkId) ? MA_PATTERN_ATTR_SIZE : 0);
}

} // namespace

// PatternData::Init -- chunk ID, all else zero.
void PatternData::Init(BYTE byChunkId)
{
    m_byChunkId = byChunkId;
    m_dwTotalTicks = 0;
    m_dwTotalEventsDim = 0;
    m_byAttr1 = 0;
    m_byAttr2 = 0;
    m_pbyEvents = nullptr;
    m_dwNrEvents = 0;
    m_iNrSubPatterns = 0;
    m_poSubPatterns.reset();
}

// PatternData::Parse -- the event size is a file's word: it is checked
// against the chunk before the record points at any event byte.
bool PatternData::Parse(const BYTE* pbyData, DWORD dwLength, bool bCountEvents)
{
    QD_ASSERT(m_poSubPatterns == 0);
    Init(m_byChunkId);
    if (!pbyData)
        dwLength = 0;

    const DWORD dwFixedSize = dwfnFixedSize(m_byChunkId);
    const DWORD dwEventsDim = dwLength >= MA_PATTERN_EVENTS_OFFSET ? QdReadBE32(pbyData + MA_PATTERN_DIM_OFFSET) : 0;
    if (!QD_ASSERT(dwLength >= dwFixedSize && dwEventsDim <= dwLength - dwFixedSize))
        return false;

    m_dwTotalTicks = QdReadBE32(pbyData + MA_PATTERN_TICKS_OFFSET);
    m_dwTotalEventsDim = dwEventsDim;
    m_pbyEvents = pbyData + MA_PATTERN_EVENTS_OFFSET;
    if (HasAttributes(m_byChunkId))
    {
        m_byAttr1 = m_pbyEvents[dwEventsDim];
        m_byAttr2 = m_pbyEvents[dwEventsDim + 1];
    }
    if (bCountEvents)
    {
        CPatternReader oReader(m_pbyEvents, m_dwTotalEventsDim);
        CEventList oList;
        std::uint64_t qwTick = 0;
        while (oReader.Next(oList, qwTick))
            m_dwNrEvents += CountEventsList(oList.Get());
    }
    return true;
}

// PatternData::Size -- what Write writes.
DWORD PatternData::Size() const
{
    QD_ASSERT(m_pbyEvents || m_dwTotalEventsDim == 0);
    const DWORD dwEventsDim = m_pbyEvents ? m_dwTotalEventsDim : 0;
    return dwfnFixedSize(m_byChunkId) + dwEventsDim;
}

// PatternData::Write -- big-endian header, the events, the attribute bytes.
DWORD PatternData::Write(BYTE* pbyData, DWORD dwCapacity) const
{
    QD_ASSERT(m_pbyEvents && m_dwTotalEventsDim > 0);
    const DWORD dwEventsDim = m_pbyEvents ? m_dwTotalEventsDim : 0;
    const std::uint64_t qwSize = std::uint64_t(dwfnFixedSize(m_byChunkId)) + dwEventsDim;
    if (!pbyData || qwSize > dwCapacity)
        return 0;

    QdWriteBE32(pbyData + MA_PATTERN_TICKS_OFFSET, m_dwTotalTicks);
    QdWriteBE32(pbyData + MA_PATTERN_DIM_OFFSET, dwEventsDim);
    // The events may lie in the very chunk being rewritten.
    BYTE* pbyEvents = pbyData + MA_PATTERN_EVENTS_OFFSET;
    if (dwEventsDim)
        std::memmove(pbyEvents, m_pbyEvents, dwEventsDim);
    if (HasAttributes(m_byChunkId))
    {
        pbyEvents[dwEventsDim] = m_byAttr1;
        pbyEvents[dwEventsDim + 1] = m_byAttr2;
    }
    return DWORD(qwSize);
}

// PatternData::Release -- only the sub-patterns are the record's own.
void PatternData::Release()
{
    m_poSubPatterns.reset();
    m_iNrSubPatterns = 0;
}

// CPatternReader::CPatternReader -- the decoder has decoded the first event;
// the first list's delta is read back from the decoder's tick after the
// first extraction, so a damaged stream is not decoded (and reported) twice.
CPatternReader::CPatternReader(const BYTE* pbyEvents, DWORD dwEventsDim)
    : m_oDecoder(pbyEvents, dwEventsDim), m_qwTick(0), m_sdwDelta(NO_DELTA), m_bStarted(false), m_bDone(false)
{
}

// CPatternReader::Next -- nothing pending before the first list means an
// empty or damaged stream: no extraction is attempted then.
bool CPatternReader::Next(CEventList& roList, std::uint64_t& rqwTick)
{
    roList.Reset();
    if (m_bDone)
        return false;
    if (!m_bStarted && m_oDecoder.GetPendingClass() == EC_NONE)
    {
        m_bDone = true;
        return false;
    }

    CLinkedEvent* poList = nullptr;
    const TDELTA sdwDelta = m_oDecoder.ExtractEvents(poList);
    roList.Reset(poList);
    if (!m_bStarted)
        m_qwTick = m_oDecoder.GetTick();
    else
        m_qwTick += std::uint64_t(m_sdwDelta);
    m_bStarted = true;
    m_sdwDelta = sdwDelta;
    if (sdwDelta == NO_DELTA)
        m_bDone = true;
    if (roList.IsEmpty())
    {
        m_bDone = true;
        return false;
    }
    rqwTick = m_qwTick;
    return true;
}

// CountEventsList -- walks the list.
DWORD CountEventsList(const CLinkedEvent* pkoList)
{
    DWORD dwCount = 0;
    for (; pkoList; pkoList = pkoList->Next())
        ++dwCount;
    return dwCount;
}
