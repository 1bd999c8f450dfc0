// CEventTest.cpp -- event record layouts, checks, buffer sharing and lists.
#include "Kernel/RTEvents/CEvent.h"
#include "Kernel/RTEvents/EvBuffer.h"
#include "Kernel/RTEvents/EvPool.h"
#include "Kernel/RTEvents/LinkedEv.h"
#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kstrEventFile = "Kernel/RTEvents/CEvent";
const std::string kstrListFile = "Kernel/RTEvents/LinkedEv";

// Every test must give back what it takes from the global pools.
class CEventTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_iBlocksBefore = EvBuffersPool().GetBlocksAllocated();
        m_iEventsBefore = EventsPool().GetCount();
    }
    void TearDown() override
    {
        EXPECT_EQ(EvBuffersPool().GetBlocksAllocated(), m_iBlocksBefore) << "buffers not returned";
        EXPECT_EQ(EventsPool().GetCount(), m_iEventsBefore) << "records not returned";
    }
    int BlocksTaken() const { return EvBuffersPool().GetBlocksAllocated() - m_iBlocksBefore; }

    CReportCapture m_oCapture;
    int m_iBlocksBefore = 0;
    int m_iEventsBefore = 0;
};

// A complete sysex event; the buffer is iBufferLength bytes (default: the data).
void MakeSysEx(CEvent& roEvent, const std::vector<BYTE>& abyData, int iBufferLength = -1)
{
    BYTE* pbyBuffer = roEvent.SetSysExEventBegin(iBufferLength < 0 ? int(abyData.size()) : iBufferLength);
    ASSERT_NE(pbyBuffer, nullptr);
    if (!abyData.empty())
        std::memcpy(pbyBuffer, abyData.data(), abyData.size());
    roEvent.SetSysExEventEnd(int(abyData.size()));
}

// A complete meta event with the data bytes 1, 2, 3, ...
void MakeMeta(CEvent& roEvent, BYTE byType, int iLength)
{
    BYTE* pbyData = roEvent.SetMetaEventBegin(byType, iLength);
    ASSERT_NE(pbyData, nullptr);
    for (int i = 0; i < iLength; ++i)
        pbyData[i] = BYTE(i + 1);
    roEvent.SetMetaEventEnd();
}

TEST_F(CEventTest, WordLayouts)
{
    CEvent oNoteOn, oProgram, oNote, oFour, oThree, oFive, oEnd, oEndWithData, oNull, oMarker, oSysEx;
    oNoteOn.SetChnMessage(EVSC_NOTEON, 9, 0x3C, 0x64);
    oProgram.SetChnMessage(EVSC_PRG_CHANGE, 2, 5);
    oNote.SetNoteEvent(3, 60, 100, 64, 0x00FFFFFF);
    EXPECT_EQ(oNoteOn.m_dw1, 0x643C0901u);
    EXPECT_EQ(oNoteOn.m_dw2, EV_EMPTY_FILLER) << "channel messages leave the second word alone";
    EXPECT_EQ(oProgram.m_dw1, 0x00050204u);
    EXPECT_EQ(oNote.m_dw1, 0x643C0307u);
    EXPECT_EQ(oNote.m_dw2, 0x40FFFFFFu);
    oNoteOn.SetTrack(0x7F);
    oNoteOn.SetData2(0x02);
    EXPECT_EQ(oNoteOn.GetRawChnMessage(), 0x023C7F01u);

    // Up to 4 meta bytes live in m_dw2, unused bytes 0; 5 take a buffer.
    BYTE* pbyData = oFour.SetMetaEventBegin(0x51, 4);
    EXPECT_EQ(pbyData, reinterpret_cast<BYTE*>(&oFour.m_dw2));
    std::memcpy(pbyData, "\x07\xA1\x20\x33", 4);
    EXPECT_EQ(oFour.SetMetaEventEnd(), nullptr);
    EXPECT_EQ(oFour.m_dw1, 0x00045109u);
    EXPECT_EQ(oFour.m_dw2, 0x3320A107u);
    oThree.SetMetaEventBegin(0x58, 3)[0] = 0x11;
    EXPECT_EQ(oThree.m_dw2, 0x00000011u);
    EXPECT_EQ(BlocksTaken(), 0);
    pbyData = oFive.SetMetaEventBegin(0x51, 5);
    EXPECT_EQ(oFive.m_dw1, 0x80055109u);
    EXPECT_TRUE(oFive.IsLocked());
    EXPECT_EQ(oFive.SetMetaEventEnd(), pbyData);
    EXPECT_FALSE(oFive.IsLocked());
    EXPECT_EQ(BlocksTaken(), 1);

    // End of track only without data; null event and end marker differ in their data byte.
    MakeMeta(oEnd, 0x2F, 0);
    MakeMeta(oEndWithData, 0x2F, 1);
    oNull.SetNullEvent();
    oMarker.SetMetaEventBegin(0x7E, 1)[0] = 1;
    EXPECT_EQ(oEnd.m_dw1, 0x00002F09u);
    EXPECT_TRUE(oEnd.IsEndOfTrack());
    EXPECT_FALSE(oEndWithData.IsEndOfTrack());
    EXPECT_EQ(oNull.m_dw1, 0x00017E09u);
    EXPECT_EQ(oNull.m_dw2, 0u);
    EXPECT_TRUE(oNull.IsNullEvent());
    EXPECT_EQ(oMarker.m_dw1, oNull.m_dw1);
    EXPECT_FALSE(oMarker.IsNullEvent());

    pbyData = oSysEx.SetSysExEventBegin(6);
    EXPECT_EQ(oSysEx.m_dw1, 0x8000000Au);
    oSysEx.SetSysExEventEnd(5);
    EXPECT_EQ(oSysEx.m_dw1, 0x8005000Au);
    EXPECT_EQ(oSysEx.m_dw2, 0u) << "the buffer address is not kept in the second word";
    EXPECT_EQ(oSysEx.GetSysExData(), pbyData);

    CEvent oUnassigned;
    oUnassigned.m_dw1 = 11;
    EXPECT_EQ(oUnassigned.GetClass(), EC_CHMSG);
    oUnassigned.Clear();
    EXPECT_TRUE(m_oCapture.Empty()) << m_oCapture.Texts().front();
}

