// MemEncoderTest.cpp -- the memory encoder: notes split and joined again,
// durations over many decode and encode passes, the end of track, its own
// growing buffer and a caller's fixed one.
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/NoteInfoPool.h"
#include "MemCoder/MaEncoder.h"
#include "PropStreams.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

class CMemEncoderTest : public ::testing::Test
{
protected:
    // Only warnings about long meta events and large buffers are expected.
    void ExpectNoReports()
    {
        for (const std::string& rstrText : m_oCapture.Texts())
            EXPECT_TRUE(rstrText.rfind("CEvent::SetMetaEventBegin - Warning", 0) == 0 ||
                        rstrText.rfind("CEventsHeap::Alloc - 'new' used", 0) == 0)
                << rstrText;
        m_oCapture.Clear();
    }

    CReportCapture m_oCapture;
};

std::vector<BYTE> Result(const CMemEncoder& rkoEncoder)
{
    return std::vector<BYTE>(rkoEncoder.GetBufferStart(), rkoEncoder.GetBufferStart() + rkoEncoder.GetBytesWritten());
}

// Encodes the groups into an own buffer; the last group holds the end of track.
std::vector<BYTE> Encode(const std::vector<CInputGroup>& raoGroups)
{
    CMemEncoder oEncoder;
    EXPECT_TRUE(oEncoder.Open());
    EXPECT_TRUE(EncodeGroups(oEncoder, raoGroups));
    EXPECT_TRUE(oEncoder.Close());
    return Result(oEncoder);
}

// One pass: every group of the decoded stream into a new memory encoder at
// its tick.
std::vector<BYTE> Reencode(const std::vector<BYTE>& abyStream)
{
    CDecProp oDecoder(abyStream.data(), abyStream.size());
    CMemEncoder oEncoder;
    EXPECT_TRUE(oEncoder.Open());
    while (!oDecoder.IsEndOfStream())
    {
        CLinkedEvent* poList = nullptr;
        const TDELTA sdwDelta = oDecoder.ExtractEvents(poList);
        if (poList)
        {
            EXPECT_TRUE(oEncoder.EncodeEventsAt(oDecoder.GetTick(), poList));
            FreeEventsList(poList);
        }
        if (sdwDelta == NO_DELTA)
            break;
    }
    EXPECT_TRUE(oDecoder.IsEndOfStream());
    EXPECT_TRUE(oEncoder.Close());
    return Result(oEncoder);
}

// Durations from 8192 on as the format keeps them.
std::vector<CEvRec> AsStored(std::vector<CEvRec> aoEvents)
{
    for (CEvRec& roRec : aoEvents)
        if (roRec.IsNote() && roRec.Duration() >= 8192)
            roRec.m_dwWord2 &= ~DWORD(15);
    return aoEvents;
}

// Encodes once, then decodes and re-encodes iPasses times: every pass must
// give the expected events and, from the first pass on, the same bytes.
void CheckPasses(const std::vector<CInputGroup>& raoGroups, const std::vector<CEvRec>& raoExpected, int iPasses)
{
    std::vector<BYTE> abyStream = Encode(raoGroups);
    for (int iPass = 0; iPass <= iPasses; ++iPass)
    {
        SCOPED_TRACE("pass " + std::to_string(iPass));
        const CDecodedStream oDecoded = DecodeBlock(abyStream);
        ASSERT_TRUE(oDecoded.m_bEnded);
        ASSERT_EQ(oDecoded.Events(), raoExpected);
        if (iPass == iPasses)
            break;
        const std::vector<BYTE> abyNext = Reencode(abyStream);
        if (iPass > 0)
        {
            ASSERT_EQ(abyNext, abyStream);
        }
        abyStream = abyNext;
    }
}

