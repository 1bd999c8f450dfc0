// ChordVarIoTest.cpp -- a chord variation to and from Standard MIDI Files:
// the exact bytes of an export, tick-0 parameters, repetition and measure
// fitting, cleaning at the chord variation's end; the import's freshness
// rule, channel map, filter, 16-measure limit with held notes closed there,
// length fitting, damaged files and refused indices.
#include "EditTestTools.h"
#include "NlzdStyle/NstQdIfc.h"
#include "ReportCapture.h"
#include "StyleBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using namespace EditTestTools;

const std::string kstrModel = "NlzdStyle/NlzdStyle";
const std::string kstrEditIfc = "NlzdStyle/NstEditIfc";

constexpr BYTE kbyDrum = 0, kbyBass = 2, kbyAcc1 = 3, kbyAcc2 = 4;

// CTrackBytes -- the events of a file's track, written by hand: each event
// at an absolute tick, in rising order; File() adds the end of track.
class CTrackBytes
{
public:
    CTrackBytes& At(TTICK tTick, std::initializer_list<BYTE> aby)
    {
        DWORD dwDelta = tTick - m_tLast;
        m_tLast = tTick;
        BYTE abyDelta[4];
        int i = 0;
        abyDelta[i++] = BYTE(dwDelta & 0x7F);
        while (dwDelta >>= 7)
            abyDelta[i++] = BYTE(0x80 | (dwDelta & 0x7F));
        while (i > 0)
            m_aby.push_back(abyDelta[--i]);
        m_aby.insert(m_aby.end(), aby);
        return *this;
    }
    // The file: header, and the track with (tEnd given) or without an end of track.
    Bytes File(TTICK tEnd, bool bEnd = true) const
    {
        CTrackBytes oTrack(*this);
        if (bEnd)
            oTrack.At(tEnd, {0xFF, 0x2F, 0x00});
        const DWORD dwTrack = DWORD(oTrack.m_aby.size());
        const BYTE abyHeader[22] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k',
                                    BYTE(dwTrack >> 24), BYTE(dwTrack >> 16), BYTE(dwTrack >> 8), BYTE(dwTrack)};
        Bytes aby(22 + oTrack.m_aby.size());
        std::copy(abyHeader, abyHeader + 22, aby.begin());
        std::copy(oTrack.m_aby.begin(), oTrack.m_aby.end(), aby.begin() + 22);
        return aby;
    }

private:
    Bytes m_aby;
    TTICK m_tLast = 0;
};

bool Import(CNstEditIfc& roEdit, const Bytes& rkabyFile, BYTE bySe, BYTE byCv, BYTE byPNr = NST_ALL_TRACKS)
{
    return roEdit.ImportFromSmf(rkabyFile.data(), DWORD(rkabyFile.size()), bySe, byCv, byPNr, false);
}

CNstChordVar& ChordVar(CNstEditIfc& roEdit, BYTE bySe, BYTE byCv)
{
    return *roEdit.GetStyle().GetStyleElem(bySe)->GetChordVar(byCv);
}

// SetPattern -- the track's pattern holds the events (on track 0) and ends at tTicks.
CNstPattern& SetPattern(CNstEditIfc& roEdit, BYTE bySe, BYTE byCv, BYTE byTrack, const std::vector<CEvRec>& raoEvents,
                        TTICK tTicks)
{
    CNstPattern& roPattern = *ChordVar(roEdit, bySe, byCv).GetPattern(byTrack);
    const Bytes aby = StyleBuilder::MakeCompactStream(raoEvents, tTicks);
    roPattern.SetData(aby.data(), DWORD(aby.size()), tTicks);
    return roPattern;
}

CEvRec Cc(TTICK tTick, BYTE byController, BYTE byValue)
{
    return CEvRec::Chn(tTick, EVSC_CTRL_CHANGE, 0, byController, byValue);
}

bool HasShutNotesReport(const CReportCapture& rkoReports)
{
    return std::any_of(rkoReports.Texts().begin(), rkoReports.Texts().end(),
                       [](const std::string& str) { return str.find("ShutNotes") != std::string::npos; });
}

// ---------------------------------------------------------------------------
// Export
// ---------------------------------------------------------------------------

