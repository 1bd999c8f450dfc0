// FuzzRegressionTest.cpp -- banks that the fuzz target fuzz_bank_open found
// the bank document mishandling, as small byte images, each with what the
// document must do with it.
#include "DocFixtures.h"

#include "ChunkNav/ChunkNav.h"

#include <gtest/gtest.h>

using namespace DocFixtures;

namespace {

// Root, bank info chunk with its mark, and a style slot (id 6) that holds
// nothing. Without a name table no style is listed, but the slot is still
// one that a save compresses.
const Bytes EMPTY_STYLE_SLOT_BANK = {
    0x01, 0x00, 0x01, 0x14, 0x00, 0x00, 0x00, 0x20,
    0x02, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 'V', 'L', 'M', 'F', 0, 0, 0, 0, 0,
    0x06, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00,
};

} // namespace

// The codec's stream of no bytes is shorter than any stream its reader
// takes: an empty style slot compressed on saving made a bank that did not
// open again ("File corrupt"). The slot is saved as it is.
TEST_F(CBankDocTest, BankWithAnEmptyStyleSlotOpensAgainAfterSaving)
{
    const std::string strPath = m_oDir.Path("empty-slot.sty");
    WriteFile(strPath, EMPTY_STYLE_SLOT_BANK);
    ASSERT_TRUE(m_oDoc.OpenBankFile(strPath));
    const std::string strSaved = m_oDir.Path("saved.sty");
    ASSERT_TRUE(m_oDoc.SaveBankTo(strSaved));
    EXPECT_EQ(ReadFile(strSaved), EMPTY_STYLE_SLOT_BANK);

    CQdBankDoc oReopened(m_oPrompt, m_oFileIo);
    EXPECT_TRUE(oReopened.OpenBankFile(strSaved));
    EXPECT_TRUE(m_oPrompt.ToldTexts().empty());
}

// A style whose chord variation claims about two billion ticks over a short
// pattern: writing it back lengthened the pattern copy by copy for minutes.
// No chord variation can be that long, so the write-back is refused at once
// and the style stays open, still modified.
TEST_F(CBankDocTest, ChordVariationLongerThanAnyMeasureCountIsNotWrittenBack)
{
    const std::string strPath = QD_TEST_DATA_DIR "/fuzz/fuzz_bank_open/bank-long-lengthened-pattern.sty";
    ASSERT_TRUE(m_oDoc.OpenBankFile(strPath));
    ASSERT_GE(m_oDoc.GetStyleCount(), 1);
    m_oDoc.SelectStyle(0);
    ASSERT_NE(m_oDoc.GetEditIfc(), nullptr);
    m_oDoc.RenameStyle("X");
    // Loading it reports, so it is damaged: the write-back is confirmed, to run.
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    EXPECT_NE(m_oDoc.WriteBackStyle(), QD_WRITEBACK_DONE);
    EXPECT_TRUE(m_oDoc.IsStyleModified());
    EXPECT_TRUE(m_oReports.HasAssert("tCvLength <= QDI_MAX_CV_TICKS", "NlzdStyle/NstQdIfc"));
}