TEST_F(CMemEncoderTest, NotesAreSplitAndJoinedAgain)
{
    CMemEncoder oEncoder;
    ASSERT_TRUE(oEncoder.Open());
    CPoolList oNotes({CEvRec::Note(0, 0, 60, 0x64, 0x40, 96), CEvRec::Note(0, 0, 59, 0x50, 0x10, 0)});
    ASSERT_TRUE(oEncoder.EncodeEventsAt(0, oNotes.Get()));
    ASSERT_TRUE(oEncoder.SetEnd(96));
    ASSERT_TRUE(oEncoder.Close());
    ExpectNoReports();

    EXPECT_EQ(Result(oEncoder), (std::vector<BYTE>{0x20, 0x64, 0x00, 0x60, 0xC0,  // short form, 96 ticks
                                                   0x3F, 0xD0, 0x00, 0x00, 0x90,  // key 59, no duration
                                                   0xE0, 0x09, 0x2F, 0x00, 0x00}));
    EXPECT_EQ(oEncoder.GetEndTick(), 96u);

    // Kept whole, a note takes the long form.
    CMemEncoder oKeeping(true);
    ASSERT_TRUE(oKeeping.Open());
    ASSERT_TRUE(oKeeping.EncodeEventsAt(0, oNotes.Get()));
    ASSERT_TRUE(oKeeping.SetEnd(96));
    ASSERT_TRUE(oKeeping.Close());
    EXPECT_EQ(Result(oKeeping), (std::vector<BYTE>{0x07, 0x3C, 0x64, 0x00, 0x60, 0xC0, 0x07, 0x3B, 0x50, 0x00, 0x00,
                                                   0x90, 0xE0, 0x09, 0x2F, 0x00, 0x00}));
    ExpectNoReports();
}

TEST_F(CMemEncoderTest, WithoutNoteDurationsNoteOffsComeAtTheirOwnTick)
{
    CMemEncoder oEncoder;
    ASSERT_TRUE(oEncoder.Open());
    oEncoder.SetUseNoteDuration(false);
    ASSERT_TRUE(EncodeGroups(oEncoder, {{0, {CEvRec::Note(0, 0, 60, 0x64, 0x40, 96)}},
                                        {10, {CEvRec::Chn(10, EVSC_CTRL_CHANGE, 0, 0x07, 0x64)}},
                                        {200, {CEvRec::Chn(200, EVSC_CTRL_CHANGE, 0, 0x07, 0x65)}}}));
    ASSERT_TRUE(oEncoder.SetEnd(200));
    ASSERT_TRUE(oEncoder.Close());
    ExpectNoReports();
    EXPECT_EQ(Result(oEncoder), (std::vector<BYTE>{0x01, 0x3C, 0xE4,        // note-on at 0
                                                   0x8A, 0x03, 0x07, 0xE4,  // 10
                                                   0xD6, 0x00, 0x3C, 0xC0,  // note-off at 96
                                                   0xE8, 0x03, 0x07, 0xE5,  // 200
                                                   0x09, 0x2F, 0x00, 0x00}));
}

TEST_F(CMemEncoderTest, EndOfTrackWaitsForTheLastNote)
{
    for (bool bUseNoteDuration : {true, false})
    {
        SCOPED_TRACE(bUseNoteDuration);
        CMemEncoder oEncoder;
        ASSERT_TRUE(oEncoder.Open());
        oEncoder.SetUseNoteDuration(bUseNoteDuration);
        CPoolList oNote({CEvRec::Note(0, 0, 60, 0x64, 0x40, 500)});
        ASSERT_TRUE(oEncoder.EncodeEventsAt(0, oNote.Get()));
        EXPECT_EQ(oEncoder.GetEndTick(), 500u);
        ASSERT_TRUE(oEncoder.SetEnd(100));
        ASSERT_TRUE(oEncoder.Close());
        ExpectNoReports();
        EXPECT_EQ(oEncoder.GetEndTick(), 500u);
        const std::vector<CEvRec> aoEvents = DecodeBlock(Result(oEncoder)).Events();
        ASSERT_FALSE(aoEvents.empty());
        EXPECT_EQ(aoEvents.back(), CEvRec::EndOfTrack(500));
        if (bUseNoteDuration)
        {
            EXPECT_EQ(aoEvents.front(), CEvRec::Note(0, 0, 60, 0x64, 0x40, 500));
        }
    }

    // Set end at a later tick than every note.
    CMemEncoder oEncoder;
    ASSERT_TRUE(oEncoder.Open());
    ASSERT_TRUE(oEncoder.SetEnd(1536));
    ASSERT_TRUE(oEncoder.Close());
    EXPECT_EQ(Result(oEncoder), (std::vector<BYTE>{0x8C, 0x80, 0x09, 0x2F, 0x00, 0x00}));
    EXPECT_EQ(oEncoder.GetEndTick(), 1536u);
}

