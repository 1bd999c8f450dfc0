// EventDump.cpp -- the event dump of the decoders and its line format.
#define QD_REPORT_FILE "Kernel/SeqBase/CDecBase"

#include "Kernel/SeqBase/EventDump.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/SeqBase/CDecBase.h"
#include "Wrap/Kernel/Stream/FileStream.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <iterator>

namespace {

// Dump names of the channel message codes 0-8; code 11 has none.
const char* const s_apszChnNames[] = {
    "NOTEOFF",        "NOTEON", "KEY_PRESSURE", "CTRL_CHANGE", "PRG_CHANGE", "CHN_PRESSURE",
    "PITCH_B_CHANGE", "NOTE",   "MODE_MSG",
};

constexpr TTICK TICKS_PER_QUARTER = 384;
constexpr TTICK TICKS_PER_MEASURE = 4 * TICKS_PER_QUARTER;

// A text being built in a fixed buffer; whatever does not fit is cut off and
// the text stays zero-terminated.
class CTextBuilder
{
public:
    CTextBuilder(char* pszText, std::size_t nSize) : m_pszText(pszText), m_nSize(nSize), m_nLength(0)
    {
        if (m_nSize)
            m_pszText[0] = '\0';
    }

    void Format(const char* pszFormat, ...) __attribute__((format(printf, 2, 3)))
    {
        if (Room() == 0)
            return;
        va_list args;
        va_start(args, pszFormat);
        const int iWritten = std::vsnprintf(m_pszText + m_nLength, Room() + 1, pszFormat, args);
        va_end(args);
        if (iWritten > 0)
            m_nLength += std::min(std::size_t(iWritten), Room());
    }

    void Char(char c)
    {
        if (Room() == 0)
            return;
        m_pszText[m_nLength++] = c;
        m_pszText[m_nLength] = '\0';
    }

    std::size_t Length() const { return m_nLength; }

private:
    // Characters that still fit before the terminating zero.
    std::size_t Room() const { return m_nSize ? m_nSize - 1 - m_nLength : 0; }

    char* m_pszText;
    std::size_t m_nSize;
    std::size_t m_nLength;
};

// " [ 01 02 ] [..]": hex bytes, then the raw characters; a zero byte adds no
// character.
void DumpData(CTextBuilder& roText, const BYTE* pbyData, int iLength)
{
    roText.Format(" [");
    for (int i = 0; i < iLength; ++i)
        roText.Format(" %02X", pbyData[i]);
    roText.Format(" ] [");
    for (int i = 0; i < iLength; ++i)
        if (pbyData[i])
            roText.Char(char(pbyData[i]));
    roText.Format("]");
}

void DescribeChnMessage(CTextBuilder& roText, const CEvent& rkoEvent)
{
    const BYTE byCode = BYTE(rkoEvent.m_dw1);
    const BYTE byData1 = BYTE(rkoEvent.m_dw1 >> 16);
    const BYTE byData2 = BYTE(rkoEvent.m_dw1 >> 24);
    const char* pszName = byCode < std::size(s_apszChnNames) ? s_apszChnNames[byCode] : "-";
    roText.Format("CHNMSG %s  track=%2d ", pszName, int(BYTE(rkoEvent.m_dw1 >> 8)));
    switch (byCode)
    {
    case EVSC_NOTEOFF:
    case EVSC_NOTEON:
        roText.Format("key   = 0x%02X  velocity = 0x%02X", byData1, byData2);
        break;
    case EVSC_KEY_PRESSURE:
        roText.Format("key   = 0x%02X  pressure = 0x%02X", byData1, byData2);
        break;
    case EVSC_CTRL_CHANGE:
        // The value is also shown as a character; a zero value shows none,
        // so that no zero byte lands in the text.
        roText.Format("data1 = 0x%02X  data2 = 0x%02X(", byData1, byData2);
        if (byData2)
            roText.Char(char(byData2));
        roText.Char(')');
        break;
    case EVSC_PRG_CHANGE:
    case EVSC_CHN_PRESSURE:
        roText.Format("data  = 0x%02X", byData1);
        break;
    case EVSC_PITCH_B_CHANGE:
        roText.Format("LSB   = 0x%02X  MSB = 0x%02X", byData1, byData2);
        break;
    case EVSC_NOTE:
        roText.Format("key = 0x%02X    velOn = 0x%02X  duration = %d  velOff = %d", byData1, byData2,
                      int(rkoEvent.m_dw2 & 0x00FFFFFF), int(rkoEvent.m_dw2 >> 24));
        break;
    case EVSC_MODE_MSG:
        roText.Format("mode = 0x%02X", byData1);
        break;
    default:
        break;
    }
}

} // namespace