TEST_F(CEventTest, MetaLengthLimits)
{
    CEvent o127, o128, oTooLong, oNegative;
    MakeMeta(o127, 1, 127);
    EXPECT_TRUE(m_oCapture.Empty());
    MakeMeta(o128, 1, 128);
    EXPECT_TRUE(m_oCapture.Has("CEvent::SetMetaEventBegin - Warning: a 128-bytes event created."));

    // Beyond the 15-bit length field the event is refused and nothing is taken.
    EXPECT_EQ(oTooLong.SetMetaEventBegin(1, 0x8000), nullptr);
    EXPECT_TRUE(m_oCapture.HasAssert("IsEmpty() && (iDataLength < 0x8000) && (eType <= META_SPECIFIC)", kstrEventFile));
    EXPECT_EQ(oNegative.SetMetaEventBegin(1, -1), nullptr);
    EXPECT_TRUE(m_oCapture.HasAssert("iDataLength >= 0", kstrEventFile));
    EXPECT_TRUE(oTooLong.IsEmpty() && oNegative.IsEmpty());
    EXPECT_EQ(BlocksTaken(), 2);
}

// One row per misuse: prepare the record, misuse it, expect the check text.
TEST_F(CEventTest, EachMisuseReportsItsCheck)
{
    using FnEvent = std::function<void(CEvent&)>;
    const FnEvent fnEmpty = [](CEvent&) {};
    const FnEvent fnNoteOn = [](CEvent& ro) { ro.SetChnMessage(EVSC_NOTEON, 1, 60, 100); };
    const FnEvent fnMeta = [](CEvent& ro) { MakeMeta(ro, 0x51, 3); };
    const FnEvent fnLockedMeta = [](CEvent& ro) { ro.SetMetaEventBegin(0x01, 8); };
    const FnEvent fnLockedSysEx = [](CEvent& ro) { ro.SetSysExEventBegin(4); };
    const FnEvent fnSysEx = [](CEvent& ro) { MakeSysEx(ro, {0xF0, 0xF7}); };

    struct SRow
    {
        const char* pszCheck;
        FnEvent fnPrepare;
        FnEvent fnMisuse;
    };
    const std::vector<SRow> aoRows = {
        {"!rkoOther.IsLocked()", fnLockedSysEx, [](CEvent& ro) { CEvent oCopy(ro); }},
        {"IsEmpty() && (!rkoOther.IsLocked())", fnNoteOn, [](CEvent& ro) { ro = CEvent(); }},
        {"(BYTE)m_dw1 < EVSC_INVALID", fnEmpty, [](CEvent& ro) { ro.GetClass(); }},
        {"IsEmpty() && ((byCode | byTrack | byData1) < 0x80) && ((byCode == EVSC_PRG_CHANGE) || (byCode == "
         "EVSC_CHN_PRESSURE))",
         fnEmpty, [](CEvent& ro) { ro.SetChnMessage(EVSC_CTRL_CHANGE, 0, 7); }},
        {"IsEmpty() && (byCode < EVSC_META) && (byData2 < 0x80) && ((byCode | byTrack | byData1) < 0x80)", fnEmpty,
         [](CEvent& ro) { ro.SetChnMessage(EVSC_NOTEON, 0, 60, 0x80); }},
        {"IsEmpty() && byVelON && (byVelON < 0x80) && (dwDuration < 0x01000000) && ((byVelOFF | byKey | byTrack) < "
         "0x80)",
         fnEmpty, [](CEvent& ro) { ro.SetNoteEvent(0, 60, 0, 64, 10); }},
        {"IsEmpty() && byVelON && (byVelON < 0x80) && (dwDuration < 0x01000000) && ((byVelOFF | byKey | byTrack) < "
         "0x80)",
         fnEmpty, [](CEvent& ro) { ro.SetNoteEvent(0, 60, 100, 64, 0x01000000); }},
        {"(GetClass() == EC_CHMSG) && (!(byTrack & 0x80))", fnNoteOn, [](CEvent& ro) { ro.SetTrack(0x80); }},
        {"(GetClass() == EC_CHMSG) && (!(byData & 0x80))", fnNoteOn, [](CEvent& ro) { ro.SetData1(0x80); }},
        {"(byData < 0x80) && (GetClass() == EC_CHMSG)", fnMeta, [](CEvent& ro) { ro.SetData2(0x01); }},
        {"(!(m_dw1 & flagBuffer)) && (GetClass() == EC_CHMSG)", fnSysEx, [](CEvent& ro) { ro.GetRawChnMessage(); }},
        {"(GetClass() == EC_CHMSG) && (!(m_dw1 & flagBuffer))", fnMeta, [](CEvent& ro) { ro.GetCode(); }},
        {"GetClass() == EC_CHMSG", fnMeta, [](CEvent& ro) { ro.GetTrack(); }},
        {"GetClass() == EC_CHMSG", fnSysEx, [](CEvent& ro) { ro.GetData1(); }},
        {"(!(m_dw1 & flagBuffer)) && (GetClass() == EC_CHMSG)", fnMeta, [](CEvent& ro) { ro.GetData2(); }},
        {"(BYTE)m_dw1 == EVSC_NOTE", fnNoteOn, [](CEvent& ro) { ro.GetVelOff(); }},
        {"(BYTE)m_dw1 == EVSC_NOTE", fnNoteOn, [](CEvent& ro) { ro.GetDuration(); }},
        {"IsEmpty() && (iDataLength < 0x8000) && (eType <= META_SPECIFIC)", fnEmpty,
         [](CEvent& ro) { ro.SetMetaEventBegin(0x80, 2); }},
        {"(BYTE)m_dw1 == EVSC_META", fnNoteOn, [](CEvent& ro) { ro.SetMetaEventEnd(); }},
        {"IsLocked()", fnLockedMeta,
         [](CEvent& ro) {
             ro.SetMetaEventEnd();
             ro.SetMetaEventEnd();
         }},
        {"((BYTE)m_dw1 == EVSC_META) && (!IsLocked())", fnLockedMeta, [](CEvent& ro) { ro.GetMetaType(); }},
        {"(!IsLocked()) && ((BYTE)m_dw1 == EVSC_META)", fnSysEx, [](CEvent& ro) { ro.GetMetaLength(); }},
        {"(!IsLocked()) && ((BYTE)m_dw1 == EVSC_META)", fnLockedMeta, [](CEvent& ro) { ro.GetMetaData(); }},
        {"(!IsEmpty()) && (!IsLocked())", fnEmpty, [](CEvent& ro) { ro.IsEndOfTrack(); }},
        {"(!IsEmpty()) && (!IsLocked())", fnLockedMeta, [](CEvent& ro) { ro.IsNullEvent(); }},
        {"IsEmpty()", fnNoteOn, [](CEvent& ro) { ro.SetNullEvent(); }},
        {"IsEmpty() && (iBufferLength < 0x8000)", fnEmpty, [](CEvent& ro) { ro.SetSysExEventBegin(0x8000); }},
        {"((BYTE)m_dw1 == EVSC_SYSEX) && IsLocked() && (iDataLength <= "
         "CEvBuffersPool::GetBufferSize((BYTE*)m_dw2))",
         fnLockedSysEx, [](CEvent& ro) { ro.SetSysExEventEnd(17); }},
        {"(!IsLocked()) && ((BYTE)m_dw1 == EVSC_SYSEX)", fnLockedSysEx, [](CEvent& ro) { ro.GetSysExData(); }},
        {"(!IsLocked()) && ((BYTE)m_dw1 == EVSC_SYSEX)", fnMeta, [](CEvent& ro) { ro.GetSysExLength(); }},
        {"(!IsLocked()) && ((BYTE)m_dw1 == EVSC_SYSEX)", fnNoteOn, [](CEvent& ro) { ro.GetSysExPackType(); }},
    };
    for (const SRow& rkoRow : aoRows) {
        CEvent oEvent;
        rkoRow.fnPrepare(oEvent);
        ASSERT_TRUE(m_oCapture.Empty()) << "preparing " << rkoRow.pszCheck;
        rkoRow.fnMisuse(oEvent);
        EXPECT_TRUE(m_oCapture.HasAssert(rkoRow.pszCheck, kstrEventFile))
            << "expected: " << rkoRow.pszCheck
            << "\nfirst report: " << (m_oCapture.Empty() ? std::string("none") : m_oCapture.Texts().front());
        m_oCapture.Clear();
    }
}

