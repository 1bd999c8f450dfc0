// QdImportChoiceTest.cpp -- what the desktop's imports ask where the command
// line refuses unless a flag says otherwise: a file whose time signature
// differs from the one the element keeps, and a file with notes on channels
// that no track takes. Each file is dropped on a chord variation (or on the
// style) of a real bank file, as the window does.
#include "DocFixtures.h"

#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <gtest/gtest.h>

using namespace DocFixtures;

namespace {

// Smf -- a format-0 file, 384 ticks per quarter, of the track's events
// (each with its delta) and an end of track.
Bytes Smf(std::initializer_list<Bytes> aabyEvents)
{
    Bytes abyFile = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0x80, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
    for (const Bytes& rkabyEvents : aabyEvents)
        abyFile.insert(abyFile.end(), rkabyEvents.begin(), rkabyEvents.end());
    abyFile.insert(abyFile.end(), {0x00, 0xFF, 0x2F, 0x00});
    QdWriteBE32(&abyFile[18], DWORD(abyFile.size() - 22));
    return abyFile;
}

// Quarters -- iCount notes of a quarter each on the channel (0-based).
Bytes Quarters(BYTE byChannel, int iCount, BYTE byKey)
{
    Bytes abyEvents;
    for (int i = 0; i < iCount; ++i)
        abyEvents.insert(abyEvents.end(),
                         {0x00, BYTE(0x90 | byChannel), byKey, 100, 0x83, 0x00, BYTE(0x80 | byChannel), byKey, 0});
    return abyEvents;
}

Bytes TimeSig(BYTE byNumerator, BYTE byDenomExp)
{
    return {0x00, 0xFF, 0x58, 0x04, byNumerator, byDenomExp, 0x18, 0x08};
}

} // namespace

