// QdQtPrompt.cpp -- the document's interactions through the program's dialogs.
#include "QdQtPrompt.h"

#include "BankDoc/QdBankRescue.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdImportReport.h"
#include "QdChannelMapDlg.h"
#include "QdGeneralDlg.h"
#include "QdReportDlg.h"
#include "QdTrackParamsDlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace
{
QString Q(const std::string& rkstr) { return QString::fromStdString(rkstr); }

// CArrowCursor -- a dialog opened during a command's long work (a question
// about a file to import, the report at its end) shows the normal cursor:
// the user is asked, nothing is being waited for. The wait cursor is back
// when the dialog closes.
class CArrowCursor
{
public:
    CArrowCursor() : m_bPushed(QApplication::overrideCursor() != nullptr)
    {
        if (m_bPushed)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~CArrowCursor()
    {
        if (m_bPushed)
            QApplication::restoreOverrideCursor();
    }
    CArrowCursor(const CArrowCursor&) = delete;
    CArrowCursor& operator=(const CArrowCursor&) = delete;

private:
    bool m_bPushed;
};

QString StartPath(const CQdFileRequest& rkoRequest)
{
    if (rkoRequest.m_strFileName.empty())
        return Q(rkoRequest.m_strInitialDir);
    if (rkoRequest.m_strInitialDir.empty())
        return Q(rkoRequest.m_strFileName);
    return Q(rkoRequest.m_strInitialDir) + "/" + Q(rkoRequest.m_strFileName);
}

// With the default extension appended when the name has none.
std::string WithExtension(const QString& rkstrPath, const std::string& rkstrExt)
{
    if (rkstrExt.empty() || !QFileInfo(rkstrPath).suffix().isEmpty())
        return rkstrPath.toStdString();
    return (rkstrPath + "." + Q(rkstrExt)).toStdString();
}
} // namespace

QString CQdQtPrompt::QtFilter(const std::string& rkstrFilter)
{
    const QStringList astrParts = Q(rkstrFilter).split('|');
    QStringList astrFilters;
    for (int i = 0; i + 1 < astrParts.size(); i += 2)
        astrFilters << astrParts[i] + " (" + QString(astrParts[i + 1]).replace(';', ' ') + ")";
    return astrFilters.join(";;");
}

int CQdQtPrompt::Ask(const CQdQuestion& rkoQuestion)
{
    if (m_oHooks.m_fnAsk)
        return m_oHooks.m_fnAsk(rkoQuestion);
    const CArrowCursor oCursor;
    return TQdGeneralDlg::Ask(m_pOwner, Q(rkoQuestion.m_strCaption), Q(rkoQuestion.m_strText),
                              Q(rkoQuestion.m_strYes), Q(rkoQuestion.m_strNo), Q(rkoQuestion.m_strCancel),
                              rkoQuestion.m_bEscapeCancels);
}

void CQdQtPrompt::Tell(const std::string& rkstrCaption, const std::string& rkstrText)
{
    if (m_oHooks.m_fnTell)
        return m_oHooks.m_fnTell(rkstrCaption, rkstrText);
    const CArrowCursor oCursor;
    TQdGeneralDlg::Ask(m_pOwner, Q(rkstrCaption), Q(rkstrText), "", "OK", "");
}

// CQdQtPrompt::Remembered -- the request with the folder its dialog used
// last, when the document gives none (the first dialog of a run).
CQdFileRequest CQdQtPrompt::Remembered(const CQdFileRequest& rkoRequest) const
{
    CQdFileRequest oRequest = rkoRequest;
    if (oRequest.m_strInitialDir.empty())
        oRequest.m_strInitialDir = m_aoFolders.value(Q(rkoRequest.m_strTitle)).toStdString();
    return oRequest;
}

void CQdQtPrompt::Remember(const CQdFileRequest& rkoRequest, const std::string& rkstrChosen, bool bFolder)
{
    const QString strFolder = Q(bFolder ? rkstrChosen : QdDocText::DirectoryOf(rkstrChosen));
    if (!strFolder.isEmpty())
        m_aoFolders.insert(Q(rkoRequest.m_strTitle), strFolder);
}

bool CQdQtPrompt::ChooseOpenFile(const CQdFileRequest& rkoGiven, std::string& rstrPath)
{
    const CQdFileRequest rkoRequest = Remembered(rkoGiven);
    bool bChosen = false;
    if (m_oHooks.m_fnChooseOpenFile)
        bChosen = m_oHooks.m_fnChooseOpenFile(rkoRequest, rstrPath);
    else
    {
        const QString strPath = QFileDialog::getOpenFileName(m_pOwner, Q(rkoRequest.m_strTitle),
                                                             StartPath(rkoRequest), QtFilter(rkoRequest.m_strFilter));
        rstrPath = strPath.toStdString();
        bChosen = !strPath.isEmpty();
    }
    if (bChosen)
        Remember(rkoRequest, rstrPath, false);
    return bChosen;
}

bool CQdQtPrompt::ChooseOpenFiles(const CQdFileRequest& rkoGiven, std::vector<std::string>& rastrPaths)
{
    const CQdFileRequest rkoRequest = Remembered(rkoGiven);
    if (m_oHooks.m_fnChooseOpenFiles)
    {
        const bool bChosen = m_oHooks.m_fnChooseOpenFiles(rkoRequest, rastrPaths);
        if (bChosen && !rastrPaths.empty())
            Remember(rkoRequest, rastrPaths.front(), false);
        return bChosen;
    }
    const QStringList astrPaths = QFileDialog::getOpenFileNames(m_pOwner, Q(rkoRequest.m_strTitle),
                                                                StartPath(rkoRequest), QtFilter(rkoRequest.m_strFilter));
    if (astrPaths.isEmpty())
        return false;
    rastrPaths.clear();
    for (const QString& rkstrPath : astrPaths)
        rastrPaths.push_back(rkstrPath.toStdString());
    Remember(rkoRequest, rastrPaths.front(), false);
    return true;
}

bool CQdQtPrompt::ChooseSaveFile(const CQdFileRequest& rkoGiven, std::string& rstrPath)
{
    const CQdFileRequest rkoRequest = Remembered(rkoGiven);
    bool bChosen = false;
    if (m_oHooks.m_fnChooseSaveFile)
        bChosen = m_oHooks.m_fnChooseSaveFile(rkoRequest, rstrPath);
    else
    {
        const QString strPath = QFileDialog::getSaveFileName(m_pOwner, Q(rkoRequest.m_strTitle),
                                                             StartPath(rkoRequest), QtFilter(rkoRequest.m_strFilter));
        bChosen = !strPath.isEmpty();
        if (bChosen)
            rstrPath = WithExtension(strPath, rkoRequest.m_strDefaultExt);
    }
    if (bChosen)
        Remember(rkoRequest, rstrPath, false);
    return bChosen;
}

bool CQdQtPrompt::ChooseFolder(const CQdFileRequest& rkoGiven, std::string& rstrPath)
{
    const CQdFileRequest rkoRequest = Remembered(rkoGiven);
    bool bChosen = false;
    if (m_oHooks.m_fnChooseFolder)
        bChosen = m_oHooks.m_fnChooseFolder(rkoRequest, rstrPath);
    else
    {
        const CArrowCursor oCursor;
        const QString strPath =
            QFileDialog::getExistingDirectory(m_pOwner, Q(rkoRequest.m_strTitle), Q(rkoRequest.m_strInitialDir));
        rstrPath = strPath.toStdString();
        bChosen = !strPath.isEmpty();
    }
    if (bChosen)
        Remember(rkoRequest, rstrPath, true);
    return bChosen;
}

int CQdQtPrompt::ExecDialog(TQdTrackParamsDlg& roDlg)
{
    if (m_oHooks.m_fnTrackParamsDlg)
        return m_oHooks.m_fnTrackParamsDlg(roDlg);
    const CArrowCursor oCursor;
    return roDlg.exec();
}

int CQdQtPrompt::ExecDialog(TQdChannelMapDlg& roDlg)
{
    if (m_oHooks.m_fnChannelMapDlg)
        return m_oHooks.m_fnChannelMapDlg(roDlg);
    const CArrowCursor oCursor;
    return roDlg.exec();
}

int CQdQtPrompt::ExecDialog(TQdReportDlg& roDlg)
{
    if (m_oHooks.m_fnReportDlg)
        return m_oHooks.m_fnReportDlg(roDlg);
    const CArrowCursor oCursor;
    return roDlg.exec();
}

bool CQdQtPrompt::ChooseChannelMap(const CQdChannelQuestion& rkoQuestion, CQdTrackMap& roMap)
{
    TQdChannelMapDlg oDlg(m_pOwner, rkoQuestion);
    if (ExecDialog(oDlg) != QDialog::Accepted)
        return false;
    roMap = oDlg.Map();
    return true;
}

// CQdQtPrompt::ShowImportReports -- a refused file was told as it was
// refused; an import that took no file at all ends there, with no report
// to repeat it.
void CQdQtPrompt::ShowImportReports(const std::vector<CQdImportReport>& rkaoReports)
{
    const auto fnImported = [](const CQdImportReport& rkoReport) { return rkoReport.IsImported(); };
    if (m_bHideImportReports || std::none_of(rkaoReports.begin(), rkaoReports.end(), fnImported))
        return;
    TQdReportDlg oDlg(m_pOwner, "Import Report", ImportReportText(rkaoReports), true);
    ExecDialog(oDlg);
    m_bHideImportReports = oDlg.IsDontShowAgainChecked();
}

void CQdQtPrompt::ShowRescueReport(const CQdRescueReport& rkoReport)
{
    TQdReportDlg oDlg(m_pOwner, "Rescue Styles", RescueReportText(rkoReport), false);
    ExecDialog(oDlg);
}

QString CQdQtPrompt::ImportReportText(const std::vector<CQdImportReport>& rkaoReports)
{
    QStringList astrLines;
    for (const CQdImportReport& rkoReport : rkaoReports)
    {
        QString strLine = QFileInfo(Q(rkoReport.m_strPath)).fileName() + ": ";
        switch (rkoReport.m_eOutcome)
        {
        case QD_IMPORT_DONE:
        case QD_IMPORT_PARTIAL:
        {
            strLine += Q(QdImportReportLine(rkoReport));
            const std::string strTempo = QdImportTempoText(rkoReport);
            if (!strTempo.empty())
                strLine += "; " + Q(strTempo);
            break;
        }
        case QD_IMPORT_SKIPPED:
            strLine += "skipped";
            break;
        case QD_IMPORT_REFUSED:
            strLine += "not imported: " + Q(rkoReport.m_strCause);
            break;
        }
        astrLines << strLine;
    }
    return astrLines.join('\n');
}

QString CQdQtPrompt::RescueReportText(const CQdRescueReport& rkoReport)
{
    QStringList astrLines;
    for (const CQdRescuedStyle& rkoStyle : rkoReport.m_aoStyles)
        astrLines << QString("%1 %2: %3")
                         .arg(rkoStyle.m_iPosition)
                         .arg(Q(rkoStyle.m_strName), Q(CQdBankRescue::DescribeStyle(rkoStyle)));
    const std::string strBank = CQdBankRescue::DescribeBank(rkoReport);
    if (!strBank.empty())
        astrLines << "bank: " + Q(strBank);
    astrLines << Q(CQdBankRescue::DescribeCounts(rkoReport));
    return astrLines.join('\n');
}

void CQdQtPrompt::BeginWait() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void CQdQtPrompt::EndWait() { QApplication::restoreOverrideCursor(); }

void CQdQtPrompt::StopPlayback()
{
    if (m_fnStopPlayback)
        m_fnStopPlayback();
}