TEST_F(CMemEncoderTest, CloseWithWaitingNoteOffsIsReported)
{
    CMemEncoder oEncoder;
    ASSERT_TRUE(oEncoder.Open());
    CPoolList oNote({CEvRec::Note(0, 0, 60, 0x64, 0x40, 500)});
    ASSERT_TRUE(oEncoder.EncodeEventsAt(0, oNote.Get()));
    EXPECT_TRUE(oEncoder.Close());
    EXPECT_TRUE(m_oCapture.HasAssert("m_oWaitingNotesOff.GetCount() == 0", "MemCoder/MaEncoder"));
    EXPECT_TRUE(m_oCapture.Has("CEncoderProp::OnClose() - Note Tracer is not empty"));
    EXPECT_EQ(NoteInfoPool().GetFreeCount(), CNoteInfoPool::NR_NOTES);

    // Reopened, it starts afresh at the start of its buffer.
    m_oCapture.Clear();
    ASSERT_TRUE(oEncoder.Open());
    ASSERT_TRUE(oEncoder.SetEnd(0));
    ASSERT_TRUE(oEncoder.Close());
    EXPECT_TRUE(m_oCapture.Empty());
    EXPECT_EQ(Result(oEncoder), (std::vector<BYTE>{0x09, 0x2F, 0x00, 0x00}));

    // An abandoned encoding (Reset) forgets its notes with their queued
    // note-offs: Close reports only the stream left without its end.
    ASSERT_TRUE(oEncoder.Open());
    ASSERT_TRUE(oEncoder.EncodeEventsAt(0, oNote.Get()));
    oEncoder.Reset();
    EXPECT_TRUE(oEncoder.Close());
    EXPECT_EQ(m_oCapture.Texts(), std::vector<std::string>{"CEncoderProp::Close() - EOT not found"});
    EXPECT_EQ(NoteInfoPool().GetFreeCount(), CNoteInfoPool::NR_NOTES);
}

// Overlapping notes of one key, notes that end where another starts, notes
// of no duration and long ones keep their ticks and durations pass after pass.
TEST_F(CMemEncoderTest, DurationsSurviveTwentyPasses)
{
    const std::vector<CInputGroup> kaoGroups = {
        {0,
         {CEvRec::Note(0, 0, 60, 10, 1, 200), CEvRec::Note(0, 1, 40, 11, 2, 1536), CEvRec::Note(0, 9, 36, 100, 0, 1),
          CEvRec::Note(0, 9, 38, 100, 0, 1), CEvRec::Note(0, 2, 72, 12, 3, 100), CEvRec::Note(0, 2, 72, 13, 4, 50)}},
        {0, {CEvRec::Meta(0, 0x58, {4, 2, 24, 8})}},
        {50, {CEvRec::Note(50, 0, 60, 20, 2, 50), CEvRec::Chn(50, EVSC_CTRL_CHANGE, 0, 11, 90)}},
        {100, {CEvRec::Note(100, 0, 60, 30, 3, 96), CEvRec::Note(100, 2, 72, 14, 5, 0)}},
        {300, {CEvRec::Note(300, 0, 61, 40, 4, 0), CEvRec::Note(300, 0, 62, 41, 5, 8192)}},
        {310, {CEvRec::Note(310, 0, 63, 42, 6, 0x1FFF0), CEvRec::Note(310, 0, 64, 43, 7, 16000)}},
        {400, {CEvRec::Note(400, 0, 60, 44, 8, 300), CEvRec::Note(400, 0, 60, 45, 9, 200)}},
        {500, {CEvRec::Note(500, 0, 60, 46, 10, 100)}},
        {1536,
         {CEvRec::Note(1536, 1, 41, 47, 11, 384), CEvRec::Note(1536, 1, 40, 48, 12, 0),
          CEvRec::Note(1536, 1, 40, 49, 13, 8208)}},
        {1536, {CEvRec::SysEx(1536, {0xF0, 0x43, 0x10, 0xF7})}},
        {310 + 0x1FFF0, {CEvRec::EndOfTrack(310 + 0x1FFF0)}},
    };
    std::vector<CEvRec> aoExpected;
    for (const CInputGroup& rkoGroup : kaoGroups)
        for (const CEvRec& rkoRec : rkoGroup.m_aoEvents)
        {
            aoExpected.push_back(rkoRec);
            aoExpected.back().m_tTick = rkoGroup.m_tTick;
        }
    CheckPasses(kaoGroups, AsStored(aoExpected), 20);
    ExpectNoReports();
}

