// PatMergeTest.cpp -- the pattern merge (tick order, channels, end of track,
// meta end tick, decoder errors), the un-merge (routing, maximum tick, skip
// count, all-channels output, filter, decoder errors, held notes) and the
// round trip compact -> merge -> Standard MIDI File -> un-merge -> compact.
#include "Kernel/SeqBase/CDecProp.h"
#include "MemCoder/MaEncoder.h"
#include "MemCoder/PatMerge.h"
#include "MidiInOut/MidiInOut.h"
#include "PropStreams.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Channel of each track in the export and import (Drum, Percussion, Bass,
// Acc. 1 to Acc. 5).
constexpr BYTE kabyTrackChannel[8] = {9, 10, 8, 11, 12, 13, 14, 15};

// CRecordingEncoder -- keeps every event at the tick it is written; open from
// construction.
class CRecordingEncoder : public CEncoderBase
{
public:
    CRecordingEncoder() { Open(); }
    std::vector<CEvRec> m_aoEvents;

protected:
    bool EncodeChnEvent(TTICK tAbsTick, const CEvent& rkoEvent) override { return Record(tAbsTick, rkoEvent); }
    bool EncodeMetaEvent(TTICK tAbsTick, const CEvent& rkoEvent) override { return Record(tAbsTick, rkoEvent); }
    bool EncodeSysExEvent(TTICK tAbsTick, const CEvent& rkoEvent) override { return Record(tAbsTick, rkoEvent); }
    bool EncodeDelta(DWORD) override { return true; }

private:
    bool Record(TTICK tAbsTick, const CEvent& rkoEvent)
    {
        if (!EncodeDeltaAt(tAbsTick))
            return false;
        m_aoEvents.push_back(CEvRec::From(tAbsTick, rkoEvent));
        return true;
    }
};

// CDropTickZeroExpression -- drops controller 11 at tick 0, as the import's
// filter does, and notes what it was asked.
class CDropTickZeroExpression : public CFilterOut
{
public:
    bool IsFilteredOut(const CEvent& rkoEvent, TTICK tTick) override
    {
        m_aoAsked.push_back(CEvRec::From(tTick, rkoEvent));
        return tTick == 0 && rkoEvent.GetCode() == EVSC_CTRL_CHANGE && rkoEvent.GetData1() == 11;
    }
    std::vector<CEvRec> m_aoAsked;
};

CEvRec Cc(TTICK tTick, BYTE byChannel, BYTE byController, BYTE byValue)
{
    return CEvRec::Chn(tTick, EVSC_CTRL_CHANGE, byChannel, byController, byValue);
}
CEvRec Text(TTICK tTick, BYTE byText)
{
    return CEvRec::Meta(tTick, 0x01, {byText});
}

std::vector<BYTE> Bytes(const CMemEncoder& rkoEncoder)
{
    return std::vector<BYTE>(rkoEncoder.GetBufferStart(), rkoEncoder.GetBufferStart() + rkoEncoder.GetBytesWritten());
}

// Compact -- a compact stream of the groups; the last one holds the end of track.
std::vector<BYTE> Compact(const std::vector<CInputGroup>& raoGroups)
{
    CMemEncoder oEncoder;
    oEncoder.Open();
    EXPECT_TRUE(EncodeGroups(oEncoder, raoGroups));
    oEncoder.Close();
    return Bytes(oEncoder);
}

// SmfAdd -- appends one track event: the delta as a variable-length number,
// then the bytes.
void SmfAdd(std::vector<BYTE>& rabyTrack, DWORD dwDelta, std::vector<BYTE> abyEvent)
{
    BYTE abyDelta[4];
    rabyTrack.insert(rabyTrack.end(), abyDelta, abyDelta + CEncoderBase::VarLenNum(dwDelta, abyDelta));
    rabyTrack.insert(rabyTrack.end(), abyEvent.begin(), abyEvent.end());
}

