// CDecPropTest.cpp -- the compact decoder: grouping, the end of a stream,
// records it skips, corrupted and hostile blocks, the filter hooks, an
// exhausted events pool, and the event dump.
#include "DecPropVariants.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/CEncProp.h"
#include "Kernel/SeqBase/EventDump.h"
#include "PropStreams.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string kstrDecFile = "Kernel/SeqBase/CDecProp";

class CDecPropTest : public ::testing::Test
{
protected:
    CReportCapture m_oCapture;
};

CEvRec NullEvent(TTICK tTick)
{
    return CEvRec::Meta(tTick, 0x7E, {0x00});
}

void ExpectGroups(const CDecodedStream& rkoDecoded, const std::vector<CGroupRec>& raoExpected)
{
    ASSERT_EQ(rkoDecoded.m_aoGroups.size(), raoExpected.size());
    for (std::size_t i = 0; i < raoExpected.size(); ++i)
    {
        SCOPED_TRACE("group " + std::to_string(i));
        EXPECT_EQ(rkoDecoded.m_aoGroups[i].m_tTick, raoExpected[i].m_tTick);
        EXPECT_EQ(rkoDecoded.m_aoGroups[i].m_sdwDelta, raoExpected[i].m_sdwDelta);
        EXPECT_EQ(rkoDecoded.m_aoGroups[i].m_aoEvents, raoExpected[i].m_aoEvents);
    }
}

TEST_F(CDecPropTest, GroupsRunByTickAndClass)
{
    const std::vector<BYTE> kabyStream = {
        0x20, 0x64, 0x00, 0x60, 0xC0,       // note at 0
        0x03, 0x07, 0xE4,                   // control change at 0: same group
        0x09, 0x01, 0x00, 0x01, 0x41,       // meta at 0: a group of its own
        0x8A, 0x03, 0x0A, 0x80,             // control change at 10
        0x8A, 0x09, 0x2F, 0x00, 0x00,       // end of track at 20
        0x0B, 0xFF,                         // never read
    };
    CDecProp oDecoder(kabyStream.data(), kabyStream.size());
    EXPECT_EQ(oDecoder.GetPendingClass(), EC_CHMSG);

    const std::vector<CGroupRec> kaoExpected = {
        {0, 0, {CEvRec::Note(0, 0, 60, 0x64, 0x40, 96), CEvRec::Chn(0, EVSC_CTRL_CHANGE, 0, 0x07, 0x64)}},
        {0, 10, {CEvRec::Meta(0, 0x01, {0x41})}},
        {10, 10, {CEvRec::Chn(10, EVSC_CTRL_CHANGE, 0, 0x0A, 0x00)}},
        {20, NO_DELTA, {CEvRec::EndOfTrack(20)}},
    };
    // A second pass after the rewind gives the same groups.
    for (int iPass = 0; iPass < 2; ++iPass)
    {
        SCOPED_TRACE(iPass);
        const CDecodedStream oDecoded = DecodeGroups(oDecoder, 10);
        EXPECT_TRUE(oDecoded.m_bEnded);
        ExpectGroups(oDecoded, kaoExpected);
    }
    EXPECT_EQ(oDecoder.GetPendingClass(), EC_NONE);
    EXPECT_TRUE(m_oCapture.Empty());

    CLinkedEvent* poList = reinterpret_cast<CLinkedEvent*>(1);
    EXPECT_EQ(oDecoder.ExtractEvents(poList), NO_DELTA);
    EXPECT_EQ(poList, nullptr);
    EXPECT_TRUE(m_oCapture.Has("CDecProp::OnExtractEvents() - attempted to extract events after EOT"));

    // An empty block is ended at once.
    CDecProp oEmpty(kabyStream.data(), 0);
    EXPECT_EQ(oEmpty.Rewind(), NO_DELTA);
    EXPECT_TRUE(oEmpty.IsEndOfStream());
    EXPECT_EQ(oEmpty.GetPendingClass(), EC_NONE);
}

