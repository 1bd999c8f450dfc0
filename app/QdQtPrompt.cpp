// QdQtPrompt.cpp -- the document's interactions through the program's dialogs.
#include "QdQtPrompt.h"

#include "Base/Report.h"
#include "QdGeneralDlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace
{
QString Q(const std::string& rkstr) { return QString::fromStdString(rkstr); }

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
    return TQdGeneralDlg::Ask(m_pOwner, Q(rkoQuestion.m_strCaption), Q(rkoQuestion.m_strText),
                              Q(rkoQuestion.m_strYes), Q(rkoQuestion.m_strNo), Q(rkoQuestion.m_strCancel));
}

void CQdQtPrompt::Tell(const std::string& rkstrCaption, const std::string& rkstrText)
{
    if (m_oHooks.m_fnTell)
        return m_oHooks.m_fnTell(rkstrCaption, rkstrText);
    TQdGeneralDlg::Ask(m_pOwner, Q(rkstrCaption), Q(rkstrText), "", "OK", "");
}

bool CQdQtPrompt::ChooseOpenFile(const CQdFileRequest& rkoRequest, std::string& rstrPath)
{
    if (m_oHooks.m_fnChooseOpenFile)
        return m_oHooks.m_fnChooseOpenFile(rkoRequest, rstrPath);
    const QString strPath = QFileDialog::getOpenFileName(m_pOwner, Q(rkoRequest.m_strTitle), StartPath(rkoRequest),
                                                         QtFilter(rkoRequest.m_strFilter));
    if (strPath.isEmpty())
        return false;
    rstrPath = strPath.toStdString();
    return true;
}

bool CQdQtPrompt::ChooseOpenFiles(const CQdFileRequest& rkoRequest, std::vector<std::string>& rastrPaths)
{
    if (m_oHooks.m_fnChooseOpenFiles)
        return m_oHooks.m_fnChooseOpenFiles(rkoRequest, rastrPaths);
    const QStringList astrPaths = QFileDialog::getOpenFileNames(m_pOwner, Q(rkoRequest.m_strTitle),
                                                                StartPath(rkoRequest), QtFilter(rkoRequest.m_strFilter));
    if (astrPaths.isEmpty())
        return false;
    rastrPaths.clear();
    for (const QString& rkstrPath : astrPaths)
        rastrPaths.push_back(rkstrPath.toStdString());
    return true;
}

bool CQdQtPrompt::ChooseSaveFile(const CQdFileRequest& rkoRequest, std::string& rstrPath)
{
    if (m_oHooks.m_fnChooseSaveFile)
        return m_oHooks.m_fnChooseSaveFile(rkoRequest, rstrPath);
    const QString strPath = QFileDialog::getSaveFileName(m_pOwner, Q(rkoRequest.m_strTitle), StartPath(rkoRequest),
                                                         QtFilter(rkoRequest.m_strFilter));
    if (strPath.isEmpty())
        return false;
    rstrPath = WithExtension(strPath, rkoRequest.m_strDefaultExt);
    return true;
}

void CQdQtPrompt::BeginWait() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void CQdQtPrompt::EndWait() { QApplication::restoreOverrideCursor(); }

void CQdQtPrompt::StopPlayback()
{
    if (m_fnStopPlayback)
        m_fnStopPlayback();
}

void QdInstallGuiReportSink()
{
    QdSetReportSink([](const char* pszText) {
        TQdGeneralDlg::Ask(QApplication::activeWindow(), QApplication::applicationName(), QString::fromUtf8(pszText),
                           "", "OK", "");
    });
}
