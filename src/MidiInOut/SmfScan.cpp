// SmfScan.cpp -- one walk through a MIDI file: what it holds, and its first damage.
#include "MidiInOut/SmfScan.h"

#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/SeqBase/SmfForm.h"

#include <cstdio>
#include <cstring>

using namespace SmfForm;

namespace {

constexpr DWORD TEMPO_BYTES = 3;
constexpr DWORD TIME_SIG_MIN_BYTES = 2;
// Offsets of the header fields.
constexpr DWORD FORMAT_OFFSET = 8;
constexpr DWORD TRACKS_OFFSET = 10;
constexpr DWORD DIVISION_OFFSET = 12;

// Problem -- keeps the first damage only.
void Problem(CSmfFileInfo& roInfo, ESmfProblem eProblem, DWORD dwOffset, WORD wTrack = 0)
{
    if (roInfo.m_eProblem != SMFP_NONE)
        return;
    roInfo.m_eProblem = eProblem;
    roInfo.m_dwProblemOffset = dwOffset;
    roInfo.m_wProblemTrack = wTrack;
}

// ScanHeader -- the header chunk; the offset of the first chunk after it,
// or 0 when the walk cannot go on.
DWORD ScanHeader(const BYTE* pkbyData, DWORD dwSize, CSmfFileInfo& roInfo)
{
    if (!pkbyData || dwSize < 4 || std::memcmp(pkbyData, "MThd", 4) != 0)
    {
        Problem(roInfo, SMFP_NOT_MIDI, 0);
        return 0;
    }
    if (dwSize < SmfRead::FILE_HEADER_SIZE)
    {
        // The header chunk is cut, or its length says it is too short.
        if (dwSize >= SmfRead::CHUNK_HEADER_SIZE && QdReadBE32(pkbyData + 4) < SmfRead::FILE_HEADER_DATA)
            Problem(roInfo, SMFP_NOT_MIDI, 4);
        Problem(roInfo, SMFP_TRUNCATED, dwSize);
        return 0;
    }
    const DWORD dwHeaderLength = QdReadBE32(pkbyData + 4);
    if (dwHeaderLength < SmfRead::FILE_HEADER_DATA)
    {
        Problem(roInfo, SMFP_NOT_MIDI, 4);
        return 0;
    }
    roInfo.m_wFormat = QdReadBE16(pkbyData + FORMAT_OFFSET);
    roInfo.m_wTracksDeclared = QdReadBE16(pkbyData + TRACKS_OFFSET);
    roInfo.m_wDivision = QdReadBE16(pkbyData + DIVISION_OFFSET);

    if (roInfo.m_wFormat == 2)
        Problem(roInfo, SMFP_FORMAT_2, FORMAT_OFFSET);
    else if (roInfo.m_wFormat > 2)
        Problem(roInfo, SMFP_UNKNOWN_FORMAT, FORMAT_OFFSET);
    if (roInfo.m_wTracksDeclared == 0 || (roInfo.m_wFormat == 0 && roInfo.m_wTracksDeclared != 1))
        Problem(roInfo, SMFP_TRACK_COUNT, TRACKS_OFFSET);
    if (!SmfRead::IsTickDivision(roInfo.m_wDivision))
        Problem(roInfo, SMFP_DIVISION, DIVISION_OFFSET);

    if (dwHeaderLength > dwSize - SmfRead::CHUNK_HEADER_SIZE)
    {
        Problem(roInfo, SMFP_TRUNCATED, dwSize);
        return 0;
    }
    return SmfRead::CHUNK_HEADER_SIZE + dwHeaderLength;
}

// TakeEvent -- what one event tells about its track and the file.
void TakeEvent(const CSmfEvent& rkoEvent, bool& rbNamed, CSmfTrackInfo& roTrack, CSmfFileInfo& roInfo)
{
    if (rkoEvent.IsChannel())
    {
        const BYTE byKind = BYTE(rkoEvent.m_byStatus & 0xF0);
        roTrack.m_wEventChannels |= WORD(1u << (rkoEvent.m_byStatus & 0x0F));
        if (byKind == 0x80 || byKind == 0x90)
            roTrack.m_wNoteChannels |= WORD(1u << (rkoEvent.m_byStatus & 0x0F));
        if (byKind == 0x90 && rkoEvent.m_abyChannelData[1] > 0)
            ++roTrack.m_dwNotes;
        return;
    }
    if (rkoEvent.IsMeta(META_TRACK_NAME) && !rbNamed)
    {
        rbNamed = true;
        roTrack.m_strName.assign(reinterpret_cast<const char*>(rkoEvent.m_pkbyData), rkoEvent.m_dwDataLength);
    }
    if (rkoEvent.m_qwTick != 0)
        return;
    if (rkoEvent.IsMeta(META_SET_TEMPO) && !roInfo.m_bHasTempo && rkoEvent.m_dwDataLength >= TEMPO_BYTES)
    {
        const BYTE* pkby = rkoEvent.m_pkbyData;
        roInfo.m_bHasTempo = true;
        roInfo.m_dwTempo = DWORD(pkby[0]) << 16 | DWORD(pkby[1]) << 8 | pkby[2];
    }
    if (rkoEvent.IsMeta(META_TIME_SIGNATURE) && !roInfo.m_bHasTimeSig &&
        rkoEvent.m_dwDataLength >= TIME_SIG_MIN_BYTES)
    {
        roInfo.m_bHasTimeSig = true;
        const DWORD dwCopy = rkoEvent.m_dwDataLength < sizeof roInfo.m_abyTimeSig ? rkoEvent.m_dwDataLength
                                                                                   : DWORD(sizeof roInfo.m_abyTimeSig);
        std::memcpy(roInfo.m_abyTimeSig, rkoEvent.m_pkbyData, dwCopy);
    }
}

// ScanTrack -- every event of one track chunk, each also to rkfnVisit when given.
void ScanTrack(const BYTE* pkbyData, DWORD dwSize, const CSmfChunk& rkoChunk, CSmfFileInfo& roInfo,
               const SmfEventVisitor& rkfnVisit)
{
    const WORD wIndex = WORD(roInfo.m_aoTracks.size());
    CSmfTrackInfo oTrack;
    oTrack.m_dwOffset = rkoChunk.m_dwOffset;
    if (rkoChunk.m_dwLength == 0)
    {
        Problem(roInfo, SMFP_EMPTY_TRACK, rkoChunk.m_dwOffset, wIndex);
        roInfo.m_aoTracks.push_back(oTrack);
        return;
    }

    CSmfTrackReader oReader(pkbyData, dwSize, rkoChunk);
    CSmfEvent oEvent;
    bool bNamed = false;
    while (oReader.Next(oEvent) == TR_EVENT)
    {
        TakeEvent(oEvent, bNamed, oTrack, roInfo);
        if (rkfnVisit)
            rkfnVisit(wIndex, oEvent);
    }
    oTrack.m_bEndOfTrack = oReader.HasEndOfTrack();
    oTrack.m_qwTicks = oReader.GetTick();
    if (rkfnVisit && oTrack.m_bEndOfTrack)
    {
        // The reader ends at FF 2F 00 without handing it out; a listing shows it.
        CSmfEvent oEnd;
        oEnd.m_qwTick = oTrack.m_qwTicks;
        oEnd.m_byStatus = META_INTRODUCER;
        oEnd.m_byMetaType = META_END_OF_TRACK;
        rkfnVisit(wIndex, oEnd);
    }
    if (oReader.GetProblem() != SMFP_NONE)
        Problem(roInfo, oReader.GetProblem(), oReader.GetProblemOffset(), wIndex);
    else if (!oTrack.m_bEndOfTrack)
        Problem(roInfo, SMFP_NO_END_OF_TRACK, rkoChunk.GetEnd(), wIndex);

    roInfo.m_wNoteChannels |= oTrack.m_wNoteChannels;
    if (oTrack.m_qwTicks > roInfo.m_qwLastTick)
        roInfo.m_qwLastTick = oTrack.m_qwTicks;
    roInfo.m_aoTracks.push_back(oTrack);
}

} // namespace

