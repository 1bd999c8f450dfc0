// QdCliPrompt.h -- the bank document's questions, answered from the command
// line.
//
// qdstyle never asks: every question a command may raise has its answer in
// the command's flags (CQdCliAnswers), file choices are the paths given,
// and messages go to the console. The questions are told apart by their
// texts, which the document keeps exactly as the desktop shows them. The
// import's own choices (damaged files, channel maps, notes left without a
// track, another time signature) reach the document as options
// (CQdImportOptions) and are never asked here.
#pragma once

#include "QdCliConsole.h"

#include "BankDoc/QdDocPrompt.h"

#include <string>
#include <vector>

// What the flags of a command say.
struct CQdCliAnswers
{
    // "Replace current style or merge with SMF files?": Replace or Merge.
    bool m_bReplace = false;
    // A chord variation that holds data: Initialize or Keep its track parameters.
    bool m_bInitialize = false;
    // "Style '<name>' was damaged when loaded; writing it back keeps only
    // what could be read.": write it back (--force) or refuse. Also: OUT may
    // be written over when it is read-only (CQdCliSession::SaveTo).
    bool m_bForce = false;
    // File choices, for commands driven through the document's dialogs.
    std::string m_strOpenFile;
    std::vector<std::string> m_astrOpenFiles;
    std::string m_strSaveFile;
};

class CQdCliPrompt : public CQdDocPrompt
{
public:
    CQdCliPrompt(CQdCliConsole& roConsole, const CQdCliAnswers& rkoAnswers)
        : m_roConsole(roConsole), m_oAnswers(rkoAnswers)
    {
    }

    // CQdCliPrompt::Ask -- Replace/Merge, Initialize/Keep and writing back a
    // damaged style from the answers (a damaged style refused is told, with
    // the flag that writes it); changes are always confirmed and never
    // ignored silently (a question about them is answered Yes); any other
    // question Cancel.
    int Ask(const CQdQuestion& rkoQuestion) override;
    void Tell(const std::string& rkstrCaption, const std::string& rkstrText) override;
    // CQdCliPrompt::TellFile -- "qdstyle: PATH: cause"; a file with notes
    // that no track takes is told with the form of --map (and --partial,
    // which leaves them out, where some notes do go in), one of another
    // time signature with --force, a read-only OUT with the flag that
    // writes over it.
    void TellFile(const std::string& rkstrCaption, const std::string& rkstrText, const std::string& rkstrPath,
                  const std::string& rkstrCause) override;
    // CQdCliPrompt::ShowImportReports -- one line on stdout per imported
    // file: "PATH: v1cv1, 4 measures, notes: ...; left out: ...", a line
    // that leaves something out counted as a warning. Refused files were
    // told on stderr already.
    void ShowImportReports(const std::vector<CQdImportReport>& rkaoReports) override;
    bool ChooseOpenFile(const CQdFileRequest& rkoRequest, std::string& rstrPath) override;
    bool ChooseOpenFiles(const CQdFileRequest& rkoRequest, std::vector<std::string>& rastrPaths) override;
    bool ChooseSaveFile(const CQdFileRequest& rkoRequest, std::string& rstrPath) override;
    void Progress(int iDone, int iTotal, const std::string& rkstrItem) override;

    CQdCliAnswers& Answers() { return m_oAnswers; }

private:
    CQdCliConsole& m_roConsole;
    CQdCliAnswers m_oAnswers;
};

// QdCliForceAnswers -- the answers of a command whose only question is
// whether a damaged style is written back (and an OUT written over when it
// is read-only).
inline CQdCliAnswers QdCliForceAnswers(bool bForce)
{
    CQdCliAnswers oAnswers;
    oAnswers.m_bForce = bForce;
    return oAnswers;
}
