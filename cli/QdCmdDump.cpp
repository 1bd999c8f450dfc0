// QdCmdDump.cpp -- dump: the events of a MIDI file (or of standard input).
//
// text (the default): the event list as the decoders' event dump makes it:
// a format-0 file's track, or a format-1 file's tracks merged into one as
// the import reads them (CMidiIn), at 384 ticks per quarter note; the
// damage the scan finds (SmfScanFile) is told with the file's path.
// csv and json: every event of every track chunk as the file holds it, in
// the file's own ticks (MidiInOut/SmfList.h). --bars counts bars and beats
// by the file's own time signatures instead of in 4/4.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdCharset.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdFileIo.h"
#include "MidiInOut/MidiInOut.h"
#include "MidiInOut/SmfList.h"
#include "QdJson.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The resolution of the text dump's ticks (the decoders' own).
constexpr DWORD DUMP_TICKS_PER_QUARTER = 384;

std::string BarText(const CSmfBarPosition& rkoAt)
{
    return std::to_string(rkoAt.m_qwBar) + ":" + std::to_string(rkoAt.m_qwBeat) + ":" + std::to_string(rkoAt.m_qwTick);
}

// WithBars -- the dump's lines with their "(mmm:b:ttt)" column counted by
// the file's time signatures. A line is "[nnnn | ]T=<tick> (<4/4 count>)
// <event>"; the time signatures, in file ticks, are taken to the dump's
// 384 ticks per quarter as its decoder takes every tick.
std::string WithBars(const std::string& rkstrText, const CSmfListing& rkoListing)
{
    const std::uint64_t qwDivision = std::max<WORD>(rkoListing.m_oInfo.m_wDivision, 1);
    std::vector<CSmfTimeSigAt> aoScaled = rkoListing.m_aoTimeSigs;
    for (CSmfTimeSigAt& roAt : aoScaled)
        roAt.m_qwTick = roAt.m_qwTick * DUMP_TICKS_PER_QUARTER / qwDivision;
    const CSmfBarClock oClock(aoScaled, DUMP_TICKS_PER_QUARTER);
    std::string strOut;
    std::size_t uStart = 0;
    while (uStart < rkstrText.size())
    {
        std::size_t uEnd = rkstrText.find('\n', uStart);
        uEnd = uEnd == std::string::npos ? rkstrText.size() : uEnd + 1;
        std::string strLine = rkstrText.substr(uStart, uEnd - uStart);
        uStart = uEnd;
        const std::size_t uTick = strLine.find("T=");
        const std::size_t uOpen = strLine.find(" (", uTick);
        const std::size_t uClose = strLine.find(')', uOpen);
        if (uTick != std::string::npos && uTick < 8 && uOpen != std::string::npos && uClose != std::string::npos)
        {
            const std::uint64_t qwTick = std::strtoull(strLine.c_str() + uTick + 2, nullptr, 10);
            strLine.replace(uOpen + 2, uClose - uOpen - 2, BarText(oClock.Locate(qwTick)));
        }
        strOut += strLine;
    }
    return strOut;
}

// CsvField -- quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& rkstrField)
{
    if (rkstrField.find_first_of(",\"\r\n") == std::string::npos)
        return rkstrField;
    std::string strQuoted = "\"";
    for (const char c : rkstrField)
        strQuoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return strQuoted + "\"";
}

// CsvText -- a header line, then one line per event: track, tick, bar (with
// --bars), channel, kind, note, number, value, data.
std::string CsvText(const CSmfListing& rkoListing, bool bBars)
{
    const CSmfBarClock oClock(rkoListing.m_aoTimeSigs, rkoListing.m_oInfo.m_wDivision);
    std::string strText = bBars ? "track,tick,bar,channel,kind,note,number,value,data\n"
                                : "track,tick,channel,kind,note,number,value,data\n";
    for (const CSmfListedEvent& rkoEvent : rkoListing.m_aoEvents)
    {
        strText += std::to_string(rkoEvent.m_wTrack) + "," + std::to_string(rkoEvent.m_qwTick) + ",";
        if (bBars)
            strText += BarText(oClock.Locate(rkoEvent.m_qwTick)) + ",";
        strText += (rkoEvent.m_byChannel ? std::to_string(rkoEvent.m_byChannel) : std::string()) + ",";
        strText += std::string(rkoEvent.m_pszKind) + ",";
        strText += (rkoEvent.m_iKey >= 0 ? SmfNoteName(rkoEvent.m_iKey) : std::string()) + ",";
        strText += (rkoEvent.m_iNumber >= 0 ? std::to_string(rkoEvent.m_iNumber) : std::string()) + ",";
        strText += (rkoEvent.m_bHasValue ? std::to_string(rkoEvent.m_lValue) : std::string()) + ",";
        strText += CsvField(rkoEvent.m_bText ? QdShownLatin1(rkoEvent.m_strData) : rkoEvent.m_strData) + "\n";
    }
    return strText;
}