// Records that end a stream, records that are skipped, and records read in
// a way of their own; bytes after the end are never read.
TEST_F(CDecPropTest, RecordsThatEndOrPassOver)
{
    struct CCase
    {
        const char* m_pszName;
        std::vector<BYTE> m_abyStream;
        std::vector<CEvRec> m_aoEvents;
        bool m_bReadPrivate = false;
    };
    const CCase kaoCases[] = {
        {"end marker", {0x09, 0x7E, 0x00, 0x01, 0x01, 0x0B}, {CEvRec::Meta(0, 0x7E, {0x01})}},
        {"type 0x2F with data", {0x09, 0x2F, 0x00, 0x01, 0x05, 0x0B}, {CEvRec::Meta(0, 0x2F, {0x05})}},
        {"type 0x7E of length 0 goes on",
         {0x09, 0x7E, 0x00, 0x00, 0x09, 0x2F, 0x00, 0x00},
         {CEvRec::Meta(0, 0x7E), CEvRec::EndOfTrack(0)}},
        {"null event goes on",
         {0x09, 0x7E, 0x00, 0x01, 0x00, 0x09, 0x2F, 0x00, 0x00},
         {NullEvent(0), CEvRec::EndOfTrack(0)}},
        // A private record is skipped with its body; its delta counts and a
        // track change in its type byte applies.
        {"private records skipped",
         {0x81, 0x80, 0x1E, 0x01, 0x02, 0x83, 0x90, 0x5E, 0x02, 0x81, 0x03, 0x07, 0xE4, 0x09, 0x2F, 0x00, 0x00},
         {CEvRec::Chn(144, EVSC_CTRL_CHANGE, 2, 0x07, 0x64), CEvRec::EndOfTrack(144)}},
        {"private record skipped whole", {0x1E, 0x03, 0x07, 0xE4, 0x09, 0x2F, 0x00, 0x00}, {CEvRec::EndOfTrack(0)}},
        {"private record read through",
         {0x1E, 0x03, 0x07, 0xE4, 0x09, 0x2F, 0x00, 0x00},
         {CEvRec::Chn(0, EVSC_CTRL_CHANGE, 0, 0x07, 0x64), CEvRec::EndOfTrack(0)},
         true},
        {"unknown packet type", {0x0A, 0x07, 0x00, 0x01, 0xC1, 0x09, 0x2F, 0x00, 0x00},
         {CEvRec::SysEx(0, {0x41, 0xF7}), CEvRec::EndOfTrack(0)}},
    };
    for (const CCase& rkoCase : kaoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszName);
        m_oCapture.Clear();
        const CDecodedStream oDecoded =
            rkoCase.m_bReadPrivate
                ? DecodeGroups(*std::make_unique<CReadingDecProp>(rkoCase.m_abyStream.data(), rkoCase.m_abyStream.size()),
                               10)
                : DecodeBlock(rkoCase.m_abyStream);
        EXPECT_TRUE(oDecoded.m_bEnded);
        EXPECT_EQ(oDecoded.Events(), rkoCase.m_aoEvents);
        EXPECT_EQ(oDecoded.m_aoGroups.back().m_sdwDelta, NO_DELTA);
        // Only the packet type out of range is reported, and read as a last packet.
        EXPECT_EQ(m_oCapture.HasAssert("ktPackType == EP_ENDMSG", kstrDecFile), !m_oCapture.Empty());
    }
}

// A complete sysex packet whose payload fills the length field (0x7FFF
// bytes): with F0 and F7 the event would pass the longest event data.
std::vector<BYTE> HugeSysEx()
{
    std::vector<BYTE> abyStream = {0x0A, 0x00, 0xFF, 0x7F};
    abyStream.resize(abyStream.size() + 0x7FFF, 0x41);
    abyStream.insert(abyStream.end(), {0x09, 0x2F, 0x00, 0x00});
    return abyStream;
}