// SmfFile -- a format-0 file of 384 ticks per quarter note around the track bytes.
std::vector<BYTE> SmfFile(const std::vector<BYTE>& rkabyTrack)
{
    static constexpr BYTE kabyHeader[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k'};
    std::vector<BYTE> abyFile(sizeof kabyHeader + 4 + rkabyTrack.size());
    std::copy(std::begin(kabyHeader), std::end(kabyHeader), abyFile.begin());
    QdWriteBE32(&abyFile[sizeof kabyHeader], DWORD(rkabyTrack.size()));
    std::copy(rkabyTrack.begin(), rkabyTrack.end(), abyFile.begin() + sizeof kabyHeader + 4);
    return abyFile;
}

class CPatMergeTest : public ::testing::Test
{
protected:
    // Fails on every report that does not begin with one of the prefixes.
    void ExpectOnlyReports(const std::vector<std::string>& raPrefixes)
    {
        for (const std::string& rstrText : m_oCapture.Texts())
            EXPECT_TRUE(std::any_of(raPrefixes.begin(), raPrefixes.end(),
                                    [&](const std::string& s) { return rstrText.rfind(s, 0) == 0; }))
                << rstrText;
        m_oCapture.Clear();
    }

    CReportCapture m_oCapture;
};

// ---------------------------------------------------------------------------
// Merge
// ---------------------------------------------------------------------------

// Lists at one tick come in the order the inputs were added; an input goes
// back behind the others after each list, also for a second list at the same
// tick. Channel lists get the input's channel; the inputs' end-of-track
// events make way for one at the latest end, and a meta event beside an
// end-of-track stays.
TEST_F(CPatMergeTest, MergeKeepsTickOrderInsertionOrderAndOneEndOfTrack)
{
    const std::vector<BYTE> abyA = Compact({{0, {CEvRec::Note(0, 0, 60, 100, 64, 96), Cc(0, 5, 7, 100)}},
                                            {0, {Text(0, 'a')}},
                                            {768, {Text(768, 'b'), CEvRec::EndOfTrack(768)}}});
    const std::vector<BYTE> abyB = Compact({{0, {CEvRec::Chn(0, EVSC_PITCH_B_CHANGE, 1, 0, 64)}},
                                            {100, {CEvRec::Note(100, 1, 40, 90, 64, 50)}},
                                            {1536, {CEvRec::EndOfTrack(1536)}}});
    const std::vector<CEvRec> kaoA0 = {CEvRec::Note(0, 3, 60, 100, 64, 96), Cc(0, 3, 7, 100)};
    const CEvRec koB0 = CEvRec::Chn(0, EVSC_PITCH_B_CHANGE, 5, 0, 64);

    for (bool bAFirst : {true, false})
    {
        SCOPED_TRACE(bAFirst ? "A added first" : "B added first");
        CDecProp oA(abyA.data(), abyA.size());
        CDecProp oB(abyB.data(), abyB.size());
        CRecordingEncoder oOut;
        CPropPattMerge oMerge(oOut);
        if (bAFirst)
            EXPECT_TRUE(oMerge.AddTrackInput(oA, 3) && oMerge.AddTrackInput(oB, 5));
        else
            EXPECT_TRUE(oMerge.AddTrackInput(oB, 5) && oMerge.AddTrackInput(oA, 3));
        EXPECT_TRUE(oMerge.Merge());
        EXPECT_FALSE(oOut.IsOpen());

        std::vector<CEvRec> aoExpected;
        if (bAFirst)
        {
            aoExpected = kaoA0;
            aoExpected.push_back(koB0);
        }
        else
        {
            aoExpected = {koB0};
            aoExpected.insert(aoExpected.end(), kaoA0.begin(), kaoA0.end());
        }
        aoExpected.insert(aoExpected.end(), {Text(0, 'a'), CEvRec::Note(100, 5, 40, 90, 64, 50), Text(768, 'b'),
                                             CEvRec::EndOfTrack(1536)});
        EXPECT_EQ(oOut.m_aoEvents, aoExpected);
    }
    EXPECT_TRUE(m_oCapture.Empty());
}

// The meta input's lists pass unchanged up to its end tick; the first list
// at or beyond it is not taken, nor its end-of-track.
TEST_F(CPatMergeTest, MergeMetaInputStopsAtItsEndTick)
{
    const std::vector<BYTE> abyTrack = Compact({{0, {CEvRec::Note(0, 0, 36, 100, 64, 10)}},
                                                {1536, {CEvRec::EndOfTrack(1536)}}});
    const std::vector<BYTE> abyMeta = Compact({{0, {CEvRec::Meta(0, 0x7E, {2, 1})}},
                                               {768, {Text(768, 'm')}},
                                               {1536, {Text(1536, 'x')}},
                                               {2000, {Text(2000, 'y'), CEvRec::EndOfTrack(2000)}}});
    CDecProp oTrack(abyTrack.data(), abyTrack.size());
    CDecProp oMeta(abyMeta.data(), abyMeta.size());
    CRecordingEncoder oOut;
    CPropPattMerge oMerge(oOut);
    EXPECT_TRUE(oMerge.AddTrackInput(oTrack, 9));
    oMerge.AddMetaInput(oMeta, 1536);
    EXPECT_TRUE(oMerge.Merge());
    EXPECT_EQ(oOut.m_aoEvents, (std::vector<CEvRec>{CEvRec::Note(0, 9, 36, 100, 64, 10),
                                                    CEvRec::Meta(0, 0x7E, {2, 1}), Text(768, 'm'),
                                                    CEvRec::EndOfTrack(1536)}));
    EXPECT_FALSE(oOut.IsOpen());

    // A channel beyond 15 is refused; with no input at all the merge writes
    // the end-of-track at tick 0.
    CRecordingEncoder oEmpty;
    CPropPattMerge oNothing(oEmpty);
    EXPECT_FALSE(oNothing.AddTrackInput(oTrack, 16));
    EXPECT_TRUE(m_oCapture.HasAssert("byChannel < 16", "MemCoder/PatMerge"));
    EXPECT_TRUE(oNothing.Merge());
    EXPECT_EQ(oEmpty.m_aoEvents, (std::vector<CEvRec>{CEvRec::EndOfTrack(0)}));
}

// A decoder that fails mid-stream ends the merge at the tick of the list it
// failed on: the events it delivered there are written, then the one
// end-of-track, and nothing of the other inputs after it.
TEST_F(CPatMergeTest, MergeEndsAtADecoderError)
{
    const std::vector<BYTE> abyHealthy = Compact({{0, {Cc(0, 0, 7, 1)}},
                                                  {500, {Cc(500, 0, 7, 2)}},
                                                  {1000, {Cc(1000, 0, 7, 3)}},
                                                  {2000, {CEvRec::EndOfTrack(2000)}}});
    // Controller 7 = 100 at 0, controller 10 = 64 at 768, then a record of the
    // unknown code 11.
    const std::vector<BYTE> abyCorrupt = {0x03, 0x07, 0xE4, 0x86, 0x80, 0x03, 0x0A, 0xC0, 0x0B, 0x00, 0x80};
    CDecProp oHealthy(abyHealthy.data(), abyHealthy.size());
    CDecProp oCorrupt(abyCorrupt.data(), abyCorrupt.size());
    CRecordingEncoder oOut;
    CPropPattMerge oMerge(oOut);
    EXPECT_TRUE(oMerge.AddTrackInput(oHealthy, 2));
    EXPECT_TRUE(oMerge.AddTrackInput(oCorrupt, 4));
    EXPECT_FALSE(oMerge.Merge());
    EXPECT_FALSE(oOut.IsOpen());
    EXPECT_EQ(oOut.m_aoEvents, (std::vector<CEvRec>{Cc(0, 2, 7, 1), Cc(0, 4, 7, 100), Cc(500, 2, 7, 2),
                                                    Cc(768, 4, 10, 64), CEvRec::EndOfTrack(768)}));
    EXPECT_TRUE(m_oCapture.HasAssert("m_bIsTerminated", "Kernel/SeqBase/CDecProp"));

    // A decoder that fails at its first record ends the merge at tick 0,
    // after the lists of the inputs added before it.
    const std::vector<BYTE> abyBroken = {0x0B, 0x00, 0x80};
    CDecProp oBroken(abyBroken.data(), abyBroken.size());
    CRecordingEncoder oShort;
    CPropPattMerge oShortMerge(oShort);
    EXPECT_TRUE(oShortMerge.AddTrackInput(oHealthy, 2) && oShortMerge.AddTrackInput(oBroken, 4) &&
                oShortMerge.AddTrackInput(oCorrupt, 5));
    EXPECT_FALSE(oShortMerge.Merge());
    EXPECT_EQ(oShort.m_aoEvents, (std::vector<CEvRec>{Cc(0, 2, 7, 1), CEvRec::EndOfTrack(0)}));
    EXPECT_FALSE(oShort.IsOpen());
}

// ---------------------------------------------------------------------------
// Un-merge
// ---------------------------------------------------------------------------

// Channel messages go to the output of their channel with channel 0; an
// output whose channel has no events gets only the end-of-track; meta events
// go to the meta output; system exclusive events and channels without output
// go nowhere.
TEST_F(CPatMergeTest, UnmergeRoutesEachChannelToItsOutput)
{
    const std::vector<BYTE> abyStream =
        Compact({{0,
                  {CEvRec::Note(0, 9, 36, 100, 64, 96), CEvRec::Note(0, 10, 40, 90, 64, 96), Cc(0, 10, 1, 5),
                   Cc(0, 3, 7, 100), Cc(0, 100, 7, 100)}},
                 {0, {CEvRec::Meta(0, 0x58, {4, 2, 24, 8})}},
                 {100, {CEvRec::SysEx(100, {0xF0, 0x43, 0xF7})}},
                 {384, {CEvRec::Chn(384, EVSC_PITCH_B_CHANGE, 9, 0, 80)}},
                 {1536, {CEvRec::EndOfTrack(1536)}}});
    CDecProp oDecoder(abyStream.data(), abyStream.size());
    CRecordingEncoder oOut8, oOut9, oOut10, oMeta;
    CPropPattUnmerge oUnmerge(oDecoder);
    EXPECT_TRUE(oUnmerge.AddOutput(oOut8, 8) && oUnmerge.AddOutput(oOut9, 9) && oUnmerge.AddOutput(oOut10, 10));
    EXPECT_TRUE(oUnmerge.SetMetaOutput(oMeta));
    EXPECT_EQ(oUnmerge.Unmerge(0, 24576), 1536u);

    EXPECT_EQ(oOut8.m_aoEvents, (std::vector<CEvRec>{CEvRec::EndOfTrack(1536)}));
    EXPECT_EQ(oOut9.m_aoEvents, (std::vector<CEvRec>{CEvRec::Note(0, 0, 36, 100, 64, 96),
                                                     CEvRec::Chn(384, EVSC_PITCH_B_CHANGE, 0, 0, 80),
                                                     CEvRec::EndOfTrack(1536)}));
    EXPECT_EQ(oOut10.m_aoEvents, (std::vector<CEvRec>{CEvRec::Note(0, 0, 40, 90, 64, 96), Cc(0, 0, 1, 5),
                                                      CEvRec::EndOfTrack(1536)}));
    EXPECT_EQ(oMeta.m_aoEvents,
              (std::vector<CEvRec>{CEvRec::Meta(0, 0x58, {4, 2, 24, 8}), CEvRec::EndOfTrack(1536)}));
    for (const CRecordingEncoder* pkoOut : {&oOut8, &oOut9, &oOut10, &oMeta})
        EXPECT_FALSE(pkoOut->IsOpen());
    EXPECT_TRUE(m_oCapture.Empty());
}

// A list at the maximum tick is still taken; the first beyond it ends every
// output there, and the length is the maximum tick.
TEST_F(CPatMergeTest, UnmergeStopsAtTheMaximumTick)
{
    const std::vector<BYTE> abyStream = Compact({{0, {Cc(0, 9, 7, 1), Cc(0, 10, 7, 2)}},
                                                 {24576, {Cc(24576, 9, 7, 3)}},
                                                 {24577, {Cc(24577, 10, 7, 4)}},
                                                 {25000, {Text(25000, 'z')}},
                                                 {30000, {CEvRec::EndOfTrack(30000)}}});
    CDecProp oDecoder(abyStream.data(), abyStream.size());
    CRecordingEncoder oOut9, oOut10, oMeta;
    CPropPattUnmerge oUnmerge(oDecoder);
    EXPECT_TRUE(oUnmerge.AddOutput(oOut9, 9) && oUnmerge.AddOutput(oOut10, 10) && oUnmerge.SetMetaOutput(oMeta));
    EXPECT_EQ(oUnmerge.Unmerge(0, 24576), 24576u);
    EXPECT_EQ(oOut9.m_aoEvents,
              (std::vector<CEvRec>{Cc(0, 0, 7, 1), Cc(24576, 0, 7, 3), CEvRec::EndOfTrack(24576)}));
    EXPECT_EQ(oOut10.m_aoEvents, (std::vector<CEvRec>{Cc(0, 0, 7, 2), CEvRec::EndOfTrack(24576)}));
    EXPECT_EQ(oMeta.m_aoEvents, (std::vector<CEvRec>{CEvRec::EndOfTrack(24576)}));
    EXPECT_FALSE(oOut9.IsOpen() || oOut10.IsOpen() || oMeta.IsOpen());
}

// The skip count runs over lists and leaves a partly skipped list its
// remainder; a count beyond the stream is reported and the outputs still end
// where the stream ended.
TEST_F(CPatMergeTest, UnmergeSkipsTheFirstEvents)
{
    const std::vector<BYTE> abyStream = Compact({{0, {Cc(0, 9, 1, 1), Cc(0, 9, 1, 2)}},
                                                 {10, {Cc(10, 9, 1, 3), Cc(10, 9, 1, 4), Cc(10, 9, 1, 5)}},
                                                 {20, {Cc(20, 9, 1, 6)}},
                                                 {30, {CEvRec::EndOfTrack(30)}}});
    {
        CDecProp oDecoder(abyStream.data(), abyStream.size());
        CRecordingEncoder oOut;
        CPropPattUnmerge oUnmerge(oDecoder);
        EXPECT_TRUE(oUnmerge.AddOutput(oOut, 9));
        EXPECT_EQ(oUnmerge.Unmerge(3, 0xFFFFFFFF), 30u);
        EXPECT_EQ(oOut.m_aoEvents, (std::vector<CEvRec>{Cc(10, 0, 1, 4), Cc(10, 0, 1, 5), Cc(20, 0, 1, 6),
                                                        CEvRec::EndOfTrack(30)}));
        EXPECT_TRUE(m_oCapture.Empty());
    }
    CDecProp oDecoder(abyStream.data(), abyStream.size());
    CRecordingEncoder oOut;
    CPropPattUnmerge oUnmerge(oDecoder);
    EXPECT_TRUE(oUnmerge.AddOutput(oOut, 9));
    EXPECT_EQ(oUnmerge.Unmerge(8, 0xFFFFFFFF), 30u);
    EXPECT_TRUE(m_oCapture.HasAssert("iNrEvents >= iSkipNrEvents", "MemCoder/PatMerge"));
    EXPECT_EQ(oOut.m_aoEvents, (std::vector<CEvRec>{CEvRec::EndOfTrack(30)}));
    EXPECT_FALSE(oOut.IsOpen());
}

// The all-channels output takes every channel message with channel 0 and
// must be the only output; a refused registration reports and leaves the
// un-merger as it was, and no channel number reaches past the 16 slots.
TEST_F(CPatMergeTest, UnmergeAllChannelsOutputAndRefusedRegistrations)
{
    const std::vector<BYTE> abyStream = Compact({{0, {Cc(0, 1, 7, 1), Cc(0, 15, 7, 2)}},
                                                 {0, {Text(0, 't')}},
                                                 {50, {CEvRec::Note(50, 9, 60, 80, 64, 10)}},
                                                 {100, {CEvRec::EndOfTrack(100)}}});
    CDecProp oDecoder(abyStream.data(), abyStream.size());
    CRecordingEncoder oAll, oOther, oMeta, oClosed;
    oClosed.Close();

    CPropPattUnmerge oUnmerge(oDecoder);
    EXPECT_FALSE(oUnmerge.AddOutput(oClosed, 255));
    EXPECT_TRUE(m_oCapture.HasAssert("roEncoder.IsOpen()", "MemCoder/PatMerge"));
    EXPECT_TRUE(oUnmerge.AddOutput(oAll, 255));
    EXPECT_FALSE(oUnmerge.AddOutput(oOther, 3));
    EXPECT_TRUE(m_oCapture.HasAssert("!m_bAllTracksIn", "MemCoder/PatMerge"));
    EXPECT_TRUE(oUnmerge.SetMetaOutput(oMeta));
    EXPECT_FALSE(oUnmerge.SetMetaOutput(oOther));
    EXPECT_TRUE(m_oCapture.HasAssert("m_poMetaPatt == 0", "MemCoder/PatMerge"));
    EXPECT_EQ(oUnmerge.Unmerge(0, 24576), 100u);
    EXPECT_EQ(oAll.m_aoEvents, (std::vector<CEvRec>{Cc(0, 0, 7, 1), Cc(0, 0, 7, 2), CEvRec::Note(50, 0, 60, 80, 64, 10),
                                                    CEvRec::EndOfTrack(100)}));
    EXPECT_EQ(oMeta.m_aoEvents, (std::vector<CEvRec>{Text(0, 't'), CEvRec::EndOfTrack(100)}));

    m_oCapture.Clear();
    CPropPattUnmerge oChannels(oDecoder);
    EXPECT_TRUE(oChannels.AddOutput(oOther, 3));
    EXPECT_FALSE(oChannels.AddOutput(oOther, 255));
    EXPECT_TRUE(m_oCapture.HasAssert("!m_bAnyTrack", "MemCoder/PatMerge"));
    EXPECT_FALSE(oChannels.AddOutput(oOther, 3));
    EXPECT_TRUE(m_oCapture.HasAssert("m_apoPPatt[byTrackIn] == 0", "MemCoder/PatMerge"));
    m_oCapture.Clear();
    for (BYTE byBeyond : {16, 17, 128, 254})
        EXPECT_FALSE(oChannels.AddOutput(oOther, byBeyond));
    EXPECT_EQ(m_oCapture.Texts().size(), 4u);
    EXPECT_TRUE(m_oCapture.HasAssert("byTrackIn < 16", "MemCoder/PatMerge"));
    oOther.Close();

    CPropPattUnmerge oNoOutput(oDecoder);
    EXPECT_EQ(oNoOutput.Unmerge(0, 24576), 100u);
    EXPECT_TRUE(m_oCapture.HasAssert("m_bAnyTrack", "MemCoder/PatMerge"));
}

// The filter is asked about every channel message routed to a channel
// output, with its tick, and nothing else; what it drops reaches no output.
TEST_F(CPatMergeTest, UnmergeFilterDropsChannelMessages)
{
    const std::vector<BYTE> abyStream =
        Compact({{0, {Cc(0, 9, 11, 90), Cc(0, 9, 7, 100), CEvRec::Note(0, 9, 36, 100, 64, 10)}},
                 {0, {Text(0, 'x')}},
                 {384, {Cc(384, 9, 11, 80)}},
                 {768, {CEvRec::EndOfTrack(768)}}});
    CDecProp oDecoder(abyStream.data(), abyStream.size());
    CDropTickZeroExpression oFilter;
    CRecordingEncoder oOut;
    CPropPattUnmerge oUnmerge(oDecoder, &oFilter);
    EXPECT_TRUE(oUnmerge.AddOutput(oOut, 9));
    EXPECT_EQ(oUnmerge.Unmerge(0, 24576), 768u);
    EXPECT_EQ(oOut.m_aoEvents, (std::vector<CEvRec>{Cc(0, 0, 7, 100), CEvRec::Note(0, 0, 36, 100, 64, 10),
                                                    Cc(384, 0, 11, 80), CEvRec::EndOfTrack(768)}));
    EXPECT_EQ(oFilter.m_aoAsked, (std::vector<CEvRec>{Cc(0, 9, 11, 90), Cc(0, 9, 7, 100),
                                                      CEvRec::Note(0, 9, 36, 100, 64, 10), Cc(384, 9, 11, 80)}));
}

// A decoder error ends every output at the tick of the list the decoder
// failed on, with the notes sounding there closed at that tick.
TEST_F(CPatMergeTest, UnmergeEndsEveryOutputAtADecoderError)
{
    // Compact: a note on channel 9 at 0 lasting 2000 ticks, controller 1 on
    // channel 10 at 768, then a record of the unknown code 11. The decoder
    // hands out the controller with its failure.
    const std::vector<BYTE> abyCorrupt = {0x60, 0x09, 0x64, 0x0F, 0x50, 0xC0, 0x86, 0x80, 0x43, 0x01, 0x01, 0x85, 0x0B};
    // SMF: a note-on on channel 9 at 0, a controller on channel 10 at 384 and
    // the illegal status F4 at 768. The decoder hands out the list at 384
    // with its failure.
    std::vector<BYTE> abyTrack;
    SmfAdd(abyTrack, 0, {0x99, 0x3C, 0x64});
    SmfAdd(abyTrack, 384, {0xBA, 0x07, 0x64});
    SmfAdd(abyTrack, 384, {0xF4});
    const std::vector<BYTE> abySmf = SmfFile(abyTrack);
    CMidiIn oMidiIn(abySmf.data(), DWORD(abySmf.size()));
    ASSERT_TRUE(oMidiIn.Open());
    CDecProp oCompact(abyCorrupt.data(), abyCorrupt.size());

    struct CCase
    {
        CDecBase* m_poDecoder;
        TTICK m_tStop;
        std::vector<CEvRec> m_aoChannel9;
        std::vector<CEvRec> m_aoChannel10;
    };
    const CCase kaoCases[] = {
        {&oCompact, 768, {CEvRec::Note(0, 0, 60, 100, 0x7F, 768), CEvRec::EndOfTrack(768)},
         {Cc(768, 0, 1, 5), CEvRec::EndOfTrack(768)}},
        {oMidiIn.GetDecoder(), 384, {CEvRec::Note(0, 0, 60, 100, 0x7F, 384), CEvRec::EndOfTrack(384)},
         {Cc(384, 0, 7, 100), CEvRec::EndOfTrack(384)}},
    };
    for (const CCase& rkoCase : kaoCases)
    {
        SCOPED_TRACE(rkoCase.m_tStop);
        CMemEncoder oOut9, oOut10, oMeta;
        oOut9.Open();
        oOut10.Open();
        oMeta.Open();
        CPropPattUnmerge oUnmerge(*rkoCase.m_poDecoder);
        EXPECT_TRUE(oUnmerge.AddOutput(oOut9, 9) && oUnmerge.AddOutput(oOut10, 10) && oUnmerge.SetMetaOutput(oMeta));
        EXPECT_EQ(oUnmerge.Unmerge(0, 24576), rkoCase.m_tStop);
        EXPECT_FALSE(oOut9.IsOpen() || oOut10.IsOpen() || oMeta.IsOpen());
        EXPECT_EQ(DecodeBlock(Bytes(oOut9)).Events(), rkoCase.m_aoChannel9);
        EXPECT_EQ(DecodeBlock(Bytes(oOut10)).Events(), rkoCase.m_aoChannel10);
        EXPECT_EQ(DecodeBlock(Bytes(oMeta)).Events(), (std::vector<CEvRec>{CEvRec::EndOfTrack(rkoCase.m_tStop)}));
    }
    ExpectOnlyReports({"Assert FALSE File:Kernel/SeqBase/CDecProp", "Assert m_bIsTerminated",
                       "\nCDecSMF0::OnExtractEvent() - Illegal status code", "CDecStream::ExtractEvent(...)",
                       "CEncoderProp::ShutNotes() - Shut key="});
}

// Notes still sounding where the un-merge stops get their durations up to
// that tick, whether the memory encoder holds their note-offs (notes with
// durations from a compact stream) or only their note-ons (a MIDI file), and
// the end-of-track stays at that tick.
TEST_F(CPatMergeTest, UnmergeClosesHeldNotesAtTheStopTick)
{
    const std::vector<BYTE> abyCompact = Compact(
        {{24000,
          {CEvRec::Note(24000, 9, 60, 100, 64, 2000), CEvRec::Note(24000, 9, 64, 100, 64, 2000),
           CEvRec::Note(24000, 9, 67, 100, 64, 2000)}},
         {30000, {CEvRec::EndOfTrack(30000)}}});
    std::vector<BYTE> abyTrack;
    SmfAdd(abyTrack, 0, {0x9A, 0x30, 0x50}); // channel 10, never released
    SmfAdd(abyTrack, 24000, {0x99, 0x3C, 0x64});
    SmfAdd(abyTrack, 0, {0x99, 0x40, 0x64});
    SmfAdd(abyTrack, 0, {0x99, 0x43, 0x64});
    SmfAdd(abyTrack, 2000, {0x89, 0x3C, 0x40});
    SmfAdd(abyTrack, 0, {0x89, 0x40, 0x40});
    SmfAdd(abyTrack, 0, {0x89, 0x43, 0x40});
    SmfAdd(abyTrack, 4000, {0xFF, 0x2F, 0x00});
    const std::vector<BYTE> abySmf = SmfFile(abyTrack);
    CMidiIn oMidiIn(abySmf.data(), DWORD(abySmf.size()));
    ASSERT_TRUE(oMidiIn.Open());
    CDecProp oCompact(abyCompact.data(), abyCompact.size());

    const std::vector<CEvRec> kaoChord = {CEvRec::Note(24000, 0, 60, 100, 0x7F, 576),
                                          CEvRec::Note(24000, 0, 64, 100, 0x7F, 576),
                                          CEvRec::Note(24000, 0, 67, 100, 0x7F, 576), CEvRec::EndOfTrack(24576)};
    for (CDecBase* poDecoder : {static_cast<CDecBase*>(&oCompact), static_cast<CDecBase*>(oMidiIn.GetDecoder())})
    {
        CMemEncoder oOut9, oOut10;
        oOut9.Open();
        oOut10.Open();
        CPropPattUnmerge oUnmerge(*poDecoder);
        EXPECT_TRUE(oUnmerge.AddOutput(oOut9, 9) && oUnmerge.AddOutput(oOut10, 10));
        EXPECT_EQ(oUnmerge.Unmerge(0, 24576), 24576u);
        EXPECT_EQ(DecodeBlock(Bytes(oOut9)).Events(), kaoChord);
        EXPECT_EQ(oOut9.GetEndTick(), 24576u);
        const std::vector<CEvRec> aoChannel10 = DecodeBlock(Bytes(oOut10)).Events();
        if (poDecoder == &oCompact)
            EXPECT_EQ(aoChannel10, (std::vector<CEvRec>{CEvRec::EndOfTrack(24576)}));
        else
            EXPECT_EQ(aoChannel10, (std::vector<CEvRec>{CEvRec::Note(0, 0, 48, 80, 0x7F, 24576),
                                                        CEvRec::EndOfTrack(24576)}));
    }

    // A file that never releases a note: the note lasts up to its end of track.
    abyTrack.clear();
    SmfAdd(abyTrack, 0, {0x99, 0x3C, 0x64});
    SmfAdd(abyTrack, 3000, {0xFF, 0x2F, 0x00});
    const std::vector<BYTE> abyUnreleased = SmfFile(abyTrack);
    CMidiIn oUnreleased(abyUnreleased.data(), DWORD(abyUnreleased.size()));
    ASSERT_TRUE(oUnreleased.Open());
    CMemEncoder oOut;
    oOut.Open();
    CPropPattUnmerge oUnmerge(*oUnreleased.GetDecoder());
    EXPECT_TRUE(oUnmerge.AddOutput(oOut, 9));
    EXPECT_EQ(oUnmerge.Unmerge(0, 24576), 3000u);
    EXPECT_EQ(DecodeBlock(Bytes(oOut)).Events(),
              (std::vector<CEvRec>{CEvRec::Note(0, 0, 60, 100, 0x7F, 3000), CEvRec::EndOfTrack(3000)}));
    ExpectOnlyReports({"CEncoderProp::ShutNotes() - Shut key="});
}

// ---------------------------------------------------------------------------
// Round trip across the coders
// ---------------------------------------------------------------------------

// A chord variation in compact patterns: eight tracks of notes (note-off
// velocity 64, as a MIDI file gives it back; keys of a track never overlap,
// at most 5 notes sound at once), controllers and pitch bends on track 0,
// each ending with its end-of-track; and a meta pattern cut at m_tMetaEnd.
struct CChordVarCase
{
    std::vector<std::vector<CInputGroup>> m_aaoTracks;
    std::vector<CInputGroup> m_aoMeta;
    TTICK m_tMetaEnd = 0;
};

CChordVarCase MakeChordVarCase(std::uint32_t uSeed)
{
    std::mt19937 oRng(uSeed);
    auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(oRng); };
    CChordVarCase oCase;
    for (int iTrack = 0; iTrack < 8; ++iTrack)
    {
        std::vector<CInputGroup> aoGroups;
        std::map<int, std::pair<TTICK, TTICK>> oLastOfKey; // key -> start, end
        std::vector<TTICK> atNoteEnds;
        TTICK tTick = 0, tLatest = 0;
        for (int iStep = Rand(0, 40); iStep > 0; --iStep)
        {
            tTick += TTICK(Rand(0, 3) ? Rand(0, 500) : Rand(500, 5000));
            CInputGroup oGroup{tTick, {}};
            for (int i = Rand(1, 4); i > 0; --i)
            {
                const int iKind = Rand(0, 5);
                if (iKind >= 4)
                {
                    oGroup.m_aoEvents.push_back(iKind == 4 ? Cc(tTick, 0, BYTE(Rand(0, 119)), BYTE(Rand(0, 127)))
                                                           : CEvRec::Chn(tTick, EVSC_PITCH_B_CHANGE, 0,
                                                                         BYTE(Rand(0, 127)), BYTE(Rand(0, 127))));
                    continue;
                }
                const int iKey = Rand(24, 100);
                const auto itLast = oLastOfKey.find(iKey);
                if (itLast != oLastOfKey.end() &&
                    !(tTick > itLast->second.second ||
                      (tTick == itLast->second.second && itLast->second.second > itLast->second.first)))
                    continue;
                if (std::count_if(atNoteEnds.begin(), atNoteEnds.end(), [&](TTICK t) { return t > tTick; }) >= 5)
                    continue;
                const DWORD dwDuration = Rand(0, 9) ? DWORD(Rand(0, 2000)) : DWORD(Rand(512, 1250)) * 16;
                oGroup.m_aoEvents.push_back(CEvRec::Note(tTick, 0, BYTE(iKey), BYTE(Rand(1, 127)), 64, dwDuration));
                oLastOfKey[iKey] = {tTick, tTick + dwDuration};
                atNoteEnds.push_back(tTick + dwDuration);
                tLatest = std::max(tLatest, tTick + dwDuration);
            }
            if (!oGroup.m_aoEvents.empty())
                aoGroups.push_back(std::move(oGroup));
        }
        const TTICK tEnd = std::max(tTick, tLatest) + TTICK(Rand(0, 400));
        aoGroups.push_back({tEnd, {CEvRec::EndOfTrack(tEnd)}});
        oCase.m_aaoTracks.push_back(std::move(aoGroups));
    }
    TTICK tTick = 0;
    for (int iStep = Rand(0, 8); iStep > 0; --iStep)
    {
        tTick += TTICK(Rand(0, 3000));
        oCase.m_aoMeta.push_back({tTick, {Rand(0, 1) ? Text(tTick, BYTE(Rand('a', 'z')))
                                                     : CEvRec::Meta(tTick, 0x7E, {2, BYTE(Rand(0, 127))})}});
    }
    const TTICK tMetaLength = tTick + TTICK(Rand(0, 100));
    oCase.m_aoMeta.push_back({tMetaLength, {CEvRec::EndOfTrack(tMetaLength)}});
    oCase.m_tMetaEnd = TTICK(Rand(0, int(tMetaLength) + 200));
    return oCase;
}

