// SmfDecoderTest.cpp -- CDecSMF0 on track bytes: the message table, running
// status, the marker rule, long data, and tracks that end or go wrong.
#include "Kernel/SeqBase/CDecSMF0.h"
#include "Wrap/Kernel/Stream/Stream.h"
#include "ReportCapture.h"
#include "SmfEventText.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;
typedef std::vector<std::string> Lines;

const std::string kstrUnexpectedEnd = "\nCDecSMF0::OnExtract() - Unexpected end of file reached";
const std::string kstrMissingStatus = "\nCDecSMF0::OnExtractEvent() - Missing status byte";
const std::string kstrIllegalStatus = "\nCDecSMF0::OnExtractEvent() - Illegal status code";
const Bytes kabyEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes WithEnd(Bytes aby)
{
    aby.insert(aby.end(), kabyEndOfTrack.begin(), kabyEndOfTrack.end());
    return aby;
}

// Decodes a track with division 0, so that ticks are the file's ticks.
CSmfDecodeResult Decode(const Bytes& kaby, DWORD dwDivision = 0)
{
    CDecSMF0 oDecoder(dwDivision);
    EXPECT_TRUE(oDecoder.SetChunk(std::make_unique<CMemIn>(kaby.data(), DWORD(kaby.size()))));
    return SmfDrainDecoder(oDecoder);
}

struct SCase
{
    const char* pszName;
    Bytes abyTrack; // end of track appended
    Lines aExpected; // end of track line not listed
};

void RunCases(const std::vector<SCase>& kaCases)
{
    for (const SCase& rkoCase : kaCases)
    {
        CReportCapture oCapture;
        const CSmfDecodeResult oResult = Decode(WithEnd(rkoCase.abyTrack));
        Lines aExpected = rkoCase.aExpected;
        const std::string strLastTick = aExpected.empty() ? "0" : aExpected.back().substr(0, aExpected.back().find(' '));
        aExpected.push_back(strLastTick + " meta 2F -");
        EXPECT_EQ(oResult.m_aLines, aExpected) << rkoCase.pszName;
        EXPECT_TRUE(oResult.m_bEnded) << rkoCase.pszName;
        for (const std::string& rkoText : oCapture.Texts())
            ADD_FAILURE() << rkoCase.pszName << ": unexpected report " << rkoText;
    }
}

TEST(SmfDecoder, ChannelMessages)
{
    RunCases({
        {"note on vel 0", {0x00, 0x90, 0x3C, 0x00}, {"0 note_off 0 3C 40"}},
        {"note off vel 0", {0x00, 0x80, 0x3C, 0x00}, {"0 note_off 0 3C 00"}},
        {"note off vel with bit 7", {0x00, 0x8F, 0x3C, 0x90}, {"0 note_off 15 3C 40"}},
        {"note on", {0x03, 0x91, 0x3C, 0x64}, {"3 note_on 1 3C 64"}},
        {"key pressure", {0x00, 0xA2, 0x3C, 0x10}, {"0 polytouch 2 3C 10"}},
        {"controllers 119 and 120",
         {0x00, 0xB0, 0x77, 0x01, 0x00, 0x78, 0x00, 0x00, 0x79, 0x00, 0x00, 0x07, 0x64},
         {"0 control_change 0 77 01", "0 mode 0 78 00", "0 mode 0 79 00", "0 control_change 0 07 64"}},
        {"one data byte", {0x00, 0xC3, 0x05, 0x01, 0x06, 0x00, 0xD4, 0x40}, // 0x01 0x06: running status
         {"0 program_change 3 05", "1 program_change 3 06", "1 aftertouch 4 40"}},
        {"pitch bend in file order", {0x00, 0xE5, 0x00, 0x40}, {"0 pitchwheel 5 00 40"}},
        {"running status", {0x00, 0x90, 0x3C, 0x64, 0x81, 0x00, 0x3E, 0x00}, {"0 note_on 0 3C 64", "128 note_off 0 3E 40"}},
        // A status byte where a data byte belongs drops the message; its
        // delta is kept by a null event and the status stays running.
        {"status as first data byte", {0x05, 0x90, 0x85, 0x00, 0x3C, 0x64}, {"5 null", "5 note_on 0 3C 64"}},
        {"status as second data byte", {0x00, 0xB0, 0x07, 0xF0, 0x02, 0x07, 0x10}, {"0 null", "2 control_change 0 07 10"}},
    });
}

