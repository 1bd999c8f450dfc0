// SmfEncoderTest.cpp -- the bytes CEncoderSMF0 writes: header and track
// length, running status, note splitting, meta and sysex forms, failures.
#include "Kernel/SeqBase/CEncSMF0.h"
#include "Wrap/Kernel/Stream/Stream.h"
#include "ReportCapture.h"
#include "TestEventLists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

const std::string kstrEncFile = "Kernel/SeqBase/CEncSMF0";

const Bytes kabyHeader = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80};
const Bytes kabyEndOfTrack = {0xFF, 0x2F, 0x00};

Bytes Concat(std::initializer_list<Bytes> aParts)
{
    Bytes aby;
    for (const Bytes& rkoPart : aParts)
        aby.insert(aby.end(), rkoPart.begin(), rkoPart.end());
    return aby;
}

// COut that takes at most m_dwLimit bytes in all, like a full disk.
class CLimitedOut : public COut
{
public:
    explicit CLimitedOut(DWORD dwLimit) : m_dwLimit(dwLimit) { COut::Open(modeWrite); }
    bool Close() override { return true; }
    DWORD Seek(long lOffset, int iOrigin) override { return SeekTo(lOffset, iOrigin); }
    bool WouldBlock(DWORD) const override { return false; }
    bool IsError() const override { return false; }
    DWORD Write(const void*, DWORD dwBytes) override
    {
        const DWORD dwRoom = m_dwPosition < m_dwLimit ? m_dwLimit - m_dwPosition : 0;
        m_dwLastCount = std::min(dwBytes, dwRoom);
        m_dwPosition += m_dwLastCount;
        m_dwSize = std::max(m_dwSize, m_dwPosition);
        return m_dwLastCount;
    }

private:
    DWORD m_dwLimit;
};

class SmfEncoder : public ::testing::Test
{
protected:
    SmfEncoder() { m_oEncoder.SetOutStream(&m_oOut); }
    ~SmfEncoder() override
    {
        if (m_oEncoder.IsOpen())
            m_oEncoder.Close();
    }

    // Encodes one group at its tick; the list is freed at the end of the call's statement.
    void At(TTICK tTick, const CTestEventList& rkoList)
    {
        EXPECT_TRUE(m_oEncoder.EncodeEventsAt(tTick, rkoList.Get())) << "group at " << tTick;
    }
    // Closes the encoder and returns the track events.
    Bytes CloseTrack()
    {
        EXPECT_TRUE(m_oEncoder.Close());
        return Track();
    }

    Bytes File() const { return Bytes(m_oOut.GetData(), m_oOut.GetData() + m_oOut.GetSize()); }
    Bytes Track() const
    {
        const Bytes aby = File();
        return aby.size() < 22 ? Bytes() : Bytes(aby.begin() + 22, aby.end());
    }

    CReportCapture m_oCapture;
    CMemOut m_oOut;
    CEncoderSMF0 m_oEncoder;
};

TEST_F(SmfEncoder, EmptyExportIsTheTwentySixByteFile)
{
    ASSERT_TRUE(m_oEncoder.Open());
    At(0, CTestEventList().EndOfTrack());
    CloseTrack();
    EXPECT_EQ(File(), Concat({kabyHeader, {'M', 'T', 'r', 'k', 0, 0, 0, 4, 0x00}, kabyEndOfTrack}));
    EXPECT_TRUE(m_oCapture.Empty());

    // Open again: a fresh header and the track length of the new content.
    ASSERT_TRUE(m_oEncoder.Open());
    EXPECT_EQ(m_oOut.GetPosition(), 22u);
    At(200, CTestEventList().Meta(0x51, {0x07, 0xA1, 0x20}));
    At(200, CTestEventList().EndOfTrack());
    EXPECT_EQ(CloseTrack(), Bytes({0x81, 0x48, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00}))
        << "a delta of 200 is 81 48";
    const Bytes aby = File();
    EXPECT_EQ(Bytes(aby.begin() + 14, aby.begin() + 22), Bytes({'M', 'T', 'r', 'k', 0, 0, 0, 12}));
}