// TextDump -- the decoder's dump of the file, line by line; false when the
// decoder stopped before the end. Every line of the dump starts with its
// line break; stdout gets them ended instead. A line shows the data bytes
// of meta and system exclusive events as characters too (EventDump.h):
// they are the file's 8-bit text, shown as such (QdShownLatin1), so that
// no control character of the file reaches the terminal.
bool TextDump(CMidiIn& roMidiIn, const CQdDumpArgs& rkoArgs, std::string& rstrText)
{
    return roMidiIn.GetDecoder()->DescribeAllEvents(
        [&rstrText](const char* pszLine, std::size_t nLength) {
            const std::string strLine(pszLine, nLength);
            rstrText += QdShownLatin1(strLine.substr(strLine.empty() || strLine.front() != '\n' ? 0 : 1)) + "\n";
        },
        rkoArgs.m_bChannelOnly, rkoArgs.m_bNumberLines);
}

} // namespace

// QdCmdDump -- a file the reader cannot take is refused with its cause; a
// damaged one is dumped as far as the reader gets, and its damage told
// after the dump (exit status 3).
int QdCmdDump(CQdCliConsole& roConsole, const CQdDumpArgs& rkoArgs)
{
    const std::string& rkstrPath = rkoArgs.m_strFile;
    CQdFileIo& roFileIo = CQdCliStdio::Instance();
    std::vector<BYTE> abyFile;
    roFileIo.ClearLastError();
    if (!roFileIo.ReadAll(rkstrPath, CQdBankDoc::MAX_SMF_FILE_SIZE, abyFile))
    {
        const std::string strCause = CQdFileIo::ErrorText(roFileIo.GetLastError());
        roConsole.Message("", rkstrPath + ": " + (strCause.empty() ? "the file cannot be read" : strCause));
        return QD_EXIT_REFUSED;
    }
    CSmfListing oListing;
    SmfListFile(abyFile.data(), DWORD(abyFile.size()), oListing);
    const std::string strProblem = SmfProblemText(oListing.m_oInfo);
    std::string strText;
    bool bComplete = true;
    if (rkoArgs.m_strFormat == "text")
    {
        CMidiIn oMidiIn(abyFile.data(), DWORD(abyFile.size()));
        if (!oMidiIn.Open() || !oMidiIn.GetDecoder())
        {
            roConsole.Message("", rkstrPath + ": " + (strProblem.empty() ? "the file cannot be read" : strProblem));
            return QD_EXIT_REFUSED;
        }
        bComplete = TextDump(oMidiIn, rkoArgs, strText);
        if (rkoArgs.m_bBars)
            strText = WithBars(strText, oListing);
    }
    else
    {
        // Nothing to list: not a MIDI file, or a header cut short.
        if (oListing.m_oInfo.m_aoTracks.empty() && !strProblem.empty())
        {
            roConsole.Message("", rkstrPath + ": " + strProblem);
            return QD_EXIT_REFUSED;
        }
        strText = rkoArgs.m_strFormat == "csv"
                      ? CsvText(oListing, rkoArgs.m_bBars)
                      : QdJsonSerialize(QdJsonSmfListing(rkstrPath, oListing, rkoArgs.m_bBars));
    }
    roConsole.Print(strText);
    // What was dumped stays on stdout; the damage makes the exit status 3.
    if (!strProblem.empty() || !bComplete)
        roConsole.Message("", rkstrPath + ": " +
                                  (strProblem.empty() ? "the file cannot be read to its end" : strProblem));
    return QD_EXIT_OK;
}