// DescribeEvent -- by class; an empty record or unknown code is no class.
std::size_t DescribeEvent(const CEvent* poEvent, char* pszText, std::size_t nSize)
{
    CTextBuilder oText(pszText, nSize);
    if (!QD_ASSERT(poEvent))
        return 0;
    const BYTE byCode = BYTE(poEvent->m_dw1);
    const BYTE byClass = byCode < EVSC_INVALID ? poEvent->GetClass() : EC_NONE;
    switch (byClass)
    {
    case EC_CHMSG:
        DescribeChnMessage(oText, *poEvent);
        break;
    case EC_META:
        oText.Format("META type=0x%02X size=%2d", poEvent->GetMetaType(), poEvent->GetMetaLength());
        DumpData(oText, poEvent->GetMetaData(), poEvent->GetMetaLength());
        break;
    case EC_SYSEX:
        oText.Format("SYSEX size=%d", poEvent->GetSysExLength());
        DumpData(oText, poEvent->GetSysExData(), poEvent->GetSysExLength());
        break;
    default:
        oText.Format("!!! UNKNOWN !!!");
        break;
    }
    return oText.Length();
}

std::size_t FormatEventLine(const CEvent* poEvent, TTICK tTick, int iLineNr, char* pszLine, std::size_t nSize)
{
    CTextBuilder oText(pszLine, nSize);
    if (iLineNr > 0)
        oText.Format("\n%04d | ", iLineNr);
    else
        oText.Format("\n");
    oText.Format("T=%06u (%03u:%1u:%03u) ", tTick, tTick / TICKS_PER_MEASURE + 1,
                 (tTick % TICKS_PER_MEASURE) / TICKS_PER_QUARTER + 1, tTick % TICKS_PER_QUARTER);
    const std::size_t nHead = oText.Length();
    if (nSize <= nHead + 1)
        return nHead;
    return nHead + DescribeEvent(poEvent, pszLine + nHead, nSize - nHead);
}

// CDecBase::PrintAllEvents -- the lines of DescribeAllEvents into the file.
bool CDecBase::PrintAllEvents(const char* pszFileName, bool bChnMsgOnly, bool bNumberLines)
{
    if (!QD_ASSERT(pszFileName))
        return false;
    QdReport("CDecBase::PrintAllEvents() - Save description of events into %s", pszFileName);
    CFileOut oFile(pszFileName);
    if (!QD_ASSERT(oFile.IsOpen()))
        return false;
    const bool bComplete = DescribeAllEvents(
        [&oFile](const char* pszLine, std::size_t nLength) { oFile.Write(pszLine, DWORD(nLength)); }, bChnMsgOnly,
        bNumberLines);
    const bool bWritten = oFile.Close();
    QdReport("CDecBase::PrintAllEvents() - Save executed.");
    return bComplete && bWritten;
}

// CDecBase::DescribeAllEvents -- rewinds and makes one line per event of
// every group (or of the channel groups only). A decoder that stops with an
// error gets the line "Error extracting data" and the lines end there.
bool CDecBase::DescribeAllEvents(const TEventLineSink& fnLine, bool bChnMsgOnly, bool bNumberLines)
{
    static constexpr char kszError[] = "\nError extracting data";
    char szLine[EVENT_DUMP_LINE_SIZE];
    int iLineNr = 1;
    Rewind();
    CEventList oList;
    while (!IsEndOfStream())
    {
        const TDELTA sdwDelta = ExtractEvents(oList);
        if (sdwDelta == NO_DELTA && !IsEndOfStream())
        {
            fnLine(kszError, sizeof(kszError) - 1);
            return false;
        }
        if (oList.IsEmpty() || (bChnMsgOnly && oList.Get()->GetClass() != EC_CHMSG))
            continue;
        for (const CLinkedEvent* poEvent = oList.Get(); poEvent; poEvent = poEvent->Next())
            fnLine(szLine, FormatEventLine(poEvent, GetTick(), bNumberLines ? iLineNr++ : 0, szLine, sizeof(szLine)));
    }
    return true;
}