TEST_F(SmfEncoder, RunningStatusEndsAtMetaAndSysEx)
{
    ASSERT_TRUE(m_oEncoder.Open());
    At(0, CTestEventList().Chn(EVSC_CTRL_CHANGE, 0, 0x07, 0x64).Chn(EVSC_CTRL_CHANGE, 0, 0x0A, 0x40));
    At(0, CTestEventList().Meta(0x51, {0x07, 0xA1, 0x20}));
    At(0, CTestEventList().Chn(EVSC_CTRL_CHANGE, 0, 0x07, 0x50).Chn(EVSC_CTRL_CHANGE, 1, 0x07, 0x50));
    At(1, CTestEventList().Chn(EVSC_PRG_CHANGE, 1, 0x05).Chn(EVSC_PRG_CHANGE, 1, 0x06));
    At(1, CTestEventList().SysEx({0xF0, 0x43, 0xF7}));
    At(1, CTestEventList().Chn(EVSC_PRG_CHANGE, 1, 0x07).Chn(EVSC_MODE_MSG, 1, 0x79, 0x00));
    At(1, CTestEventList().EndOfTrack());
    EXPECT_EQ(CloseTrack(), Bytes({0x00, 0xB0, 0x07, 0x64, /**/ 0x00, 0x0A, 0x40,        // second CC without status
                                   0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,            // tempo
                                   0x00, 0xB0, 0x07, 0x50, /**/ 0x00, 0xB1, 0x07, 0x50, // status again after the meta
                                   0x01, 0xC1, 0x05, /**/ 0x00, 0x06,                   // 2-byte message
                                   0x00, 0xF0, 0x02, 0x43, 0xF7,                        // sysex
                                   0x00, 0xC1, 0x07, /**/ 0x00, 0xB1, 0x79, 0x00,       // mode message as Bn
                                   0x00, 0xFF, 0x2F, 0x00}));

    // Without running status every message carries its status.
    m_oEncoder.SetRunningStatus(false);
    ASSERT_TRUE(m_oEncoder.Open());
    At(0, CTestEventList().Chn(EVSC_CTRL_CHANGE, 0, 0x07, 0x64).Chn(EVSC_CTRL_CHANGE, 0, 0x0A, 0x40));
    At(0, CTestEventList().EndOfTrack());
    EXPECT_EQ(CloseTrack(), Bytes({0x00, 0xB0, 0x07, 0x64, 0x00, 0xB0, 0x0A, 0x40, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_TRUE(m_oCapture.Empty());
}

TEST_F(SmfEncoder, NotesAreSplitAndTheirNoteOffsComeAtTheirOwnTick)
{
    // The same note twice: the note-off at 96 precedes the second note-on.
    ASSERT_TRUE(m_oEncoder.Open());
    At(0, CTestEventList().Note(0, 0x3C, 0x64, 96));
    At(96, CTestEventList().Note(0, 0x3C, 0x64, 96));
    At(192, CTestEventList().EndOfTrack());
    EXPECT_EQ(CloseTrack(), Bytes({0x00, 0x90, 0x3C, 0x64, 0x60, 0x3C, 0x00, 0x00, 0x3C, 0x64, 0x60, 0x3C, 0x00,
                                   0x00, 0xFF, 0x2F, 0x00}));

    // Note-offs due between two groups go out at their own ticks, the
    // earlier first; a duration of 0 ends the note at once.
    ASSERT_TRUE(m_oEncoder.Open());
    At(0, CTestEventList().Note(2, 0x3C, 0x64, 10).Note(2, 0x40, 0x50, 5).Note(2, 0x43, 0x30, 0));
    At(20, CTestEventList().Chn(EVSC_CTRL_CHANGE, 2, 0x40, 0x00));
    At(20, CTestEventList().EndOfTrack());
    EXPECT_EQ(CloseTrack(),
              Bytes({0x00, 0x92, 0x3C, 0x64, 0x00, 0x40, 0x50, 0x00, 0x43, 0x30, 0x00, 0x43, 0x00, // ons, 43 ends at once
                     0x05, 0x40, 0x00, 0x05, 0x3C, 0x00,                                           // offs at 5 and 10
                     0x0A, 0xB2, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00}));

    // With the note-off option off: 8n key velocity.
    m_oEncoder.SetNoteOffAsNoteOn(false);
    ASSERT_TRUE(m_oEncoder.Open());
    At(0, CTestEventList().Note(0, 0x3C, 0x64, 96, 0x22).Chn(EVSC_NOTEOFF, 0, 0x3D, 0x11));
    At(96, CTestEventList().EndOfTrack());
    EXPECT_EQ(CloseTrack(),
              Bytes({0x00, 0x90, 0x3C, 0x64, 0x00, 0x80, 0x3D, 0x11, 0x60, 0x3C, 0x22, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_TRUE(m_oCapture.Empty());
}

TEST_F(SmfEncoder, MetaAndSysExForms)
{
    Bytes abyLong(200);
    for (size_t i = 0; i < abyLong.size(); ++i)
        abyLong[i] = BYTE('a' + i % 26);

    ASSERT_TRUE(m_oEncoder.Open());
    At(0, CTestEventList().Null().Meta(0x7E, {0x08, 0x01, 0x02}).Meta(0x7F, {0x43, 0x10}).Meta(0x01, abyLong));
    At(0, CTestEventList()
              .SysEx({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}) // complete message
              .SysEx({0xF0, 0x43, 0x12})                   // first packet
              .SysEx({0x01, 0x02})                         // continuation
              .SysEx({0x03, 0xF7})                         // last packet
              .SysEx({}));                                 // empty packet
    At(0, CTestEventList().EndOfTrack());
    EXPECT_EQ(CloseTrack(), Concat({{0x00, 0xFF, 0x7F, 0x05, 0x42, 0x60, 0x08, 0x01, 0x02}, // marker
                                    {0x00, 0xFF, 0x7F, 0x02, 0x43, 0x10},                   // other 0x7F as it is
                                    {0x00, 0xFF, 0x01, 0x81, 0x48},
                                    abyLong,
                                    {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
                                    {0x00, 0xF0, 0x02, 0x43, 0x12},
                                    {0x00, 0xF7, 0x02, 0x01, 0x02},
                                    {0x00, 0xF7, 0x02, 0x03, 0xF7},
                                    {0x00, 0xF7, 0x00},
                                    {0x00},
                                    kabyEndOfTrack}))
        << "the null event is left out";
}

TEST(SmfVarLenNum, BoundariesOfEachLength)
{
    struct SRow
    {
        DWORD dwValue;
        Bytes abyExpected;
    };
    const SRow aoRows[] = {
        {0, {0x00}},
        {0x7F, {0x7F}},
        {0x80, {0x81, 0x00}},
        {200, {0x81, 0x48}},
        {0x3FFF, {0xFF, 0x7F}},
        {0x4000, {0x81, 0x80, 0x00}},
        {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
        {0x200000, {0x81, 0x80, 0x80, 0x00}},
        {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
    CReportCapture oCapture;
    for (const SRow& rkoRow : aoRows)
    {
        BYTE aby[4] = {0xCC, 0xCC, 0xCC, 0xCC};
        const int iLength = CEncoderBase::VarLenNum(rkoRow.dwValue, aby);
        EXPECT_EQ(Bytes(aby, aby + iLength), rkoRow.abyExpected) << rkoRow.dwValue;
    }
    EXPECT_TRUE(oCapture.Empty());

    for (DWORD dwTooLarge : {0x10000000u, 0xFFFFFFFFu})
    {
        BYTE aby[4];
        EXPECT_EQ(CEncoderBase::VarLenNum(dwTooLarge, aby), 4);
        EXPECT_EQ(Bytes(aby, aby + 4), Bytes({0xFF, 0xFF, 0xFF, 0x7F}));
    }
    EXPECT_EQ(oCapture.Texts(),
              std::vector<std::string>(2, "CEncoderBase::VarLenNum - dwValue >= 2^28"));
}

TEST_F(SmfEncoder, ChannelRangeAndUnknownCodes)
{
    ASSERT_TRUE(m_oEncoder.Open());
    // Channel 17 (0x11): reported, its low four bits used.
    At(0, CTestEventList().Chn(EVSC_NOTEON, 0x11, 0x3C, 0x40));
    EXPECT_TRUE(m_oCapture.HasAssert("kroEvent.GetTrack() < 16", kstrEncFile));

    // Code 11 is a channel class with no message: the group fails, nothing is written.
    CTestEventList oUnknown;
    oUnknown.Chn(EVSC_NOTEON, 0, 0x3C, 0x40);
    const_cast<CLinkedEvent*>(oUnknown.Get())->m_dw1 = 0x0000000B;
    const DWORD dwSizeBefore = m_oOut.GetSize();
    EXPECT_FALSE(m_oEncoder.EncodeEventsAt(0, oUnknown.Get()));
    EXPECT_EQ(m_oOut.GetSize(), dwSizeBefore);
    oUnknown.Free();

    At(0, CTestEventList().EndOfTrack());
    EXPECT_EQ(CloseTrack(), Bytes({0x00, 0x91, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00}));
}

TEST_F(SmfEncoder, OpenAndCloseRefusals)
{
    EXPECT_FALSE(m_oEncoder.Close()) << "not open";
    ASSERT_TRUE(m_oEncoder.Open());
    EXPECT_FALSE(m_oEncoder.Open()) << "already open";

    // A note still sounding at close is reported and dropped; the track
    // length covers what was written.
    At(0, CTestEventList().Note(0, 0x3C, 0x64, 500));
    At(10, CTestEventList().EndOfTrack());
    EXPECT_EQ(CloseTrack(), Bytes({0x00, 0x90, 0x3C, 0x64, 0x0A, 0xFF, 0x2F, 0x00}));
    EXPECT_TRUE(m_oCapture.HasAssert("m_oWaitingNotesOff.GetCount() == 0", kstrEncFile));
    EXPECT_EQ(File()[21], 8);

    // A reopened encoder starts without the dropped note.
    m_oCapture.Clear();
    ASSERT_TRUE(m_oEncoder.Open());
    At(0, CTestEventList().EndOfTrack());
    CloseTrack();
    EXPECT_EQ(m_oOut.GetSize(), 26u);
    EXPECT_TRUE(m_oCapture.Empty());

    // No stream: reported, and the encoder stays closed.
    CEncoderSMF0 oNoStream;
    EXPECT_FALSE(oNoStream.Open());
    EXPECT_FALSE(oNoStream.IsOpen());
    EXPECT_TRUE(m_oCapture.HasAssert("m_poOutStream != NULL", kstrEncFile));
}

TEST(SmfEncoderWrites, AShortWriteFailsTheOperation)
{
    CReportCapture oCapture;
    {
        // Room for part of the header only: Open fails and leaves the encoder closed.
        CLimitedOut oOut(20);
        CEncoderSMF0 oEncoder;
        oEncoder.SetOutStream(&oOut);
        EXPECT_FALSE(oEncoder.Open());
        EXPECT_FALSE(oEncoder.IsOpen());
    }
    // Room for the headers, one delta byte and dwRoom bytes more: a group
    // fails as soon as one of its bytes does not fit, wherever it is cut.
    for (DWORD dwRoom : {0u, 3u, 5u})
    {
        CLimitedOut oOut(22 + 1 + dwRoom);
        CEncoderSMF0 oEncoder;
        oEncoder.SetOutStream(&oOut);
        ASSERT_TRUE(oEncoder.Open());
        EXPECT_TRUE(oEncoder.EncodeEventsAt(0, CTestEventList().Chn(EVSC_PRG_CHANGE, 0, 1).Get()) == (dwRoom >= 2))
            << dwRoom;
        CTestEventList oSysEx;
        oSysEx.SysEx({0xF0, 0x01, 0x02, 0x03, 0xF7});
        EXPECT_FALSE(oEncoder.EncodeEventsAt(0, oSysEx.Get())) << dwRoom;
        EXPECT_TRUE(oEncoder.Close()) << "the header is rewritten in the room it had";
    }
    EXPECT_TRUE(oCapture.Empty());
}

} // namespace