TEST_F(CDecPropTest, CorruptedStreamsEndInOrder)
{
    const std::string kstrPrepare = "CDecProp::Prepare() - stream of events is corrupted";
    struct CCase
    {
        const char* m_pszName;
        std::vector<BYTE> m_abyStream;
        // Events handed out before the error.
        std::vector<CEvRec> m_aoEvents;
        // Report that tells the error.
        std::string m_strReport;
        bool m_bFalseReported;
    };
    const CCase kaoCases[] = {
        {"no end of track", {0x03, 0x07, 0xE4, 0x85, 0x03, 0x07, 0xE5},
         {CEvRec::Chn(0, EVSC_CTRL_CHANGE, 0, 7, 0x64), CEvRec::Chn(5, EVSC_CTRL_CHANGE, 0, 7, 0x65)}, "", false},
        {"truncated note", {0x20, 0x64, 0x00}, {}, kstrPrepare, false},
        {"truncated track byte", {0x43}, {}, kstrPrepare, false},
        {"only delta bytes", {0x81, 0x82}, {}, kstrPrepare, false},
        {"five delta bytes", {0x81, 0x80, 0x80, 0x80, 0x80, 0x03, 0x07, 0xE4, 0x09, 0x2F, 0x00, 0x00}, {}, kstrPrepare,
         false},
        {"meta data past the end", {0x09, 0x01, 0x00, 0x10, 0x41}, {}, kstrPrepare, false},
        {"meta length past the end", {0x09, 0x01, 0x00}, {}, kstrPrepare, false},
        {"sysex payload past the end", {0x0A, 0x00, 0x01, 0x00, 0x41}, {}, kstrPrepare, false},
        {"sysex longer than an event holds", HugeSysEx(), {}, kstrPrepare, false},
        {"private record without end", {0x1E, 0x01, 0x02}, {}, kstrPrepare, false},
        {"private deltas beyond a delta",
         {0xFF, 0xFF, 0xFF, 0xFF, 0x1E, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0x1E, 0x81, 0x09, 0x2F, 0x00, 0x00}, {},
         kstrPrepare, false},
        {"invalid code", {0x0B, 0x00, 0x80}, {}, kstrPrepare, true},
        {"code 31 first", {0x1F, 0x01, 0x81, 0x09, 0x2F, 0x00, 0x00}, {}, kstrPrepare, false},
        {"code 31 later", {0x03, 0x07, 0xE4, 0x1F, 0x81, 0x09, 0x2F, 0x00, 0x00},
         {CEvRec::Chn(0, EVSC_CTRL_CHANGE, 0, 7, 0x64)}, "", false},
    };
    for (const CCase& rkoCase : kaoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszName);
        m_oCapture.Clear();
        // An allocation of exactly the block's size, so that a read past it is caught.
        std::unique_ptr<BYTE[]> pbyBlock(new BYTE[rkoCase.m_abyStream.size()]);
        std::copy(rkoCase.m_abyStream.begin(), rkoCase.m_abyStream.end(), pbyBlock.get());
        CDecProp oDecoder(pbyBlock.get(), rkoCase.m_abyStream.size());
        const CDecodedStream oDecoded = DecodeGroups(oDecoder, 10);
        EXPECT_FALSE(oDecoded.m_bEnded);
        EXPECT_EQ(oDecoded.Events(), rkoCase.m_aoEvents);
        if (rkoCase.m_strReport.empty())
            EXPECT_TRUE(m_oCapture.HasAssert("m_bIsTerminated", kstrDecFile));
        else
            EXPECT_TRUE(m_oCapture.Has(rkoCase.m_strReport));
        EXPECT_EQ(m_oCapture.HasAssert("FALSE", kstrDecFile), rkoCase.m_bFalseReported);

        // After the error: nothing more, and the message says so.
        CLinkedEvent* poList = nullptr;
        EXPECT_EQ(oDecoder.ExtractEvents(poList), NO_DELTA);
        EXPECT_EQ(poList, nullptr);
        EXPECT_TRUE(m_oCapture.Has("CDecProp::OnExtractEvents() - attempted to extract events after error"));
        EXPECT_FALSE(oDecoder.IsEndOfStream());
    }
}

