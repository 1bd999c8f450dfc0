// QdSaveAskingTest.cpp -- Save Style Bank with the open style changed and
// onto read-only files: what is asked, what is written, what stays.
#include "DocFixtures.h"

#include "BankDoc/QdDocText.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace DocFixtures;

namespace
{
const std::string CONFIRM = QdDocText::CONFIRM_CHANGES;
const std::string READ_ONLY = "read-only";

// The texts asked, a read-only question by its name alone.
std::vector<std::string> Asked(const CScriptedPrompt& rkoPrompt)
{
    std::vector<std::string> astrAsked;
    for (const std::string& rkstrText : rkoPrompt.AskedTexts())
        astrAsked.push_back(rkstrText.rfind(QdDocText::READ_ONLY_BANK, 0) == 0 ? READ_ONLY : rkstrText);
    return astrAsked;
}
} // namespace

TEST_F(CBankDocTest, SaveAsksWithCancelAndOffersAnotherNameForAReadOnlyFile)
{
    const struct
    {
        const char* m_pszCase;
        bool m_bReadOnly; // the bank's own file, which Save (Ctrl+S) writes
        std::deque<int> m_aiAnswers;
        std::deque<std::string> m_astrChosen; // file dialog: names in the folder
        std::vector<std::string> m_astrAsked;
        const char* m_pszWritten; // nullptr: nothing written
        const char* m_pszName;    // the first style's name in it, or in the list
    } akoCases[] = {
        {"Cancel keeps the changes", false, {QD_ANSWER_CANCEL}, {}, {CONFIRM}, nullptr, "Renamed"},
        {"No saves without them", false, {QD_ANSWER_NO}, {}, {CONFIRM}, "bank.sty", "Alpha"},
        {"Yes saves them", false, {QD_ANSWER_YES}, {}, {CONFIRM}, "bank.sty", "Renamed"},
        {"read-only, Cancel", true, {QD_ANSWER_CANCEL}, {}, {READ_ONLY}, nullptr, "Renamed"},
        {"read-only, Save As", true, {QD_ANSWER_YES, QD_ANSWER_YES}, {"copy.sty"}, {READ_ONLY, CONFIRM},
         "copy.sty", "Renamed"},
        {"read-only chosen again", true, {QD_ANSWER_YES, QD_ANSWER_NO, QD_ANSWER_YES}, {"bank.sty", "copy.sty"},
         {READ_ONLY, CONFIRM, READ_ONLY}, "copy.sty", "Alpha"},
    };
    for (const auto& rkoCase : akoCases)
    {
        SCOPED_TRACE(rkoCase.m_pszCase);
        const std::string strBank = OpenBank(ThreeStyleBank());
        ::unlink(m_oDir.Path("copy.sty").c_str());
        const Bytes abyOriginal = ReadFile(strBank);
        ASSERT_EQ(::chmod(strBank.c_str(), rkoCase.m_bReadOnly ? 0444 : 0644), 0);
        m_oDoc.SelectStyle(0);
        m_oDoc.RenameStyle("Renamed");
        m_oPrompt.ClearRecords();
        m_oPrompt.m_aiAnswers = rkoCase.m_aiAnswers;
        for (const std::string& rkstrName : rkoCase.m_astrChosen)
            m_oPrompt.m_astrSaveFiles.push_back(m_oDir.Path(rkstrName));

        const bool bSaved = m_oDoc.SaveBankAsking(strBank);
        EXPECT_EQ(bSaved, rkoCase.m_pszWritten != nullptr);
        EXPECT_EQ(Asked(m_oPrompt), rkoCase.m_astrAsked);
        EXPECT_TRUE(m_oPrompt.m_aiAnswers.empty() && m_oPrompt.m_astrSaveFiles.empty());
        for (const CQdQuestion& rkoQuestion : m_oPrompt.m_aoQuestions)
        {
            const bool bConfirm = rkoQuestion.m_strText == CONFIRM;
            EXPECT_EQ(rkoQuestion.m_strYes + "/" + rkoQuestion.m_strNo + "/" + rkoQuestion.m_strCancel,
                      bConfirm ? "Yes/No/Cancel" : "Save As\u2026//Cancel");
            EXPECT_TRUE(rkoQuestion.m_bEscapeCancels);
        }
        const bool bOwnFileWritten = rkoCase.m_pszWritten && std::string(rkoCase.m_pszWritten) == "bank.sty";
        EXPECT_EQ(ReadFile(strBank) == abyOriginal, !bOwnFileWritten);
        EXPECT_EQ(m_oDir.Files(), rkoCase.m_pszWritten && std::string(rkoCase.m_pszWritten) == "copy.sty"
                                      ? (std::vector<std::string>{"bank.sty", "copy.sty"})
                                      : std::vector<std::string>{"bank.sty"});
        if (rkoCase.m_pszWritten == nullptr)
        {
            // Refused: the style is open with its changes, nothing written back.
            EXPECT_TRUE(m_oDoc.IsStyleModified());
            EXPECT_EQ(m_oDoc.GetSelectedStyle(), 0);
            EXPECT_FALSE(m_oDoc.IsWrittenBack(0));
            EXPECT_EQ(m_oDoc.GetStyleNames()[0], rkoCase.m_pszName);
        }
        else
        {
            ASSERT_TRUE(m_oDoc.OpenBankFile(m_oDir.Path(rkoCase.m_pszWritten)));
            EXPECT_EQ(m_oDoc.GetStyleNames()[0], rkoCase.m_pszName);
        }
        ::chmod(strBank.c_str(), 0644);
    }

    // Leaving a style asks without a Cancel: its "No" drops the changes, so
    // Escape must not answer it.
    OpenBank(ThreeStyleBank());
    m_oDoc.SelectStyle(0);
    m_oDoc.RenameStyle("Renamed");
    m_oPrompt.ClearRecords();
    m_oPrompt.m_aiAnswers = {QD_ANSWER_YES};
    m_oDoc.SelectStyle(1);
    ASSERT_EQ(m_oPrompt.m_aoQuestions.size(), 1u);
    EXPECT_FALSE(m_oPrompt.m_aoQuestions[0].m_bEscapeCancels);
    EXPECT_TRUE(m_oReports.Empty());
}

TEST(QdFileIo, IsReadOnlyFileByThePermissionBitsAndTheSystem)
{
    CTempDir oDir;
    const std::string strFile = oDir.Path("file.sty");
    WriteFile(strFile, Bytes(16, 0));
    ASSERT_EQ(::symlink(strFile.c_str(), oDir.Path("link.sty").c_str()), 0);
    const struct
    {
        const char* m_pszPath;
        mode_t m_uMode;
        bool m_bReadOnly;
    } akoCases[] = {
        {"file.sty", 0644, false}, {"file.sty", 0444, true}, {"file.sty", 0000, true}, {"file.sty", 0200, false},
        {"link.sty", 0444, true},  {"link.sty", 0644, false}, {"missing.sty", 0444, false}, {".", 0444, false},
    };
    CQdFileIo oFileIo;
    for (const auto& rkoCase : akoCases)
    {
        ASSERT_EQ(::chmod(strFile.c_str(), rkoCase.m_uMode), 0);
        EXPECT_EQ(oFileIo.IsReadOnlyFile(oDir.Path(rkoCase.m_pszPath)), rkoCase.m_bReadOnly)
            << rkoCase.m_pszPath << " " << std::oct << rkoCase.m_uMode;
    }
    ::chmod(strFile.c_str(), 0644);
}