bool SmfScanFile(const BYTE* pkbyData, DWORD dwSize, CSmfFileInfo& roInfo)
{
    return SmfScanFile(pkbyData, dwSize, roInfo, SmfEventVisitor());
}

// SmfScanFile -- chunk after chunk until the declared tracks are found or
// the block ends.
bool SmfScanFile(const BYTE* pkbyData, DWORD dwSize, CSmfFileInfo& roInfo, const SmfEventVisitor& rkfnVisit)
{
    roInfo = CSmfFileInfo();
    DWORD dwPos = ScanHeader(pkbyData, dwSize, roInfo);
    if (dwPos == 0)
        return false;

    CSmfChunk oChunk;
    while (roInfo.m_wTracksFound < roInfo.m_wTracksDeclared)
    {
        if (!SmfReadChunk(pkbyData, dwSize, dwPos, oChunk))
        {
            // A few bytes left are a chunk header cut short.
            if (dwPos < dwSize)
                Problem(roInfo, SMFP_TRUNCATED, dwSize);
            break;
        }
        if (oChunk.IsCut())
            Problem(roInfo, SMFP_TRUNCATED, dwSize);
        if (oChunk.IsTrack())
        {
            ScanTrack(pkbyData, dwSize, oChunk, roInfo, rkfnVisit);
            ++roInfo.m_wTracksFound;
        }
        dwPos = oChunk.GetEnd();
    }
    if (roInfo.m_wTracksFound < roInfo.m_wTracksDeclared)
        Problem(roInfo, SMFP_MISSING_TRACK, dwSize);
    return roInfo.m_eProblem == SMFP_NONE;
}

