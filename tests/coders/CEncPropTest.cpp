// CEncPropTest.cpp -- the compact encoder: exact record bytes read back by
// the decoder, the note tracer and its limits, the encoder framework's group
// rules, window limits, and seeded random round trips.
#include "Kernel/SeqBase/CEncProp.h"
#include "Kernel/SeqBase/NoteInfoPool.h"
#include "PropStreams.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::size_t CANARY_SIZE = 16;
constexpr BYTE CANARY = 0xCC;

CEvRec On(TTICK t, BYTE byKey, BYTE byVel, BYTE byTrack = 0)
{
    return CEvRec::Chn(t, EVSC_NOTEON, byTrack, byKey, byVel);
}
CEvRec Off(TTICK t, BYTE byKey, BYTE byVel, BYTE byTrack = 0)
{
    return CEvRec::Chn(t, EVSC_NOTEOFF, byTrack, byKey, byVel);
}
CEvRec Cc(TTICK t, BYTE byTrack, BYTE byData1, BYTE byData2)
{
    return CEvRec::Chn(t, EVSC_CTRL_CHANGE, byTrack, byData1, byData2);
}

// Encodes the groups into a window of nWindow bytes followed by a canary;
// returns the bytes written and whether every group went in.
struct CEncoded
{
    std::vector<BYTE> m_abyBytes;
    bool m_bDone = false;
};
CEncoded Encode(const std::vector<CInputGroup>& raoGroups, std::size_t nWindow = 4096, bool bUseNoteDuration = true)
{
    std::vector<BYTE> abyBuffer(nWindow + CANARY_SIZE, CANARY);
    CEncoderProp oEncoder;
    oEncoder.SetBuffer(abyBuffer.data(), DWORD(nWindow));
    oEncoder.Open();
    oEncoder.SetUseNoteDuration(bUseNoteDuration);
    CEncoded oResult;
    oResult.m_bDone = EncodeGroups(oEncoder, raoGroups);
    oEncoder.Close();
    const std::size_t nWritten = oEncoder.GetBytesWritten();
    EXPECT_LE(nWritten, nWindow);
    for (std::size_t i = nWritten; i < abyBuffer.size(); ++i)
        EXPECT_EQ(abyBuffer[i], CANARY) << "byte " << i << " written beyond " << nWritten;
    oResult.m_abyBytes.assign(abyBuffer.begin(), abyBuffer.begin() + nWritten);
    return oResult;
}

class CEncPropTest : public ::testing::Test
{
protected:
    // The groups give exactly these bytes, without a report, and the decoder
    // reads back exactly these events.
    void ExpectRecords(const std::vector<CInputGroup>& raoGroups, const std::vector<BYTE>& abyBytes,
                       const std::vector<CEvRec>& raoDecoded, bool bUseNoteDuration = true)
    {
        m_oCapture.Clear();
        const CEncoded oEncoded = Encode(raoGroups, 4096, bUseNoteDuration);
        EXPECT_TRUE(oEncoded.m_bDone);
        EXPECT_EQ(oEncoded.m_abyBytes, abyBytes);
        EXPECT_TRUE(m_oCapture.Empty()) << m_oCapture.Texts().front();
        const CDecodedStream oDecoded = DecodeBlock(abyBytes);
        EXPECT_TRUE(oDecoded.m_bEnded);
        EXPECT_EQ(oDecoded.Events(), raoDecoded);
    }

    CReportCapture m_oCapture;
};

