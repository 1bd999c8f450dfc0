// QdCliPrompt.cpp -- answers by question text.
#include "QdCliPrompt.h"

#include "BankDoc/QdDocText.h"
#include "BankDoc/QdImportReport.h"

namespace {

// The whole-style import's question about a chord variation that holds
// data: "Warning! '<file>' is a duplicate - Initialize/Keep Track Parameters?".
bool IsDuplicateQuestion(const std::string& rkstrText)
{
    static const std::string s_strTail = " is a duplicate - Initialize/Keep Track Parameters?";
    return rkstrText.size() > s_strTail.size() &&
           rkstrText.compare(rkstrText.size() - s_strTail.size(), s_strTail.size(), s_strTail) == 0;
}

// The question before a damaged style is written back: "Style '<name>"
// and its tail.
bool IsDamagedWriteBackQuestion(const std::string& rkstrText)
{
    static const std::string s_strTail = QdDocText::DAMAGED_WRITE_BACK_TAIL;
    return rkstrText.size() > s_strTail.size() &&
           rkstrText.compare(rkstrText.size() - s_strTail.size(), s_strTail.size(), s_strTail) == 0;
}

} // namespace

int CQdCliPrompt::Ask(const CQdQuestion& rkoQuestion)
{
    const std::string& rkstrText = rkoQuestion.m_strText;
    if (rkstrText == QdDocText::REPLACE_OR_MERGE)
        return m_oAnswers.m_bReplace ? QD_ANSWER_YES : QD_ANSWER_NO;
    if (rkstrText == QdDocText::INITIALIZE_OR_KEEP || IsDuplicateQuestion(rkstrText))
        return m_oAnswers.m_bInitialize ? QD_ANSWER_YES : QD_ANSWER_NO;
    if (IsDamagedWriteBackQuestion(rkstrText))
    {
        if (m_oAnswers.m_bForce)
            return QD_ANSWER_YES;
        m_roConsole.Message(rkoQuestion.m_strCaption, rkstrText + " Not written back without --force.");
        return QD_ANSWER_NO;
    }
    // Confirm changes ? (leaving a changed style) and Ignore changes ?
    // (giving up a bank): the command line has no one to lose work for.
    if (rkstrText == QdDocText::CONFIRM_CHANGES || rkstrText == QdDocText::IGNORE_CHANGES)
        return QD_ANSWER_YES;
    return QD_ANSWER_CANCEL;
}

void CQdCliPrompt::Tell(const std::string& rkstrCaption, const std::string& rkstrText)
{
    m_roConsole.Message(rkstrCaption, rkstrText);
}

void CQdCliPrompt::TellFile(const std::string& /*rkstrCaption*/, const std::string& rkstrText,
                            const std::string& rkstrPath, const std::string& rkstrCause)
{
    std::string strLine = rkstrPath + ": " + rkstrCause;
    if (rkstrText == QdDocText::SMF_NO_TRACK_NOTES || rkstrText == QdDocText::SMF_NOTES_WITHOUT_TRACK)
        strLine += " - map them with --map SRC=TRACK, e.g. --map 1=acc1";
    if (rkstrText == QdDocText::SMF_NOTES_WITHOUT_TRACK)
        strLine += ", or leave them out with --partial";
    if (rkstrText == QdDocText::SMF_OTHER_TIME_SIG)
        strLine += " - --force imports it in the element's time signature";
    if (rkstrText == QdDocText::READ_ONLY_BANK)
        strLine += " - not written (--force writes over it)";
    m_roConsole.Message("", strLine);
}

// CQdCliPrompt::ShowImportReports -- the tempo in the words of the command
// line: a bank holds none, and export takes its own.
void CQdCliPrompt::ShowImportReports(const std::vector<CQdImportReport>& rkaoReports)
{
    for (const CQdImportReport& rkoReport : rkaoReports)
    {
        if (!rkoReport.IsImported())
            continue;
        std::string strLine = rkoReport.m_strPath + ": " + QdImportReportLine(rkoReport);
        if (rkoReport.m_iFileTempo > 0)
            strLine += "; tempo " + std::to_string(rkoReport.m_iFileTempo) +
                       " in the file (a bank holds no tempo; export uses --tempo, default 120)";
        m_roConsole.Output(strLine, rkoReport.HasLosses());
    }
}

bool CQdCliPrompt::ChooseOpenFile(const CQdFileRequest& /*rkoRequest*/, std::string& rstrPath)
{
    rstrPath = m_oAnswers.m_strOpenFile;
    return !rstrPath.empty();
}

bool CQdCliPrompt::ChooseOpenFiles(const CQdFileRequest& /*rkoRequest*/, std::vector<std::string>& rastrPaths)
{
    rastrPaths = m_oAnswers.m_astrOpenFiles;
    return !rastrPaths.empty();
}

bool CQdCliPrompt::ChooseSaveFile(const CQdFileRequest& /*rkoRequest*/, std::string& rstrPath)
{
    rstrPath = m_oAnswers.m_strSaveFile;
    return !rstrPath.empty();
}

void CQdCliPrompt::Progress(int iDone, int iTotal, const std::string& rkstrItem)
{
    m_roConsole.Progress(iDone, iTotal, rkstrItem);
}
