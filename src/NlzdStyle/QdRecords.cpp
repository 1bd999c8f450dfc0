// QdRecords.cpp -- parse, size and write of the style chunk records.
#include "NlzdStyle/QdRecords.h"

#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/CDecProp.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

// CRecordReader -- reads fields in order and remembers whether any read
// would have passed the end of the record.
class CRecordReader
{
public:
    CRecordReader(const BYTE* pbyData, DWORD dwLength) : m_pbyPos(pbyData), m_dwLeft(pbyData ? dwLength : 0) {}

    const BYTE* Take(DWORD dwCount)
    {
        if (!m_bOk || dwCount > m_dwLeft)
        {
            m_bOk = false;
            return nullptr;
        }
        const BYTE* pby = m_pbyPos;
        m_pbyPos += dwCount;
        m_dwLeft -= dwCount;
        return pby;
    }
    BYTE Byte()
    {
        const BYTE* pby = Take(1);
        return pby ? pby[0] : 0;
    }
    WORD Word()
    {
        const BYTE* pby = Take(2);
        return pby ? QdReadBE16(pby) : 0;
    }
    DWORD Dword()
    {
        const BYTE* pby = Take(4);
        return pby ? QdReadBE32(pby) : 0;
    }
    bool Ok() const { return m_bOk; }

private:
    const BYTE* m_pbyPos;
    DWORD m_dwLeft;
    bool m_bOk = true;
};

// CRecordWriter -- writes fields in order into a buffer known to be large
// enough (Write checks the capacity against Size first).
class CRecordWriter
{
public:
    explicit CRecordWriter(BYTE* pbyData) : m_pbyPos(pbyData) {}
    void Byte(BYTE by) { *m_pbyPos++ = by; }
    void Word(WORD w)
    {
        QdWriteBE16(m_pbyPos, w);
        m_pbyPos += 2;
    }
    void Dword(DWORD dw)
    {
        QdWriteBE32(m_pbyPos, dw);
        m_pbyPos += 4;
    }
    void Bytes(const void* pvData, DWORD dwCount)
    {
        if (dwCount)
            std::memcpy(m_pbyPos, pvData, dwCount);
        m_pbyPos += dwCount;
    }

private:
    BYTE* m_pbyPos;
};

} // namespace

// StyleInfoData ------------------------------------------------------------

bool StyleInfoData::Parse(const BYTE* pbyData, DWORD dwLength)
{
    CRecordReader oIn(pbyData, dwLength);
    const BYTE byNameLength = oIn.Byte();
    const BYTE* pbyName = oIn.Take(byNameLength);
    m_wTrackModes = oIn.Word();
    m_byTrackFlags = oIn.Byte();
    m_wElementMask = oIn.Word();
    if (!oIn.Ok())
        return false;
    // A name ends at its first zero byte, as the text it is.
    const BYTE* pbyNameEnd = std::find(pbyName, pbyName + byNameLength, BYTE(0));
    m_strName.assign(pbyName, pbyNameEnd);
    return true;
}

DWORD StyleInfoData::Size() const
{
    return 6 + DWORD(std::min<std::size_t>(m_strName.size(), 255));
}

DWORD StyleInfoData::Write(BYTE* pbyData, DWORD dwCapacity) const
{
    const DWORD dwSize = Size();
    if (!pbyData || dwCapacity < dwSize)
        return 0;
    CRecordWriter oOut(pbyData);
    oOut.Byte(BYTE(dwSize - 6));
    oOut.Bytes(m_strName.data(), dwSize - 6);
    oOut.Word(m_wTrackModes);
    oOut.Byte(m_byTrackFlags);
    oOut.Word(m_wElementMask);
    return dwSize;
}

// PatInfoData --------------------------------------------------------------

bool PatInfoData::Parse(const BYTE* pbyData, DWORD dwLength)
{
    CRecordReader oIn(pbyData, dwLength);
    m_wTotalPatterns = oIn.Word();
    m_wTotalCvPatterns = oIn.Word();
    m_awRefs.clear();
    if (!oIn.Ok() || DWORD(m_wTotalCvPatterns) * 2 > dwLength - 4)
        return false;
    m_awRefs.reserve(m_wTotalCvPatterns);
    for (WORD w = 0; w < m_wTotalCvPatterns; ++w)
        m_awRefs.push_back(oIn.Word());
    return oIn.Ok();
}

DWORD PatInfoData::Size() const
{
    return DWORD(SizeFor(m_awRefs.size()));
}

DWORD PatInfoData::Write(BYTE* pbyData, DWORD dwCapacity) const
{
    const DWORD dwSize = Size();
    if (!pbyData || dwCapacity < dwSize)
        return 0;
    CRecordWriter oOut(pbyData);
    oOut.Word(m_wTotalPatterns);
    // The table's own length is what is written, so the count always matches it.
    oOut.Word(WORD(m_awRefs.size()));
    for (WORD wRef : m_awRefs)
        oOut.Word(wRef);
    return dwSize;
}

// StyleElementInfoData -----------------------------------------------------