TEST_F(CEncPropTest, NoteRecords)
{
    // Short and long form by key: note-on velocity 0x64 at 0, note-off
    // velocity 0x40 at 96, track 0.
    const std::pair<BYTE, std::vector<BYTE>> kaoForms[] = {
        {27, {0x07, 0x1B, 0x64}}, {28, {0x20, 0xE4}}, {59, {0x3F, 0xE4}},
        {60, {0x20, 0x64}},       {91, {0x3F, 0x64}}, {92, {0x07, 0x5C, 0x64}},
    };
    for (const auto& [byKey, abyHead] : kaoForms)
    {
        SCOPED_TRACE(int(byKey));
        std::vector<BYTE> abyBytes = abyHead;
        abyBytes.insert(abyBytes.end(), {0x00, 0x60, 0xC0, 0xE0, 0x09, 0x2F, 0x00, 0x00});
        ExpectRecords({{0, {On(0, byKey, 0x64)}}, {96, {Off(96, byKey, 0x40)}}, {96, {CEvRec::EndOfTrack(96)}}},
                      abyBytes, {CEvRec::Note(0, 0, byKey, 0x64, 0x40, 96), CEvRec::EndOfTrack(96)});
    }

    // A short note that changes track carries the key flag on the track byte.
    ExpectRecords({{0, {On(0, 40, 0x64, 2)}},
                   {10, {Off(10, 40, 0, 2), On(10, 70, 0x64, 2)}},
                   {20, {Off(20, 70, 0, 2)}},
                   {20, {CEvRec::EndOfTrack(20)}}},
                  {0x6C, 0x82, 0x64, 0x00, 0x0A, 0x80, 0x8A, 0x2A, 0x64, 0x00, 0x0A, 0x80, 0x8A, 0x09, 0x2F, 0x00, 0x00},
                  {CEvRec::Note(0, 2, 40, 0x64, 0, 10), CEvRec::Note(10, 2, 70, 0x64, 0, 10), CEvRec::EndOfTrack(20)});

    // Two notes of one key: the first note-off closes the newest.
    ExpectRecords({{0, {On(0, 60, 10)}},
                   {10, {On(10, 60, 20)}},
                   {20, {Off(20, 60, 1)}},
                   {40, {Off(40, 60, 2)}},
                   {40, {CEvRec::EndOfTrack(40)}}},
                  {0x20, 0x0A, 0x00, 0x28, 0x82, 0x8A, 0x20, 0x14, 0x00, 0x0A, 0x81, 0x9E, 0x09, 0x2F, 0x00, 0x00},
                  {CEvRec::Note(0, 0, 60, 10, 2, 40), CEvRec::Note(10, 0, 60, 20, 1, 10), CEvRec::EndOfTrack(40)});

    // Without note durations: records of codes 1 and 0.
    ExpectRecords({{0, {On(0, 60, 0x64)}}, {96, {Off(96, 60, 0x40)}}, {96, {CEvRec::EndOfTrack(96)}}},
                  {0x01, 0x3C, 0xE4, 0xE0, 0x00, 0x3C, 0xC0, 0x09, 0x2F, 0x00, 0x00},
                  {On(0, 60, 0x64), Off(96, 60, 0x40), CEvRec::EndOfTrack(96)}, false);
}

TEST_F(CEncPropTest, ChannelAndSysExRecords)
{
    // Running track: deltas 3 and 0x7E; one-byte messages end on data1.
    const std::vector<CEvRec> aoChannel = {
        Cc(0, 0, 0x07, 0x64),
        CEvRec::Chn(0, EVSC_PRG_CHANGE, 3, 0x05),
        Cc(0, 1, 0x07, 0x64),
        CEvRec::Chn(5, EVSC_PITCH_B_CHANGE, 1, 0x00, 0x40),
        CEvRec::Chn(5, EVSC_CHN_PRESSURE, 1, 0x33),
        CEvRec::Chn(5, EVSC_MODE_MSG, 1, 0x7B, 0x00),
        CEvRec::EndOfTrack(5),
    };
    ExpectRecords({{0, {aoChannel.begin(), aoChannel.begin() + 3}},
                   {5, {aoChannel.begin() + 3, aoChannel.begin() + 6}},
                   {5, {aoChannel.back()}}},
                  {0x03, 0x07, 0xE4, 0x44, 0x03, 0x85, 0x43, 0x7E, 0x07, 0xE4, 0x85, 0x06, 0x00, 0xC0, 0x05, 0xB3,
                   0x08, 0x7B, 0x80, 0x09, 0x2F, 0x00, 0x00},
                  aoChannel);

    // System exclusive packets: the framing goes, the packet type keeps it.
    const std::vector<CEvRec> aoPackets = {
        CEvRec::SysEx(0, {0xF0, 0xF7}),       CEvRec::SysEx(0, {0xF0, 0x41, 0x10, 0xF7}),
        CEvRec::SysEx(0, {0xF0, 0x41, 0x42}), CEvRec::SysEx(0, {0x43, 0x44}),
        CEvRec::SysEx(0, {0x45, 0xF7}),       CEvRec::SysEx(0, {}),
        CEvRec::EndOfTrack(0),
    };
    ExpectRecords({{0, {aoPackets.begin(), aoPackets.end() - 1}}, {0, {aoPackets.back()}}},
                  {0x0A, 0x00, 0x00, 0x80,                    // F0 F7
                   0x0A, 0x00, 0x00, 0x02, 0x41, 0x90,        // complete
                   0x0A, 0x01, 0x00, 0x02, 0x41, 0xC2,        // first packet
                   0x0A, 0x02, 0x00, 0x02, 0x43, 0xC4,        // middle packet
                   0x0A, 0x03, 0x00, 0x01, 0xC5,              // last packet
                   0x0A, 0x02, 0x00, 0x80,                    // empty middle packet
                   0x09, 0x2F, 0x00, 0x00},
                  aoPackets);
}

