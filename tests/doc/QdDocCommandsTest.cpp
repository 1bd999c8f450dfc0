// QdDocCommandsTest.cpp -- the element tree and the commands on the open
// style: whole-style import by standard names, import, export and deletion
// of one chord variation.
#include "DocFixtures.h"

#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <gtest/gtest.h>

using namespace DocFixtures;

namespace {

const char* const IMPORT_STYLE = "Import Style from SMF";
const std::string SMF_READ_ERROR = "SMF read error or wrong SMF Format!";
const std::string NO_STANDARD_NAME = "no standard name (v1cv1 ... e2cv2) in the file name";
const char* const FIRST_ELEMENT_ADDED = "Style Element 'Variation 1' must exists. An empty element has been added.";

typedef std::vector<std::pair<std::string, std::string>> Told;

// CCommandTest -- ThreeStyleBank open with "Alpha" (Variation 1 with two
// chord variations, Intro 1 with one) or "Gamma" (Variation 1 with one) selected.
class CCommandTest : public CBankDocTest
{
protected:
    void SetUp() override { OpenBank(ThreeStyleBank()); }

    void SelectAlpha() { m_oDoc.SelectStyle(0); }
    void SelectGamma() { m_oDoc.SelectStyle(2); }

    Bytes ExportBytes(BYTE bySe, BYTE byCv)
    {
        DWORD dwSize = 0;
        std::unique_ptr<BYTE[]> pbySmf = m_oDoc.GetEditIfc()->ExportToSmf(bySe, byCv, NST_ALL_TRACKS, dwSize);
        return pbySmf ? Bytes(pbySmf.get(), pbySmf.get() + dwSize) : Bytes();
    }

    BYTE BassProgram()
    {
        const CNstStyleElem* pkoElement = m_oDoc.GetEditIfc()->GetStyle().FindStyleElem(0);
        return pkoElement ? pkoElement->GetTrackParam(2)->m_byProgram : 0xFF;
    }
};

} // namespace

TEST(QdStandardNames, TableBoundsAndFirstMatchInTableOrder)
{
    struct CCase
    {
        BYTE m_bySe;
        BYTE m_byCv;
        int m_iIndex;
    };
    const CCase aoCases[] = {{0, 0, 0},  {0, 5, 5},  {0, 6, -1}, {3, 5, 23}, {4, 0, 24},
                             {4, 1, 25}, {4, 2, -1}, {9, 1, 35}, {10, 0, -1}};
    for (const CCase& rkoCase : aoCases)
    {
        EXPECT_EQ(CQdBankDoc::StandardNameIndex(rkoCase.m_bySe, rkoCase.m_byCv), rkoCase.m_iIndex)
            << int(rkoCase.m_bySe) << "/" << int(rkoCase.m_byCv);
        BYTE bySe = 99;
        BYTE byCv = 99;
        if (rkoCase.m_iIndex >= 0)
        {
            EXPECT_TRUE(CQdBankDoc::StandardNameElement(rkoCase.m_iIndex, bySe, byCv));
            EXPECT_EQ(bySe, rkoCase.m_bySe);
            EXPECT_EQ(byCv, rkoCase.m_byCv);
        }
    }
    EXPECT_STREQ(CQdBankDoc::StandardName(25), "i1cv2");
    EXPECT_STREQ(CQdBankDoc::StandardName(35), "e2cv2");
    EXPECT_EQ(CQdBankDoc::StandardName(36), nullptr);

    EXPECT_EQ(CQdBankDoc::FindStandardName("ABCi1cv2.mid"), 25);
    EXPECT_EQ(CQdBankDoc::FindStandardName("I1CV2de.mid"), 25);
    EXPECT_EQ(CQdBankDoc::FindStandardName("v1cv7.mid"), -1);
    EXPECT_EQ(CQdBankDoc::FindStandardName("v2cv1_v1cv1.mid"), 0);
    EXPECT_EQ(CQdBankDoc::FindStandardName("E2Cv2"), 35);
}