// An empty chord variation still exports the Drum track's parameters; the
// file's bytes are fixed to the last byte, and the tempo decides the Set
// Tempo event alone.
TEST(ChordVarExport, EmptyChordVarGoldenBytes)
{
    CNstEditIfc oEdit(nullptr, 0);
    const Bytes kabyHeader = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k'};
    const Bytes kabyTempo120 = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
    // Variation 1 is 4/4 with 2 measures; the Drum parameters of a new
    // element: Expression 100, bank 120/0, program 0; the end at 3072.
    const Bytes kabyRest = {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xB9, 0x0B, 0x64, 0x00, 0x00, 0x78,
                            0x00, 0x20, 0x00, 0x00, 0xC9, 0x00, 0x98, 0x00, 0xFF, 0x2F, 0x00};

    auto Expected = [&](const Bytes& rkabyTempo) {
        Bytes aby = kabyHeader;
        const DWORD dwTrack = DWORD(rkabyTempo.size() + kabyRest.size());
        aby.insert(aby.end(), {0, 0, 0, BYTE(dwTrack)});
        aby.insert(aby.end(), rkabyTempo.begin(), rkabyTempo.end());
        aby.insert(aby.end(), kabyRest.begin(), kabyRest.end());
        return aby;
    };

    EXPECT_EQ(ExportFile(oEdit, 0, 0, NST_ALL_TRACKS), Expected(kabyTempo120));
    EXPECT_EQ(oEdit.GetPatternState(0, 0, kbyDrum), NST_STATE_EMPTY);
    EXPECT_EQ(oEdit.GetPatternState(0, 0, kbyBass), NST_STATE_ABSENT);

    oEdit.SetTempo(19);
    EXPECT_EQ(ExportFile(oEdit, 0, 0, NST_ALL_TRACKS), Expected({}));
    oEdit.SetTempo(20); // 3000000 microseconds
    EXPECT_EQ(ExportFile(oEdit, 0, 0, NST_ALL_TRACKS), Expected({0x00, 0xFF, 0x51, 0x03, 0x2D, 0xC6, 0xC0}));
}

// Parameters come from the element, per track in use, on the track's
// channel, after tempo and time signature; a 6/8 element writes clocks 12.
TEST(ChordVarExport, TickZeroParametersPerTrackInUse)
{
    CNstEditIfc oEdit(nullptr, 0);
    CNstStyleElem& roElem = *oEdit.GetStyle().GetStyleElem(6);
    roElem.SetTimeSig({6, 3});
    ChordVar(oEdit, 6, 1);
    SetPattern(oEdit, 6, 1, kbyBass, {StyleBuilder::Note(0, 40, 100)}, 1152);
    SetPattern(oEdit, 6, 1, 7, {StyleBuilder::Note(96, 70, 100)}, 1152);
    *roElem.GetTrackParam(kbyBass) = {90, 1, 2, 33, 21, 108};
    *roElem.GetTrackParam(7) = {80, 3, 4, 55, 21, 108};

    const Lines aLines = FileLines(ExportFile(oEdit, 6, 1, NST_ALL_TRACKS));
    const Lines aExpectedStart = {"0 meta 51 07A120",          "0 meta 58 06030C08",         "0 control_change 8 0B 5A",
                                  "0 control_change 8 00 01",  "0 control_change 8 20 02",   "0 program_change 8 21",
                                  "0 control_change 15 0B 50", "0 control_change 15 00 03",  "0 control_change 15 20 04",
                                  "0 program_change 15 37",    "0 note_on 8 28 64"};
    ASSERT_GE(aLines.size(), aExpectedStart.size());
    EXPECT_EQ(Lines(aLines.begin(), aLines.begin() + aExpectedStart.size()), aExpectedStart);
    EXPECT_EQ(NoteOns(aLines, 15), std::vector<TTICK>{96});
    EXPECT_EQ(aLines.back(), "1152 meta 2F -");

    // One track: only its parameters.
    const Lines aBass = FileLines(ExportFile(oEdit, 6, 1, kbyBass));
    EXPECT_TRUE(TicksOf(aBass, "control_change 15").empty());
    EXPECT_EQ(TicksOf(aBass, "program_change 8"), std::vector<TTICK>{0});
}

// A one-measure pattern in a four-measure chord variation is repeated to the
// chord variation's length when all tracks go out; alone it keeps its own
// measures. Three measures round up to four, the nearest divisor of 4, and
// the pattern keeps the fitted count.
TEST(ChordVarExport, RepetitionAndMeasureFitting)
{
    CNstEditIfc oEdit(nullptr, 0);
    CNstChordVar& roCv = ChordVar(oEdit, 0, 0);
    roCv.SetMeasures(4);
    roCv.SetLength(6144);
    CNstPattern& roDrum =
        SetPattern(oEdit, 0, 0, kbyDrum, {StyleBuilder::Note(0, 36, 100), StyleBuilder::Note(768, 38, 100)}, 1536);
    roDrum.SetMeasures(1);

    const Lines aAll = FileLines(ExportFile(oEdit, 0, 0, NST_ALL_TRACKS));
    EXPECT_EQ(NoteOns(aAll, 9), (std::vector<TTICK>{0, 768, 1536, 2304, 3072, 3840, 4608, 5376}));
    EXPECT_EQ(aAll.back(), "6144 meta 2F -");

    const Lines aAlone = FileLines(ExportFile(oEdit, 0, 0, kbyDrum));
    EXPECT_EQ(NoteOns(aAlone, 9), (std::vector<TTICK>{0, 768}));
    EXPECT_EQ(aAlone.back(), "1536 meta 2F -");
    EXPECT_EQ(roDrum.GetMeasures(), 1);

    CNstPattern& roBass = SetPattern(oEdit, 0, 0, kbyBass,
                                     {StyleBuilder::Note(0, 40, 100), StyleBuilder::Note(1536, 41, 100),
                                      StyleBuilder::Note(3072, 43, 100)},
                                     4608);
    roBass.SetMeasures(3);
    const Lines aBass = FileLines(ExportFile(oEdit, 0, 0, kbyBass));
    EXPECT_EQ(roBass.GetMeasures(), 4);
    EXPECT_EQ(roBass.GetNrTicks(), 4608u) << "the export lengthens a copy, not the pattern";
    EXPECT_EQ(NoteOns(aBass, 8), (std::vector<TTICK>{0, 1536, 3072, 4608}));
    EXPECT_EQ(aBass.back(), "6144 meta 2F -");
}

