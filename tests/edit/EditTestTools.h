// EditTestTools.h -- what the edit interface's tests share: the blocks it
// hands out as byte vectors, a file's events as text lines, a pattern's
// events as records.
#pragma once

#include "MidiInOut/MidiInOut.h"
#include "NlzdStyle/NstEditIfc.h"
#include "PropStreams.h"
#include "SmfEventText.h"

#include <memory>
#include <string>
#include <vector>

namespace EditTestTools {

typedef std::vector<BYTE> Bytes;
typedef std::vector<std::string> Lines;

// ExportFile -- the exported file; empty when the export gave no block.
inline Bytes ExportFile(CNstEditIfc& roEdit, BYTE bySe, BYTE byCv, BYTE byPNr)
{
    DWORD dwSize = 1;
    std::unique_ptr<BYTE[]> pbyFile = roEdit.ExportToSmf(bySe, byCv, byPNr, dwSize);
    return pbyFile ? Bytes(pbyFile.get(), pbyFile.get() + dwSize) : Bytes(dwSize, 0xEE);
}

inline Bytes BankData(CNstEditIfc& roEdit, bool bMakeMarkers)
{
    DWORD dwSize = 1;
    std::unique_ptr<BYTE[]> pbyData = roEdit.BuildBankData(bMakeMarkers, dwSize);
    return pbyData ? Bytes(pbyData.get(), pbyData.get() + dwSize) : Bytes(dwSize, 0xEE);
}

// FileLines -- every event of a file, "<tick> <event>" (SmfEventText.h).
inline Lines FileLines(const Bytes& rkabyFile)
{
    CMidiIn oIn(rkabyFile.data(), DWORD(rkabyFile.size()));
    if (!oIn.Open() || !oIn.GetDecoder())
        return {"not accepted"};
    return SmfDrainDecoder(*oIn.GetDecoder()).m_aLines;
}

// TicksOf -- ticks of the lines that hold strWhat ("note_off 8 28", ...).
inline std::vector<TTICK> TicksOf(const Lines& rkaLines, const std::string& strWhat)
{
    std::vector<TTICK> at;
    for (const std::string& str : rkaLines)
        if (str.find(" " + strWhat) != std::string::npos)
            at.push_back(TTICK(std::stoul(str)));
    return at;
}

// NoteOns -- ticks of the note-ons (velocity above 0) on a channel.
inline std::vector<TTICK> NoteOns(const Lines& rkaLines, int iChannel)
{
    std::vector<TTICK> at;
    const std::string strWhat = " note_on " + std::to_string(iChannel) + " ";
    for (const std::string& str : rkaLines)
        if (str.find(strWhat) != std::string::npos && str.compare(str.size() - 3, 3, " 00") != 0)
            at.push_back(TTICK(std::stoul(str)));
    return at;
}

inline std::vector<CEvRec> StreamEvents(const BYTE* pkbyData, DWORD dwLength)
{
    return DecodeBlock(Bytes(pkbyData, pkbyData + dwLength)).Events();
}

inline std::vector<CEvRec> PatternEvents(const CNstPattern& rkoPattern)
{
    return StreamEvents(rkoPattern.GetData(), rkoPattern.GetDataLength());
}

} // namespace EditTestTools
