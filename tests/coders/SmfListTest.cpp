// SmfListTest.cpp -- the listing of a MIDI file's events: bars and beats by
// the file's own time signatures, note names, and a damaged track listed as
// far as the scan reads it.
#include "MidiInOut/SmfList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string At(const CSmfBarClock& rkoClock, std::uint64_t qwTick)
{
    const CSmfBarPosition oAt = rkoClock.Locate(qwTick);
    return std::to_string(oAt.m_qwBar) + ":" + std::to_string(oAt.m_qwBeat) + ":" + std::to_string(oAt.m_qwTick);
}

} // namespace

// 4/4 at 120 ticks a quarter, then 3/8 from tick 720, half way into bar
// 2, which ends there; 2/2 from two bars of 3/8 (2 x 180 ticks) later.
TEST(SmfList, BarsFollowTheTimeSignatures)
{
    const CSmfBarClock oClock({{720, 3, 3}, {1080, 2, 1}}, 120);
    EXPECT_EQ(At(oClock, 0), "1:1:0");
    EXPECT_EQ(At(oClock, 479), "1:4:119");
    EXPECT_EQ(At(oClock, 600), "2:2:0");
    EXPECT_EQ(At(oClock, 720), "3:1:0");
    EXPECT_EQ(At(oClock, 779), "3:1:59");
    EXPECT_EQ(At(oClock, 780), "3:2:0");
    EXPECT_EQ(At(oClock, 900), "4:1:0");
    EXPECT_EQ(At(oClock, 1080), "5:1:0");
    EXPECT_EQ(At(oClock, 1080 + 240 + 5), "5:2:5");
    // Without time signatures, and with a division of 0: 4/4, one tick a quarter at least.
    EXPECT_EQ(At(CSmfBarClock({}, 0), 9), "3:2:0");
}

TEST(SmfList, NoteNamesCountC4AsSixty)
{
    EXPECT_EQ(SmfNoteName(60), "C4");
    EXPECT_EQ(SmfNoteName(61), "C#4");
    EXPECT_EQ(SmfNoteName(0), "C-1");
    EXPECT_EQ(SmfNoteName(127), "G9");
    EXPECT_EQ(SmfNoteName(128), "");
}

// A format-1 file whose second track is cut inside a note: the first
// track whole with its end, the second as far as its last whole event.
TEST(SmfList, ADamagedTrackIsListedAsFarAsItReads)
{
    const std::vector<BYTE> abyFile = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6,  0,    1,    0,  2,   0,  96,   'M',
        'T', 'r', 'k', 0,   0, 0, 8, 0,  0xFF, 0x58, 2,  6,   3,  0,    0xFF, // cut: 0x2F 00 missing
        'M', 'T', 'r', 'k', 0, 0, 0, 12, 0,    0x99, 36, 100, 96, 0x89, 36};
    CSmfListing oListing;
    EXPECT_FALSE(SmfListFile(abyFile.data(), DWORD(abyFile.size()), oListing));
    std::vector<std::string> astrKinds;
    for (const CSmfListedEvent& rkoEvent : oListing.m_aoEvents)
        astrKinds.push_back(std::to_string(rkoEvent.m_wTrack) + " " + rkoEvent.m_pszKind);
    EXPECT_EQ(astrKinds, (std::vector<std::string>{"1 time_signature", "2 note_on"}));
    ASSERT_EQ(oListing.m_aoTimeSigs.size(), 1u);
    EXPECT_EQ(oListing.m_aoEvents[0].m_strData, "6/8");
    EXPECT_EQ(oListing.m_aoEvents[1].m_byChannel, 10);
    EXPECT_EQ(oListing.m_aoEvents[1].m_iKey, 36);
}