TEST_F(CDecPropTest, FilterHooks)
{
    const std::vector<BYTE> kabyStream = {
        0x03, 0x07, 0xE4,              // control change at 0, pending: rejected
        0x20, 0x64, 0x00, 0x60, 0xC0,  // note at 0
        0x03, 0x07, 0xE5,              // control change at 0: dropped
        0x04, 0x85,                    // program change at 0
        0x09, 0x01, 0x00, 0x01, 0x41,  // meta type 1 at 0: dropped
        0x09, 0x03, 0x00, 0x01, 0x42,  // meta type 3 at 0
        0x8A, 0x03, 0x07, 0xE6,        // control change at 10, pending: rejected
        0x09, 0x2F, 0x00, 0x00,        // end of track at 10
    };
    CFilteringDecProp oDecoder(kabyStream.data(), kabyStream.size());
    const CDecodedStream oDecoded = DecodeGroups(oDecoder, 10);
    EXPECT_TRUE(oDecoded.m_bEnded);
    ExpectGroups(oDecoded,
                 {
                     {0, 0, {NullEvent(0)}},
                     {0, 0, {CEvRec::Note(0, 0, 60, 0x64, 0x40, 96), CEvRec::Chn(0, EVSC_PRG_CHANGE, 0, 5)}},
                     {0, 10, {CEvRec::Meta(0, 0x03, {0x42})}},
                     {10, NO_DELTA, {NullEvent(10), CEvRec::EndOfTrack(10)}},
                 });
    CLinkedEvent* poList = nullptr;
    EXPECT_EQ(oDecoder.ExtractEvents(poList), NO_DELTA);
    EXPECT_TRUE(m_oCapture.Has("CDecProp::OnExtractEventsWithFilter() - attempted to extract events after EOT"));
}

TEST_F(CDecPropTest, ExhaustedEventsPoolEndsDecodingInOrder)
{
    std::vector<BYTE> abyStream;
    for (int i = 0; i < 10; ++i)
        abyStream.insert(abyStream.end(), {0x03, BYTE(i), 0x80});
    abyStream.insert(abyStream.end(), {0x09, 0x2F, 0x00, 0x00});

    // Keep all but four records of the pool.
    std::vector<CLinkedEvent*> apoTaken;
    while (EventsPool().GetCount() < CEventsPool::NR_EVENTS - 4)
        apoTaken.push_back(EventsPool().GetNewEvent());

    {
        CDecProp oDecoder(abyStream.data(), abyStream.size());
        const CDecodedStream oDecoded = DecodeGroups(oDecoder, 10);
        EXPECT_FALSE(oDecoded.m_bEnded);
        ASSERT_EQ(oDecoded.m_aoGroups.size(), 1u);
        EXPECT_EQ(oDecoded.m_aoGroups[0].m_aoEvents.size(), 4u);
        EXPECT_EQ(oDecoded.m_aoGroups[0].m_sdwDelta, NO_DELTA);
        EXPECT_TRUE(m_oCapture.Has("CEventPool::GetNewEvent() - Pool of events is exhausted"));
        EXPECT_TRUE(m_oCapture.HasAssert("m_bIsTerminated", kstrDecFile));

        // With no record left at all the first event cannot be made.
        while (EventsPool().GetCount() < CEventsPool::NR_EVENTS)
            apoTaken.push_back(EventsPool().GetNewEvent());
        m_oCapture.Clear();
        EXPECT_EQ(oDecoder.Rewind(), NO_DELTA);
        EXPECT_FALSE(oDecoder.IsEndOfStream());
        EXPECT_TRUE(m_oCapture.Has("CDecProp::Prepare() - stream of events is corrupted"));
    }
    for (CLinkedEvent* poEvent : apoTaken)
        FreeEventsList(poEvent);

    EXPECT_TRUE(DecodeBlock(abyStream).m_bEnded);
}