TEST(ChordVarExport, FitPatternMeasuresRoundsTowardsTheChange)
{
    CNstEditIfc oEdit(nullptr, 0);
    CNstChordVar& roCv = ChordVar(oEdit, 0, 0);
    roCv.SetMeasures(12);
    CNstPattern& roPattern = *roCv.GetPattern(kbyBass);
    struct SCase
    {
        BYTE byPattern, byRequest, byExpected;
    };
    const SCase akoCases[] = {
        {4, 12, 12}, {4, 200, 12}, // at or above D: D
        {6, 5, 4},   {6, 1, 1},    // below P: down to a divisor
        {4, 5, 6},   {4, 4, 4},    // P <= request < D: up to a divisor
        {2, 7, 12},  {3, 11, 12},
    };
    for (const SCase& rkoCase : akoCases)
    {
        roPattern.SetMeasures(rkoCase.byPattern);
        EXPECT_EQ(oEdit.FitPatternMeasures(0, 0, kbyBass, rkoCase.byRequest), rkoCase.byExpected)
            << int(rkoCase.byPattern) << " requested " << int(rkoCase.byRequest);
        EXPECT_EQ(roPattern.GetMeasures(), rkoCase.byExpected);
    }

    CReportCapture oReports;
    roPattern.SetMeasures(3);
    EXPECT_EQ(oEdit.FitPatternMeasures(0, 0, kbyBass, 0), 3);
    EXPECT_TRUE(oReports.HasAssert("*pkbyTrLength > 0", kstrModel));
    // Nothing is put in use or created.
    EXPECT_EQ(oEdit.FitPatternMeasures(0, 0, kbyAcc1, 2), 0);
    EXPECT_EQ(oEdit.GetPatternState(0, 0, kbyAcc1), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.FitPatternMeasures(5, 0, kbyAcc1, 2), 0);
    EXPECT_EQ(oEdit.GetStyleElemState(5), NST_STATE_ABSENT);
}

// Nothing sounds at or after the chord variation's end: a note held across
// it stops one tick before; the meta pattern's markers go out up to the
// end, and only with all tracks.
TEST(ChordVarExport, CutAtTheEndAndMetaPattern)
{
    CNstEditIfc oEdit(nullptr, 0);
    SetPattern(oEdit, 0, 0, kbyBass, {StyleBuilder::Note(3000, 40, 1000)}, 4000);
    const Bytes abyMeta = StyleBuilder::MakeCompactStream(
        {StyleBuilder::KeptMarker(768, {0x11}), StyleBuilder::KeptMarker(3100, {0x22})}, 3200);
    ChordVar(oEdit, 0, 0).SetMetaPattern(abyMeta.data(), DWORD(abyMeta.size()));

    const Lines aAll = FileLines(ExportFile(oEdit, 0, 0, NST_ALL_TRACKS));
    EXPECT_EQ(TicksOf(aAll, "note_off 8 28"), std::vector<TTICK>{3071});
    EXPECT_EQ(TicksOf(aAll, "meta 7E 0211"), std::vector<TTICK>{768});
    EXPECT_TRUE(TicksOf(aAll, "meta 7E 0222").empty()) << "at or after the length of 3072";
    EXPECT_EQ(aAll.back(), "3072 meta 2F -");

    EXPECT_TRUE(TicksOf(FileLines(ExportFile(oEdit, 0, 0, kbyBass)), "meta 7E").empty());
}

TEST(ChordVarExport, RefusedIndicesGiveNoFile)
{
    CNstEditIfc oEdit(nullptr, 0);
    CReportCapture oReports;
    EXPECT_TRUE(ExportFile(oEdit, 10, 0, NST_ALL_TRACKS).empty());
    EXPECT_TRUE(oReports.HasAssert("bySeNr < NST_NR_STE", kstrModel));
    EXPECT_TRUE(ExportFile(oEdit, 0, 6, 3).empty());
    EXPECT_TRUE(oReports.HasAssert("byCvNr < NST_NR_CV", kstrModel));
    EXPECT_EQ(oEdit.GetStyleElemState(0), NST_STATE_ABSENT) << "nothing created for a refused export";

    // Any track number from 8 on stands for all tracks.
    oReports.Clear();
    EXPECT_FALSE(ExportFile(oEdit, 1, 0, 8).empty());
    EXPECT_TRUE(oReports.Empty());
}