// SmfProblemText -- the offsets and numbers the phrases quote come from the info.
std::string SmfProblemText(const CSmfFileInfo& rkoInfo)
{
    const unsigned uTrack = rkoInfo.m_wProblemTrack + 1u;
    const unsigned long ulAt = rkoInfo.m_dwProblemOffset;
    char szText[128];
    switch (rkoInfo.m_eProblem)
    {
    case SMFP_NONE:
        return std::string();
    case SMFP_NOT_MIDI:
        return "this is not a MIDI file";
    case SMFP_FORMAT_2:
        return "format 2 files (independent sequences) are not supported";
    case SMFP_UNKNOWN_FORMAT:
        std::snprintf(szText, sizeof szText, "unknown MIDI file format %u", unsigned(rkoInfo.m_wFormat));
        break;
    case SMFP_TRACK_COUNT:
        if (rkoInfo.m_wTracksDeclared == 0)
            return "the file declares no tracks";
        std::snprintf(szText, sizeof szText, "a format 0 file holds one track, this one declares %u",
                      unsigned(rkoInfo.m_wTracksDeclared));
        break;
    case SMFP_DIVISION:
        if (rkoInfo.m_wDivision == 0)
            return "the file gives 0 ticks per quarter note";
        return "time code (SMPTE) timing is not supported";
    case SMFP_TRUNCATED:
        std::snprintf(szText, sizeof szText, "the file is cut short at byte %lu", ulAt);
        break;
    case SMFP_MISSING_TRACK:
        std::snprintf(szText, sizeof szText, "the file declares %u tracks but holds %u",
                      unsigned(rkoInfo.m_wTracksDeclared), unsigned(rkoInfo.m_wTracksFound));
        break;
    case SMFP_EMPTY_TRACK:
        std::snprintf(szText, sizeof szText, "track %u is empty", uTrack);
        break;
    case SMFP_NO_END_OF_TRACK:
        std::snprintf(szText, sizeof szText, "track %u has no end of track", uTrack);
        break;
    case SMFP_LONG_NUMBER:
        std::snprintf(szText, sizeof szText, "track %u has a number longer than 4 bytes at byte %lu", uTrack, ulAt);
        break;
    case SMFP_NO_STATUS:
        std::snprintf(szText, sizeof szText, "track %u has data without a status byte at byte %lu", uTrack, ulAt);
        break;
    case SMFP_MISPLACED_STATUS:
        std::snprintf(szText, sizeof szText, "track %u has a status byte out of place at byte %lu", uTrack, ulAt);
        break;
    case SMFP_EVENT_PAST_END:
        std::snprintf(szText, sizeof szText, "track %u has an event running past its end at byte %lu", uTrack, ulAt);
        break;
    default:
        return "unknown problem";
    }
    return szText;
}
