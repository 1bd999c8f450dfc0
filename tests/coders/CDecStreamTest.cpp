// CDecStreamTest.cpp -- the single-event decoder layer through a scripted
// source: tick conversion, grouping, null events for gaps, errors, rewind.
#include "Kernel/SeqBase/CDecStrm.h"
#include "ReportCapture.h"
#include "SmfEventText.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Lines;

// One answer of the scripted source.
struct SStep
{
    int iResult;
    TTICK tDelta;
    std::function<void(CLinkedEvent&)> fnFill; // none: the event stays empty
};

SStep NoteOn(TTICK tDelta, BYTE byKey = 0x3C)
{
    return {EXTRACT_EVENT, tDelta, [byKey](CLinkedEvent& ro) { ro.SetChnMessage(EVSC_NOTEON, 0, byKey, 0x40); }};
}
SStep Tempo(TTICK tDelta)
{
    return {EXTRACT_EVENT, tDelta, [](CLinkedEvent& ro) {
                BYTE* pby = ro.SetMetaEventBegin(0x51, 3);
                pby[0] = 0x07;
                pby[1] = 0xA1;
                pby[2] = 0x20;
                ro.SetMetaEventEnd();
            }};
}
SStep EndOfTrack(TTICK tDelta)
{
    return {EXTRACT_EVENT, tDelta, [](CLinkedEvent& ro) {
                ro.SetMetaEventBegin(0x2F, 0);
                ro.SetMetaEventEnd();
            }};
}
SStep Skipped(TTICK tDelta)
{
    return {EXTRACT_EVENT, tDelta, nullptr};
}
SStep Nothing()
{
    return {EXTRACT_NOTHING, 0, nullptr};
}
SStep Broken()
{
    return {EXTRACT_ERROR, 0, nullptr};
}

// A source that plays its script; past the end it reports an error.
class CScriptedSource : public CDecStream
{
public:
    CScriptedSource(DWORD dwResolution, std::vector<SStep> aSteps)
        : CDecStream(dwResolution), m_aSteps(std::move(aSteps))
    {
    }
    int m_iCalls = 0;

protected:
    int OnExtractEvent(TTICK& rtDelta, CLinkedEvent& roEvent) override
    {
        ++m_iCalls;
        if (m_nNext >= m_aSteps.size())
            return EXTRACT_ERROR;
        const SStep& rkoStep = m_aSteps[m_nNext++];
        rtDelta = rkoStep.tDelta;
        if (rkoStep.fnFill)
            rkoStep.fnFill(roEvent);
        return rkoStep.iResult;
    }
    bool OnRewindSource() override
    {
        m_nNext = 0;
        return true;
    }

private:
    std::vector<SStep> m_aSteps;
    size_t m_nNext = 0;
};

TEST(DecStream, TicksAreConvertedWithoutLoss)
{
    CReportCapture oCapture;
    {
        CScriptedSource oSource(96, {NoteOn(0), NoteOn(1, 0x3E), EndOfTrack(0)});
        EXPECT_EQ(SmfDrainDecoder(oSource).m_aLines,
                  Lines({"0 note_on 0 3C 40", "4 note_on 0 3E 40", "4 meta 2F -"}));
    }
    {
        // The remainder carries over: five deltas of 1 at 480 make 0, 1, 1, 1, 1.
        CScriptedSource oSource(480, {NoteOn(1), NoteOn(1), NoteOn(1), NoteOn(1), NoteOn(1), EndOfTrack(0)});
        const CSmfDecodeResult oResult = SmfDrainDecoder(oSource);
        EXPECT_EQ(oResult.m_aDeltas, std::vector<TDELTA>({0, 1, 1, 1, 1, 0, NO_DELTA}));
        EXPECT_EQ(oResult.m_aLines.back(), "4 meta 2F -");
        // A rewind starts the remainder afresh.
        EXPECT_EQ(SmfDrainDecoder(oSource).m_aDeltas, oResult.m_aDeltas);
    }
    {
        // Resolution 0 passes deltas as they are; converted deltas stop at the
        // largest one the formats carry.
        CScriptedSource oRaw(0, {NoteOn(0x0FFFFFFF), EndOfTrack(7)});
        EXPECT_EQ(SmfDrainDecoder(oRaw).m_aDeltas, std::vector<TDELTA>({0x0FFFFFFF, 7, NO_DELTA}));
        CScriptedSource oFine(1, {NoteOn(0x0FFFFFFF), EndOfTrack(0)});
        EXPECT_EQ(SmfDrainDecoder(oFine).m_aDeltas, std::vector<TDELTA>({0x0FFFFFFF, 0, NO_DELTA}));
    }
    EXPECT_TRUE(oCapture.Empty());
}