bool StyleElementInfoData::Parse(const BYTE* pbyData, DWORD dwLength)
{
    CRecordReader oIn(pbyData, dwLength);
    m_byCvMask = oIn.Byte();
    m_byMode = oIn.Byte();
    m_bySignature = oIn.Byte();
    m_byCVTabLength = oIn.Byte();
    const BYTE* pbyTable = oIn.Take(m_byCVTabLength);
    if (!oIn.Ok())
    {
        m_abyChordTable.clear();
        return false;
    }
    m_abyChordTable.assign(pbyTable, pbyTable + m_byCVTabLength);
    return true;
}

DWORD StyleElementInfoData::Size() const
{
    return 4 + DWORD(std::min<std::size_t>(m_abyChordTable.size(), 255));
}

DWORD StyleElementInfoData::Write(BYTE* pbyData, DWORD dwCapacity) const
{
    const DWORD dwSize = Size();
    if (!pbyData || dwCapacity < dwSize)
        return 0;
    CRecordWriter oOut(pbyData);
    oOut.Byte(m_byCvMask);
    oOut.Byte(m_byMode);
    oOut.Byte(m_bySignature);
    oOut.Byte(BYTE(dwSize - 4));
    oOut.Bytes(m_abyChordTable.data(), dwSize - 4);
    return dwSize;
}

// TrackParamData -----------------------------------------------------------

bool TrackParamData::Parse(const BYTE* pbyData, DWORD dwLength)
{
    if (!pbyData || dwLength < Size())
        return false;
    std::memcpy(m_aabyParams, pbyData, Size());
    return true;
}

DWORD TrackParamData::Write(BYTE* pbyData, DWORD dwCapacity) const
{
    if (!pbyData || dwCapacity < Size())
        return 0;
    std::memcpy(pbyData, m_aabyParams, Size());
    return Size();
}

// ChordVarData -------------------------------------------------------------

bool ChordVarData::Parse(const BYTE* pbyData, DWORD dwLength, bool bCountEvents)
{
    CRecordReader oIn(pbyData, dwLength);
    m_dwTotalTicks = oIn.Dword();
    m_dwEventsDim = oIn.Dword();
    m_pbyEvents = oIn.Take(m_dwEventsDim);
    m_byNrPatterns = oIn.Byte();
    m_poCvPatInfo.clear();
    for (BYTE by = 0; oIn.Ok() && by < m_byNrPatterns; ++by)
    {
        CvPatInfo oInfo;
        oInfo.m_byType = oIn.Byte();
        oInfo.m_byTrack = oIn.Byte();
        m_poCvPatInfo.push_back(oInfo);
    }
    if (!oIn.Ok())
    {
        m_pbyEvents = nullptr;
        m_dwEventsDim = 0;
        m_byNrPatterns = 0;
        m_poCvPatInfo.clear();
        m_dwNrEvents = 0;
        return false;
    }
    m_dwNrEvents = bCountEvents ? QdCountEvents(m_pbyEvents, m_dwEventsDim) : 0;
    return true;
}

DWORD ChordVarData::Size() const
{
    return 9 + m_dwEventsDim + 2 * DWORD(std::min<std::size_t>(m_poCvPatInfo.size(), 255));
}

DWORD ChordVarData::Write(BYTE* pbyData, DWORD dwCapacity) const
{
    const DWORD dwSize = Size();
    if (!pbyData || dwCapacity < dwSize || (m_dwEventsDim && !m_pbyEvents))
        return 0;
    const BYTE byNrPatterns = BYTE(std::min<std::size_t>(m_poCvPatInfo.size(), 255));
    CRecordWriter oOut(pbyData);
    oOut.Dword(m_dwTotalTicks);
    oOut.Dword(m_dwEventsDim);
    // The events may lie in the very chunk being rewritten: memmove semantics.
    if (m_dwEventsDim)
        std::memmove(pbyData + 8, m_pbyEvents, m_dwEventsDim);
    CRecordWriter oTail(pbyData + 8 + m_dwEventsDim);
    oTail.Byte(byNrPatterns);
    for (BYTE by = 0; by < byNrPatterns; ++by)
    {
        oTail.Byte(m_poCvPatInfo[by].m_byType);
        oTail.Byte(m_poCvPatInfo[by].m_byTrack);
    }
    return dwSize;
}

// QdCountEvents ------------------------------------------------------------

DWORD QdCountEvents(const BYTE* pbyData, DWORD dwLength)
{
    if (!pbyData || !dwLength)
        return 0;
    CDecProp oDecoder(pbyData, dwLength);
    DWORD dwCount = 0;
    CEventList oList;
    while (!oDecoder.IsEndOfStream())
    {
        const TDELTA sdwDelta = oDecoder.ExtractEvents(oList);
        for (const CLinkedEvent* po = oList.Get(); po; po = po->Next())
            ++dwCount;
        if (sdwDelta == NO_DELTA && !oDecoder.IsEndOfStream())
            break; // a corrupt stream ends the count where decoding stopped
    }
    return dwCount;
}