// Every channel message a decoder makes is well formed: 7-bit fields.
void ExpectWellFormed(const CDecodedStream& rkoDecoded)
{
    for (const CEvRec& rkoRec : rkoDecoded.Events())
    {
        if (rkoRec.m_byClass == EC_CHMSG)
        {
            ASSERT_EQ(rkoRec.m_dwWord1 & 0x80808000u, 0u) << rkoRec;
        }
    }
}

// Decodes a copy of the bytes in an allocation of exactly their size and
// checks that the decoder ends, normally or with an error, within one group
// per byte.
void DecodeHostile(const std::vector<BYTE>& abyBytes)
{
    std::unique_ptr<BYTE[]> pbyBlock(new BYTE[abyBytes.size()]);
    std::copy(abyBytes.begin(), abyBytes.end(), pbyBlock.get());
    CDecProp oDecoder(pbyBlock.get(), abyBytes.size());
    const int iMaxGroups = int(abyBytes.size()) + 2;
    const CDecodedStream oDecoded = DecodeGroups(oDecoder, iMaxGroups);
    ASSERT_LT(int(oDecoded.m_aoGroups.size()), iMaxGroups) << "decoder does not end";
    ASSERT_TRUE(oDecoded.m_bEnded || oDecoded.m_aoGroups.empty() ||
                oDecoded.m_aoGroups.back().m_sdwDelta == NO_DELTA);
    ExpectWellFormed(oDecoded);
}

// Random blocks, and encoded streams with bytes changed, cut, added or
// removed: the decoder never reads outside the block (run under ASan) and
// always ends.
TEST_F(CDecPropTest, HostileBlocksStayInside)
{
    constexpr std::uint32_t SEED = 0x51D0;
    std::mt19937 oRng(SEED);
    auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(oRng); };
    // Bytes that make records likely: type bytes, lengths, terminators.
    static constexpr BYTE kabyTypical[] = {0x00, 0x01, 0x03, 0x04, 0x07, 0x09, 0x0A, 0x1E, 0x1F, 0x20,
                                           0x2F, 0x3F, 0x43, 0x47, 0x60, 0x7E, 0x7F, 0x80, 0x81, 0xFF};
    std::vector<BYTE> abyWindow(1 << 20);
    for (int iCycle = 0; iCycle < 6000; ++iCycle)
    {
        SCOPED_TRACE("seed " + std::to_string(SEED) + " cycle " + std::to_string(iCycle));
        std::vector<BYTE> abyBlock;
        if (iCycle % 2)
        {
            abyBlock.resize(Rand(0, 48));
            for (BYTE& rby : abyBlock)
                rby = Rand(0, 1) ? BYTE(Rand(0, 255)) : kabyTypical[Rand(0, int(std::size(kabyTypical)) - 1)];
        }
        else
        {
            CEncoderProp oEncoder;
            oEncoder.SetBuffer(abyWindow.data(), DWORD(abyWindow.size()));
            oEncoder.Open();
            EncodeGroups(oEncoder, MakeRandomPattern(std::uint32_t(iCycle % 80 + 1000)).m_aoGroups);
            oEncoder.Close();
            abyBlock.assign(abyWindow.begin(), abyWindow.begin() + oEncoder.GetBytesWritten());
            for (int i = Rand(1, 4); i > 0 && !abyBlock.empty(); --i)
            {
                const auto itAt = abyBlock.begin() + Rand(0, int(abyBlock.size()) - 1);
                switch (Rand(0, 3))
                {
                case 0:
                    *itAt = BYTE(Rand(0, 255));
                    break;
                case 1:
                    abyBlock.erase(itAt, abyBlock.end());
                    break;
                case 2:
                    abyBlock.insert(itAt, BYTE(Rand(0, 255)));
                    break;
                default:
                    abyBlock.erase(itAt);
                    break;
                }
            }
        }
        DecodeHostile(abyBlock);
        m_oCapture.Clear();
        if (HasFatalFailure())
            return;
    }
}