TEST_F(CMemEncoderTest, RandomPatternsSurviveRepeatedPasses)
{
    for (std::uint32_t uSeed = 1; uSeed <= 60; ++uSeed)
    {
        SCOPED_TRACE("seed " + std::to_string(uSeed));
        const bool bExact = uSeed % 2 == 0;
        const CRandomPattern oPattern = MakeRandomPattern(uSeed, bExact);
        CheckPasses(oPattern.m_aoGroups, AsStored(oPattern.m_aoExpected), 20);
        if (HasFatalFailure())
            return;
    }
    ExpectNoReports();
}

TEST_F(CMemEncoderTest, OwnBufferGrowsIntoOneBlock)
{
    std::vector<CInputGroup> aoGroups;
    std::vector<CEvRec> aoExpected;
    for (int i = 0; i < 1500; ++i)
    {
        const TTICK tTick = TTICK(i) * 10;
        const CEvRec oRec = i % 3 ? CEvRec::Chn(tTick, EVSC_CTRL_CHANGE, BYTE(i % 4), BYTE(i % 120), BYTE(i % 128))
                                  : CEvRec::Note(tTick, 0, BYTE(30 + i % 60), 100, 64, 15);
        aoGroups.push_back({tTick, {oRec}});
        aoExpected.push_back(oRec);
    }
    aoGroups.push_back({15000, {CEvRec::EndOfTrack(15000)}});
    aoExpected.push_back(CEvRec::EndOfTrack(15000));

    const std::vector<BYTE> abyStream = Encode(aoGroups);
    ExpectNoReports();
    EXPECT_GT(abyStream.size(), 5000u);
    const CDecodedStream oDecoded = DecodeBlock(abyStream);
    EXPECT_TRUE(oDecoded.m_bEnded);
    EXPECT_EQ(oDecoded.Events(), aoExpected);
}

// A long pattern (a short one repeated over many measures) grows the own
// buffer a few times, not once per fixed step: every growth copies all that
// was written, so fixed steps made encoding quadratic in the length.
TEST_F(CMemEncoderTest, OwnBufferGrowsInProportionToItsSize)
{
    class CCountingEncoder : public CMemEncoder
    {
    public:
        int m_iGrowths = 0;

    protected:
        bool GrowBuffer(DWORD dwBytes) override
        {
            ++m_iGrowths;
            return CMemEncoder::GrowBuffer(dwBytes);
        }
    };
    std::vector<CInputGroup> aoGroups;
    for (int i = 0; i < 60000; ++i)
        aoGroups.push_back({TTICK(i) * 4, {CEvRec::Chn(TTICK(i) * 4, EVSC_CTRL_CHANGE, 0, 7, BYTE(i % 128))}});
    aoGroups.push_back({240000, {CEvRec::EndOfTrack(240000)}});

    CCountingEncoder oEncoder;
    ASSERT_TRUE(oEncoder.Open());
    ASSERT_TRUE(EncodeGroups(oEncoder, aoGroups));
    ASSERT_TRUE(oEncoder.Close());
    ExpectNoReports();
    EXPECT_GT(oEncoder.GetBytesWritten(), 150000u);
    EXPECT_LE(oEncoder.m_iGrowths, 25);
    EXPECT_TRUE(DecodeBlock(Result(oEncoder)).m_bEnded);
}