TEST_F(CEncPropTest, DurationLimits)
{
    struct CCase
    {
        DWORD m_dwDuration;
        BYTE m_abyField[2];
        DWORD m_dwDecoded;
    };
    const CCase kaoCases[] = {
        {8191, {0x3F, 0x7F}, 8191},       {8192, {0x44, 0x00}, 8192},       {8207, {0x44, 0x00}, 8192},
        {0x1FFF0, {0x7F, 0x7F}, 0x1FFF0}, {0x1FFF1, {0x7F, 0x7F}, 0x1FFF0},
    };
    for (const CCase& rkoCase : kaoCases)
    {
        const DWORD dwDuration = rkoCase.m_dwDuration;
        SCOPED_TRACE(dwDuration);
        m_oCapture.Clear();
        // A note that has its duration is written whole, in the long form;
        // the end of track waits for its end.
        const CEncoded oWhole = Encode({{0, {CEvRec::Note(0, 0, 60, 0x64, 0x40, dwDuration)}},
                                        {0, {CEvRec::EndOfTrack(0)}}});
        EXPECT_EQ(std::vector<BYTE>(oWhole.m_abyBytes.begin(), oWhole.m_abyBytes.begin() + 6),
                  (std::vector<BYTE>{0x07, 0x3C, 0x64, rkoCase.m_abyField[0], rkoCase.m_abyField[1], 0xC0}));
        EXPECT_EQ(DecodeBlock(oWhole.m_abyBytes).Events(),
                  (std::vector<CEvRec>{CEvRec::Note(0, 0, 60, 0x64, 0x40, rkoCase.m_dwDecoded),
                                       CEvRec::EndOfTrack(dwDuration)}));
        // The same duration through the note tracer.
        const CEncoded oTraced = Encode({{0, {On(0, 60, 0x64)}}, {dwDuration, {Off(dwDuration, 60, 0x40)}}});
        EXPECT_EQ(oTraced.m_abyBytes,
                  (std::vector<BYTE>{0x20, 0x64, rkoCase.m_abyField[0], rkoCase.m_abyField[1], 0xC0}));
        EXPECT_EQ(m_oCapture.HasAssert("dwDuration <= (DUR_DATA_MASK << DUR_RES_FACTOR)", "Kernel/SeqBase/CEncProp"),
                  dwDuration > 0x1FFF0);
    }
}

TEST_F(CEncPropTest, CloseChecks)
{
    struct CCase
    {
        const char* m_pszName;
        std::vector<CInputGroup> m_aoGroups;
        std::vector<std::string> m_astrReports;
    };
    const std::string kstrNoEnd = "CEncoderProp::Close() - EOT not found";
    const CCase kaoCases[] = {
        {"note-off without note-on",
         {{0, {Off(0, 60, 0)}}, {0, {CEvRec::EndOfTrack(0)}}},
         {"CEncoderProp::OnNoteOff - Note on not found"}},
        {"no end of track", {{0, {Cc(0, 0, 1, 2)}}}, {kstrNoEnd}},
        {"data ending like an end of track", {{0, {CEvRec::Meta(0, 0x01, {0x09, 0x2F, 0x00, 0x00})}}}, {kstrNoEnd}},
        {"record after the end of track", {{0, {CEvRec::EndOfTrack(0), CEvRec::Meta(0, 0x01, {0x41})}}}, {kstrNoEnd}},
        {"open note", {{0, {On(0, 60, 0x64)}}, {10, {CEvRec::EndOfTrack(10)}}},
         {"CEncoderProp::OnClose() - Note Tracer is not empty"}},
    };
    for (const CCase& rkoCase : kaoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszName);
        m_oCapture.Clear();
        EXPECT_TRUE(Encode(rkoCase.m_aoGroups).m_bDone);
        EXPECT_EQ(m_oCapture.Texts(), rkoCase.m_astrReports);
    }
    // A note-off without note-on writes nothing.
    EXPECT_EQ(Encode({{0, {Off(0, 60, 0)}}}).m_abyBytes, std::vector<BYTE>{});
}