TEST(SmfDecoder, MetaEventsAndTheMarkerRule)
{
    RunCases({
        {"tempo", {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, {"0 meta 51 07A120"}},
        {"text of 5 bytes", {0x00, 0xFF, 0x03, 0x05, 'H', 'e', 'l', 'l', 'o'}, {"0 meta 03 48656C6C6F"}},
        {"type 2F with data is not the end", {0x00, 0xFF, 0x2F, 0x01, 0x00}, {"0 meta 2F 00"}},
        {"marker padded", {0x00, 0xFF, 0x7F, 0x05, 0x42, 0x60, 0x08, 0x01, 0x02}, {"0 meta 7E 0801020000"}},
        {"marker cut", {0x00, 0xFF, 0x7F, 0x04, 0x42, 0x60, 0x05, 0x09}, {"0 meta 7E 05"}},
        {"marker kind 6", {0x00, 0xFF, 0x7F, 0x03, 0x42, 0x60, 0x06}, {"0 meta 7E 06"}},
        {"marker kind 2 takes all", {0x00, 0xFF, 0x7F, 0x06, 0x42, 0x60, 0x02, 0xAA, 0xBB, 0xCC}, {"0 meta 7E 02AABBCC"}},
        {"marker kind 7 of nothing", {0x00, 0xFF, 0x7F, 0x03, 0x42, 0x60, 0x07}, {"0 meta 7E 07"}},
        {"marker kind 9", {0x00, 0xFF, 0x7F, 0x03, 0x42, 0x60, 0x09}, {"0 meta 7E 0900"}},
        {"marker kind 11", {0x00, 0xFF, 0x7F, 0x05, 0x42, 0x60, 0x0B, 0x01, 0x02}, {"0 meta 7E 0B01"}},
        {"marker kind 10", {0x00, 0xFF, 0x7F, 0x04, 0x42, 0x60, 0x0A, 0x01}, {"0 meta 7E 0A010000"}},
        {"kind 3 is no marker", {0x00, 0xFF, 0x7F, 0x04, 0x42, 0x60, 0x03, 0x01}, {"0 meta 7F 42600301"}},
        {"other id", {0x00, 0xFF, 0x7F, 0x03, 0x43, 0x60, 0x02}, {"0 meta 7F 436002"}},
        {"id without kind", {0x00, 0xFF, 0x7F, 0x02, 0x42, 0x60}, {"0 meta 7F 4260"}},
        {"one byte", {0x00, 0xFF, 0x7F, 0x01, 0x42}, {"0 meta 7F 42"}},
        {"empty 7F", {0x00, 0xFF, 0x7F, 0x00}, {"0 null"}},
        {"7E skipped", {0x00, 0xFF, 0x7E, 0x02, 0x01, 0x02}, {"0 null"}},
        {"type 0x80 skipped", {0x00, 0xFF, 0x80, 0x01, 0x00}, {"0 null"}},
    });
}

TEST(SmfDecoder, SysExAndRunningStatus)
{
    RunCases({
        {"complete", {0x00, 0xF0, 0x03, 0x43, 0x10, 0xF7}, {"0 sysex F04310F7"}},
        {"packets", {0x00, 0xF0, 0x01, 0x43, 0x02, 0xF7, 0x02, 0x01, 0xF7, 0x00, 0xF7, 0x00},
         {"0 sysex F043", "2 sysex 01F7", "2 sysex -"}},
        {"running status across a meta",
         {0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0x3E, 0x64},
         {"0 note_on 0 3C 64", "0 meta 51 07A120", "0 note_on 0 3E 64"}},
    });

    // After a sysex a data byte has no status: the decoder stops. Everything
    // read before the failing event is still handed out.
    CReportCapture oCapture;
    const CSmfDecodeResult oResult =
        Decode(WithEnd({0x00, 0x90, 0x3C, 0x64, 0x01, 0xF0, 0x01, 0xF7, 0x00, 0x3E, 0x64}));
    EXPECT_EQ(oResult.m_aLines, Lines({"0 note_on 0 3C 64", "1 sysex F0F7"}));
    EXPECT_FALSE(oResult.m_bEnded);
    EXPECT_TRUE(oCapture.Has(kstrMissingStatus));
}

TEST(SmfDecoder, DamagedTracksStopWithTheirReport)
{
    struct SRow
    {
        const char* pszName;
        Bytes abyTrack;
        std::string strReport;
    };
    const SRow aoRows[] = {
        {"empty track", {}, kstrUnexpectedEnd},
        {"no end of track", {0x00, 0x90, 0x3C, 0x64}, kstrUnexpectedEnd},
        {"cut message", {0x00, 0x90, 0x3C}, kstrUnexpectedEnd},
        {"cut status", {0x00, 0x90}, kstrUnexpectedEnd},
        {"cut delta", {0x81}, kstrUnexpectedEnd},
        {"cut meta type", {0x00, 0xFF}, kstrUnexpectedEnd},
        {"cut meta length", {0x00, 0xFF, 0x01, 0x81}, kstrUnexpectedEnd},
        {"meta longer than the track", {0x00, 0xFF, 0x01, 0x10, 0x41}, kstrUnexpectedEnd},
        {"256 MB meta", {0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 0x41}, kstrUnexpectedEnd},
        {"sysex longer than the track", {0x00, 0xF0, 0x05, 0x41, 0xF7}, kstrUnexpectedEnd},
        {"marker longer than the track", {0x00, 0xFF, 0x7F, 0x06, 0x42, 0x60, 0x08}, kstrUnexpectedEnd},
        {"missing status", {0x00, 0x3C, 0x64}, kstrMissingStatus},
        {"illegal status", {0x00, 0xF1, 0x00}, kstrIllegalStatus},
        {"realtime byte", {0x00, 0xF8}, kstrIllegalStatus},
        {"5-byte delta", {0x80, 0x80, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00},
         "\nCDecSMF0::OnExtractEvent() - Variable-length number longer than 4 bytes"},
        {"5-byte length", {0x00, 0xFF, 0x01, 0x80, 0x80, 0x80, 0x80, 0x00},
         "\nCDecSMF0::OnExtractEvent() - Variable-length number longer than 4 bytes"},
    };
    for (const SRow& rkoRow : aoRows)
    {
        CReportCapture oCapture;
        const CSmfDecodeResult oResult = Decode(rkoRow.abyTrack);
        EXPECT_FALSE(oResult.m_bEnded) << rkoRow.pszName;
        EXPECT_TRUE(oCapture.Has(rkoRow.strReport)) << rkoRow.pszName;
        for (const std::string& rkoText : oCapture.Texts())
            EXPECT_EQ(rkoText.find("CEventsHeap::Alloc"), std::string::npos)
                << rkoRow.pszName << ": nothing allocated for a length the track does not hold";
    }

    // The longest delta there is, in 4 bytes.
    CReportCapture oCapture;
    EXPECT_EQ(Decode({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0x00}).m_aLines, Lines({"268435455 meta 2F -"}));
    EXPECT_TRUE(oCapture.Empty());
}

TEST(SmfDecoder, DataBeyondTheRecordLimit)
{
    // A meta event longer than a record holds keeps its first 0x7FFF bytes.
    const DWORD dwMetaLength = CDecSMF0::SMF_MAX_EVENT_DATA + 10;
    Bytes abyTrack = {0x00, 0xFF, 0x01, 0x82, 0x80, 0x09}; // 0x8009
    for (DWORD i = 0; i < dwMetaLength; ++i)
        abyTrack.push_back(BYTE(i & 0x7F));
    // A sysex message of 0x7FFF + 100 bytes after F0 comes as two packets.
    const DWORD dwSysExLength = CDecSMF0::SMF_MAX_EVENT_DATA + 100;
    const Bytes abySysExHead = {0x05, 0xF0, 0x82, 0x80, 0x63}; // 0x8063
    abyTrack.insert(abyTrack.end(), abySysExHead.begin(), abySysExHead.end());
    for (DWORD i = 0; i < dwSysExLength; ++i)
        abyTrack.push_back(i + 1 == dwSysExLength ? BYTE(0xF7) : BYTE(i & 0x7F));
    abyTrack = WithEnd(abyTrack);

    CReportCapture oCapture;
    CDecSMF0 oDecoder(0);
    ASSERT_TRUE(oDecoder.SetChunk(std::make_unique<CMemIn>(abyTrack.data(), DWORD(abyTrack.size()))));
    ASSERT_EQ(oDecoder.Rewind(), 0);
    CLinkedEvent* poList = nullptr;
    ASSERT_EQ(oDecoder.ExtractEvents(poList), 5);
    ASSERT_TRUE(poList);
    EXPECT_EQ(poList->GetMetaLength(), int(CDecSMF0::SMF_MAX_EVENT_DATA));
    EXPECT_EQ(poList->GetMetaData()[CDecSMF0::SMF_MAX_EVENT_DATA - 1], BYTE((CDecSMF0::SMF_MAX_EVENT_DATA - 1) & 0x7F));
    EXPECT_TRUE(oCapture.Has("\nCDecSMF0::OnExtractEvent() - Meta event of 32777 bytes cut to 32767 bytes"));
    FreeEventsList(poList);

    ASSERT_EQ(oDecoder.ExtractEvents(poList), 0);
    ASSERT_TRUE(poList && poList->Next() && !poList->Next()->Next()) << "two packets in one group";
    const CLinkedEvent* pkoSecond = poList->Next();
    EXPECT_EQ(poList->GetSysExPackType(), EP_BEGINMSG);
    EXPECT_EQ(poList->GetSysExLength(), int(CDecSMF0::SMF_MAX_EVENT_DATA));
    EXPECT_EQ(pkoSecond->GetSysExPackType(), EP_ENDMSG);
    EXPECT_EQ(DWORD(poList->GetSysExLength() + pkoSecond->GetSysExLength()), dwSysExLength + 1);
    EXPECT_EQ(pkoSecond->GetSysExData()[0], BYTE((CDecSMF0::SMF_MAX_EVENT_DATA - 1) & 0x7F))
        << "the second packet goes on where the first stopped";
    FreeEventsList(poList);

    ASSERT_EQ(oDecoder.ExtractEvents(poList), NO_DELTA);
    ASSERT_TRUE(poList && poList->IsEndOfTrack());
    FreeEventsList(poList);
    EXPECT_TRUE(oDecoder.IsEndOfStream());
}

// CIn whose Open fails.
class CClosedIn : public CIn
{
public:
    bool Open(EMode) override { return false; }
    bool Close() override { return true; }
    DWORD Seek(long, int) override { return 0; }
    bool WouldBlock(DWORD) const override { return false; }
    bool IsError() const override { return false; }
    DWORD Read(void*, DWORD) override { return 0; }
};

TEST(SmfDecoder, ChunkAndRewind)
{
    CReportCapture oCapture;
    const Bytes abyTrack = WithEnd({0x00, 0x90, 0x3C, 0x64, 0x10, 0x3C, 0x00});

    // Without a chunk there is nothing to rewind to.
    CDecSMF0 oDecoder(0);
    EXPECT_EQ(oDecoder.Rewind(), NO_DELTA);
    EXPECT_TRUE(oCapture.Has("CDecStream::OnRewind () - Failed"));
    EXPECT_FALSE(oDecoder.SetChunk(std::make_unique<CClosedIn>()));
    EXPECT_TRUE(oCapture.Has("\nCDecSMF0::SetChunk() - Failed to open CIn"));

    ASSERT_TRUE(oDecoder.SetChunk(std::make_unique<CMemIn>(abyTrack.data(), DWORD(abyTrack.size()))));
    EXPECT_FALSE(oDecoder.SetChunk(std::make_unique<CMemIn>(abyTrack.data(), DWORD(abyTrack.size()))));
    EXPECT_TRUE(oCapture.Has("\nCDecSMF0::SetChunk() - Cannot decode more than one chunk"));

    // Rewinding in the middle and after the end gives the same events again,
    // running status included.
    const Lines aExpected = {"0 note_on 0 3C 64", "16 note_off 0 3C 40", "16 meta 2F -"};
    oDecoder.Rewind();
    CLinkedEvent* poList = nullptr;
    oDecoder.ExtractEvents(poList);
    FreeEventsList(poList);
    EXPECT_EQ(SmfDrainDecoder(oDecoder).m_aLines, aExpected);
    EXPECT_EQ(SmfDrainDecoder(oDecoder).m_aLines, aExpected);
}

TEST(SmfDecoder, AGroupLargerThanTheEventsPoolEndsInOrder)
{
    // 1100 note-ons at one tick cannot form one group of at most 1024 records.
    Bytes abyTrack = {0x00, 0x90, 0x01, 0x40};
    for (int i = 1; i < 1100; ++i)
        abyTrack.insert(abyTrack.end(), {0x00, BYTE(i & 0x7F), 0x40});
    abyTrack = WithEnd(abyTrack);
    CReportCapture oCapture;
    const CSmfDecodeResult oResult = Decode(abyTrack);
    EXPECT_FALSE(oResult.m_bEnded);
    // The events that fitted into the pool are handed out; the rest is refused.
    EXPECT_GT(oResult.m_aLines.size(), 1000u);
    EXPECT_LT(oResult.m_aLines.size(), 1100u);
    EXPECT_TRUE(oCapture.Has("CEventPool::GetNewEvent() - Pool of events is exhausted"));
    EXPECT_TRUE(oCapture.Has("CDecStream::ExtractEvent(...) - Extraction failed"));
}

} // namespace