// What the merged file must hold: the events of every channel, and its end.
struct CMergedContent
{
    std::vector<CEvRec> m_aoNotes;      // notes with durations, sorted
    std::vector<CEvRec> m_aoOtherChn;   // other channel messages, by channel, in order
    std::vector<CEvRec> m_aoMeta;       // meta events in order, no end-of-track
    std::vector<TTICK> m_atEndOfTrack;  // ticks of the end-of-track events
    TTICK m_tLastTick = 0;              // tick of the last event
};

void Canonical(CMergedContent& roContent)
{
    std::sort(roContent.m_aoNotes.begin(), roContent.m_aoNotes.end(), [](const CEvRec& a, const CEvRec& b) {
        return std::tie(a.m_tTick, a.m_dwWord1, a.m_dwWord2) < std::tie(b.m_tTick, b.m_dwWord1, b.m_dwWord2);
    });
    std::stable_sort(roContent.m_aoOtherChn.begin(), roContent.m_aoOtherChn.end(),
                     [](const CEvRec& a, const CEvRec& b) { return BYTE(a.m_dwWord1 >> 8) < BYTE(b.m_dwWord1 >> 8); });
}

// ReadMergedFile -- decodes the file and joins note-on and note-off into
// notes (no two notes of one key and channel overlap).
CMergedContent ReadMergedFile(const std::vector<BYTE>& rkabyFile)
{
    CMergedContent oContent;
    CMidiIn oMidiIn(rkabyFile.data(), DWORD(rkabyFile.size()));
    EXPECT_TRUE(oMidiIn.Open());
    CDecBase& roDecoder = *oMidiIn.GetDecoder();
    std::map<std::pair<BYTE, BYTE>, CEvRec> oSounding;
    TDELTA sdwDelta = roDecoder.Rewind();
    while (sdwDelta != NO_DELTA)
    {
        CLinkedEvent* poList = nullptr;
        sdwDelta = roDecoder.ExtractEvents(poList);
        const TTICK tTick = roDecoder.GetTick();
        for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
        {
            oContent.m_tLastTick = tTick;
            CEvRec oRec = CEvRec::From(tTick, *poEvent);
            if (oRec.m_byClass == EC_META)
            {
                if (poEvent->IsEndOfTrack())
                    oContent.m_atEndOfTrack.push_back(tTick);
                else
                    oContent.m_aoMeta.push_back(oRec);
                continue;
            }
            const BYTE byCode = poEvent->GetCode();
            const std::pair<BYTE, BYTE> oKey(poEvent->GetTrack(), poEvent->GetData1());
            if (byCode == EVSC_NOTEON)
            {
                EXPECT_EQ(oSounding.count(oKey), 0u) << "overlapping note at " << tTick;
                oSounding[oKey] = oRec;
            }
            else if (byCode == EVSC_NOTEOFF)
            {
                const auto itOn = oSounding.find(oKey);
                EXPECT_NE(itOn, oSounding.end()) << "note-off without note-on at " << tTick;
                if (itOn == oSounding.end())
                    continue;
                oContent.m_aoNotes.push_back(CEvRec::Note(itOn->second.m_tTick, oKey.first, oKey.second,
                                                          BYTE(itOn->second.m_dwWord1 >> 24), 64,
                                                          tTick - itOn->second.m_tTick));
                oSounding.erase(itOn);
            }
            else
                oContent.m_aoOtherChn.push_back(oRec);
        }
        if (poList)
            FreeEventsList(poList);
    }
    EXPECT_TRUE(roDecoder.IsEndOfStream());
    EXPECT_TRUE(oSounding.empty());
    Canonical(oContent);
    return oContent;
}