TEST_F(CEventTest, SysExPacketTypesReadOnlyTheData)
{
    struct SRow
    {
        std::vector<BYTE> abyData;
        BYTE byType;
    };
    const std::vector<SRow> aoRows = {
        {{0xF0, 0x01, 0xF7}, EP_COMPLETE}, {{0xF0, 0x01}, EP_BEGINMSG}, {{0x01, 0x02}, EP_CONTMSG},
        {{0x01, 0xF7}, EP_ENDMSG},         {{0xF7}, EP_ENDMSG},         {{}, EP_CONTMSG},
    };
    for (const SRow& rkoRow : aoRows) {
        // The buffer around the packet holds F0 and F7 bytes that must not be read.
        std::vector<BYTE> abyBuffer(16, 0xF7);
        abyBuffer[0] = 0xF0;
        std::copy(rkoRow.abyData.begin(), rkoRow.abyData.end(), abyBuffer.begin());
        CEvent oPacket;
        std::memcpy(oPacket.SetSysExEventBegin(16), abyBuffer.data(), 16);
        oPacket.SetSysExEventEnd(int(rkoRow.abyData.size()));
        EXPECT_EQ(oPacket.GetSysExPackType(), rkoRow.byType) << "length " << rkoRow.abyData.size();
    }
    EXPECT_TRUE(m_oCapture.Empty());
}