TEST(DecStream, GroupsAreOneTickAndOneClass)
{
    CReportCapture oCapture;
    // Two note-ons form one group; the meta at the same tick a second group
    // (delta 0); the end of track with a delta a group of its own.
    CScriptedSource oSource(0, {NoteOn(0), NoteOn(0, 0x3E), Tempo(0), EndOfTrack(5)});
    EXPECT_EQ(oSource.Rewind(), 0);
    EXPECT_EQ(oSource.GetPendingClass(), EC_CHMSG);

    CLinkedEvent* poList = nullptr;
    EXPECT_EQ(oSource.ExtractEvents(poList), 0);
    ASSERT_TRUE(poList && poList->Next() && !poList->Next()->Next());
    FreeEventsList(poList);
    EXPECT_EQ(oSource.GetPendingClass(), EC_META);

    EXPECT_EQ(oSource.ExtractEvents(poList), 5);
    ASSERT_TRUE(poList && !poList->Next());
    EXPECT_EQ(poList->GetMetaType(), 0x51);
    FreeEventsList(poList);
    EXPECT_FALSE(oSource.IsEndOfStream());

    EXPECT_EQ(oSource.ExtractEvents(poList), NO_DELTA);
    ASSERT_TRUE(poList && poList->IsEndOfTrack() && !poList->Next());
    FreeEventsList(poList);
    EXPECT_EQ(oSource.GetTick(), 5u);
    EXPECT_TRUE(oSource.IsEndOfStream());
    EXPECT_EQ(oSource.GetPendingClass(), 0xFF);

    // An end of track at delta 0 closes the meta group it belongs to; the
    // source is not asked for more.
    CScriptedSource oJoined(0, {Tempo(0), EndOfTrack(0), NoteOn(0)});
    EXPECT_EQ(SmfDrainDecoder(oJoined).m_aDeltas, std::vector<TDELTA>({0, NO_DELTA}));
    EXPECT_EQ(oJoined.m_iCalls, 2);
    EXPECT_TRUE(oCapture.Empty());
}

TEST(DecStream, GapsAndSkippedRecordsKeepTheTime)
{
    CReportCapture oCapture;
    {
        // Nothing to give: a null event of the null delta; the following
        // deltas give the time back, also across several of them.
        CScriptedSource oSource(0, {NoteOn(0), Nothing(), Nothing(), NoteOn(5, 0x3E), NoteOn(20, 0x40), EndOfTrack(0)});
        oSource.SetNullDelta(10);
        EXPECT_EQ(SmfDrainDecoder(oSource).m_aLines,
                  Lines({"0 note_on 0 3C 40", "10 null", "20 null", "20 note_on 0 3E 40", "25 note_on 0 40 40",
                         "25 meta 2F -"}));
    }
    {
        // Waiting for events asks again instead.
        CScriptedSource oSource(0, {NoteOn(0), Nothing(), Nothing(), NoteOn(5, 0x3E), EndOfTrack(0)});
        oSource.SetNullDelta(10);
        oSource.SetWaitForEvents(true);
        EXPECT_EQ(SmfDrainDecoder(oSource).m_aLines, Lines({"0 note_on 0 3C 40", "5 note_on 0 3E 40", "5 meta 2F -"}));
    }
    {
        // A record the source left empty still moves time by its delta.
        CScriptedSource oSource(0, {NoteOn(0), Skipped(7), NoteOn(3, 0x3E), EndOfTrack(0)});
        EXPECT_EQ(SmfDrainDecoder(oSource).m_aLines,
                  Lines({"0 note_on 0 3C 40", "7 null", "10 note_on 0 3E 40", "10 meta 2F -"}));
    }
    EXPECT_TRUE(oCapture.Empty());
}

TEST(DecStream, AnErrorEndsTheStreamForGood)
{
    CReportCapture oCapture;
    CScriptedSource oSource(0, {NoteOn(0), NoteOn(3), Broken()});
    EXPECT_EQ(oSource.Rewind(), 0);
    CLinkedEvent* poList = nullptr;
    EXPECT_EQ(oSource.ExtractEvents(poList), 3);
    FreeEventsList(poList);
    // The group whose follower fails is still handed out, with -1: what was
    // read before the damage is kept.
    EXPECT_EQ(oSource.ExtractEvents(poList), NO_DELTA);
    ASSERT_NE(poList, nullptr);
    EXPECT_EQ(poList->Next(), nullptr);
    FreeEventsList(poList);
    EXPECT_FALSE(oSource.IsEndOfStream());
    EXPECT_EQ(oSource.GetStatus(), DS_CORRUPTED);
    EXPECT_EQ(oCapture.Texts(), Lines({"CDecStream::ExtractEvent(...) - Extraction failed"}));

    EXPECT_EQ(oSource.ExtractEvents(poList), NO_DELTA);
    EXPECT_EQ(poList, nullptr);
    EXPECT_EQ(oSource.Rewind(), NO_DELTA) << "a corrupted stream stays corrupted";

    oCapture.Clear();
    CScriptedSource oAtOnce(0, {Broken()});
    EXPECT_EQ(oAtOnce.Rewind(), NO_DELTA);
    EXPECT_EQ(oCapture.Texts(), Lines({"CDecStream::OnRewind () - Failed"}));
    EXPECT_EQ(oAtOnce.ExtractEvents(poList), NO_DELTA);
    EXPECT_EQ(poList, nullptr);
}

} // namespace
