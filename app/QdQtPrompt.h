// QdQtPrompt.h -- the bank document's questions, messages and file choices
// answered with the program's dialogs. Each interaction can be replaced by a
// hook (tests answer questions and file choices that way).
#pragma once

#include "BankDoc/QdDocPrompt.h"

#include <QString>

#include <functional>

class QWidget;

struct CQdPromptHooks
{
    std::function<int(const CQdQuestion&)> m_fnAsk;
    std::function<void(const std::string&, const std::string&)> m_fnTell;
    std::function<bool(const CQdFileRequest&, std::string&)> m_fnChooseOpenFile;
    std::function<bool(const CQdFileRequest&, std::vector<std::string>&)> m_fnChooseOpenFiles;
    std::function<bool(const CQdFileRequest&, std::string&)> m_fnChooseSaveFile;
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
    void BeginWait() override;
    void EndWait() override;
    void StopPlayback() override;
    // The window's stop-playback step, run at the start of every document command.
    void SetStopPlayback(std::function<void()> fnStop) { m_fnStopPlayback = std::move(fnStop); }

    // QtFilter -- "Style|*.sty" as a file-dialog filter: "Style (*.sty)".
    static QString QtFilter(const std::string& rkstrFilter);

private:
    QWidget* m_pOwner;
    CQdPromptHooks m_oHooks;
    std::function<void()> m_fnStopPlayback;
};

// QdInstallGuiReportSink -- reports show a modal message with one OK button.
void QdInstallGuiReportSink();