TEST_F(CCommandTest, ImportStyleTakesEachFileToItsStandardName)
{
    SelectGamma();
    const std::vector<std::string> astrFiles = {
        WriteSmf("ABCi1cv2.mid", SmfNotes(9, 4, 36)), WriteSmf("I1CV2de.mid", SmfNotes(9, 8, 38)),
        WriteSmf("v1cv7.mid", SmfNotes(9, 4, 36)), WriteSmf("v2cv1_v1cv1.mid", SmfNotes(8, 4, 40))};
    m_oPrompt.m_aiAnswers = {QD_ANSWER_NO /* Merge */, QD_ANSWER_NO /* Keep */, QD_ANSWER_YES /* Initialize */};
    m_oPrompt.m_aastrOpenFileSets = {astrFiles};
    ASSERT_TRUE(m_oDoc.ImportAllSmf());

    EXPECT_EQ(m_oPrompt.m_aoRequests.at(0).m_strTitle, "Open Standard Midi Files");
    EXPECT_EQ(m_oPrompt.m_aoRequests.at(0).m_strFilter, "Midi|*.mid");
    const CQdQuestion& rkoFirst = m_oPrompt.m_aoQuestions.at(0);
    EXPECT_EQ(rkoFirst.m_strCaption, IMPORT_STYLE);
    EXPECT_EQ(rkoFirst.m_strText, "Replace current style or merge with SMF files?");
    EXPECT_EQ(rkoFirst.m_strYes + "/" + rkoFirst.m_strNo + "/" + rkoFirst.m_strCancel, "Replace/Merge/Cancel");
    EXPECT_EQ(m_oPrompt.AskedTexts(),
              (std::vector<std::string>{
                  "Replace current style or merge with SMF files?",
                  "Warning! 'i1cv2de.mid' is a duplicate - Initialize/Keep Track Parameters?",
                  "Warning! 'v2cv1_v1cv1.mid' is a duplicate - Initialize/Keep Track Parameters?"}));
    const CQdQuestion& rkoDuplicate = m_oPrompt.m_aoQuestions.at(1);
    EXPECT_EQ(rkoDuplicate.m_strYes + "/" + rkoDuplicate.m_strNo + "/" + rkoDuplicate.m_strCancel,
              "Initialize/Keep/Skip CV");
    EXPECT_EQ(m_oPrompt.m_aoTold, (Told{{IMPORT_STYLE, "'v1cv7.mid'  is not a valid standard name!\n" +
                                                           astrFiles[2] + ": " + NO_STANDARD_NAME}}));

    // Intro 1 chord variation 2 holds the second file (8 beats: 2 measures).
    EXPECT_EQ(CvState(4, 1), NST_STATE_EVENTS);
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetMeasures(4, 1), 2);
    EXPECT_EQ(CvState(4, 0), NST_STATE_ABSENT);
    // v2cv1_v1cv1 went to Variation 1, chord variation 1: now a Bass line.
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetPatternState(0, 0, 2), NST_STATE_EVENTS);
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetPatternState(0, 0, 0), NST_STATE_ABSENT);
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetStyleElemState(1), NST_STATE_ABSENT);
    EXPECT_TRUE(m_oDoc.IsStyleModified());
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CCommandTest, DuplicateSkipLeavesTheChordVariationKeepAndInitializeDecideTheParameters)
{
    // A file with a Bass line and program 5 at tick 0, for Variation 1 CV 1.
    const std::string strFile = WriteSmf("v1cv1.mid", SmfNotes(8, 4, 40, 5));
    SelectGamma();
    const Bytes abyBefore = ExportBytes(0, 0);
    const BYTE byProgram = BassProgram();
    ASSERT_NE(byProgram, 5);

    struct CCase
    {
        int m_iAnswer;
        bool m_bChanged;
        BYTE m_byProgram;
    };
    // Initialize deletes the chord variation first: the element then holds
    // no events and takes the file's parameters.
    const CCase aoCases[] = {{QD_ANSWER_CANCEL, false, byProgram},
                             {QD_ANSWER_NO, true, byProgram},
                             {QD_ANSWER_YES, true, 5}};
    for (const CCase& rkoCase : aoCases)
    {
        SCOPED_TRACE(rkoCase.m_iAnswer);
        m_oPrompt.m_aiAnswers = {rkoCase.m_iAnswer};
        EXPECT_EQ(m_oDoc.ImportStyleFiles({strFile}, false), rkoCase.m_bChanged ? 1 : 0);
        EXPECT_TRUE(m_oPrompt.m_aiAnswers.empty());
        EXPECT_EQ(m_oDoc.IsStyleModified(), rkoCase.m_bChanged);
        EXPECT_EQ(ExportBytes(0, 0) != abyBefore, rkoCase.m_bChanged);
        EXPECT_EQ(BassProgram(), rkoCase.m_byProgram);
        if (m_oDoc.IsStyleModified())
            m_oDoc.UndoStyle();
    }
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CCommandTest, ReplaceTakesEffectOnlyWhenAFileIsImported)
{
    SelectAlpha();
    // Nothing imported: the style stays as it was, unmodified.
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES /* Replace */};
    const std::string strNothing = WriteSmf("nothing.mid", SmfNotes(9, 4, 36));
    m_oPrompt.m_aastrOpenFileSets = {{strNothing}};
    ASSERT_TRUE(m_oDoc.ImportAllSmf());
    EXPECT_EQ(m_oPrompt.ToldTexts(), std::vector<std::string>{"'nothing.mid'  is not a valid standard name!\n" +
                                                              strNothing + ": " + NO_STANDARD_NAME});
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    EXPECT_EQ(m_oDoc.GetStyleNames()[0], "Alpha");
    EXPECT_EQ(CvState(0, 1), NST_STATE_EVENTS);

    // One file imported into Intro 1: a new style without "Variation 1",
    // which is then added empty.
    m_oPrompt.ClearRecords();
    EXPECT_EQ(m_oDoc.ImportStyleFiles({WriteSmf("i1cv1.mid", SmfNotes(9, 4, 36))}, true), 1);
    EXPECT_EQ(m_oPrompt.m_aoTold, (Told{{IMPORT_STYLE, FIRST_ELEMENT_ADDED}}));
    EXPECT_TRUE(m_oPrompt.m_aoQuestions.empty());
    EXPECT_TRUE(m_oDoc.IsStyleModified());
    EXPECT_EQ(m_oDoc.GetStyleNames()[0], "New Style");
    EXPECT_EQ(m_oDoc.BuildElementTree().at(0).m_strText, "New Style");
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetStyleElemState(0), NST_STATE_EMPTY);
    EXPECT_EQ(CvState(0, 0), NST_STATE_EMPTY);
    EXPECT_EQ(CvState(0, 1), NST_STATE_ABSENT);
    EXPECT_EQ(CvState(4, 0), NST_STATE_EVENTS);

    // Dropping the changes brings the name back.
    m_oPrompt.m_aiAnswers = {QD_ANSWER_CANCEL};
    m_oDoc.SelectStyle(-1);
    EXPECT_EQ(m_oDoc.GetStyleNames()[0], "Alpha");
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CCommandTest, UnreadableFileIsToldAndTheOthersAreImported)
{
    SelectAlpha();
    const std::string strBad = WriteSmf("v2cv1.mid", Bytes{'M', 'T', 'h', 'd', 0, 0});
    const std::string strGood = WriteSmf("v2cv2.mid", SmfNotes(9, 4, 36));
    EXPECT_EQ(m_oDoc.ImportStyleFiles({strBad, m_oDir.Path("v3cv1.mid"), strGood}, false), 1);
    EXPECT_EQ(m_oPrompt.m_aoTold,
              (Told{{IMPORT_STYLE, SMF_READ_ERROR + "\n" + strBad + ": the file is cut short at byte 6"},
                    {IMPORT_STYLE, SMF_READ_ERROR + "\n" + m_oDir.Path("v3cv1.mid") + ": no such file or directory"}}));
    EXPECT_EQ(CvState(1, 0), NST_STATE_ABSENT);
    EXPECT_EQ(CvState(1, 1), NST_STATE_EVENTS);
    EXPECT_EQ(CvState(2, 0), NST_STATE_ABSENT);
    EXPECT_TRUE(m_oDoc.IsStyleModified());
}

