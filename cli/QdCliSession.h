// QdCliSession.h -- one qdstyle command's bank document and the steps most
// commands share: open the bank, find the style and the chord variations
// the command line names, save the bank.
//
// Each step returns false after telling the user why (on the console); the
// command then ends with QD_EXIT_REFUSED.
#pragma once

#include "QdCliConsole.h"
#include "QdCliPrompt.h"
#include "QdCliStdio.h"

#include "BankDoc/QdBankDoc.h"

#include <string>
#include <vector>

// Exit statuses of qdstyle.
enum EQdExit
{
    QD_EXIT_OK = 0,
    QD_EXIT_USAGE = 1,
    QD_EXIT_REFUSED = 2,
    // The command did its work (its output is written) but warnings or
    // assertion reports were printed on the way.
    QD_EXIT_WARNINGS = 3,
};

class CQdCliSession
{
public:
    // The document reads and writes through qdstyle's file access, where
    // "-" is standard input or output (QdCliStdio.h).
    CQdCliSession(CQdCliConsole& roConsole, const CQdCliAnswers& rkoAnswers = CQdCliAnswers());
    CQdCliSession(const CQdCliSession&) = delete;
    CQdCliSession& operator=(const CQdCliSession&) = delete;

    CQdBankDoc& Doc() { return m_oDoc; }
    CQdCliConsole& Console() { return m_roConsole; }

    // CQdCliSession::Open -- opens the bank file (the document tells why not).
    bool Open(const std::string& rkstrBank);

    // CQdCliSession::SelectStyle -- selects and opens the style that STYLE
    // names: a plain number is its 1-based position among the present
    // styles, anything else its exact name (its bytes, the same name in
    // UTF-8 as the JSON output gives it, or as the text output shows it,
    // QdCharset.h). An unknown name is told with the closest one the bank
    // holds.
    bool SelectStyle(const std::string& rkstrStyle);
    // CQdCliSession::FindStyle -- the 0-based index of the style STYLE
    // names, without selecting it.
    bool FindStyle(const std::string& rkstrStyle, int& riStyle);
    // The open style's name as the style list shows it.
    std::string StyleName() const;

    // CQdCliSession::FindChordVar -- element and chord variation of a
    // standard name (any letter case) that the open style holds. A name
    // that is no standard name is told with the list of them.
    bool FindChordVar(const std::string& rkstrName, BYTE& rbySe, BYTE& rbyCv);

    // CQdCliSession::SaveTo -- writes the open style back and saves the
    // bank; a read-only OUT only with --force (the answers' m_bForce).
    bool SaveTo(const std::string& rkstrOut);

private:
    CQdCliConsole& m_roConsole;
    CQdCliPrompt m_oPrompt;
    CQdBankDoc m_oDoc;
};

// QdCliStandardNameIndex -- the index of a standard name given exactly
// (any letter case), -1 when it is none.
int QdCliStandardNameIndex(const std::string& rkstrName);
// QdCliStandardNames -- all 36, "v1cv1, v1cv2, ..., e2cv2".
std::string QdCliStandardNames();
// QdCliClosestName -- the index of the name nearest to rkstrName by edit
// distance (letter case aside; ties: the first), -1 for no names.
int QdCliClosestName(const std::string& rkstrName, const std::vector<std::string>& rkastrNames);