// ---------------------------------------------------------------------------
// Import
// ---------------------------------------------------------------------------

// A file whose tick 0 sets 3/4, a tempo of 100 and the Bass parameters
// (Volume before the program change), then a note and Expression changes.
Bytes BassFile()
{
    return CTrackBytes()
        .At(0, {0xFF, 0x51, 0x03, 0x09, 0x27, 0xC0})
        .At(0, {0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08})
        .At(0, {0xB8, 0x07, 0x50})
        .At(0, {0xC8, 0x21})
        .At(0, {0xB8, 0x00, 0x05})
        .At(0, {0xB8, 0x20, 0x06})
        .At(0, {0xB8, 0x0B, 0x70})
        .At(0, {0x98, 0x24, 0x64})
        .At(384, {0x88, 0x24, 0x40})
        .At(384, {0xB8, 0x0B, 0x50})
        .At(768, {0xB8, 0x0B, 0x64})
        .File(1152);
}

// The pattern keeps the note and the later Expression changes only:
// Volume is no pattern event, program and bank select never are, and
// Expression at tick 0 went into the parameters.
void ExpectBassPattern(const CNstPattern& rkoPattern)
{
    const std::vector<CEvRec> aoExpected = {CEvRec::Note(0, 0, 0x24, 0x64, 0x40, 384), Cc(384, 11, 0x50),
                                            Cc(768, 11, 0x64)};
    std::vector<CEvRec> aoEvents = PatternEvents(rkoPattern);
    ASSERT_FALSE(aoEvents.empty());
    aoEvents.pop_back(); // the end of track
    EXPECT_EQ(aoEvents, aoExpected);
}

TEST(ChordVarImport, FreshElementTakesTickZero)
{
    CNstEditIfc oEdit(nullptr, 0);
    CReportCapture oReports;
    ASSERT_TRUE(Import(oEdit, BassFile(), 0, 0));
    EXPECT_TRUE(oReports.Empty());

    EXPECT_EQ(oEdit.GetTempo(), 100);
    const CNstStyleElem& rkoElem = *oEdit.GetStyle().FindStyleElem(0);
    EXPECT_EQ(rkoElem.GetTimeSig(), (CNstTimeSig{3, 2}));
    EXPECT_EQ(*rkoElem.GetTrackParam(kbyBass), (CNstTrackParam{0x70, 5, 6, 0x21, 21, 108}));
    EXPECT_EQ(*rkoElem.GetTrackParam(kbyDrum), (CNstTrackParam{100, 120, 0, 0, 21, 108})) << "no events on Drum";

    const CNstChordVar& rkoCv = *rkoElem.FindChordVar(0);
    EXPECT_EQ(rkoCv.GetTimeSig(), (CNstTimeSig{3, 2}));
    EXPECT_EQ(rkoCv.GetMeasures(), 1);
    EXPECT_EQ(rkoCv.GetLength(), 1152u);
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        EXPECT_EQ(oEdit.GetPatternState(0, 0, byTrack), byTrack == kbyBass ? NST_STATE_EVENTS : NST_STATE_ABSENT);
    const CNstPattern& rkoBass = *rkoCv.FindPattern(kbyBass);
    EXPECT_EQ(rkoBass.GetNrTicks(), 1152u);
    EXPECT_EQ(rkoBass.GetMeasures(), 1);
    EXPECT_EQ(rkoBass.GetType(), 1);
    ExpectBassPattern(rkoBass);
}

// Once any chord variation of the element holds events, an import keeps the
// element's time signature and parameters, and reads no tempo. "Initialize"
// deletes the chord variation with events first: the element is fresh again,
// and a chord variation that was there takes the file's signature.
TEST(ChordVarImport, FreshnessDecidesTheParameters)
{
    CNstEditIfc oEdit(nullptr, 0);
    SetPattern(oEdit, 0, 2, kbyDrum, {StyleBuilder::Note(0, 36, 100)}, 3072);
    oEdit.SetTempo(87);

    ASSERT_TRUE(Import(oEdit, BassFile(), 0, 1));
    EXPECT_EQ(oEdit.GetTempo(), 87);
    const CNstStyleElem& rkoElem = *oEdit.GetStyle().FindStyleElem(0);
    EXPECT_EQ(rkoElem.GetTimeSig(), (CNstTimeSig{4, 2}));
    EXPECT_EQ(*rkoElem.GetTrackParam(kbyBass), (CNstTrackParam{100, 121, 0, 32, 21, 108}));
    const CNstChordVar& rkoCv = *rkoElem.FindChordVar(1);
    EXPECT_EQ(rkoCv.GetLength(), 1536u) << "1152 ticks in 4/4: one measure";
    EXPECT_EQ(rkoCv.FindPattern(kbyBass)->GetNrTicks(), 1536u);
    ExpectBassPattern(*rkoCv.FindPattern(kbyBass));

    oEdit.DeleteChordVar(0, 2);
    ChordVar(oEdit, 0, 0).GetPattern(kbyAcc1); // in use, but empty
    oEdit.DeleteChordVar(0, 1);
    ASSERT_TRUE(Import(oEdit, BassFile(), 0, 0));
    EXPECT_EQ(rkoElem.GetTimeSig(), (CNstTimeSig{3, 2}));
    EXPECT_EQ(rkoElem.GetTrackParam(kbyBass)->m_byProgram, 0x21);
    EXPECT_EQ(rkoElem.FindChordVar(0)->GetTimeSig(), (CNstTimeSig{3, 2}));
    EXPECT_EQ(rkoElem.FindChordVar(0)->GetLength(), 1152u);
    EXPECT_EQ(oEdit.GetPatternState(0, 0, kbyAcc1), NST_STATE_ABSENT) << "no events on its channel";
}