TEST_F(CCommandTest, DeletingTheLastChordVariationRemovesTheElementButVariation1Stays)
{
    SelectAlpha();
    EXPECT_FALSE(m_oDoc.DeleteCV(4, 1)); // absent
    EXPECT_FALSE(m_oDoc.IsStyleModified());

    ASSERT_TRUE(m_oDoc.DeleteCV(4, 0));
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetStyleElemState(4), NST_STATE_ABSENT);
    EXPECT_TRUE(m_oPrompt.m_aoTold.empty());
    EXPECT_TRUE(m_oDoc.IsStyleModified());

    ASSERT_TRUE(m_oDoc.DeleteCV(0, 1));
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetStyleElemState(0), NST_STATE_EVENTS);
    EXPECT_TRUE(m_oPrompt.m_aoTold.empty());

    ASSERT_TRUE(m_oDoc.DeleteCV(0, 0));
    EXPECT_EQ(m_oPrompt.m_aoTold, (Told{{"Delete Chord Variation", FIRST_ELEMENT_ADDED}}));
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetStyleElemState(0), NST_STATE_EMPTY);
    EXPECT_EQ(CvState(0, 0), NST_STATE_EMPTY);
    std::vector<std::string> astrTree;
    for (const CQdTreeNode& rkoNode : m_oDoc.BuildElementTree())
        astrTree.push_back(rkoNode.m_strText);
    EXPECT_EQ(astrTree, (std::vector<std::string>{"Alpha", "Variation 1", "Chord Var 1"}));
}

