// PatternData.cpp -- the pattern record: parse, size and write of its stored
// form, and the reader of its event lists.
#define QD_REPORT_FILE "MarkerAlg/MarkerAlg"

#include "MarkerAlg/MarkerAlg.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/LinkedEv.h"

#include <cstring>

namespace {

// Bytes of the stored form besides the event bytes.
DWORD dwfnFixedSize(BYTE byChunkId)
{
    return byChunkId == MA_PATTERN_ID_TYPE0 ? 8 : 10;
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
    const DWORD dwEventsDim = dwLength >= 8 ? QdReadBE32(pbyData + 4) : 0;
    if (!QD_ASSERT(dwLength >= dwFixedSize && dwEventsDim <= dwLength - dwFixedSize))
        return false;

    m_dwTotalTicks = QdReadBE32(pbyData);
    m_dwTotalEventsDim = dwEventsDim;
    m_pbyEvents = pbyData + 8;
    if (m_byChunkId != MA_PATTERN_ID_TYPE0)
    {
        m_byAttr1 = pbyData[8 + dwEventsDim];
        m_byAttr2 = pbyData[9 + dwEventsDim];
    }
    if (bCountEvents)
    {
        CPatternReader oReader(m_pbyEvents, m_dwTotalEventsDim);
        CLinkedEvent* poList = nullptr;
        std::uint64_t qwTick = 0;
        while (oReader.Next(poList, qwTick))
        {
            m_dwNrEvents += CountEventsList(poList);
            FreeEventsList(poList);
        }
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

    QdWriteBE32(pbyData, m_dwTotalTicks);
    QdWriteBE32(pbyData + 4, dwEventsDim);
    // The events may lie in the very chunk being rewritten.
    if (dwEventsDim)
        std::memmove(pbyData + 8, m_pbyEvents, dwEventsDim);
    if (m_byChunkId != MA_PATTERN_ID_TYPE0)
    {
        pbyData[8 + dwEventsDim] = m_byAttr1;
        pbyData[9 + dwEventsDim] = m_byAttr2;
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
bool CPatternReader::Next(CLinkedEvent*& rpoList, std::uint64_t& rqwTick)
{
    rpoList = nullptr;
    if (m_bDone)
        return false;
    if (!m_bStarted && m_oDecoder.GetPendingClass() == EC_NONE)
    {
        m_bDone = true;
        return false;
    }

    const TDELTA sdwDelta = m_oDecoder.ExtractEvents(rpoList);
    if (!m_bStarted)
        m_qwTick = m_oDecoder.GetTick();
    else
        m_qwTick += std::uint64_t(m_sdwDelta);
    m_bStarted = true;
    m_sdwDelta = sdwDelta;
    if (sdwDelta == NO_DELTA)
        m_bDone = true;
    if (!rpoList)
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
