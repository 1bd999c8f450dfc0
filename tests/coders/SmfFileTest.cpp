// SmfFileTest.cpp -- whole MIDI files: the scan and its problems, format-1
// files read through the merge, and the channel map. Every file is read
// from a block of exactly its size, so that a read past its end is caught
// by the address sanitizer.
#include "MidiInOut/MidiInOut.h"
#include "MidiInOut/SmfScan.h"
#include "ReportCapture.h"
#include "SmfEventText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;
typedef std::vector<std::string> Lines;

Bytes Header(WORD wFormat, WORD wTracks, WORD wDivision = 96)
{
    Bytes aby = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 0, 0, 0};
    QdWriteBE16(&aby[8], wFormat);
    QdWriteBE16(&aby[10], wTracks);
    QdWriteBE16(&aby[12], wDivision);
    return aby;
}

Bytes Chunk(const char* pszId, const Bytes& kabyData)
{
    Bytes aby(pszId, pszId + 4);
    aby.resize(8);
    QdWriteBE32(&aby[4], DWORD(kabyData.size()));
    aby.insert(aby.end(), kabyData.begin(), kabyData.end());
    return aby;
}

Bytes Track(const Bytes& kabyData)
{
    return Chunk("MTrk", kabyData);
}

Bytes Cat(std::initializer_list<Bytes> aaby)
{
    Bytes aby;
    for (const Bytes& rkaby : aaby)
        aby.insert(aby.end(), rkaby.begin(), rkaby.end());
    return aby;
}

Bytes Cut(const Bytes& kaby, size_t nDrop)
{
    return Bytes(kaby.begin(), kaby.end() - long(nDrop));
}

std::unique_ptr<BYTE[]> ExactBlock(const Bytes& kaby)
{
    std::unique_ptr<BYTE[]> pbyBlock(new BYTE[kaby.size() + (kaby.empty() ? 1 : 0)]);
    if (!kaby.empty())
        std::memcpy(pbyBlock.get(), kaby.data(), kaby.size());
    return pbyBlock;
}

CSmfFileInfo Scan(const Bytes& kaby)
{
    const std::unique_ptr<BYTE[]> pbyBlock = ExactBlock(kaby);
    CSmfFileInfo oInfo;
    SmfScanFile(pbyBlock.get(), DWORD(kaby.size()), oInfo);
    return oInfo;
}

struct SReadResult
{
    bool bOpened = false;
    CSmfDecodeResult oDecoded;
};

SReadResult Read(const Bytes& kaby, const CSmfChannelMap* pkoMap = nullptr)
{
    const std::unique_ptr<BYTE[]> pbyBlock = ExactBlock(kaby);
    SReadResult oResult;
    CMidiIn oIn(pbyBlock.get(), DWORD(kaby.size()));
    oResult.bOpened = oIn.Open(pkoMap);
    if (oResult.bOpened)
        oResult.oDecoded = SmfDrainDecoder(*oIn.GetDecoder(), int(kaby.size()) + 100);
    return oResult;
}

// Tracks of the scan's files: a conductor track (tempo, time signature, end
// at 384), drums on channel 9 (two notes, end at 176) and a bass on
// channel 2 (one note, end at 96).
const Bytes kabyConductor = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 0x04,
                             0x02, 0x18, 0x08, 0x83, 0x00, 0xFF, 0x2F, 0x00};
const Bytes kabyDrums = {0x00, 0xFF, 0x03, 0x05, 'D',  'r',  'u',  'm',  's',  0x00, 0x99, 0x24, 0x64, 0x00,
                         0x2A, 0x50, 0x30, 0x24, 0x00, 0x00, 0x2A, 0x00, 0x81, 0x00, 0xFF, 0x2F, 0x00};
const Bytes kabyBass = {0x00, 0xFF, 0x03, 0x04, 'B',  'a',  's',  's',  0x00, 0xC2, 0x21,
                        0x00, 0x92, 0x28, 0x64, 0x60, 0x28, 0x00, 0x00, 0xFF, 0x2F, 0x00};