TEST_F(CCommandTest, ElementTreeInfoLinesAndToolButtons)
{
    EXPECT_TRUE(m_oDoc.BuildElementTree().empty());
    CQdToolState oNoStyle = m_oDoc.GetToolState(nullptr);
    EXPECT_TRUE(oNoStyle.m_bSave);
    EXPECT_FALSE(oNoStyle.m_bImportAll);

    SelectAlpha();
    const std::vector<CQdTreeNode> aoTree = m_oDoc.BuildElementTree();
    std::vector<std::string> astrTree;
    for (const CQdTreeNode& rkoNode : aoTree)
        astrTree.push_back(std::to_string(rkoNode.m_iLevel) + std::to_string(rkoNode.m_iImage) +
                           std::to_string(rkoNode.m_byKind) + " " + rkoNode.m_strText);
    EXPECT_EQ(astrTree, (std::vector<std::string>{"050 Alpha", "111 Variation 1", "222 Chord Var 1", "333 Drum",
                                                  "222 Chord Var 2", "333 Bass", "111 Intro 1", "222 Chord Var 1",
                                                  "333 Drum", "333 Acc. 1"}));

    struct CCase
    {
        std::size_t m_uNode;
        const char* m_pszInfo;
        bool m_bCvCommands;
        bool m_bPlay;
    };
    const CCase aoCases[] = {
        {0, "", false, false},
        {1, " Signature: 4 / 4", false, false},
        {2, " Length in measures: 1", true, true},
        {3, "", false, true},
        {6, " Signature: 3 / 4", false, false},
        {7, " Length in measures: 2", true, true},
    };
    for (const CCase& rkoCase : aoCases)
    {
        const CQdTreeNode& rkoNode = aoTree.at(rkoCase.m_uNode);
        EXPECT_EQ(m_oDoc.GetTreeInfoText(rkoNode), rkoCase.m_pszInfo) << rkoNode.m_strText;
        const CQdToolState oState = m_oDoc.GetToolState(&rkoNode);
        EXPECT_EQ(oState.m_bImportSingle, rkoCase.m_bCvCommands) << rkoNode.m_strText;
        EXPECT_EQ(oState.m_bExportSingle, rkoCase.m_bCvCommands) << rkoNode.m_strText;
        EXPECT_EQ(oState.m_bDeleteCV, rkoCase.m_bCvCommands) << rkoNode.m_strText;
        EXPECT_EQ(oState.m_bPlay, rkoCase.m_bPlay) << rkoNode.m_strText;
        EXPECT_TRUE(oState.m_bImportAll);
        EXPECT_FALSE(oState.m_bUndo);
    }

    // A node naming nothing present shows nothing and creates nothing.
    CQdTreeNode oAbsent;
    oAbsent.m_byKind = CQdTreeNode::KIND_CHORD_VAR;
    oAbsent.m_bySe = 5;
    EXPECT_EQ(m_oDoc.GetTreeInfoText(oAbsent), "");
    oAbsent.m_byKind = CQdTreeNode::KIND_ELEMENT;
    EXPECT_EQ(m_oDoc.GetTreeInfoText(oAbsent), "");
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetStyleElemState(5), NST_STATE_ABSENT);
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    EXPECT_TRUE(m_oReports.Empty());
}