TEST_F(CEventTest, RefusalsKeepTheRecordInsideItsMemory)
{
    CEvent oSysEx, oMeta, oFake, oRefilled;
    oSysEx.SetSysExEventBegin(16);
    oSysEx.SetSysExEventEnd(17);
    EXPECT_EQ(oSysEx.GetSysExLength(), 16) << "a length beyond the buffer is cut to it";

    // Track or data bytes written into a sysex or meta event would change its length.
    const DWORD dwSysEx = oSysEx.m_dw1;
    oSysEx.SetData2(0x05);
    EXPECT_EQ(oSysEx.m_dw1, dwSysEx);
    MakeMeta(oMeta, 0x03, 2);
    const DWORD dwMeta = oMeta.m_dw1;
    oMeta.SetData1(0x7F);
    EXPECT_EQ(oMeta.m_dw1, dwMeta);

    // A meta code through the channel setter would claim data the record lacks.
    oFake.SetChnMessage(EVSC_META, 0, 0x7F);
    EXPECT_TRUE(oFake.IsEmpty());
    oFake.m_dw1 = 0x7FFF000A; // a sysex word without buffer
    EXPECT_EQ(oFake.GetSysExLength(), 0);
    EXPECT_EQ(oFake.GetSysExPackType(), EP_CONTMSG);
    oFake.Clear();

    // A setter on a filled record drops its buffer first.
    MakeSysEx(oRefilled, std::vector<BYTE>(20, 0x11));
    EXPECT_EQ(BlocksTaken(), 2);
    oRefilled.SetChnMessage(EVSC_NOTEON, 0, 60, 100);
    EXPECT_EQ(BlocksTaken(), 1);
    EXPECT_EQ(oRefilled.m_dw1, 0x643C0001u);
}

