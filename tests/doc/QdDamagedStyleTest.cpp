// QdDamagedStyleTest.cpp -- a style whose loading reported problems: it is
// marked damaged with the reports, and the window's way of leaving or
// saving it writes it back only after the user confirmed it.
#include "DocFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace DocFixtures;

namespace {

const char* const DAMAGED_QUESTION =
    "Style 'Alpha' was damaged when loaded; writing it back keeps only what could be read.";
const char* const DAMAGED_REFUSED = "Damaged style - changes not written back!";

// ThreeStyleBank with "Alpha"'s last pattern reference pointing past the
// pattern table: loading it reports and drops what the reference held.
StyleBuilder::CTestBank DamagedAlphaBank()
{
    StyleBuilder::CTestStyle oAlpha = SmallStyle("Alpha");
    oAlpha.m_awRefs.back() = 99;
    StyleBuilder::CTestBank oBank = ThreeStyleBank();
    oBank.m_aoSlots[0] = StyleBuilder::StyleSlot(oAlpha);
    return oBank;
}

} // namespace

TEST_F(CBankDocTest, DamagedStyleIsWrittenBackOnlyWhenConfirmed)
{
    // How the changed style leaves: selecting another style (after "Confirm
    // changes ?" is answered Yes) or saving the bank.
    struct CCase
    {
        bool m_bBySelection;
        int m_iAnswer;
    };
    const CCase aoCases[] = {{true, QD_ANSWER_YES}, {true, QD_ANSWER_NO}, {false, QD_ANSWER_YES},
                             {false, QD_ANSWER_NO}};
    const std::string strBank = WriteBank(DamagedAlphaBank());
    const Bytes abyBank = ReadFile(strBank);
    for (const CCase& rkoCase : aoCases)
    {
        SCOPED_TRACE(std::string(rkoCase.m_bBySelection ? "select" : "save") +
                     (rkoCase.m_iAnswer == QD_ANSWER_YES ? " yes" : " no"));
        m_oReports.Clear();
        ASSERT_TRUE(m_oDoc.OpenBankFile(strBank));
        m_oPrompt.ClearRecords();
        // Known from the open, which loads every style aside and keeps its
        // reports to itself; selecting the style shows them again.
        ASSERT_TRUE(m_oDoc.IsStyleDamaged(0));
        EXPECT_TRUE(m_oReports.Empty());
        const std::vector<std::string> astrAtOpen = m_oDoc.GetStyleDamage(0);
        EXPECT_FALSE(astrAtOpen.empty());
        m_oDoc.SelectStyle(0);
        ASSERT_TRUE(m_oDoc.IsStyleDamaged(0));
        EXPECT_EQ(m_oDoc.GetStyleDamage(0), astrAtOpen);
        EXPECT_EQ(m_oDoc.GetStyleDamage(0), m_oReports.Texts());
        EXPECT_FALSE(m_oDoc.IsStyleDamaged(1));
        EXPECT_FALSE(m_oDoc.IsStyleDamaged(2));
        m_oDoc.RenameStyle("Renamed");
        const Bytes abyBlock = Block();

        const std::string strSaved = m_oDir.Path("saved.sty");
        bool bSaved = false;
        if (rkoCase.m_bBySelection)
        {
            m_oPrompt.m_aiAnswers = {QD_ANSWER_YES, rkoCase.m_iAnswer};
            m_oDoc.SelectStyle(2);
        }
        else
        {
            m_oPrompt.m_aiAnswers = {rkoCase.m_iAnswer};
            bSaved = m_oDoc.SaveBankTo(strSaved);
        }
        EXPECT_EQ(m_oPrompt.AskedTexts().back(), DAMAGED_QUESTION);
        EXPECT_EQ(m_oPrompt.m_aoQuestions.back().m_strCaption, "Damaged Style");
        EXPECT_EQ(m_oPrompt.m_iWaitDepth, 0);
        if (rkoCase.m_iAnswer == QD_ANSWER_YES)
        {
            EXPECT_FALSE(m_oDoc.IsStyleDamaged(0));
            EXPECT_EQ(m_oDoc.GetStyleNames()[0], "Renamed");
            EXPECT_NE(Block(), abyBlock);
            EXPECT_EQ(bSaved, !rkoCase.m_bBySelection);
            EXPECT_TRUE(m_oPrompt.ToldTexts().empty());
        }
        else
        {
            // Refused: nothing written, the style still open and changed.
            EXPECT_TRUE(m_oDoc.IsStyleDamaged(0));
            EXPECT_EQ(Block(), abyBlock);
            EXPECT_FALSE(bSaved);
            EXPECT_EQ(m_oDoc.GetSelectedStyle(), 0);
            EXPECT_TRUE(m_oDoc.IsStyleModified());
            EXPECT_EQ(m_oPrompt.ToldTexts(), std::vector<std::string>{DAMAGED_REFUSED});
        }
        const std::vector<std::string> astrFiles =
            bSaved ? std::vector<std::string>{"bank.sty", "saved.sty"} : std::vector<std::string>{"bank.sty"};
        EXPECT_EQ(m_oDir.Files(), astrFiles);
        EXPECT_EQ(ReadFile(strBank), abyBank);
        std::remove(strSaved.c_str());
    }
}