// A caller's buffer does not grow: each size from 0 up either takes the
// whole pattern or fails at some event, and never writes past its end.
TEST_F(CMemEncoderTest, FixedBufferNeverOverflows)
{
    const CRandomPattern oPattern = MakeRandomPattern(3);
    const std::vector<BYTE> abyReference = Encode(oPattern.m_aoGroups);
    constexpr std::size_t CANARY_SIZE = 16;
    constexpr BYTE CANARY = 0xCC;

    bool bFitted = false;
    for (std::size_t nSize = 0; nSize <= abyReference.size() + 11; ++nSize)
    {
        SCOPED_TRACE(nSize);
        std::vector<BYTE> abyBuffer(nSize + CANARY_SIZE, CANARY);
        bool bDone = false;
        DWORD dwWritten = 0;
        {
            CMemEncoder oEncoder(abyBuffer.data(), DWORD(nSize));
            ASSERT_TRUE(oEncoder.Open());
            bDone = EncodeGroups(oEncoder, oPattern.m_aoGroups);
            oEncoder.Close();
            dwWritten = oEncoder.GetBytesWritten();
            if (bDone)
            {
                EXPECT_EQ(Result(oEncoder), abyReference);
            }
        }
        ASSERT_LE(dwWritten, nSize);
        for (std::size_t i = dwWritten; i < abyBuffer.size(); ++i)
            ASSERT_EQ(abyBuffer[i], CANARY) << "byte " << i << " written beyond " << dwWritten;
        EXPECT_FALSE(bFitted && !bDone) << "a larger buffer failed";
        bFitted = bFitted || bDone;
        m_oCapture.Clear();
    }
    EXPECT_TRUE(bFitted);
}

// Whatever a decoder makes of damaged data, the encoder writes records that
// decode again, and it gives back every note record.
TEST_F(CMemEncoderTest, DamagedStreamsReencodeIntoValidStreams)
{
    constexpr std::uint32_t SEED = 0xA11CE;
    std::mt19937 oRng(SEED);
    auto Rand = [&](int iLow, int iHigh) { return std::uniform_int_distribution<int>(iLow, iHigh)(oRng); };
    for (int iCycle = 0; iCycle < 1500; ++iCycle)
    {
        SCOPED_TRACE("seed " + std::to_string(SEED) + " cycle " + std::to_string(iCycle));
        std::vector<BYTE> abyBlock = Encode(MakeRandomPattern(std::uint32_t(iCycle % 50 + 500)).m_aoGroups);
        for (int i = Rand(1, 6); i > 0 && !abyBlock.empty(); --i)
        {
            const std::size_t nAt = std::size_t(Rand(0, int(abyBlock.size()) - 1));
            if (Rand(0, 3))
                abyBlock[nAt] = BYTE(Rand(0, 255));
            else
                abyBlock.resize(nAt);
        }

        CDecProp oDecoder(abyBlock.data(), abyBlock.size());
        CMemEncoder oEncoder;
        ASSERT_TRUE(oEncoder.Open());
        for (int iGroup = 0; iGroup <= int(abyBlock.size()) && !oDecoder.IsEndOfStream(); ++iGroup)
        {
            CLinkedEvent* poList = nullptr;
            const TDELTA sdwDelta = oDecoder.ExtractEvents(poList);
            if (poList)
            {
                oEncoder.EncodeEventsAt(oDecoder.GetTick(), poList);
                FreeEventsList(poList);
            }
            if (sdwDelta == NO_DELTA)
                break;
        }
        oEncoder.SetEnd(oDecoder.GetTick());
        oEncoder.Close();
        ASSERT_EQ(NoteInfoPool().GetFreeCount(), CNoteInfoPool::NR_NOTES);
        ASSERT_TRUE(DecodeBlock(Result(oEncoder)).m_bEnded);
        m_oCapture.Clear();
    }
}

} // namespace