TEST_F(CCommandTest, ExportWritesTheFileAtomicallyAndLeavesTheStyleUnmodified)
{
    SelectAlpha();
    const std::string strPath = m_oDir.Path("out.mid");
    m_oPrompt.m_astrSaveFiles = {strPath};
    ASSERT_TRUE(m_oDoc.ExportSingleSmf(0, 1));
    EXPECT_EQ(m_oPrompt.m_aoRequests.at(0).m_strTitle, "Save Standard Midi File");
    EXPECT_EQ(m_oPrompt.m_aoRequests.at(0).m_strFileName, "v1cv2");
    const Bytes abyExported = ReadFile(strPath);
    EXPECT_EQ(abyExported, ExportBytes(0, 1));
    EXPECT_FALSE(m_oDoc.IsStyleModified());

    // A full disk: the message, the old file as it was, no temporary file.
    m_oFileIo.m_lFailAfter = 10;
    m_oPrompt.m_astrSaveFiles = {strPath};
    EXPECT_FALSE(m_oDoc.ExportSingleSmf(0, 0));
    EXPECT_EQ(m_oPrompt.m_aoTold,
              (Told{{"Export Chord Variation to SMF", "SMF write error!\n" + strPath + ": disk full"}}));
    EXPECT_EQ(ReadFile(strPath), abyExported);
    EXPECT_EQ(m_oDir.Files(), (std::vector<std::string>{"bank.sty", "out.mid"}));

    // Only a present chord variation is exported; a cancelled dialog writes nothing.
    EXPECT_FALSE(m_oDoc.ExportSingleSmf(1, 0));
    m_oPrompt.m_astrSaveFiles = {""};
    EXPECT_FALSE(m_oDoc.ExportSingleSmf(0, 0));
}

TEST_F(CCommandTest, ImportOneChordVariationFromAnyFileName)
{
    SelectAlpha();
    const std::string strFile = WriteSmf("any name.mid", SmfNotes(11, 8, 60));
    const Bytes abyBefore = ExportBytes(4, 0);

    // Cancel at the question: no file dialog, nothing modified.
    m_oPrompt.m_aiAnswers = {QD_ANSWER_CANCEL};
    EXPECT_FALSE(m_oDoc.ImportSingleSmf(4, 0));
    EXPECT_TRUE(m_oPrompt.m_aoRequests.empty());
    EXPECT_FALSE(m_oDoc.IsStyleModified());

    m_oPrompt.m_aiAnswers = {QD_ANSWER_NO /* Keep */};
    m_oPrompt.m_astrOpenFiles = {strFile};
    EXPECT_TRUE(m_oDoc.ImportSingleSmf(4, 0));
    EXPECT_EQ(m_oPrompt.m_aoQuestions.at(0).m_strCaption, "Import Chord Variation from SMF");
    EXPECT_EQ(m_oPrompt.m_aoQuestions.at(0).m_strText, "Initialize/Keep Track Parameters?");
    EXPECT_EQ(m_oPrompt.m_aoRequests.at(0).m_strTitle, "Open Standard Midi File");
    EXPECT_EQ(m_oPrompt.m_aoRequests.at(0).m_strFileName, "i1cv1");
    EXPECT_TRUE(m_oDoc.IsStyleModified());
    EXPECT_EQ(m_oDoc.GetEditIfc()->GetPatternState(4, 0, 3), NST_STATE_EVENTS);
    EXPECT_NE(ExportBytes(4, 0), abyBefore);

    // A refused file is told with its cause and changes nothing: Initialize
    // does not delete the chord variation, the style is not modified.
    m_oDoc.UndoStyle();
    const std::string strBad = WriteSmf("bad.mid", Bytes{1, 2, 3});
    EXPECT_FALSE(m_oDoc.ImportChordVarFile(0, 0, true, strBad));
    EXPECT_EQ(m_oPrompt.m_aoTold.back(),
              (std::pair<std::string, std::string>{"Import Chord Variation from SMF",
                                                   SMF_READ_ERROR + ("\n" + strBad + ": this is not a MIDI file")}));
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    EXPECT_EQ(CvState(0, 0), NST_STATE_EVENTS);
}