// Beyond 16 measures nothing is imported; the chord held across the limit
// sounds up to it, without a report per note.
TEST(ChordVarImport, SixteenMeasureLimitClosesHeldNotes)
{
    // Drum on every measure start, and a chord from 24000 to 30000.
    std::vector<std::pair<TTICK, Bytes>> aoEvents = {{24000, {0x9B, 0x3C, 0x50}}, {24000, {0x9B, 0x40, 0x50}},
                                                     {24000, {0x9B, 0x43, 0x50}}, {30000, {0x8B, 0x3C, 0x40}},
                                                     {30000, {0x8B, 0x40, 0x40}}, {30000, {0x8B, 0x43, 0x40}}};
    for (TTICK tTick = 0; tTick < 30000; tTick += 1536)
    {
        aoEvents.push_back({tTick, {0x99, 0x24, 0x64}});
        aoEvents.push_back({tTick + 96, {0x89, 0x24, 0x40}});
    }
    std::stable_sort(aoEvents.begin(), aoEvents.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    CTrackBytes oFile;
    for (const auto& rkoEvent : aoEvents)
        oFile.At(rkoEvent.first, {rkoEvent.second[0], rkoEvent.second[1], rkoEvent.second[2]});

    CNstEditIfc oEdit(nullptr, 0);
    CReportCapture oReports;
    ASSERT_TRUE(Import(oEdit, oFile.File(30720), 0, 0));
    EXPECT_FALSE(HasShutNotesReport(oReports));

    const CNstChordVar& rkoCv = *oEdit.GetStyle().FindStyleElem(0)->FindChordVar(0);
    EXPECT_EQ(rkoCv.GetMeasures(), 16);
    EXPECT_EQ(rkoCv.GetLength(), 24576u);
    const CNstPattern& rkoDrum = *rkoCv.FindPattern(kbyDrum);
    EXPECT_EQ(rkoDrum.GetNrTicks(), 24576u);
    EXPECT_EQ(rkoDrum.GetMeasures(), 16);
    std::vector<CEvRec> aoDrum = PatternEvents(rkoDrum);
    EXPECT_EQ(aoDrum.size(), 17u) << "16 notes and the end; the one at 24576 begins measure 17";

    std::vector<CEvRec> aoChordNotes = PatternEvents(*rkoCv.FindPattern(kbyAcc1));
    ASSERT_EQ(aoChordNotes.size(), 4u);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(aoChordNotes[i].m_tTick, 24000u);
        EXPECT_EQ(aoChordNotes[i].Duration(), 576u) << "held up to the limit, not left at 0";
    }
    EXPECT_EQ(aoChordNotes[3], CEvRec::EndOfTrack(24576));
}

// A note the file never releases ends with the file; the chord variation
// follows the file's length and each track with events is padded with
// silence to it (no repetition).
TEST(ChordVarImport, LengthFollowsTheFile)
{
    const Bytes abyFile = CTrackBytes()
                              .At(0, {0x99, 0x24, 0x64})
                              .At(96, {0x89, 0x24, 0x40})
                              .At(1000, {0x98, 0x28, 0x64})
                              .File(6244);
    CNstEditIfc oEdit(nullptr, 0);
    CReportCapture oReports;
    ASSERT_TRUE(Import(oEdit, abyFile, 0, 0));
    EXPECT_FALSE(HasShutNotesReport(oReports));

    const CNstChordVar& rkoCv = *oEdit.GetStyle().FindStyleElem(0)->FindChordVar(0);
    EXPECT_EQ(rkoCv.GetMeasures(), 5);
    EXPECT_EQ(rkoCv.GetLength(), 7680u);
    for (BYTE byTrack : {kbyDrum, kbyBass})
    {
        const CNstPattern& rkoPattern = *rkoCv.FindPattern(byTrack);
        EXPECT_EQ(rkoPattern.GetNrTicks(), 7680u);
        EXPECT_EQ(rkoPattern.GetMeasures(), 5);
    }
    EXPECT_EQ(PatternEvents(*rkoCv.FindPattern(kbyDrum)),
              (std::vector<CEvRec>{CEvRec::Note(0, 0, 0x24, 0x64, 0x40, 96), CEvRec::EndOfTrack(7680)}));
    const std::vector<CEvRec> aoBass = PatternEvents(*rkoCv.FindPattern(kbyBass));
    ASSERT_EQ(aoBass.size(), 2u);
    EXPECT_EQ(aoBass[0].m_tTick, 1000u);
    EXPECT_EQ(aoBass[0].Duration(), 5244u) << "closed at the file's end, 6244";
}