TEST_F(CEventTest, CopiesShareTheBufferUntilTheLastOneIsCleared)
{
    std::vector<BYTE> abyData(40, 0x5A);
    abyData[39] = 0xF7;
    CEvent oSource, oAssigned;
    MakeSysEx(oSource, abyData);
    CEvent oCopy(oSource);
    oAssigned = oSource;
    EXPECT_EQ(oCopy.GetSysExData(), oSource.GetSysExData());
    EXPECT_EQ(BlocksTaken(), 1);

    oSource.Clear();
    EXPECT_TRUE(oSource.IsEmpty());
    ASSERT_EQ(oCopy.GetSysExLength(), 40);
    EXPECT_EQ(std::memcmp(oCopy.GetSysExData(), abyData.data(), abyData.size()), 0);
    oCopy.Clear();
    EXPECT_EQ(BlocksTaken(), 1);
    oAssigned.Clear();
    EXPECT_EQ(BlocksTaken(), 0);

    // Self-assignment reports (the record is not empty) and keeps the data.
    MakeMeta(oAssigned, 0x01, 10);
    const CEvent& rkoAlias = oAssigned;
    oAssigned = rkoAlias;
    EXPECT_EQ(oAssigned.GetMetaData()[9], 10);
    EXPECT_TRUE(m_oCapture.HasAssert("IsEmpty() && (!rkoOther.IsLocked())", kstrEventFile));
    oAssigned.Clear();
    m_oCapture.Clear();

    // The buffer counts 63 references; the 64th copy gets a buffer of its own.
    MakeSysEx(oSource, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    std::vector<CEvent> aoCopies;
    aoCopies.reserve(63);
    for (int i = 0; i < 62; ++i)
        aoCopies.emplace_back(oSource);
    EXPECT_EQ(BlocksTaken(), 1);
    EXPECT_TRUE(m_oCapture.Empty());
    aoCopies.emplace_back(oSource);
    EXPECT_TRUE(m_oCapture.HasAssert("! (*((BYTE *)pvObject - HDRSIZE + 1) & MASK_TEST)", "Kernel/RTEvents/EvBuffer"));
    EXPECT_NE(aoCopies.back().GetSysExData(), oSource.GetSysExData());
    EXPECT_EQ(std::memcmp(aoCopies.back().GetSysExData(), oSource.GetSysExData(), 6), 0);
    EXPECT_FALSE(aoCopies.back().IsLocked());
    EXPECT_EQ(BlocksTaken(), 2);
    aoCopies.clear();
    EXPECT_EQ(BlocksTaken(), 1) << "the source still holds the shared buffer";
}

TEST_F(CEventTest, ListsDuplicateShareAndFreeIntoThePool)
{
    CLinkedEvent aoSource[3];
    aoSource[0].SetChnMessage(EVSC_NOTEON, 0, 60, 100);
    MakeSysEx(aoSource[1], std::vector<BYTE>(24, 0x42));
    MakeMeta(aoSource[2], 0x01, 5);
    EXPECT_EQ(aoSource[0].SetNext(&aoSource[1])->SetNext(&aoSource[2]), &aoSource[2]);

    CLinkedEvent* poLast = nullptr;
    CLinkedEvent* poCopy = DuplicateEventsList(&aoSource[0], poLast);
    ASSERT_NE(poCopy, nullptr);
    EXPECT_EQ(EventsPool().GetCount() - m_iEventsBefore, 3);
    EXPECT_EQ(BlocksTaken(), 2) << "buffers are shared, not copied";
    const CLinkedEvent* pko = poCopy;
    for (int i = 0; i < 3; ++i, pko = pko->Next())
        EXPECT_EQ(pko->m_dw1, aoSource[i].m_dw1) << i;
    EXPECT_EQ(pko, nullptr);
    EXPECT_EQ(poLast, poCopy->Next()->Next());
    EXPECT_EQ(CLinkedEvent(*poCopy).Next(), nullptr) << "a copy belongs to no list";
    EXPECT_EQ(FreeEventsList(poCopy), 3);
    EXPECT_EQ(EventsPool().GetCount(), m_iEventsBefore);
    EXPECT_TRUE(m_oCapture.Empty());

    // A channel group holding a meta event: reported, and its buffer still goes back.
    CLinkedEvent* poChn = DuplicateEventsList(&aoSource[0], poLast);
    EXPECT_EQ(FreeEventsGroup(poChn), 3);
    EXPECT_TRUE(m_oCapture.HasAssert("(poNext->IsEmpty()) || (poNext->GetClass() == EC_CHMSG)", kstrListFile));
    EXPECT_EQ(BlocksTaken(), 2);
    m_oCapture.Clear();
    // A group led by a meta event goes the general way.
    CLinkedEvent* poMeta = DuplicateEventsList(&aoSource[2], poLast);
    poMeta->SetNext(DuplicateEventsList(&aoSource[0], poLast));
    EXPECT_EQ(FreeEventsGroup(poMeta), 4);
    EXPECT_TRUE(m_oCapture.Empty());

    EXPECT_EQ(FreeEventsList(nullptr), 0);
    EXPECT_TRUE(m_oCapture.HasAssert("poEventList", kstrListFile));
}

} // namespace