const Bytes kabyFormat0 = Cat({Header(0, 1), Track(kabyBass)});
const Bytes kabyFormat1 =
    Cat({Header(1, 3, 480), Track(kabyConductor), Chunk("XFIH", {1, 2, 3}), Track(kabyDrums), Track(kabyBass)});

// Offsets in the files below: the header is bytes 0-13, the first chunk
// header 14-21, its data from 22.
TEST(SmfScan, EachProblemWithItsPlace)
{
    const Bytes abyNoEnd = Cut(kabyBass, 4);
    struct SRow
    {
        const char* pszName;
        Bytes aby;
        ESmfProblem eProblem;
        DWORD dwOffset;
        std::string strText;
    };
    const SRow aoRows[] = {
        {"format 0", kabyFormat0, SMFP_NONE, 0, ""},
        {"format 1, a chunk of another kind between tracks", kabyFormat1, SMFP_NONE, 0, ""},
        {"bytes after the last track", Cat({kabyFormat0, {0x00, 0x00, 0x4D}}), SMFP_NONE, 0, ""},
        {"running status across a meta event",
         Cat({Header(0, 1), Track({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x10, 0x3C, 0x00, 0x00, 0xFF, 0x2F,
                                   0x00})}),
         SMFP_NONE, 0, ""},
        {"a RIFF file", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'R', 'M', 'I', 'D'}, SMFP_NOT_MIDI, 0,
         "this is not a MIDI file"},
        {"nothing", {}, SMFP_NOT_MIDI, 0, "this is not a MIDI file"},
        {"header of 4 bytes", {'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1, 'M', 'T', 'r', 'k', 0, 0, 0, 0},
         SMFP_NOT_MIDI, 4, "this is not a MIDI file"},
        {"header cut", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}, SMFP_TRUNCATED, 10, "the file is cut short at byte 10"},
        {"format 2, a track without end too", Cat({Header(2, 1), Track(abyNoEnd)}), SMFP_FORMAT_2, 8,
         "format 2 files (independent sequences) are not supported"},
        {"format 3", Cat({Header(3, 1), Track(kabyBass)}), SMFP_UNKNOWN_FORMAT, 8, "unknown MIDI file format 3"},
        {"format 0 of two tracks", Cat({Header(0, 2), Track(kabyBass), Track(kabyBass)}), SMFP_TRACK_COUNT, 10,
         "a format 0 file holds one track, this one declares 2"},
        {"no track declared", Header(1, 0), SMFP_TRACK_COUNT, 10, "the file declares no tracks"},
        {"time code division", Cat({Header(1, 1, 0xE728), Track(kabyBass)}), SMFP_DIVISION, 12,
         "time code (SMPTE) timing is not supported"},
        {"division 0", Cat({Header(0, 1, 0), Track(kabyBass)}), SMFP_DIVISION, 12,
         "the file gives 0 ticks per quarter note"},
        {"track cut", Cut(kabyFormat0, 2), SMFP_TRUNCATED, 42, "the file is cut short at byte 42"},
        {"track header cut", Cat({Header(1, 2), Track(kabyBass), {'M', 'T', 'r', 'k', 0}}), SMFP_TRUNCATED, 49,
         "the file is cut short at byte 49"},
        {"a track missing", Cat({Header(1, 3), Track(kabyConductor), Track(kabyBass)}), SMFP_MISSING_TRACK, 72,
         "the file declares 3 tracks but holds 2"},
        {"empty track", Cat({Header(1, 3), Track(kabyConductor), Track({}), Track(kabyBass)}), SMFP_EMPTY_TRACK, 42,
         "track 2 is empty"},
        {"no end of track", Cat({Header(1, 2), Track(kabyConductor), Track(abyNoEnd)}), SMFP_NO_END_OF_TRACK, 68,
         "track 2 has no end of track"},
        {"delta of 5 bytes", Cat({Header(0, 1), Track({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 0x3C, 0x64})}),
         SMFP_LONG_NUMBER, 22, "track 1 has a number longer than 4 bytes at byte 22"},
        {"meta length of 5 bytes", Cat({Header(0, 1), Track({0x00, 0xFF, 0x01, 0x80, 0x80, 0x80, 0x80, 0x00})}),
         SMFP_LONG_NUMBER, 25, "track 1 has a number longer than 4 bytes at byte 25"},
        {"data first", Cat({Header(0, 1), Track({0x00, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00})}), SMFP_NO_STATUS, 23,
         "track 1 has data without a status byte at byte 23"},
        {"running status ended by system exclusive",
         Cat({Header(0, 1), Track({0x00, 0x90, 0x3C, 0x64, 0x00, 0xF0, 0x01, 0xF7, 0x00, 0x3C, 0x00})}),
         SMFP_NO_STATUS, 31, "track 1 has data without a status byte at byte 31"},
        {"status as velocity", Cat({Header(0, 1), Track({0x00, 0x90, 0x3C, 0x80, 0x00, 0xFF, 0x2F, 0x00})}),
         SMFP_MISPLACED_STATUS, 25, "track 1 has a status byte out of place at byte 25"},
        {"undefined status", Cat({Header(0, 1), Track({0x00, 0xF4, 0x00, 0xFF, 0x2F, 0x00})}), SMFP_MISPLACED_STATUS,
         23, "track 1 has a status byte out of place at byte 23"},
        {"meta longer than its track", Cat({Header(0, 1), Track({0x00, 0xFF, 0x01, 0x10, 0x41})}),
         SMFP_EVENT_PAST_END, 22, "track 1 has an event running past its end at byte 22"},
        {"message cut by the track's end", Cat({Header(1, 2), Track(kabyConductor), Track({0x00, 0x90, 0x3C})}),
         SMFP_EVENT_PAST_END, 50, "track 2 has an event running past its end at byte 50"},
    };

    CReportCapture oCapture;
    for (const SRow& rkoRow : aoRows)
    {
        const CSmfFileInfo oInfo = Scan(rkoRow.aby);
        EXPECT_EQ(oInfo.m_eProblem, rkoRow.eProblem) << rkoRow.pszName;
        EXPECT_EQ(oInfo.m_dwProblemOffset, rkoRow.dwOffset) << rkoRow.pszName;
        EXPECT_EQ(SmfProblemText(oInfo), rkoRow.strText) << rkoRow.pszName;
    }
    EXPECT_TRUE(oCapture.Empty()) << "the scan reports nothing";
}