// Channels 1 to 8 (0 to 7 counted from 0) belong to no track; one track
// from any channel takes them all; one track without takes its own only.
TEST(ChordVarImport, ChannelMap)
{
    const Bytes abyFile = CTrackBytes()
                              .At(0, {0x90, 0x3C, 0x64})
                              .At(0, {0x95, 0x40, 0x64})
                              .At(0, {0x99, 0x24, 0x64})
                              .At(384, {0x80, 0x3C, 0x40})
                              .At(384, {0x85, 0x40, 0x40})
                              .At(384, {0x89, 0x24, 0x40})
                              .File(1536);
    const Bytes abyLowChannels = CTrackBytes().At(0, {0x90, 0x3C, 0x64}).At(384, {0x80, 0x3C, 0x40}).File(1536);
    CNstEditIfc oEdit(nullptr, 0);
    ASSERT_TRUE(Import(oEdit, abyLowChannels, 1, 3));
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        EXPECT_EQ(oEdit.GetPatternState(1, 3, byTrack), NST_STATE_ABSENT);
    EXPECT_EQ(oEdit.GetChordVarState(1, 3), NST_STATE_EMPTY);

    auto ImportTrack = [&](BYTE bySe, BYTE byCv, BYTE byPNr, bool bFromAnyTrack) {
        CMidiIn oIn(abyFile.data(), DWORD(abyFile.size()));
        EXPECT_TRUE(oIn.Open());
        CNstImportOptions oOptions;
        oOptions.m_byPNr = byPNr;
        oOptions.m_bFromAnyTrack = bFromAnyTrack;
        return oEdit.ImportChordVar(*oIn.GetDecoder(), bySe, byCv, oOptions);
    };
    EXPECT_EQ(ImportTrack(0, 0, 4, true), -1);
    EXPECT_EQ(PatternEvents(*ChordVar(oEdit, 0, 0).FindPattern(4)).size(), 4u) << "three notes and the end";
    EXPECT_EQ(oEdit.GetPatternState(0, 0, kbyDrum), NST_STATE_ABSENT);
    ImportTrack(0, 1, kbyDrum, false);
    EXPECT_EQ(oEdit.GetPatternState(0, 1, kbyDrum), NST_STATE_EVENTS);
    EXPECT_EQ(oEdit.GetPatternState(0, 1, 4), NST_STATE_ABSENT);

    CReportCapture oReports;
    EXPECT_EQ(ImportTrack(2, 0, NST_ALL_TRACKS, true), -1);
    EXPECT_TRUE(oReports.HasAssert("byPNr < 8 || !bFromAnyTrack", kstrEditIfc));
    EXPECT_EQ(oEdit.GetStyleElemState(2), NST_STATE_ABSENT);
}

