// QdRollTest.cpp -- the piano roll: its notes and lanes are those of the
// chord variation's export read back with the import's MIDI decoder
// (CMidiIn, CDecSMF0), its grid the element's; the pairing of overlapping
// notes; the layout and the SVG's text. (qdstyle roll on the demo bank, its
// SVG parsed as XML and counted against mido, is tested end to end in
// tests/e2e/test_qdstyle.py.)
#include "DocFixtures.h"

#include "BankDoc/QdRoll.h"
#include "BankDoc/QdRollLayout.h"
#include "BankDoc/QdRollSvg.h"
#include "BankDoc/QdXmlWriter.h"
#include "Kernel/RTEvents/EventList.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "MidiInOut/MidiInOut.h"
#include "NlzdStyle/NstEditIfc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <tuple>

using namespace DocFixtures;
using StyleBuilder::Note;

namespace {

constexpr BYTE DRUM = 0;
constexpr BYTE BASS = 2;
constexpr BYTE ACC1 = 3;
constexpr BYTE INTRO1 = 4;

// RollStyle -- "Variation 1" in 3/4, two measures: drums (one key outside
// the General MIDI map), a bass with two overlapping notes of one key and a
// note longer than the pattern; "Intro 1" in 4/4, two measures: a one-measure
// Acc. 1 pattern, repeated by the export, with modulation and pitch bend.
StyleBuilder::CTestStyle RollStyle()
{
    StyleBuilder::CTestStyle oStyle;
    oStyle.m_strName = "Roll";
    StyleBuilder::AddFlatChordVar(
        oStyle, 0, 0, 2304,
        {{DRUM, {Note(0, 36, 192), Note(576, 38, 96, 80), Note(576, 42, 48, 60), Note(1152, 30, 96)}},
         {BASS, {Note(0, 40, 768), Note(384, 40, 192, 90), Note(1536, 43, 2000)}}});
    oStyle.m_aoElements[0]->m_bySignature = BYTE(3 << 3 | 2);
    StyleBuilder::AddFlatChordVar(
        oStyle, INTRO1, 0, 3072,
        {{ACC1,
          {Note(0, 60, 384), CEvRec::Chn(0, EVSC_CTRL_CHANGE, 0, 1, 0), Note(384, 64, 384),
           CEvRec::Chn(768, EVSC_CTRL_CHANGE, 0, 1, 100), CEvRec::Chn(768, EVSC_PITCH_B_CHANGE, 0, 0x00, 0x50),
           Note(768, 67, 384), CEvRec::Chn(1152, EVSC_PITCH_B_CHANGE, 0, 0x00, 0x40)},
          1536}});
    return oStyle;
}

// CReadBack -- notes and lanes of a MIDI file as the import's decoder reads
// it, notes paired per channel and key first in, first out; lanes by
// (track, kind, controller).
struct CReadBack
{
    std::vector<CQdRollNote> m_aoNotes;
    std::map<std::tuple<int, int, int>, std::vector<CQdRollPoint>> m_aoLanes;
    TTICK m_tEnd = 0;
};

CReadBack ReadBack(const Bytes& rkabyFile)
{
    CReadBack oBack;
    CMidiIn oIn(rkabyFile.data(), DWORD(rkabyFile.size()));
    EXPECT_TRUE(oIn.Open());
    if (!oIn.GetDecoder())
        return oBack;
    CDecSMF0& roDecoder = *oIn.GetDecoder();
    std::map<std::pair<int, int>, std::deque<std::size_t>> aoOpen;
    TDELTA sdwDelta = roDecoder.Rewind();
    while (sdwDelta != NO_DELTA && !roDecoder.IsEndOfStream())
    {
        CEventList oList;
        sdwDelta = roDecoder.ExtractEvents(oList);
        const TTICK tTick = roDecoder.GetTick();
        oBack.m_tEnd = std::max(oBack.m_tEnd, tTick);
        for (const CLinkedEvent* poEvent = oList.Get(); poEvent; poEvent = poEvent->Next())
        {
            if (poEvent->GetClass() != EC_CHMSG)
                continue;
            const BYTE byChannel = poEvent->GetTrack();
            const int iTrack = int(std::find(std::begin(NST_TRACK_CHANNELS), std::end(NST_TRACK_CHANNELS), byChannel) -
                                   std::begin(NST_TRACK_CHANNELS));
            const BYTE byData1 = poEvent->GetData1();
            const BYTE byData2 = poEvent->GetData2();
            std::deque<std::size_t>& raOpen = aoOpen[{byChannel, byData1}];
            switch (poEvent->GetCode())
            {
            case EVSC_NOTEON: // the decoder makes velocity 0 a note-off
                raOpen.push_back(oBack.m_aoNotes.size());
                oBack.m_aoNotes.push_back({BYTE(iTrack), byChannel, byData1, byData2, tTick, tTick});
                break;
            case EVSC_NOTEOFF:
                if (!raOpen.empty())
                {
                    oBack.m_aoNotes[raOpen.front()].m_tEnd = tTick;
                    raOpen.pop_front();
                }
                break;
            case EVSC_CTRL_CHANGE:
                oBack.m_aoLanes[{iTrack, QD_LANE_CONTROLLER, byData1}].push_back({tTick, byData2});
                break;
            case EVSC_PITCH_B_CHANGE:
                oBack.m_aoLanes[{iTrack, QD_LANE_PITCH_BEND, 0}].push_back({tTick, (byData2 << 7 | byData1) - 8192});
                break;
            default:
                break;
            }
        }
    }
    return oBack;
}

struct CRollCase
{
    const char* m_pszName;
    BYTE m_bySe;
    BYTE m_byTrack;
    BYTE m_byNumerator;
    TTICK m_tLength;
    DWORD m_dwMeasures;
    std::size_t m_uBands;
};

class CRollTest : public CBankDocTest, public ::testing::WithParamInterface<CRollCase>
{
protected:
    void SetUp() override
    {
        StyleBuilder::CTestBank oBank;
        oBank.m_aoSlots = {StyleBuilder::StyleSlot(RollStyle())};
        oBank.m_astrNames = {"Roll"};
        OpenBank(oBank);
        m_oDoc.SelectStyle(0);
    }
};

TEST_P(CRollTest, NotesLanesAndGridAreThoseOfTheExport)
{
    const CRollCase& rkoCase = GetParam();
    CQdRoll oRoll;
    ASSERT_TRUE(m_oDoc.BuildRoll(rkoCase.m_bySe, 0, rkoCase.m_byTrack, oRoll));
    const std::string strFile = m_oDir.Path("cv.mid");
    ASSERT_TRUE(m_oDoc.ExportChordVarFile(rkoCase.m_bySe, 0, rkoCase.m_byTrack, strFile));
    const CReadBack oBack = ReadBack(ReadFile(strFile));

    EXPECT_FALSE(oRoll.m_aoNotes.empty());
    EXPECT_EQ(oRoll.m_aoNotes, oBack.m_aoNotes);
    std::map<std::tuple<int, int, int>, std::vector<CQdRollPoint>> aoLanes;
    for (const CQdRollLane& rkoLane : oRoll.m_aoLanes)
        if (rkoLane.m_eKind != QD_LANE_PRESSURE)
            aoLanes[{rkoLane.m_byTrack, rkoLane.m_eKind, rkoLane.m_byController}] = rkoLane.m_aoPoints;
    EXPECT_EQ(aoLanes, oBack.m_aoLanes);
    EXPECT_EQ(oRoll.m_dwStrayNoteOffs + oRoll.m_dwNotesEndedAtEnd + oRoll.m_dwOtherChannels, 0u);

    const CQdRollGrid& rkoGrid = oRoll.m_oGrid;
    EXPECT_EQ(rkoGrid.m_oTimeSig.m_byNumerator, rkoCase.m_byNumerator);
    EXPECT_EQ(rkoGrid.m_tTicksPerBeat, NST_TICKS_PER_QUARTER);
    EXPECT_EQ(rkoGrid.m_tTicksPerMeasure, rkoCase.m_byNumerator * NST_TICKS_PER_QUARTER);
    EXPECT_EQ(rkoGrid.m_tLength, rkoCase.m_tLength);
    EXPECT_EQ(rkoGrid.m_tLength, oBack.m_tEnd);
    EXPECT_EQ(rkoGrid.m_dwMeasures, rkoCase.m_dwMeasures);

    // Every note lies in its track's band, on its key's row, in the time axis.
    const CQdRollLayout oLayout(oRoll);
    EXPECT_EQ(oLayout.GetBands().size(), rkoCase.m_uBands);
    for (const CQdRollNote& rkoNote : oRoll.m_aoNotes)
    {
        const CQdRollRect oRect = oLayout.NoteRect(rkoNote);
        const CQdRollBand* pkoBand = oLayout.FindBand(rkoNote.m_byTrack);
        ASSERT_NE(pkoBand, nullptr);
        EXPECT_GE(oRect.m_dX, oLayout.GetTimeLeft());
        EXPECT_LE(oRect.m_dX + oRect.m_dWidth, oLayout.GetTimeRight() + 1);
        EXPECT_GT(oRect.m_dY, pkoBand->m_dRowsTop);
        EXPECT_LT(oRect.m_dY + oRect.m_dHeight, pkoBand->m_dBottom);
    }
    // A measure line per measure, a beat line per other beat, the end.
    EXPECT_EQ(oLayout.GetGridLines().size(), rkoCase.m_dwMeasures * rkoCase.m_byNumerator + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Roll, CRollTest,
    ::testing::Values(CRollCase{"AllTracksIn3_4", 0, NST_ALL_TRACKS, 3, 2304, 2, 2},
                      CRollCase{"BassWithOverlapsAndALongNote", 0, BASS, 3, 2304, 2, 1},
                      CRollCase{"DrumAlone", 0, DRUM, 3, 2304, 2, 1},
                      CRollCase{"RepeatedPatternWithLanesIn4_4", INTRO1, NST_ALL_TRACKS, 4, 3072, 2, 1}),
    [](const ::testing::TestParamInfo<CRollCase>& rkoInfo) { return std::string(rkoInfo.param.m_pszName); });

// A MIDI file of one track of channel messages (delta, status, data...).
Bytes SmfOf(const Bytes& rkabyEvents)
{
    Bytes abyFile = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
    abyFile.insert(abyFile.end(), rkabyEvents.begin(), rkabyEvents.end());
    abyFile.insert(abyFile.end(), {0x00, 0xFF, 0x2F, 0x00});
    abyFile[21] = BYTE(abyFile.size() - 22);
    return abyFile;
}

TEST(QdRollPairing, OverlappingNotesOfAKeyEndFirstInFirstOut)
{
    // Bass (channel 9): key 40 on at 0 and 100, off at 200 and 300 (the
    // second as a note-on of velocity 0); key 41 never ends; a note-off of
    // key 42 that nothing started; a note on channel 1, of no track.
    const Bytes abyFile = SmfOf({0x00, 0x98, 40, 100, 0x64, 0x98, 40, 90, 0x64, 0x88, 40, 64, 0x64, 0x98, 40, 0,
                                 0x00, 0x98, 41, 70, 0x00, 0x88, 42, 64, 0x00, 0x90, 60, 100, 0x64, 0x80, 60, 0});
    CQdRoll oRoll;
    ASSERT_TRUE(QdRollFromSmf(abyFile.data(), DWORD(abyFile.size()), CNstTimeSig{3, 2}, NST_ALL_TRACKS, oRoll));
    const std::vector<CQdRollNote> aoExpected = {
        {BASS, 8, 40, 100, 0, 200}, {BASS, 8, 40, 90, 100, 300}, {BASS, 8, 41, 70, 300, 400}};
    EXPECT_EQ(oRoll.m_aoNotes, aoExpected);
    EXPECT_EQ(oRoll.m_dwStrayNoteOffs, 1u);
    EXPECT_EQ(oRoll.m_dwNotesEndedAtEnd, 1u);
    EXPECT_EQ(oRoll.m_dwOtherChannels, 2u);
    EXPECT_EQ(oRoll.m_oGrid.m_tLength, 400u);
    EXPECT_EQ(oRoll.m_oGrid.PositionText(1152 + 384 + 5), "2:2:5");
    // A file cut inside its track is read up to the damage.
    const Bytes abyCut(abyFile.begin(), abyFile.begin() + 28);
    EXPECT_FALSE(QdRollFromSmf(abyCut.data(), DWORD(abyCut.size()), CNstTimeSig(), NST_ALL_TRACKS, oRoll));
    EXPECT_EQ(oRoll.m_aoNotes.size(), 1u);
}

TEST(QdRollNames, DrumNamesOnTheRhythmTracksNoteNamesElsewhere)
{
    EXPECT_EQ(QdRollKeyName(DRUM, 36), "Bass Drum 1");
    EXPECT_EQ(QdRollKeyName(1, 81), "Open Triangle");
    EXPECT_EQ(QdRollKeyName(DRUM, 30), "Key 30");
    EXPECT_EQ(QdRollKeyName(BASS, 60), "C4");
    EXPECT_EQ(QdRollKeyName(ACC1, 61), "C#4");
}

TEST(QdRollSvgText, EscapedAndOneRectPerNote)
{
    EXPECT_EQ(QdXmlEscape("a<b & \"c\" 'd'>", false), "a&lt;b &amp; \"c\" 'd'&gt;");
    EXPECT_EQ(QdXmlEscape("\"c\"\t'd'\n", true), "&quot;c&quot;&#9;&apos;d&apos;&#10;");
    // A control character, a byte that is no UTF-8 and a surrogate become U+FFFD.
    EXPECT_EQ(QdXmlEscape("x\x01y\xFFz\xED\xA0\x80", false), "x\xEF\xBF\xBDy\xEF\xBF\xBDz\xEF\xBF\xBD");
    EXPECT_EQ(QdXmlEscape("Caf\xC3\xA9", true), "Caf\xC3\xA9");
    EXPECT_EQ(QdXmlNumber(12.504), "12.5");
    EXPECT_EQ(QdXmlNumber(-0.001), "0");
    EXPECT_EQ(QdXmlNumber(3), "3");

    CQdRoll oRoll;
    oRoll.m_oGrid.m_tLength = 1536;
    oRoll.m_oGrid.m_dwMeasures = 1;
    oRoll.m_aoNotes = {{DRUM, 9, 36, 100, 0, 96}, {BASS, 8, 40, 100, 0, 0}};
    const std::string strSvg = QdRollSvg(CQdRollLayout(oRoll), "Rock & <Roll>");
    std::size_t uRects = 0;
    for (std::size_t uAt = strSvg.find("<rect "); uAt != std::string::npos; uAt = strSvg.find("<rect ", uAt + 1))
        ++uRects;
    EXPECT_EQ(uRects, 2u);
    EXPECT_NE(strSvg.find("<title>Rock &amp; &lt;Roll&gt;</title>"), std::string::npos);
    EXPECT_NE(strSvg.find("<title>Drum: Bass Drum 1 (36), velocity 100, start 1:1:0, length 96</title>"),
              std::string::npos);
    EXPECT_EQ(strSvg, QdRollSvg(CQdRollLayout(oRoll), "Rock & <Roll>"));
}

// The window's roll of a node: a chord variation with every track in full
// colour, a track node the same roll with that track picked out.
class CRollNodeTest : public CBankDocTest
{
protected:
    void SetUp() override
    {
        StyleBuilder::CTestBank oBank;
        oBank.m_aoSlots = {StyleBuilder::StyleSlot(RollStyle())};
        oBank.m_astrNames = {"Roll"};
        OpenBank(oBank);
        m_oDoc.SelectStyle(0);
    }
};

TEST_F(CRollNodeTest, ATrackNodeShowsItsChordVariationWithTheOtherTracksFaint)
{
    CQdTreeNode oNode;
    oNode.m_byKind = CQdTreeNode::KIND_CHORD_VAR;
    CQdRoll oChordVar;
    ASSERT_TRUE(m_oDoc.BuildNodeRoll(oNode, oChordVar));
    EXPECT_EQ(oChordVar.m_byHighlight, NST_ALL_TRACKS);
    EXPECT_EQ(oChordVar.m_bySe, 0);
    EXPECT_EQ(oChordVar.m_byCv, 0);
    const CQdRollLayout oAll(oChordVar);
    EXPECT_FALSE(oAll.IsFaint(DRUM) || oAll.IsFaint(BASS));

    oNode.m_byKind = CQdTreeNode::KIND_TRACK;
    oNode.m_byTrack = BASS;
    CQdRoll oTrack;
    ASSERT_TRUE(m_oDoc.BuildNodeRoll(oNode, oTrack));
    EXPECT_EQ(oTrack.m_byHighlight, BASS);
    EXPECT_EQ(oTrack.m_byTrack, NST_ALL_TRACKS);
    EXPECT_EQ(oTrack.m_aoNotes, oChordVar.m_aoNotes);
    const CQdRollLayout oPicked(oTrack);
    EXPECT_TRUE(oPicked.IsFaint(DRUM));
    EXPECT_FALSE(oPicked.IsFaint(BASS));
    EXPECT_EQ(oPicked.GetBands().size(), oAll.GetBands().size());

    // Other nodes have no roll.
    oNode.m_byKind = CQdTreeNode::KIND_ELEMENT;
    EXPECT_FALSE(m_oDoc.BuildNodeRoll(oNode, oTrack));
    EXPECT_TRUE(oTrack.m_aoNotes.empty());
}

TEST(QdRollLayoutPoints, TheNoteAtAPointIsTheOneDrawnOnTop)
{
    CQdRoll oRoll;
    oRoll.m_oGrid.m_tLength = 1536;
    oRoll.m_oGrid.m_dwMeasures = 1;
    // Two drum notes of one key overlapping from tick 48 to 96; a bass note.
    oRoll.m_aoNotes = {{DRUM, 9, 36, 100, 0, 96}, {DRUM, 9, 36, 50, 48, 200}, {BASS, 8, 40, 127, 0, 384}};
    const CQdRollLayout oLayout(oRoll);
    auto fnAt = [&](BYTE byTrack, BYTE byKey, TTICK tTick) {
        const CQdRollBand* pkoBand = oLayout.FindBand(byTrack);
        const CQdRollNote oProbe{byTrack, 0, byKey, 0, tTick, tTick};
        return oLayout.NoteAt(oLayout.TickToX(tTick) + 0.5, oLayout.NoteRect(oProbe).m_dY + 2) +
               (pkoBand ? 0 : 1000);
    };
    const struct
    {
        BYTE m_byTrack;
        BYTE m_byKey;
        TTICK m_tTick;
        int m_iNote;
    } akoCases[] = {
        {DRUM, 36, 10, 0}, {DRUM, 36, 60, 1}, {DRUM, 36, 150, 1}, {DRUM, 36, 300, -1},
        {BASS, 40, 383, 2}, {BASS, 40, 384, -1},
    };
    for (const auto& rkoCase : akoCases)
        EXPECT_EQ(fnAt(rkoCase.m_byTrack, rkoCase.m_byKey, rkoCase.m_tTick), rkoCase.m_iNote) << rkoCase.m_tTick;
    // The key column, the ruler and the gap between bands hold no note.
    const CQdRollBand& rkoDrums = *oLayout.FindBand(DRUM);
    EXPECT_EQ(oLayout.NoteAt(oLayout.GetTimeLeft() - 20, rkoDrums.m_aoRows[0].m_dTop + 2), -1);
    EXPECT_EQ(oLayout.NoteAt(oLayout.TickToX(10), oLayout.GetRulerTop() + 2), -1);
    EXPECT_EQ(oLayout.NoteAt(oLayout.TickToX(10), rkoDrums.m_dBottom + 2), -1);
    EXPECT_EQ(QdRollNoteText(oRoll.m_oGrid, oRoll.m_aoNotes[2]), "Bass: E2 (40), velocity 127, start 1:1:0, length 384");
}

TEST(QdRollColours, VelocityShadesTowardsWhiteAndOtherTracksFade)
{
    const CQdRgb oWhite = QdRollColours::BACKGROUND;
    EXPECT_EQ(QdRollMix({0, 0, 0}, oWhite, 0.5), (CQdRgb{128, 128, 128}));
    EXPECT_EQ(QdRollNoteColour(BASS, 127, false), QdRollTrackColour(BASS));
    EXPECT_EQ(QdRollNoteColour(BASS, 0, false), QdRollMix(QdRollTrackColour(BASS), oWhite, 0.65));
    // Softer is lighter, a faint track lighter still.
    auto fnLight = [](const CQdRgb& rkoRgb) { return rkoRgb.m_byRed + rkoRgb.m_byGreen + rkoRgb.m_byBlue; };
    EXPECT_LT(fnLight(QdRollNoteColour(BASS, 127, false)), fnLight(QdRollNoteColour(BASS, 64, false)));
    EXPECT_LT(fnLight(QdRollNoteColour(BASS, 64, false)), fnLight(QdRollNoteColour(BASS, 1, false)));
    EXPECT_LT(fnLight(QdRollNoteColour(BASS, 127, false)), fnLight(QdRollNoteColour(BASS, 127, true)));
    EXPECT_EQ(QdRollNoteColour(BASS, 127, true), QdRollShade(BASS, true));
    EXPECT_NE(QdRollShade(BASS, true), oWhite);
}

TEST(QdRollGridLoop, ThePlayersTickWrapsWithinThePattern)
{
    CQdRollGrid oGrid;
    oGrid.m_tLength = 2304;
    const struct
    {
        long m_lTick;
        TTICK m_tAt;
    } akoCases[] = {{-5, 0}, {0, 0}, {100, 100}, {2303, 2303}, {2304, 0}, {3 * 2304 + 7, 7}};
    for (const auto& rkoCase : akoCases)
        EXPECT_EQ(oGrid.LoopTick(rkoCase.m_lTick), rkoCase.m_tAt) << rkoCase.m_lTick;
    oGrid.m_tLength = 0;
    EXPECT_EQ(oGrid.LoopTick(500), 0u);
}

} // namespace