TEST(SmfScan, WhatTheFileHolds)
{
    const CSmfFileInfo oInfo = Scan(kabyFormat1);
    EXPECT_EQ(oInfo.m_wFormat, 1);
    EXPECT_EQ(oInfo.m_wDivision, 480);
    EXPECT_EQ(oInfo.m_wTracksDeclared, 3);
    EXPECT_EQ(oInfo.m_wTracksFound, 3);
    ASSERT_EQ(oInfo.m_aoTracks.size(), 3u);
    struct STrackRow
    {
        const char* pszName;
        WORD wChannels;
        DWORD dwNotes;
        std::uint64_t qwTicks;
    };
    const STrackRow aoTracks[] = {{"", 0, 0, 384}, {"Drums", 1 << 9, 2, 176}, {"Bass", 1 << 2, 1, 96}};
    for (size_t i = 0; i < 3; ++i)
    {
        const CSmfTrackInfo& rkoTrack = oInfo.m_aoTracks[i];
        EXPECT_EQ(rkoTrack.m_strName, aoTracks[i].pszName) << i;
        EXPECT_EQ(rkoTrack.m_wNoteChannels, aoTracks[i].wChannels) << i;
        EXPECT_EQ(rkoTrack.m_dwNotes, aoTracks[i].dwNotes) << i;
        EXPECT_EQ(rkoTrack.m_qwTicks, aoTracks[i].qwTicks) << i;
        EXPECT_TRUE(rkoTrack.m_bEndOfTrack) << i;
    }
    EXPECT_EQ(oInfo.m_aoTracks[2].m_dwOffset, 14u + 28u + 11u + 35u);
    EXPECT_EQ(oInfo.m_wNoteChannels, (1 << 9) | (1 << 2));
    EXPECT_TRUE(oInfo.m_bHasTempo);
    EXPECT_EQ(oInfo.m_dwTempo, 500000u);
    EXPECT_TRUE(oInfo.m_bHasTimeSig);
    EXPECT_EQ(Bytes(oInfo.m_abyTimeSig, oInfo.m_abyTimeSig + 4), Bytes({0x04, 0x02, 0x18, 0x08}));
    EXPECT_EQ(oInfo.m_qwLastTick, 384u);

    // A tempo after tick 0 is no tempo of the file; the first of tick 0 counts.
    const CSmfFileInfo oLate = Scan(Cat({Header(0, 1), Track({0x10, 0xFF, 0x51, 0x03, 0x01, 0x02, 0x03, 0x00, 0xFF,
                                                              0x2F, 0x00})}));
    EXPECT_FALSE(oLate.m_bHasTempo);
    const CSmfFileInfo oTwo =
        Scan(Cat({Header(1, 2), Track({0x00, 0xFF, 0x51, 0x03, 0x01, 0x02, 0x03, 0x00, 0xFF, 0x2F, 0x00}),
                  Track({0x00, 0xFF, 0x51, 0x03, 0x04, 0x05, 0x06, 0x00, 0xFF, 0x2F, 0x00})}));
    EXPECT_EQ(oTwo.m_dwTempo, 0x010203u);
}

