// QdScriptCommandsTest.cpp -- the commands of scripts and batch work where
// the window goes beyond what qdstyle reaches: track parameters taken back
// by Undo, a copy whose source is the open style itself, and a bank import
// while a changed style is open. (Their command-line behaviour is tested end
// to end in tests/e2e/test_qdstyle.py.)
#include "DocFixtures.h"

#include "BankDoc/QdBankImport.h"
#include "BankDoc/QdCopyPart.h"
#include "BankDoc/QdTrackParams.h"
#include "NlzdStyle/NstEditIfc.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace DocFixtures;

namespace {

constexpr BYTE BASS = 2;

// CScriptTest -- ThreeStyleBank open: "Alpha" (Variation 1 with two chord
// variations, Intro 1 with one), "Beta" (the same), "Gamma" (one).
class CScriptTest : public CBankDocTest
{
protected:
    void SetUp() override { OpenBank(ThreeStyleBank()); }

    Bytes ExportBytes(BYTE bySe, BYTE byCv)
    {
        DWORD dwSize = 0;
        std::unique_ptr<BYTE[]> pbySmf = m_oDoc.GetEditIfc()->ExportToSmf(bySe, byCv, NST_ALL_TRACKS, dwSize);
        return pbySmf ? Bytes(pbySmf.get(), pbySmf.get() + dwSize) : Bytes();
    }

    CNstTrackParam Params(BYTE bySe, BYTE byTrack)
    {
        CNstTrackParam oParam;
        EXPECT_TRUE(m_oDoc.GetTrackParams(bySe, byTrack, oParam));
        return oParam;
    }
};

} // namespace

TEST_F(CScriptTest, TrackParametersAreAnEditThatUndoTakesBack)
{
    m_oDoc.SelectStyle(0);
    const CNstTrackParam oVariation = Params(0, BASS);
    const CNstTrackParam oIntro = Params(4, BASS);
    CQdTrackParamChange oChange;
    oChange.m_oiProgram = 40;
    oChange.m_oiExpression = 80;
    ASSERT_TRUE(m_oDoc.SetTrackParams(CQdBankDoc::ALL_ELEMENTS, BASS, oChange));
    EXPECT_TRUE(m_oDoc.IsStyleModified());
    EXPECT_TRUE(m_oDoc.GetToolState(nullptr).m_bUndo);
    for (BYTE bySe : {BYTE(0), BYTE(4)})
    {
        const CNstTrackParam oAfter = Params(bySe, BASS);
        const CNstTrackParam& rkoBefore = bySe == 0 ? oVariation : oIntro;
        EXPECT_EQ(oAfter.m_byProgram, 40);
        EXPECT_EQ(oAfter.m_byExpression, 80);
        EXPECT_EQ(oAfter.m_byBankMsb, rkoBefore.m_byBankMsb);
        EXPECT_EQ(oAfter.m_byBankLsb, rkoBefore.m_byBankLsb);
    }

    ASSERT_TRUE(m_oDoc.UndoStyle());
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    EXPECT_EQ(Params(0, BASS), oVariation);
    EXPECT_EQ(Params(4, BASS), oIntro);

    // Values the track holds already change nothing.
    CQdTrackParamChange oSame;
    oSame.m_oiProgram = oVariation.m_byProgram;
    EXPECT_TRUE(m_oDoc.SetTrackParams(0, BASS, oSame));
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    // An element the style lacks refuses the change, with a message.
    EXPECT_FALSE(m_oDoc.SetTrackParams(1, BASS, oChange));
    EXPECT_EQ(m_oPrompt.ToldTexts().back(), "Style Element 'Variation 2' not found in Style 'Alpha'!");
    EXPECT_FALSE(m_oDoc.IsStyleModified());
}

TEST_F(CScriptTest, TheOpenStyleIsACopysSourceAsItWasBeforeTheCopy)
{
    m_oDoc.SelectStyle(0);
    const Bytes abyFirst = ExportBytes(0, 0);
    const Bytes abySecond = ExportBytes(0, 1);
    CQdCopyRequest oRequest;
    oRequest.m_oFrom = {0, NST_NR_CV};
    oRequest.m_oTo = {1, NST_NR_CV};
    oRequest.m_strSourceName = "Alpha";
    CQdCopyReport oReport;
    ASSERT_TRUE(m_oDoc.CopyPart(*m_oDoc.GetEditIfc(), oRequest, oReport));
    ASSERT_EQ(oReport.m_aoSteps.size(), 2u);
    EXPECT_EQ(ExportBytes(1, 0), abyFirst);
    EXPECT_EQ(ExportBytes(1, 1), abySecond);
    // A chord variation over the one it was copied from: the same again.
    oRequest.m_oFrom = {0, 1};
    oRequest.m_oTo = {0, 0};
    ASSERT_TRUE(m_oDoc.CopyPart(*m_oDoc.GetEditIfc(), oRequest, oReport));
    EXPECT_EQ(ExportBytes(0, 0), abySecond);
    EXPECT_TRUE(m_oDoc.IsStyleModified());
}

TEST_F(CScriptTest, BankImportWritesTheChangedStyleBackFirstAndKeepsTheSelection)
{
    const std::string strFolders = m_oDir.Path("folders");
    std::filesystem::create_directories(strFolders + "/01-Alpha");
    std::filesystem::create_directories(strFolders + "/03-Gamma");
    WriteFile(strFolders + "/01-Alpha/v1cv2.mid", SmfNotes(9, 4, 36));
    WriteFile(strFolders + "/03-Gamma/i1cv1.mid", SmfNotes(8, 4, 40));
    m_oDoc.SelectStyle(2);
    m_oDoc.RenameStyle("Changed");
    // Alpha's v1cv2 holds events: keep its element's parameters.
    m_oPrompt.m_aiAnswers = {QD_ANSWER_NO};

    std::vector<CQdBankImportStyle> aoStyles;
    EXPECT_EQ(m_oDoc.ImportBankFolder(strFolders, false, CQdImportOptions(), aoStyles), 2);
    ASSERT_EQ(aoStyles.size(), 2u);
    EXPECT_EQ(aoStyles[0].m_strName, "Alpha");
    EXPECT_EQ(aoStyles[1].m_strName, "Changed");
    EXPECT_EQ(aoStyles[1].Imported(), 1);
    EXPECT_TRUE(m_oPrompt.m_aiAnswers.empty());
    // The style open before is open again, with its name and the import,
    // everything written back.
    EXPECT_EQ(m_oDoc.GetSelectedStyle(), 2);
    EXPECT_FALSE(m_oDoc.IsStyleModified());
    EXPECT_EQ(m_oDoc.GetStyleNames()[2], "Changed");
    EXPECT_EQ(CvState(4, 0), NST_STATE_EVENTS);
    EXPECT_TRUE(m_oDoc.IsWrittenBack(0));
    EXPECT_FALSE(m_oDoc.IsWrittenBack(1));
    EXPECT_TRUE(m_oDoc.IsWrittenBack(2));
    EXPECT_TRUE(m_oPrompt.ToldTexts().empty());
}