TEST_F(CBankDocTest, DesktopAsksBeforeAnImportChangesTheMusic)
{
    OpenBank(ThreeStyleBank());
    const std::string strWaltz = WriteSmf("v1cv1.mid", Smf({TimeSig(3, 2), Quarters(9, 12, 36)}));
    const std::string strLayout = WriteSmf("layout.mid", Smf({Quarters(9, 4, 36), Quarters(0, 4, 60)}));
    const std::string strTimeSigCause = "time signatures differ: the file is 3/4, Variation 1 is 4/4";
    const std::string strWithoutTrack = "notes on channel 1 that no track takes; the tracks take channels 9-16";
    CQdTrackMap oKeepAll; // OK with every box at "keep as is" (the Drum channel's own track)
    oKeepAll.m_abyTrack[9] = 0;
    CQdTrackMap oToAcc1;
    oToAcc1.m_abyTrack[0] = 3;

    struct CCase
    {
        const char* m_pszWhat;
        int m_iStyle;      // Alpha 0 (Variation 1 in 4/4 with two chord variations), Gamma 2 (one)
        bool m_bOnStyle;   // dropped on the style (merged) instead of on v1cv1
        std::string m_strFile;
        std::deque<int> m_aiAnswers;
        std::deque<CQdTrackMap> m_aoMaps;
        EQdImportOutcome m_eOutcome;
        std::string m_strAskedCause; // the time-signature question's cause; empty: not asked
        std::string m_strTold;       // the refusal told, empty: none
        std::string m_strReport;     // the report line of an imported file
    };
    const CCase aoCases[] = {
        {"3/4 over 4/4, cancelled", 0, false, strWaltz, {QD_ANSWER_YES, QD_ANSWER_CANCEL}, {}, QD_IMPORT_REFUSED,
         strTimeSigCause, "", ""},
        {"3/4 over 4/4, imported", 0, false, strWaltz, {QD_ANSWER_YES, QD_ANSWER_YES}, {}, QD_IMPORT_DONE,
         strTimeSigCause, "", "v1cv1, 3 measures, notes: Drum 12; left out: the time signature 3/4 (the element keeps 4/4)"},
        {"3/4 dropped on the style, kept, cancelled", 0, true, strWaltz,
         {QD_ANSWER_NO, QD_ANSWER_NO, QD_ANSWER_CANCEL}, {}, QD_IMPORT_REFUSED, strTimeSigCause, "", ""},
        // Initialize leaves Gamma's Variation 1 without events: it takes the file's.
        {"3/4 initializing the only chord variation", 2, false, strWaltz, {QD_ANSWER_YES}, {}, QD_IMPORT_DONE, "",
         "", "v1cv1, 4 measures, notes: Drum 12"},
        {"3/4 keeping the only chord variation", 2, false, strWaltz, {QD_ANSWER_NO, QD_ANSWER_CANCEL}, {},
         QD_IMPORT_REFUSED, strTimeSigCause, "", ""},
        {"channel 1, dialog cancelled", 0, false, strLayout, {QD_ANSWER_YES}, {CQdTrackMap()}, QD_IMPORT_REFUSED, "",
         "SMF holds notes on channels without a track!\n" + strLayout + ": " + strWithoutTrack, ""},
        {"channel 1 kept as it is", 0, false, strLayout, {QD_ANSWER_YES}, {oKeepAll}, QD_IMPORT_DONE, "", "",
         "v1cv1, 2 measures, notes: Drum 4; left out: 4 events on channel 1 (no track)"},
        {"channel 1 to Acc. 1", 0, false, strLayout, {QD_ANSWER_YES}, {oToAcc1}, QD_IMPORT_DONE, "", "",
         "v1cv1, 2 measures, notes: Drum 4, Acc. 1 4"},
    };
    for (const CCase& rkoCase : aoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszWhat);
        m_oDoc.SelectStyle(rkoCase.m_iStyle);
        m_oPrompt.ClearRecords();
        m_oPrompt.m_aiAnswers = rkoCase.m_aiAnswers;
        m_oPrompt.m_aoMaps = rkoCase.m_aoMaps;
        DWORD dwSize = 0;
        const std::unique_ptr<BYTE[]> pbyBefore = m_oDoc.GetEditIfc()->ExportToSmf(0, 0, NST_ALL_TRACKS, dwSize);
        const Bytes abyBefore(pbyBefore.get(), pbyBefore.get() + dwSize);
        if (rkoCase.m_bOnStyle)
            m_oDoc.ImportAllSmfFiles({rkoCase.m_strFile});
        else
            m_oDoc.ImportSingleSmfFile(0, 0, rkoCase.m_strFile);

        EXPECT_TRUE(m_oPrompt.m_aiAnswers.empty()) << "every question asked";
        EXPECT_TRUE(m_oPrompt.m_aoMaps.empty()) << "the channel dialog opened";
        const bool bImported = rkoCase.m_eOutcome != QD_IMPORT_REFUSED;
        EXPECT_EQ(m_oDoc.IsStyleModified(), bImported);
        const std::unique_ptr<BYTE[]> pbyAfter = m_oDoc.GetEditIfc()->ExportToSmf(0, 0, NST_ALL_TRACKS, dwSize);
        EXPECT_EQ(Bytes(pbyAfter.get(), pbyAfter.get() + dwSize) != abyBefore, bImported);
        if (!rkoCase.m_strAskedCause.empty())
        {
            EXPECT_EQ(m_oPrompt.AskedTexts().back(), "SMF time signature differs from the Style Element's!\n" +
                                                         rkoCase.m_strFile + ": " + rkoCase.m_strAskedCause +
                                                         "\nImport it in the Style Element's time signature?");
        }
        EXPECT_EQ(m_oPrompt.ToldTexts(),
                  rkoCase.m_strTold.empty() ? std::vector<std::string>() : std::vector<std::string>{rkoCase.m_strTold});
        ASSERT_EQ(m_oPrompt.m_aaoReports.size(), 1u);
        const CQdImportReport& rkoReport = m_oPrompt.m_aaoReports[0].at(0);
        EXPECT_EQ(rkoReport.m_eOutcome, rkoCase.m_eOutcome);
        if (bImported)
        {
            EXPECT_EQ(QdImportReportLine(rkoReport), rkoCase.m_strReport);
        }
        else if (!rkoCase.m_strAskedCause.empty())
        {
            EXPECT_EQ(rkoReport.m_strCause, rkoCase.m_strAskedCause);
        }
        m_oDoc.UndoStyle();
    }
}