// Every file cut anywhere is reported, and neither the scan nor the reader
// reads outside the cut block; the merge of what is left of a format-1 file
// still ends in order.
TEST(SmfScan, EveryCutIsFound)
{
    CReportCapture oCapture;
    for (const Bytes& rkaby : {kabyFormat0, kabyFormat1})
        for (size_t nSize = 0; nSize < rkaby.size(); ++nSize)
        {
            const Bytes aby(rkaby.begin(), rkaby.begin() + long(nSize));
            EXPECT_NE(Scan(aby).m_eProblem, SMFP_NONE) << nSize;
            const SReadResult oRead = Read(aby);
            if (oRead.bOpened && rkaby[9] == 1)
            {
                EXPECT_TRUE(oRead.oDecoded.m_bEnded) << nSize;
            }
        }
}

// -- format 1 through the merge ---------------------------------------------

// SEvent -- an event of a hand-made track: its tick and its bytes, status
// always written.
struct SEvent
{
    DWORD dwTick;
    Bytes aby;
};

struct STrack
{
    std::vector<SEvent> aoEvents; // in tick order
    DWORD dwEnd;
};

// TrackBytes -- events with running status as a careful writer uses it:
// ended by meta and system exclusive events.
Bytes TrackBytes(const std::vector<SEvent>& kaoEvents, DWORD dwEnd)
{
    Bytes aby;
    auto VarLen = [&aby](DWORD dw) {
        BYTE abyPart[4];
        int i = 0;
        do
            abyPart[i++] = BYTE(dw & 0x7F);
        while ((dw >>= 7) != 0);
        while (i > 1)
            aby.push_back(BYTE(abyPart[--i] | 0x80));
        aby.push_back(abyPart[0]);
    };
    BYTE byRunning = 0;
    DWORD dwTick = 0;
    for (const SEvent& rkoEvent : kaoEvents)
    {
        VarLen(rkoEvent.dwTick - dwTick);
        dwTick = rkoEvent.dwTick;
        const BYTE byStatus = rkoEvent.aby[0];
        aby.insert(aby.end(), rkoEvent.aby.begin() + (byStatus == byRunning ? 1 : 0), rkoEvent.aby.end());
        byRunning = byStatus < 0xF0 ? byStatus : 0;
    }
    VarLen(dwEnd - dwTick);
    aby.insert(aby.end(), {0xFF, 0x2F, 0x00});
    return aby;
}