TEST_F(CEncPropTest, FrameworkGroupRules)
{
    // The null event of a meta group is skipped.
    ExpectRecords({{0, {CEvRec::Meta(0, 0x7E, {0x00}), CEvRec::Meta(0, 0x01, {0x41})}}, {0, {CEvRec::EndOfTrack(0)}}},
                  {0x09, 0x01, 0x00, 0x01, 0x41, 0x09, 0x2F, 0x00, 0x00},
                  {CEvRec::Meta(0, 0x01, {0x41}), CEvRec::EndOfTrack(0)});

    // An end of track before the end of a closed note moves there, and a
    // meta event after it in the group follows it.
    EXPECT_EQ(Encode({{0, {CEvRec::Note(0, 0, 60, 0x64, 0x40, 500)}},
                      {100, {CEvRec::EndOfTrack(100), CEvRec::Meta(100, 0x01, {0x42})}}})
                  .m_abyBytes,
              (std::vector<BYTE>{0x07, 0x3C, 0x64, 0x03, 0x74, 0xC0, 0x83, 0xF4, 0x09, 0x2F, 0x00, 0x00, 0x09, 0x01,
                                 0x00, 0x01, 0x42}));

    // A group at the input tick has delta 0.
    EXPECT_EQ(Encode({{50, {Cc(50, 0, 0x07, 0x64)}}, {50, {CEvRec::Chn(50, EVSC_PRG_CHANGE, 0, 0x05)}}}).m_abyBytes,
              (std::vector<BYTE>{0xB2, 0x03, 0x07, 0xE4, 0x04, 0x85}));

    // Open on an open encoder and Close on a closed one change nothing: the
    // running track stays.
    std::vector<BYTE> abyBuffer(64);
    CEncoderProp oEncoder;
    oEncoder.SetBuffer(abyBuffer.data(), DWORD(abyBuffer.size()));
    ASSERT_TRUE(oEncoder.Open());
    ASSERT_TRUE(EncodeGroups(oEncoder, {{0, {Cc(0, 3, 0x07, 0x64)}}}));
    EXPECT_FALSE(oEncoder.Open());
    ASSERT_TRUE(EncodeGroups(oEncoder, {{0, {Cc(0, 3, 0x07, 0x65)}}, {0, {CEvRec::EndOfTrack(0)}}}));
    EXPECT_TRUE(oEncoder.Close());
    EXPECT_FALSE(oEncoder.Close());
    EXPECT_EQ(std::vector<BYTE>(abyBuffer.begin(), abyBuffer.begin() + 7),
              (std::vector<BYTE>{0x43, 0x03, 0x07, 0xE4, 0x03, 0x07, 0xE5}));
}