// ---------------------------------------------------------------------------
// Event dump
// ---------------------------------------------------------------------------

std::string Describe(const CEvRec& rkoRec)
{
    CEvent oEvent;
    rkoRec.Build(oEvent);
    char szText[EVENT_DUMP_LINE_SIZE];
    const std::size_t nLength = DescribeEvent(&oEvent, szText, sizeof(szText));
    return std::string(szText, nLength);
}

TEST_F(CDecPropTest, EventDescriptions)
{
    EXPECT_EQ(Describe(CEvRec::Chn(0, EVSC_NOTEOFF, 2, 0x3C, 0x40)),
              "CHNMSG NOTEOFF  track= 2 key   = 0x3C  velocity = 0x40");
    EXPECT_EQ(Describe(CEvRec::Chn(0, EVSC_NOTEON, 12, 0x3C, 0x64)),
              "CHNMSG NOTEON  track=12 key   = 0x3C  velocity = 0x64");
    EXPECT_EQ(Describe(CEvRec::Chn(0, EVSC_KEY_PRESSURE, 0, 0x3C, 0x10)),
              "CHNMSG KEY_PRESSURE  track= 0 key   = 0x3C  pressure = 0x10");
    EXPECT_EQ(Describe(CEvRec::Chn(0, EVSC_CTRL_CHANGE, 0, 0x07, 0x41)),
              "CHNMSG CTRL_CHANGE  track= 0 data1 = 0x07  data2 = 0x41(A)");
    EXPECT_EQ(Describe(CEvRec::Chn(0, EVSC_CTRL_CHANGE, 0, 0x07, 0x00)),
              "CHNMSG CTRL_CHANGE  track= 0 data1 = 0x07  data2 = 0x00()");
    EXPECT_EQ(Describe(CEvRec::Chn(0, EVSC_PRG_CHANGE, 0, 0x05)), "CHNMSG PRG_CHANGE  track= 0 data  = 0x05");
    EXPECT_EQ(Describe(CEvRec::Chn(0, EVSC_CHN_PRESSURE, 0, 0x33)), "CHNMSG CHN_PRESSURE  track= 0 data  = 0x33");
    EXPECT_EQ(Describe(CEvRec::Chn(0, EVSC_PITCH_B_CHANGE, 0, 0x00, 0x40)),
              "CHNMSG PITCH_B_CHANGE  track= 0 LSB   = 0x00  MSB = 0x40");
    EXPECT_EQ(Describe(CEvRec::Note(0, 1, 0x3C, 0x64, 0x40, 96)),
              "CHNMSG NOTE  track= 1 key = 0x3C    velOn = 0x64  duration = 96  velOff = 64");
    EXPECT_EQ(Describe(CEvRec::Chn(0, EVSC_MODE_MSG, 0, 0x7B, 0x00)), "CHNMSG MODE_MSG  track= 0 mode = 0x7B");
    EXPECT_EQ(Describe(CEvRec::Meta(0, 0x01, {0x48, 0x00, 0x69})), "META type=0x01 size= 3 [ 48 00 69 ] [Hi]");
    EXPECT_EQ(Describe(CEvRec::SysEx(0, {0xF0, 0x41, 0xF7})), "SYSEX size=3 [ F0 41 F7 ] [\xF0\x41\xF7]");
    CEvent oEmpty;
    char szText[64];
    EXPECT_EQ(std::string(szText, DescribeEvent(&oEmpty, szText, sizeof(szText))), "!!! UNKNOWN !!!");

    // A line never passes its buffer.
    CEvent oLong;
    CEvRec::SysEx(0, std::vector<BYTE>(600, 0x41)).Build(oLong);
    char szLine[EVENT_DUMP_LINE_SIZE];
    const std::size_t nLength = FormatEventLine(&oLong, 0, 1, szLine, sizeof(szLine));
    EXPECT_EQ(nLength, EVENT_DUMP_LINE_SIZE - 1);
    EXPECT_EQ(szLine[nLength], '\0');
    EXPECT_EQ(std::string(szLine, 34), "\n0001 | T=000000 (001:1:000) SYSEX");
}