// Random chord variations go from compact patterns (memory encoder, compact
// decoder) through the merge into a MIDI file, which must hold every note,
// controller and pitch bend on its track's channel at its tick, and the meta
// events up to the meta end; the file goes back through the un-merge into a
// memory encoder per channel, which must give the patterns' events again.
TEST_F(CPatMergeTest, RoundTripCompactToMidiFileAndBack)
{
    for (std::uint32_t uSeed = 1; uSeed <= 40; ++uSeed)
    {
        SCOPED_TRACE("seed " + std::to_string(uSeed));
        const CChordVarCase oCase = MakeChordVarCase(uSeed);

        // Expected content of the file.
        CMergedContent oExpected;
        std::vector<std::vector<BYTE>> aabyTracks;
        std::vector<std::vector<CEvRec>> aaoTrackEvents;
        TTICK tEnd = 0;
        for (int iTrack = 0; iTrack < 8; ++iTrack)
        {
            aabyTracks.push_back(Compact(oCase.m_aaoTracks[iTrack]));
            std::vector<CEvRec> aoEvents = DecodeBlock(aabyTracks.back()).Events();
            tEnd = std::max(tEnd, aoEvents.back().m_tTick);
            aoEvents.pop_back();
            for (CEvRec oRec : aoEvents)
            {
                oRec.m_dwWord1 = (oRec.m_dwWord1 & ~DWORD(0xFF00)) | DWORD(kabyTrackChannel[iTrack]) << 8;
                (oRec.IsNote() ? oExpected.m_aoNotes : oExpected.m_aoOtherChn).push_back(oRec);
            }
            aaoTrackEvents.push_back(std::move(aoEvents));
        }
        const std::vector<BYTE> abyMeta = Compact(oCase.m_aoMeta);
        for (const CEvRec& rkoRec : DecodeBlock(abyMeta).Events())
        {
            if (rkoRec.m_tTick >= oCase.m_tMetaEnd)
                break;
            tEnd = std::max(tEnd, rkoRec.m_tTick);
            if (!(rkoRec == CEvRec::EndOfTrack(rkoRec.m_tTick)))
                oExpected.m_aoMeta.push_back(rkoRec);
        }
        Canonical(oExpected);

        // Merge into a MIDI file.
        std::unique_ptr<BYTE[]> pbyFile;
        DWORD dwFileSize = 0;
        {
            std::vector<std::unique_ptr<CDecProp>> apoInputs;
            CMidiOut oMidiOut;
            CPropPattMerge oMerge(oMidiOut);
            for (int iTrack = 0; iTrack < 8; ++iTrack)
            {
                apoInputs.push_back(std::make_unique<CDecProp>(aabyTracks[iTrack].data(), aabyTracks[iTrack].size()));
                EXPECT_TRUE(oMerge.AddTrackInput(*apoInputs.back(), kabyTrackChannel[iTrack]));
            }
            CDecProp oMetaInput(abyMeta.data(), abyMeta.size());
            oMerge.AddMetaInput(oMetaInput, oCase.m_tMetaEnd);
            EXPECT_TRUE(oMerge.Merge());
            pbyFile = oMidiOut.TakeOutput(dwFileSize);
        }
        ASSERT_TRUE(pbyFile);
        const std::vector<BYTE> abyFile(pbyFile.get(), pbyFile.get() + dwFileSize);

        const CMergedContent oRead = ReadMergedFile(abyFile);
        EXPECT_EQ(oRead.m_aoNotes, oExpected.m_aoNotes);
        EXPECT_EQ(oRead.m_aoOtherChn, oExpected.m_aoOtherChn);
        EXPECT_EQ(oRead.m_aoMeta, oExpected.m_aoMeta);
        EXPECT_EQ(oRead.m_atEndOfTrack, std::vector<TTICK>{tEnd});
        EXPECT_EQ(oRead.m_tLastTick, tEnd);

        // And back into one memory encoder per channel.
        CMidiIn oMidiIn(abyFile.data(), DWORD(abyFile.size()));
        ASSERT_TRUE(oMidiIn.Open());
        std::vector<std::unique_ptr<CMemEncoder>> apoOutputs;
        CMemEncoder oMetaOutput;
        oMetaOutput.Open();
        CPropPattUnmerge oUnmerge(*oMidiIn.GetDecoder());
        for (int iTrack = 0; iTrack < 8; ++iTrack)
        {
            apoOutputs.push_back(std::make_unique<CMemEncoder>());
            apoOutputs.back()->Open();
            EXPECT_TRUE(oUnmerge.AddOutput(*apoOutputs.back(), kabyTrackChannel[iTrack]));
        }
        EXPECT_TRUE(oUnmerge.SetMetaOutput(oMetaOutput));
        EXPECT_EQ(oUnmerge.Unmerge(0, 0xFFFFFFFF), tEnd);
        for (int iTrack = 0; iTrack < 8; ++iTrack)
        {
            SCOPED_TRACE("track " + std::to_string(iTrack));
            std::vector<CEvRec> aoExpected = aaoTrackEvents[iTrack];
            aoExpected.push_back(CEvRec::EndOfTrack(tEnd));
            EXPECT_EQ(DecodeBlock(Bytes(*apoOutputs[iTrack])).Events(), aoExpected);
        }
        std::vector<CEvRec> aoExpectedMeta = oExpected.m_aoMeta;
        aoExpectedMeta.push_back(CEvRec::EndOfTrack(tEnd));
        EXPECT_EQ(DecodeBlock(Bytes(oMetaOutput)).Events(), aoExpectedMeta);

        EXPECT_TRUE(m_oCapture.Empty()) << m_oCapture.Texts().front();
        m_oCapture.Clear();
        if (HasFailure())
            return;
    }
}

} // namespace