// DawSong -- a conductor track and eight instruments on channels 9-16, the
// notes seeded; events of different tracks meet at many ticks.
std::vector<STrack> DawSong()
{
    std::mt19937 oRandom(1207);
    std::vector<STrack> aoTracks(9);
    aoTracks[0].aoEvents = {{0, {0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'}},
                            {0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}},
                            {0, {0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08}},
                            {0, {0xFF, 0x7F, 0x05, 0x42, 0x60, 0x08, 0x01, 0x02}},
                            {960, {0xFF, 0x06, 0x04, 'F', 'i', 'l', 'l'}},
                            {1920, {0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80}}};
    aoTracks[0].dwEnd = 3840;
    for (BYTE byChannel = 8; byChannel < 16; ++byChannel)
    {
        STrack& roTrack = aoTracks[byChannel - 7];
        std::vector<SEvent>& raoEvents = roTrack.aoEvents;
        raoEvents.push_back({0, {0xFF, 0x03, 0x01, BYTE('A' + byChannel)}});
        raoEvents.push_back({0, {BYTE(0xC0 | byChannel), BYTE(byChannel * 3)}});
        raoEvents.push_back({0, {BYTE(0xB0 | byChannel), 0x07, 0x64}});
        for (DWORD dwTick = 0; dwTick < 3840; dwTick += 120 * (1 + oRandom() % 3))
        {
            const BYTE byKey = BYTE(36 + oRandom() % 48);
            raoEvents.push_back({dwTick, {BYTE(0x90 | byChannel), byKey, BYTE(1 + oRandom() % 127)}});
            if (oRandom() % 4 == 0)
                raoEvents.push_back({dwTick + 30, {BYTE(0xE0 | byChannel), 0x00, BYTE(oRandom() % 128)}});
            if (oRandom() % 6 == 0)
                raoEvents.push_back({dwTick + 30, {BYTE(0xA0 | byChannel), byKey, 0x20}});
            raoEvents.push_back({dwTick + 90, {BYTE(0x90 | byChannel), byKey, 0x00}});
            if (oRandom() % 5 == 0)
                raoEvents.push_back({dwTick + 90, {BYTE(0xD0 | byChannel), BYTE(oRandom() % 128)}});
        }
        if (byChannel == 10)
            raoEvents.push_back({600, {0xF0, 0x04, 0x7E, 0x7F, 0x09, 0xF7}});
        if (byChannel == 12)
            raoEvents.push_back({3000, {BYTE(0xB0 | byChannel), 0x79, 0x00}});
        std::stable_sort(raoEvents.begin(), raoEvents.end(),
                         [](const SEvent& a, const SEvent& b) { return a.dwTick < b.dwTick; });
        // The tracks end at different ticks, the last one well after its notes.
        roTrack.dwEnd = raoEvents.back().dwTick + (byChannel == 15 ? 600 : 7 * (byChannel - 8));
    }
    return aoTracks;
}

TEST(SmfMerge, Format1DecodesAsItsFormat0Merge)
{
    const std::vector<STrack> aoTracks = DawSong();
    // The format-0 file a sequencer makes of the song: all events in tick
    // order, of one tick in track order, the end at the latest track end.
    std::vector<SEvent> aoAll;
    DWORD dwEnd = 0;
    for (const STrack& rkoTrack : aoTracks)
    {
        aoAll.insert(aoAll.end(), rkoTrack.aoEvents.begin(), rkoTrack.aoEvents.end());
        dwEnd = std::max(dwEnd, rkoTrack.dwEnd);
    }
    std::stable_sort(aoAll.begin(), aoAll.end(), [](const SEvent& a, const SEvent& b) { return a.dwTick < b.dwTick; });
    ASSERT_EQ(dwEnd, aoTracks[8].dwEnd);

    CReportCapture oCapture;
    for (WORD wDivision : {96, 480, 960})
    {
        Bytes abyFormat1 = Header(1, WORD(aoTracks.size()), wDivision);
        for (size_t i = 0; i < aoTracks.size(); ++i)
        {
            Bytes abyTrack = TrackBytes(aoTracks[i].aoEvents, aoTracks[i].dwEnd);
            // Bytes after an end of track are not part of the track.
            if (i == 3)
                abyTrack.insert(abyTrack.end(), {0x00, 0x9A, 0x3C, 0x64, 0x10, 0xFF, 0x2F, 0x00});
            abyFormat1 = Cat({abyFormat1, Track(abyTrack)});
        }
        const Bytes abyFormat0 = Cat({Header(0, 1, wDivision), Track(TrackBytes(aoAll, dwEnd))});

        const SReadResult oMerged = Read(abyFormat1);
        const SReadResult oReference = Read(abyFormat0);
        ASSERT_TRUE(oMerged.bOpened && oReference.bOpened) << wDivision;
        EXPECT_TRUE(oMerged.oDecoded.m_bEnded) << wDivision;
        EXPECT_EQ(oMerged.oDecoded.m_aLines, oReference.oDecoded.m_aLines) << wDivision;
        EXPECT_EQ(oMerged.oDecoded.m_aLines.back(), std::to_string(dwEnd * 384 / wDivision) + " meta 2F -");
        EXPECT_GT(oMerged.oDecoded.m_aLines.size(), 300u);
        EXPECT_EQ(Scan(abyFormat1).m_eProblem, SMFP_NONE);
    }
    EXPECT_TRUE(oCapture.Empty());
}

// A small file whose merged track is given byte for byte: running status
// resolved, events of one tick in track order, nothing after an end of
// track, the end at the latest track end.
TEST(SmfMerge, MergedTrackBytes)
{
    const Bytes abyFile =
        Cat({Header(1, 2), Track({0x00, 0xFF, 0x03, 0x01, 'A', 0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00, 0x00, 0xFF,
                                  0x2F, 0x00, 0x00, 0x90, 0x40, 0x40}),
             Track({0x00, 0xC1, 0x05, 0x00, 0x91, 0x40, 0x50, 0x30, 0xF0, 0x03, 0x43, 0x10, 0xF7, 0x30, 0x81, 0x40,
                    0x00, 0x83, 0x00, 0xFF, 0x2F, 0x00})});
    const Bytes abyExpected = {0x00, 0xFF, 0x03, 0x01, 'A',  0x00, 0x90, 0x3C, 0x64, 0x00, 0xC1, 0x05,
                               0x00, 0x91, 0x40, 0x50, 0x30, 0xF0, 0x03, 0x43, 0x10, 0xF7, 0x30, 0x90,
                               0x3C, 0x00, 0x00, 0x81, 0x40, 0x00, 0x83, 0x00, 0xFF, 0x2F, 0x00};
    const std::unique_ptr<BYTE[]> pbyBlock = ExactBlock(abyFile);
    std::vector<CSmfChunk> aoTracks(2);
    ASSERT_TRUE(SmfReadChunk(pbyBlock.get(), DWORD(abyFile.size()), 14, aoTracks[0]));
    ASSERT_TRUE(SmfReadChunk(pbyBlock.get(), DWORD(abyFile.size()), aoTracks[0].GetEnd(), aoTracks[1]));
    Bytes abyMerged;
    SmfMergeTracks(pbyBlock.get(), DWORD(abyFile.size()), aoTracks, nullptr, abyMerged);
    EXPECT_EQ(abyMerged, abyExpected);

    // A gap longer than a delta holds, left by messages of a dropped
    // channel, is bridged by FF 7E 00 at the longest delta.
    const Bytes abyFar = Cat({Header(0, 1, 384), Track({0x00, 0xC1, 0x05, 0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 0x01, 0xFF, 0xFF,
                                                   0xFF, 0x7F, 0x91, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00})});
    CSmfChannelMap oDropZero;
    oDropZero.Set(0, 0, CSmfChannelMap::DROP);
    const std::unique_ptr<BYTE[]> pbyFar = ExactBlock(abyFar);
    ASSERT_TRUE(SmfReadChunk(pbyFar.get(), DWORD(abyFar.size()), 14, aoTracks[0]));
    aoTracks.resize(1);
    SmfMergeTracks(pbyFar.get(), DWORD(abyFar.size()), aoTracks, &oDropZero, abyMerged);
    EXPECT_EQ(abyMerged, Bytes({0x00, 0xC1, 0x05, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x7E, 0x00, 0xFF, 0xFF, 0xFF, 0x7F,
                                0x91, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00}));
    const SReadResult oFar = Read(abyFar, &oDropZero);
    EXPECT_EQ(oFar.oDecoded.m_aLines, Lines({"0 program_change 1 05", "268435455 null", "536870910 note_on 1 3C 64",
                                             "536870910 meta 2F -"}));
}

// Channel messages of every kind follow the map, per track; other events
// pass; a format-0 file is mapped as track 0.
TEST(SmfMerge, ChannelMapRewritesAndDrops)
{
    const Bytes abyFile = Cat(
        {Header(1, 2, 384),
         Track({0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x64, 0x00, 0xB0, 0x07, 0x64, 0x60, 0x80, 0x3C, 0x40, 0x00, 0xFF,
                0x2F, 0x00}),
         Track({0x00, 0xF0, 0x02, 0x01, 0xF7, 0x00, 0x91, 0x40, 0x50, 0x00, 0xE2, 0x00, 0x40, 0x00, 0xA2, 0x40, 0x10,
                0x00, 0xD2, 0x22, 0x00, 0xB2, 0x79, 0x00, 0x60, 0x91, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00})});
    CSmfChannelMap oMap;
    oMap.Set(0, 0, 9);
    oMap.Set(1, 1, CSmfChannelMap::DROP);
    oMap.Set(1, 2, 0);
    CReportCapture oCapture;
    SReadResult oResult = Read(abyFile, &oMap);
    ASSERT_TRUE(oResult.bOpened);
    EXPECT_EQ(oResult.oDecoded.m_aLines,
              Lines({"0 program_change 9 05", "0 note_on 9 3C 64", "0 control_change 9 07 64", "0 sysex F001F7",
                     "0 pitchwheel 0 00 40", "0 polytouch 0 40 10", "0 aftertouch 0 22", "0 mode 0 79 00",
                     "96 note_off 9 3C 40", "96 meta 2F -"}));

    // A map of tracks the file does not have, and the empty map, change nothing.
    CSmfChannelMap oElsewhere;
    oElsewhere.Set(5, 0, 3);
    const Lines aPlain = Read(abyFile).oDecoded.m_aLines;
    EXPECT_EQ(Read(abyFile, &oElsewhere).oDecoded.m_aLines, aPlain);
    const CSmfChannelMap oEmpty;
    EXPECT_EQ(Read(abyFile, &oEmpty).oDecoded.m_aLines, aPlain);
    EXPECT_EQ(aPlain.front(), "0 program_change 0 05");

    // Format 0: the map of track 0.
    const Bytes abyFormat0 =
        Cat({Header(0, 1, 384), Track({0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x64, 0x00, 0xB1, 0x07, 0x64, 0x60, 0x80,
                                       0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00})});
    CSmfChannelMap oFormat0;
    oFormat0.Set(0, 0, 9);
    oFormat0.Set(0, 1, CSmfChannelMap::DROP);
    oResult = Read(abyFormat0, &oFormat0);
    ASSERT_TRUE(oResult.bOpened);
    EXPECT_EQ(oResult.oDecoded.m_aLines,
              Lines({"0 program_change 9 05", "0 note_on 9 3C 64", "96 note_off 9 3C 40", "96 meta 2F -"}));
    EXPECT_TRUE(oCapture.Empty());
}

// The merge reads a track as the decoder reads it, damaged ones too: a
// format-0 file read through the merge (an empty map) gives the events of
// the direct decode, except the null events of messages the decoder leaves
// out, and an end of track where the decode stopped at damage.
TEST(SmfMerge, TheMergeReadsTracksAsTheDecoderDoes)
{
    const DWORD dwSeed = 20260;
    std::mt19937 oRandom(dwSeed);
    const BYTE abyInteresting[] = {0x00, 0x7F, 0x80, 0x81, 0x90, 0xB0, 0xC0, 0xF0, 0xF4,
                                   0xF7, 0xFF, 0x7E, 0x2F, 0x42, 0x60, 0x03, 0x01};
    auto WithoutNulls = [](Lines aLines) {
        aLines.erase(std::remove_if(aLines.begin(), aLines.end(),
                                    [](const std::string& s) { return s.find(" null") != std::string::npos; }),
                     aLines.end());
        return aLines;
    };
    const CSmfChannelMap oIdentity;
    int iEnded = 0;
    CReportCapture oCapture;
    const Bytes abySample = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xC9, 0x05, 0x00, 0x99, 0x24, 0x64,
                             0x00, 0x2A, 0x50, 0x60, 0x24, 0x00, 0x00, 0xB0, 0x07, 0x64, 0x00, 0xF0, 0x03, 0x43,
                             0x10, 0xF7, 0x10, 0x90, 0x3C, 0x40, 0x00, 0xFF, 0x7F, 0x05, 0x42, 0x60, 0x08, 0x01,
                             0x02, 0x81, 0x00, 0xE0, 0x00, 0x40, 0x00, 0xFF, 0x01, 0x01, 'A',  0x00, 0xF7, 0x02,
                             0x01, 0xF7, 0x00, 0x80, 0x3C, 0x90, 0x83, 0x00, 0xFF, 0x2F, 0x00};
    for (int iCase = 0; iCase < 1500; ++iCase)
    {
        // Random bytes, or the sample with a few bytes changed.
        Bytes abyTrack = abySample;
        if (iCase % 2)
        {
            abyTrack.resize(oRandom() % 120);
            for (BYTE& rby : abyTrack)
                rby = oRandom() % 2 ? BYTE(oRandom() % 0x80) : abyInteresting[oRandom() % sizeof abyInteresting];
            abyTrack.insert(abyTrack.end(), {0x00, 0xFF, 0x2F, 0x00});
        }
        else
            for (int i = 1 + int(oRandom() % 3); i > 0; --i)
                abyTrack[oRandom() % abyTrack.size()] =
                    oRandom() % 2 ? BYTE(oRandom()) : abyInteresting[oRandom() % sizeof abyInteresting];
        // Divisions of 384 and more: no converted delta reaches the cap of
        // CDecStream, which would cut a merged delta differently.
        const Bytes abyFile = Cat({Header(0, 1, WORD(384 + oRandom() % 600)), Track(abyTrack)});

        const SReadResult oDirect = Read(abyFile);
        const SReadResult oMerged = Read(abyFile, &oIdentity);
        ASSERT_TRUE(oDirect.bOpened && oMerged.bOpened);
        ASSERT_TRUE(oMerged.oDecoded.m_bEnded) << "seed " << dwSeed << " case " << iCase;
        Lines aMerged = WithoutNulls(oMerged.oDecoded.m_aLines);
        if (!oDirect.oDecoded.m_bEnded)
            aMerged.pop_back();
        ASSERT_EQ(aMerged, WithoutNulls(oDirect.oDecoded.m_aLines)) << "seed " << dwSeed << " case " << iCase;
        iEnded += oDirect.oDecoded.m_bEnded;
        oCapture.Clear();
    }
    // Both kinds of track are met.
    EXPECT_GT(iEnded, 200);
    EXPECT_LT(iEnded, 1300);
}

} // namespace