class CTempFile
{
public:
    explicit CTempFile(const char* pszName)
        : m_oPath(std::filesystem::temp_directory_path() / (std::string(pszName) + std::to_string(std::random_device{}())))
    {
    }
    ~CTempFile() { std::filesystem::remove(m_oPath); }
    std::string Path() const { return m_oPath.string(); }
    std::string Read() const
    {
        std::ifstream oIn(m_oPath, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(oIn), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_oPath;
};

TEST_F(CDecPropTest, PrintAllEventsWritesOneLinePerEvent)
{
    std::vector<BYTE> abyStream(256);
    {
        CEncoderProp oEncoder;
        oEncoder.SetBuffer(abyStream.data(), DWORD(abyStream.size()));
        oEncoder.Open();
        EncodeGroups(oEncoder, {{0, {CEvRec::Note(0, 0, 60, 0x64, 0x40, 96),
                                     CEvRec::Chn(0, EVSC_CTRL_CHANGE, 1, 0x07, 0x41)}},
                                {384, {CEvRec::Meta(384, 0x01, {0x48, 0x69})}},
                                {1925, {CEvRec::SysEx(1925, {0xF0, 0x41, 0xF7})}},
                                {1925, {CEvRec::EndOfTrack(1925)}}});
        oEncoder.Close();
        abyStream.resize(oEncoder.GetBytesWritten());
    }
    const std::string kstrNote = "T=000000 (001:1:000) CHNMSG NOTE  track= 0 key = 0x3C    velOn = 0x64  duration = 96  "
                                 "velOff = 64";
    const std::string kstrControl = "T=000000 (001:1:000) CHNMSG CTRL_CHANGE  track= 1 data1 = 0x07  data2 = 0x41(A)";
    const std::string kstrMeta = "T=000384 (001:2:000) META type=0x01 size= 2 [ 48 69 ] [Hi]";
    const std::string kstrSysEx = "T=001925 (002:2:005) SYSEX size=3 [ F0 41 F7 ] [\xF0\x41\xF7]";
    const std::string kstrEnd = "T=001925 (002:2:005) META type=0x2F size= 0 [ ] []";

    CTempFile oFile("qd_dump_");
    CDecProp oDecoder(abyStream.data(), abyStream.size());
    ASSERT_TRUE(oDecoder.PrintAllEvents(oFile.Path().c_str(), false, false));
    EXPECT_EQ(oFile.Read(), "\n" + kstrNote + "\n" + kstrControl + "\n" + kstrMeta + "\n" + kstrSysEx + "\n" + kstrEnd);
    EXPECT_EQ(m_oCapture.Texts(),
              (std::vector<std::string>{"CDecBase::PrintAllEvents() - Save description of events into " + oFile.Path(),
                                        "CDecBase::PrintAllEvents() - Save executed."}));

    ASSERT_TRUE(oDecoder.PrintAllEvents(oFile.Path().c_str(), true, true));
    EXPECT_EQ(oFile.Read(), "\n0001 | " + kstrNote + "\n0002 | " + kstrControl);

    // A stream that stops with an error ends its dump with a note of it, in
    // place of the group that came with the error.
    const std::vector<BYTE> kabyBroken = {0x03, 0x07, 0xC1, 0x85, 0x03, 0x07, 0xC2, 0x85, 0x0B};
    CDecProp oBroken(kabyBroken.data(), kabyBroken.size());
    EXPECT_FALSE(oBroken.PrintAllEvents(oFile.Path().c_str(), false, false));
    EXPECT_EQ(oFile.Read(),
              "\nT=000000 (001:1:000) CHNMSG CTRL_CHANGE  track= 0 data1 = 0x07  data2 = 0x41(A)\nError extracting data");
}

} // namespace