// What the desktop asks where the command line has flags: whether to import
// the readable part of a damaged file, and a map for notes on channels that
// no track takes. Each import command ends with a report per file.
TEST_F(CCommandTest, DesktopImportAsksAboutDamageAndChannelMaps)
{
    SelectAlpha();
    const Bytes abyBefore = ExportBytes(4, 0);
    Bytes abyCut = SmfNotes(9, 8, 36);
    abyCut.resize(abyCut.size() - 10);
    const std::string strCut = WriteSmf("cut.mid", abyCut);
    const std::string strMelody = WriteSmf("melody.mid", SmfNotes(0, 8, 60));
    const std::string strCause = "the file is cut short at byte " + std::to_string(abyCut.size());

    struct CCase
    {
        const char* m_pszWhat;
        std::string m_strFile;
        int m_iPartial;       // the answer to "Import what could be read?", 0: not asked
        CQdTrackMap m_oMap;   // the map chosen (empty: declined), for the melody
        EQdImportOutcome m_eOutcome;
    };
    CQdTrackMap oToAcc1;
    oToAcc1.m_abyTrack[0] = 3;
    const CCase aoCases[] = {
        {"damaged, cancelled", strCut, QD_ANSWER_CANCEL, CQdTrackMap(), QD_IMPORT_REFUSED},
        {"damaged, read in part", strCut, QD_ANSWER_YES, CQdTrackMap(), QD_IMPORT_PARTIAL},
        {"channel 1, kept", strMelody, 0, CQdTrackMap(), QD_IMPORT_REFUSED},
        {"channel 1 to Acc. 1", strMelody, 0, oToAcc1, QD_IMPORT_DONE}, // 8 beats in 3/4
    };
    for (const CCase& rkoCase : aoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszWhat);
        m_oPrompt.ClearRecords();
        m_oPrompt.m_aiAnswers = {QD_ANSWER_NO /* Keep */};
        if (rkoCase.m_iPartial != 0)
            m_oPrompt.m_aiAnswers.push_back(rkoCase.m_iPartial);
        else
            m_oPrompt.m_aoMaps = {rkoCase.m_oMap};
        m_oPrompt.m_astrOpenFiles = {rkoCase.m_strFile};
        const bool bImported = rkoCase.m_eOutcome != QD_IMPORT_REFUSED;
        EXPECT_EQ(m_oDoc.ImportSingleSmf(4, 0), bImported);
        EXPECT_EQ(m_oDoc.IsStyleModified(), bImported);
        EXPECT_EQ(ExportBytes(4, 0) != abyBefore, bImported);
        ASSERT_EQ(m_oPrompt.m_aaoReports.size(), 1u);
        ASSERT_EQ(m_oPrompt.m_aaoReports[0].size(), 1u);
        const CQdImportReport& rkoReport = m_oPrompt.m_aaoReports[0][0];
        EXPECT_EQ(rkoReport.m_strPath, rkoCase.m_strFile);
        EXPECT_EQ(rkoReport.m_eOutcome, rkoCase.m_eOutcome);
        if (rkoCase.m_iPartial != 0)
        {
            EXPECT_EQ(m_oPrompt.AskedTexts().back(),
                      SMF_READ_ERROR + "\n" + strCut + ": " + strCause + "\nImport what could be read?");
            EXPECT_EQ(rkoReport.m_strCause, strCause);
            EXPECT_TRUE(m_oPrompt.m_aoTold.empty());
        }
        else
        {
            ASSERT_EQ(m_oPrompt.m_aoChannelQuestions.size(), 1u);
            EXPECT_EQ(m_oPrompt.m_aoChannelQuestions[0].m_wOutside, 0x0001);
            EXPECT_EQ(m_oPrompt.m_aoChannelQuestions[0].m_wInside, 0);
        }
        if (rkoCase.m_oMap.IsEmpty() && rkoCase.m_iPartial == 0)
        {
            EXPECT_EQ(m_oPrompt.ToldTexts(),
                      std::vector<std::string>{"SMF holds no notes on the track channels 9-16!\n" + strMelody +
                                               ": notes only on channel 1; the tracks take channels 9-16"});
        }
        if (rkoCase.m_eOutcome == QD_IMPORT_DONE)
        {
            EXPECT_EQ(QdImportReportLine(rkoReport), "i1cv1, 3 measures, notes: Acc. 1 8");
        }
        m_oDoc.UndoStyle();
    }
}
