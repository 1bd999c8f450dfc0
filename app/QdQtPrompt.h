// QdQtPrompt.h -- the bank document's questions, messages and file choices
// answered with the program's dialogs. Each interaction can be replaced by a
// hook (tests answer questions and file choices that way).
#pragma once

#include "BankDoc/QdDocPrompt.h"

#include <QHash>
#include <QString>

#include <functional>

class QDialog;
class QWidget;
class TQdChannelMapDlg;
class TQdReportDlg;
class TQdTrackParamsDlg;

struct CQdPromptHooks
{
    std::function<int(const CQdQuestion&)> m_fnAsk;
    std::function<void(const std::string&, const std::string&)> m_fnTell;
    std::function<bool(const CQdFileRequest&, std::string&)> m_fnChooseOpenFile;
    std::function<bool(const CQdFileRequest&, std::vector<std::string>&)> m_fnChooseOpenFiles;
    std::function<bool(const CQdFileRequest&, std::string&)> m_fnChooseSaveFile;
    std::function<bool(const CQdFileRequest&, std::string&)> m_fnChooseFolder;
    // The channel map and the report dialogs are made as the user sees
    // them; the hook takes the place of exec(): it may read and set their
    // widgets, and returns the dialog's result (QDialog::Accepted or
    // Rejected; a report's result is not used).
    std::function<int(TQdChannelMapDlg&)> m_fnChannelMapDlg;
    std::function<int(TQdReportDlg&)> m_fnReportDlg;
    std::function<int(TQdTrackParamsDlg&)> m_fnTrackParamsDlg;
};

class CQdQtPrompt : public CQdDocPrompt
{
public:
    explicit CQdQtPrompt(QWidget* pOwner = nullptr) : m_pOwner(pOwner) {}
    void SetOwner(QWidget* pOwner) { m_pOwner = pOwner; }
    CQdPromptHooks& Hooks() { return m_oHooks; }

    int Ask(const CQdQuestion& rkoQuestion) override;
    void Tell(const std::string& rkstrCaption, const std::string& rkstrText) override;
    bool ChooseOpenFile(const CQdFileRequest& rkoRequest, std::string& rstrPath) override;
    bool ChooseOpenFiles(const CQdFileRequest& rkoRequest, std::vector<std::string>& rastrPaths) override;
    bool ChooseSaveFile(const CQdFileRequest& rkoRequest, std::string& rstrPath) override;
    bool ChooseFolder(const CQdFileRequest& rkoRequest, std::string& rstrPath) override;
    // ChooseChannelMap -- the channel map dialog (QdChannelMapDlg.h); OK
    // imports with what its boxes say, Cancel keeps the file as it is,
    // which the import then refuses.
    bool ChooseChannelMap(const CQdChannelQuestion& rkoQuestion, CQdTrackMap& roMap) override;
    // ShowImportReports -- after an import that took at least one file, the
    // report dialog: a line per file given, "Don't show again" offered.
    void ShowImportReports(const std::vector<CQdImportReport>& rkaoReports) override;
    // ShowRescueReport -- the report dialog with a line per style rescued,
    // what the bank lost and the counts.
    void ShowRescueReport(const CQdRescueReport& rkoReport) override;
    // AreImportReportsShown -- false once "Don't show again" was chosen.
    bool AreImportReportsShown() const { return !m_bHideImportReports; }
    void BeginWait() override;
    void EndWait() override;
    void StopPlayback() override;
    // The window's stop-playback step, run at the start of every document command.
    void SetStopPlayback(std::function<void()> fnStop) { m_fnStopPlayback = std::move(fnStop); }

    // ExecDialog -- the window's own dialogs, through their hook when set.
    int ExecDialog(TQdTrackParamsDlg& roDlg);
    int ExecDialog(TQdReportDlg& roDlg);
    // The folder each file dialog (by its title) used last; the window
    // keeps them between runs. A request without a folder of its own
    // starts there.
    const QHash<QString, QString>& Folders() const { return m_aoFolders; }
    void SetFolders(const QHash<QString, QString>& rkaoFolders) { m_aoFolders = rkaoFolders; }

    // QtFilter -- "Style|*.sty" as a file-dialog filter: "Style (*.sty)".
    static QString QtFilter(const std::string& rkstrFilter);

    // ImportReportText -- the import report dialog's text: a line per file,
    // by its name (the files of one import share a folder).
    static QString ImportReportText(const std::vector<CQdImportReport>& rkaoReports);
    // RescueReportText -- the rescue report dialog's text.
    static QString RescueReportText(const CQdRescueReport& rkoReport);

private:
    CQdFileRequest Remembered(const CQdFileRequest& rkoRequest) const;
    void Remember(const CQdFileRequest& rkoRequest, const std::string& rkstrChosen, bool bFolder);
    int ExecDialog(TQdChannelMapDlg& roDlg);

    QWidget* m_pOwner;
    CQdPromptHooks m_oHooks;
    std::function<void()> m_fnStopPlayback;
    // "Don't show again" of the import report holds for as long as this
    // prompt, that is the window, lives: the settings keep where the window
    // was and which folders and files were used, never what a command
    // does, so the reports are back with the next start.
    bool m_bHideImportReports = false;
    QHash<QString, QString> m_aoFolders;
};