TEST_F(CEncPropTest, NoteTracerLimits)
{
    std::vector<BYTE> abyBuffer(1024);
    CEncoderProp oEncoder;
    oEncoder.SetBuffer(abyBuffer.data(), DWORD(abyBuffer.size()));
    ASSERT_TRUE(oEncoder.Open());
    std::vector<CEvRec> aoOns;
    for (int iKey = 0; iKey < CNoteInfoPool::NR_NOTES; ++iKey)
        aoOns.push_back(On(0, BYTE(iKey), 0x64));
    ASSERT_TRUE(EncodeGroups(oEncoder, {{0, aoOns}}));
    EXPECT_EQ(NoteInfoPool().GetFreeCount(), 0);

    // The 65th open note is refused whole.
    const DWORD dwWritten = oEncoder.GetBytesWritten();
    EXPECT_FALSE(EncodeGroups(oEncoder, {{0, {On(0, 100, 0x64)}}}));
    EXPECT_TRUE(m_oCapture.Has("CNoteInfoPool::GetNewNote() - Pool of notes is exhausted"));
    EXPECT_EQ(oEncoder.GetBytesWritten(), dwWritten);

    // Shut at 100, every note ends there with note-off velocity 0x7F.
    m_oCapture.Clear();
    oEncoder.ShutNotes(100);
    EXPECT_EQ(m_oCapture.Texts().size(), std::size_t(CNoteInfoPool::NR_NOTES));
    EXPECT_TRUE(m_oCapture.Has("CEncoderProp::ShutNotes() - Shut key=3F start=0  end = 100  duration = 100"));
    EXPECT_EQ(NoteInfoPool().GetFreeCount(), CNoteInfoPool::NR_NOTES);
    ASSERT_TRUE(EncodeGroups(oEncoder, {{0, {CEvRec::EndOfTrack(0)}}}));
    ASSERT_TRUE(oEncoder.Close());
    const std::vector<CEvRec> aoEvents =
        DecodeBlock(std::vector<BYTE>(abyBuffer.begin(), abyBuffer.begin() + oEncoder.GetBytesWritten())).Events();
    ASSERT_EQ(aoEvents.size(), std::size_t(CNoteInfoPool::NR_NOTES + 1));
    EXPECT_EQ(aoEvents[0x3F], CEvRec::Note(0, 0, 0x3F, 0x64, 0x7F, 100));
    EXPECT_EQ(aoEvents.back(), CEvRec::EndOfTrack(100));

    // A note-off after the latest note end closes its note there.
    ASSERT_TRUE(oEncoder.Open());
    oEncoder.SetBuffer(abyBuffer.data(), DWORD(abyBuffer.size()));
    oEncoder.SetMaxNoteAbsTick(150);
    ASSERT_TRUE(EncodeGroups(oEncoder, {{0, {On(0, 60, 0x64)}}, {200, {Off(200, 60, 0x40)}},
                                        {200, {CEvRec::EndOfTrack(200)}}}));
    ASSERT_TRUE(oEncoder.Close());
    EXPECT_EQ(DecodeBlock(std::vector<BYTE>(abyBuffer.begin(), abyBuffer.begin() + oEncoder.GetBytesWritten()))
                  .Events()
                  .front(),
              CEvRec::Note(0, 0, 60, 0x64, 0x40, 150));
}

// Each window size from 0 up: the encoding fails at some event or succeeds
// whole, never writes past the window, and once it fits it fits in every
// larger window with the same bytes.
TEST_F(CEncPropTest, WindowNeverOverflows)
{
    const CRandomPattern oPattern = MakeRandomPattern(7);
    const CEncoded oReference = Encode(oPattern.m_aoGroups, 1 << 20);
    ASSERT_TRUE(oReference.m_bDone);
    bool bFitted = false;
    for (std::size_t nWindow = 0; nWindow <= oReference.m_abyBytes.size() + 11; ++nWindow)
    {
        SCOPED_TRACE(nWindow);
        const CEncoded oEncoded = Encode(oPattern.m_aoGroups, nWindow);
        ASSERT_FALSE(bFitted && !oEncoded.m_bDone) << "a larger window failed";
        if (oEncoded.m_bDone)
        {
            ASSERT_EQ(oEncoded.m_abyBytes, oReference.m_abyBytes);
        }
        bFitted = oEncoded.m_bDone;
    }
    EXPECT_TRUE(bFitted);
}

TEST_F(CEncPropTest, RandomStreamsRoundTrip)
{
    for (std::uint32_t uSeed = 1; uSeed <= 300; ++uSeed)
    {
        SCOPED_TRACE("seed " + std::to_string(uSeed));
        const CRandomPattern oPattern = MakeRandomPattern(uSeed);
        const CEncoded oEncoded = Encode(oPattern.m_aoGroups, 1 << 20);
        ASSERT_TRUE(oEncoded.m_bDone);
        const CDecodedStream oDecoded = DecodeBlock(oEncoded.m_abyBytes);
        ASSERT_TRUE(oDecoded.m_bEnded);
        ASSERT_EQ(oDecoded.Events(), oPattern.m_aoExpected);
    }
    // Only warnings about long meta events and large buffers are expected.
    for (const std::string& rstrText : m_oCapture.Texts())
        EXPECT_TRUE(rstrText.rfind("CEvent::SetMetaEventBegin - Warning", 0) == 0 ||
                    rstrText.rfind("CEventsHeap::Alloc - 'new' used", 0) == 0)
            << rstrText;
}

} // namespace
