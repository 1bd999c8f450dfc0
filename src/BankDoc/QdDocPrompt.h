// QdDocPrompt.h -- how the bank document talks to the person using it.
//
// The document runs every command of the tool from start to end, including
// the questions it asks and the files it lets the user choose. Those few
// interactions go through this interface: the desktop application answers
// them with its dialogs, the command-line tool with what its arguments say,
// and tests with scripted answers. Nothing else of a command depends on the
// front end.
//
// The hooks with a default (everything after the three file choices) need
// not be implemented: the defaults keep the classic behaviour.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct CQdChannelQuestion;
struct CQdImportReport;
struct CQdRescueReport;
struct CQdTrackMap;

// Answers of a question, by the position of the button pressed.
enum EQdAnswer
{
    QD_ANSWER_YES = 6,
    QD_ANSWER_NO = 7,
    QD_ANSWER_CANCEL = 2,
};

// A question with up to three buttons; an empty button text hides it.
//
// Escape: a question answers Escape with the answer of its Cancel position
// when that button shows, since that answer leaves things as they are
// ("Cancel", "Skip CV", the "No" of "Ignore changes ?"). Where that
// position's answer gives something up instead (the "No" of "Confirm
// changes ?" when a style is left drops its changes), m_bEscapeCancels is
// false and Escape does nothing: only a button answers.
struct CQdQuestion
{
    // Made by a constructor, not as an aggregate: the texts are made one by
    // one as arguments, and should one of them run out of memory, those made
    // before it are given back in order. (For a half-made aggregate
    // temporary, GCC 12 with the address sanitizer was seen to destroy the
    // members made so far after their scope had ended.)
    CQdQuestion(std::string strCaption, std::string strText, std::string strYes, std::string strNo,
                std::string strCancel, bool bEscapeCancels = true)
        : m_strCaption(std::move(strCaption)), m_strText(std::move(strText)), m_strYes(std::move(strYes)),
          m_strNo(std::move(strNo)), m_strCancel(std::move(strCancel)), m_bEscapeCancels(bEscapeCancels)
    {
    }

    std::string m_strCaption;
    std::string m_strText;
    std::string m_strYes;
    std::string m_strNo;
    std::string m_strCancel;
    bool m_bEscapeCancels = true;
};

// A file dialog's settings.
struct CQdFileRequest
{
    std::string m_strTitle;
    std::string m_strFilter;       // e.g. "Style|*.sty"
    std::string m_strDefaultExt;   // e.g. "sty"
    std::string m_strInitialDir;
    std::string m_strFileName;     // preset file name, may be empty
};

class CQdDocPrompt
{
public:
    virtual ~CQdDocPrompt() = default;

    // Ask -- shows the question and returns QD_ANSWER_YES, _NO or _CANCEL.
    virtual int Ask(const CQdQuestion& rkoQuestion) = 0;
    // Tell -- a message with a single "OK" button in the middle position.
    virtual void Tell(const std::string& rkstrCaption, const std::string& rkstrText) = 0;
    // TellFile -- a message about one file: the caption and text a command
    // has always shown, the file's path, and the cause (the operating
    // system's reason, or what is wrong with the file). The default shows
    // the classic message with "path: cause" as its second line; qdstyle
    // prints "path: cause".
    virtual void TellFile(const std::string& rkstrCaption, const std::string& rkstrText,
                          const std::string& rkstrPath, const std::string& rkstrCause)
    {
        Tell(rkstrCaption, rkstrText + "\n" + rkstrPath + ": " + rkstrCause);
    }

    // File choices; false when the user cancelled. Paths are full paths.
    virtual bool ChooseOpenFile(const CQdFileRequest& rkoRequest, std::string& rstrPath) = 0;
    virtual bool ChooseOpenFiles(const CQdFileRequest& rkoRequest, std::vector<std::string>& rastrPaths) = 0;
    virtual bool ChooseSaveFile(const CQdFileRequest& rkoRequest, std::string& rstrPath) = 0;
    // ChooseFolder -- a folder to write into (the title and the initial
    // folder of the request count); false when the user cancelled, which
    // the default always does.
    virtual bool ChooseFolder(const CQdFileRequest& /*rkoRequest*/, std::string& /*rstrPath*/) { return false; }

    // Long work starts and ends (the desktop shows the wait cursor).
    virtual void BeginWait() {}
    virtual void EndWait() {}
    // Every command stops a test playback first.
    virtual void StopPlayback() {}
    // Progress of a command over many files (n of total, current file).
    virtual void Progress(int /*iDone*/, int /*iTotal*/, const std::string& /*rkstrItem*/) {}

    // ChooseChannelMap -- a MIDI file to import has notes on channels that
    // no track takes (CQdChannelQuestion; only asked when the command's
    // options allow it, CQdImportOptions::m_bAskMap). roMap comes empty
    // (every channel kept); true with roMap set imports the file with it
    // (channels 1-16 to tracks 0-7), the notes it leaves without a track
    // left out. False (the user cancelled; the default) keeps the file as
    // it is, which is then refused: its notes outside the tracks' channels
    // would be lost unasked.
    virtual bool ChooseChannelMap(const CQdChannelQuestion& /*rkoQuestion*/, CQdTrackMap& /*roMap*/)
    {
        return false;
    }
    // ShowImportReports -- at the end of an import command, one report per
    // file it was given, in order (QdImportReport.h): refused and skipped
    // files too, whose refusal was told already. The import's changes are
    // kept right after (a report that runs out of memory fails the command
    // as a whole). The default shows nothing.
    virtual void ShowImportReports(const std::vector<CQdImportReport>& /*rkaoReports*/) {}
    // ShowRescueReport -- what a rescue of a bank's styles got out
    // (QdBankRescue.h), after it ran. The default shows nothing.
    virtual void ShowRescueReport(const CQdRescueReport& /*rkoReport*/) {}
};

// CQdWaitScope -- the wait of a command's long work, from BeginWait to the
// end of the scope: it ends however the command ends.
class CQdWaitScope
{
public:
    explicit CQdWaitScope(CQdDocPrompt& roPrompt) : m_roPrompt(roPrompt) { m_roPrompt.BeginWait(); }
    ~CQdWaitScope() { m_roPrompt.EndWait(); }
    CQdWaitScope(const CQdWaitScope&) = delete;
    CQdWaitScope& operator=(const CQdWaitScope&) = delete;

private:
    CQdDocPrompt& m_roPrompt;
};