// A track cut short: what was read stays, the length is the tick the file
// reached, every pattern is ended there.
TEST(ChordVarImport, DamagedFileKeepsWhatWasRead)
{
    CTrackBytes oTrack;
    for (TTICK tTick = 0; tTick <= 3072; tTick += 1536)
        oTrack.At(tTick, {0x99, 0x24, 0x64}).At(tTick + 96, {0x89, 0x24, 0x40});
    oTrack.At(3200, {0x9B, 0x3C, 0x64}).At(3500, {0x99, 0x24}); // the velocity is missing
    CNstEditIfc oEdit(nullptr, 0);
    CReportCapture oReports;
    ASSERT_TRUE(Import(oEdit, oTrack.File(0, false), 0, 0));
    EXPECT_FALSE(oReports.Empty()) << "the decoder reports the damage";

    const CNstChordVar& rkoCv = *oEdit.GetStyle().FindStyleElem(0)->FindChordVar(0);
    EXPECT_EQ(rkoCv.GetMeasures(), 3);
    EXPECT_EQ(rkoCv.GetLength(), 4608u);
    const std::vector<CEvRec> aoDrum = PatternEvents(*rkoCv.FindPattern(kbyDrum));
    ASSERT_EQ(aoDrum.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(aoDrum[i], CEvRec::Note(TTICK(1536 * i), 0, 0x24, 0x64, 0x40, 96));
    // The list read together with the failure (at 3200) is the last one: the
    // length is its tick, and nothing sounds beyond it.
    const CNstPattern& rkoAcc = *rkoCv.FindPattern(kbyAcc1);
    EXPECT_EQ(rkoAcc.GetNrTicks(), 4608u);
    for (const CEvRec& rkoEvent : PatternEvents(rkoAcc))
        EXPECT_TRUE(!rkoEvent.IsNote() || rkoEvent.m_tTick + rkoEvent.Duration() <= 3200u) << rkoEvent;
    EXPECT_FALSE(HasShutNotesReport(oReports));
}

TEST(ChordVarImport, HeaderAndIndicesRefused)
{
    CNstEditIfc oEdit(nullptr, 0);
    Bytes abyFile = BassFile();
    CReportCapture oReports;
    EXPECT_FALSE(Import(oEdit, abyFile, 10, 0));
    EXPECT_TRUE(oReports.HasAssert("bySeNr < NST_NR_STE", kstrEditIfc));
    EXPECT_FALSE(Import(oEdit, abyFile, 0, 6));
    EXPECT_TRUE(oReports.HasAssert("byCvNr < NST_NR_CV", kstrEditIfc));
    abyFile[9] = 2; // format 2
    EXPECT_FALSE(Import(oEdit, abyFile, 0, 0));
    EXPECT_EQ(oEdit.GetStyleElemState(0), NST_STATE_ABSENT);
    EXPECT_FALSE(oEdit.ImportFromSmf(nullptr, 0, 0, 0, NST_ALL_TRACKS, false));
}

// The file's marker meta events of kind 2 become the meta pattern, which the
// export writes back; the import's other meta events stay out of it.
TEST(ChordVarImport, KeptMarkersRoundTrip)
{
    const Bytes abyFile = CTrackBytes()
                              .At(0, {0x99, 0x24, 0x64})
                              .At(96, {0x89, 0x24, 0x40})
                              .At(768, {0xFF, 0x7F, 0x05, 0x42, 0x60, 0x02, 0x11, 0x22})
                              .At(800, {0xFF, 0x01, 0x01, 0x41})
                              .File(3072);
    CNstEditIfc oEdit(nullptr, 0);
    ASSERT_TRUE(Import(oEdit, abyFile, 0, 0));
    const CNstChordVar& rkoCv = *oEdit.GetStyle().FindStyleElem(0)->FindChordVar(0);
    ASSERT_GT(rkoCv.GetMetaPatternLength(), 0u);
    const Lines aLines = FileLines(ExportFile(oEdit, 0, 0, NST_ALL_TRACKS));
    EXPECT_EQ(TicksOf(aLines, "meta 7E 021122"), std::vector<TTICK>{768});
    EXPECT_TRUE(TicksOf(aLines, "meta 01").empty());

    // One track imported: the meta pattern stays as it was.
    CNstEditIfc oSingle(nullptr, 0);
    ASSERT_TRUE(Import(oSingle, abyFile, 0, 0, kbyDrum));
    EXPECT_EQ(oSingle.GetStyle().FindStyleElem(0)->FindChordVar(0)->GetMetaPatternLength(), 0u);
}

// ImportTracks -- the file into the tracks byTracks (bits) of the chord
// variation, counted into roStats.
void ImportTracks(CNstEditIfc& roEdit, const Bytes& rkabyFile, BYTE byTracks, bool bTakeParams,
                  CNstImportStats& roStats)
{
    CMidiIn oMidiIn(rkabyFile.data(), DWORD(rkabyFile.size()));
    ASSERT_TRUE(oMidiIn.Open() && oMidiIn.GetDecoder());
    CNstImportOptions oOptions;
    oOptions.m_byTracks = byTracks;
    oOptions.m_bTakeParams = bTakeParams;
    oOptions.m_poStats = &roStats;
    roEdit.ImportChordVar(*oMidiIn.GetDecoder(), 0, 0, oOptions);
}

// A track-limited import replaces the chosen tracks and nothing else: the
// other tracks, the markers and the length stay; a longer file lengthens
// the chord variation, a shorter track keeps its measures (rounded up with
// silence to a divisor of the chord variation's), a chosen track the file
// lacks stays, the file's other tracks are left out and counted, and the
// file's voice goes to tracks the element does not play yet or with
// m_bTakeParams.
TEST(ChordVarImport, TrackLimitedImportReplacesOnlyTheChosenTracks)
{
    constexpr BYTE kbyProgram = 50, kbyOwnProgram = 33;
    const struct
    {
        const char* m_pszCase;
        BYTE m_byChannel; // the file's notes and program change
        TTICK m_tEnd;
        BYTE m_byTracks;
        bool m_bTakeParams;
        BYTE m_byTrack; // the track that takes the file
        BYTE m_byCvMeasures;
        BYTE m_byMeasures; // of that track afterwards
        BYTE m_byProgram;  // of that track afterwards
        BYTE m_byKept;
    } akoCases[] = {
        {"one measure repeats", 8, 1536, 1u << kbyBass, false, kbyBass, 4, 1, kbyOwnProgram, 0},
        {"three measures padded to four", 8, 4608, 1u << kbyBass, false, kbyBass, 4, 4, kbyOwnProgram, 0},
        {"six measures lengthen", 8, 9216, 1u << kbyBass, false, kbyBass, 6, 6, kbyOwnProgram, 0},
        {"initialize takes the voice", 8, 1536, 1u << kbyBass, true, kbyBass, 4, 1, kbyProgram, 0},
        {"a track not played yet takes it", 12, 3072, 1u << kbyAcc2, false, kbyAcc2, 4, 2, kbyProgram, 0},
        {"a chosen track the file lacks stays", 8, 3072, 1u << kbyBass | 1u << kbyAcc1, false, kbyBass, 4, 2,
         kbyOwnProgram, 1u << kbyAcc1},
    };
    for (const auto& rkoCase : akoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszCase);
        CNstEditIfc oEdit(nullptr, 0);
        CNstChordVar& roCv = ChordVar(oEdit, 0, 0);
        roCv.SetMeasures(4);
        roCv.SetLength(6144);
        SetPattern(oEdit, 0, 0, kbyDrum, {StyleBuilder::Note(0, 36, 96)}, 6144).SetMeasures(4);
        SetPattern(oEdit, 0, 0, kbyBass, {StyleBuilder::Note(0, 40, 96)}, 3072).SetMeasures(2);
        SetPattern(oEdit, 0, 0, kbyAcc1, {StyleBuilder::Note(0, 60, 96)}, 3072).SetMeasures(2);
        const Bytes abyMarkers = StyleBuilder::MakeCompactStream({StyleBuilder::KeptMarker(768, {0x11})}, 6144);
        roCv.SetMetaPattern(abyMarkers.data(), DWORD(abyMarkers.size()));
        oEdit.GetStyle().GetStyleElem(0)->GetTrackParam(kbyBass)->m_byProgram = kbyOwnProgram;
        std::vector<CNstPattern> aoBefore;
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            aoBefore.push_back(*roCv.FindPattern(byTrack));

        // The file: its track's voice and a note, and a drum note, which no chosen track takes.
        const BYTE byCh = rkoCase.m_byChannel;
        const Bytes abyFile = CTrackBytes()
                                  .At(0, {BYTE(0xC0 | byCh), kbyProgram})
                                  .At(0, {BYTE(0x90 | byCh), 45, 100})
                                  .At(0, {0x99, 38, 100})
                                  .At(96, {BYTE(0x80 | byCh), 45, 64})
                                  .At(96, {0x89, 38, 64})
                                  .File(rkoCase.m_tEnd);
        CNstImportStats oStats;
        ImportTracks(oEdit, abyFile, rkoCase.m_byTracks, rkoCase.m_bTakeParams, oStats);

        EXPECT_EQ(roCv.GetMeasures(), rkoCase.m_byCvMeasures);
        EXPECT_EQ(roCv.GetLength(), 1536u * rkoCase.m_byCvMeasures);
        const CNstPattern& rkoTrack = *roCv.FindPattern(rkoCase.m_byTrack);
        EXPECT_EQ(rkoTrack.GetMeasures(), rkoCase.m_byMeasures);
        EXPECT_EQ(rkoTrack.GetNrTicks(), 1536u * rkoCase.m_byMeasures);
        EXPECT_EQ(PatternEvents(rkoTrack).front(), CEvRec::Note(0, 0, 45, 100, 64, 96));
        EXPECT_EQ(oEdit.GetStyle().FindStyleElem(0)->GetTrackParam(rkoCase.m_byTrack)->m_byProgram,
                  rkoCase.m_byProgram);
        EXPECT_EQ(oStats.m_byTracksKept, rkoCase.m_byKept);
        EXPECT_EQ(oStats.m_adwNoTrack[9], 1u) << "the drum note, left out";
        EXPECT_EQ(oStats.m_byParamsKept, rkoCase.m_byProgram == kbyOwnProgram ? 1u << kbyBass : 0u);
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        {
            if (byTrack == rkoCase.m_byTrack)
                continue;
            const CNstPattern& rkoOld = aoBefore[byTrack];
            const CNstPattern& rkoNew = *roCv.FindPattern(byTrack);
            EXPECT_EQ(rkoNew.IsUntouched(), rkoOld.IsUntouched()) << int(byTrack);
            EXPECT_EQ(PatternEvents(rkoNew), PatternEvents(rkoOld)) << int(byTrack);
            EXPECT_EQ(rkoNew.GetMeasures(), rkoOld.GetMeasures()) << int(byTrack);
        }
        EXPECT_EQ(TicksOf(FileLines(ExportFile(oEdit, 0, 0, NST_ALL_TRACKS)), "meta 7E 0211"), std::vector<TTICK>{768})
            << "the marker stays";
    }
}

} // namespace
