// QdCmdBank.cpp -- import-bank: the style folders of a folder, each into the
// style at its position, as export-bank and rescue write them, with
// --replace named as bank.json or the folders name them.
#include "QdCliCommands.h"
#include "QdCliSession.h"

#include "BankDoc/QdBankImport.h"
#include "BankDoc/QdCharset.h"
#include "BankDoc/QdDocText.h"
#include "QdCliStdio.h"
#include "QdJson.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// bank.json is read whole; export-bank writes about 2 kB per chord variation.
constexpr DWORD MAX_BANK_JSON_SIZE = 0x4000000;

// StyleLine -- "<n><TAB><name><TAB>9 files imported from DIR/01-Pop 8Beat",
// "... 8 of 9 files ...", or "not imported: <why>".
std::string StyleLine(const CQdBankImportStyle& rkoStyle)
{
    std::string strLine = std::to_string(rkoStyle.m_iPosition) + "\t" + QdShownLatin1(rkoStyle.m_strName) + "\t";
    if (rkoStyle.m_eOutcome != QD_BANK_IMPORT_DONE)
        return strLine + "not imported: " + rkoStyle.m_strCause;
    const int iImported = rkoStyle.Imported();
    const int iFiles = int(rkoStyle.m_aoFiles.size());
    if (iImported != iFiles)
        strLine += std::to_string(iImported) + " of ";
    return strLine + std::to_string(iFiles) + (iFiles == 1 ? " file" : " files") + " imported from " +
           rkoStyle.m_strFolder;
}

// FolderNames -- with --replace, the style names bank.json of DIR gives by
// folder (as export-bank writes it); without one the folders' own names
// name the styles. A bank.json that cannot be read, is no bank.json or
// names a style outside the bank's character set is warned about (exit
// status 3), and the folders name those styles.
CQdStyleFolderNames FolderNames(CQdCliConsole& roConsole, const std::string& rkstrDir)
{
    CQdStyleFolderNames oNames;
    const std::string strPath = (std::filesystem::path(rkstrDir) / "bank.json").string();
    std::error_code oError;
    if (!std::filesystem::exists(strPath, oError))
        return oNames;
    CQdFileIo& roFileIo = CQdCliStdio::Instance();
    roFileIo.ClearLastError();
    std::vector<BYTE> abyText;
    std::string strError;
    std::vector<std::string> astrPassedOver;
    if (!roFileIo.ReadAll(strPath, MAX_BANK_JSON_SIZE, abyText))
        strError = CQdFileIo::ErrorText(roFileIo.GetLastError());
    else if (QdJsonStyleFolderNames(std::string(abyText.begin(), abyText.end()), oNames, astrPassedOver, strError))
    {
        for (const std::string& rkstrFolder : astrPassedOver)
            roConsole.Message("", strPath + ": the name of style folder '" + rkstrFolder +
                                      "' is not taken (no text of the bank's character set, ISO-8859-1); the "
                                      "folder's name names the style");
        return oNames;
    }
    roConsole.Message("", strPath + ": " + (strError.empty() ? std::string(QdDocText::CANNOT_BE_READ) : strError) +
                              "; the style folders' names name the styles");
    return CQdStyleFolderNames();
}

} // namespace

// QdCmdImportBank -- a line per style folder on stdout, each followed by a
// line per imported file that left something out, then the count. A folder
// whose style did not change, or did without some of its files, makes the
// exit status 3; OUT is written when some style changed, and not at all
// when none did.
int QdCmdImportBank(CQdCliConsole& roConsole, const CQdImportBankArgs& rkoArgs)
{
    CQdCliAnswers oAnswers;
    oAnswers.m_bReplace = rkoArgs.m_bReplace;
    oAnswers.m_bInitialize = rkoArgs.m_bInitialize;
    oAnswers.m_bForce = rkoArgs.m_bForce;
    CQdCliSession oSession(roConsole, oAnswers);
    if (!oSession.Open(rkoArgs.m_strBank))
        return QD_EXIT_REFUSED;
    std::vector<CQdBankImportStyle> aoStyles;
    const CQdStyleFolderNames oNames =
        rkoArgs.m_bReplace ? FolderNames(roConsole, rkoArgs.m_strDir) : CQdStyleFolderNames();
    const int iChanged = oSession.Doc().ImportBankFolder(rkoArgs.m_strDir, rkoArgs.m_bReplace,
                                                         QdCliImportOptions(rkoArgs.m_oFiles, rkoArgs.m_bForce),
                                                         aoStyles, oNames);
    // A style folder that did not go in whole was told on stderr already
    // (which counts for the exit status); its line keeps its tabs.
    for (const CQdBankImportStyle& rkoStyle : aoStyles)
    {
        roConsole.Output(StyleLine(rkoStyle), false);
        for (const CQdImportReport& rkoFile : rkoStyle.m_aoFiles)
            if (rkoFile.HasLosses())
                roConsole.Output(rkoFile.m_strPath + ": " + QdImportReportLine(rkoFile), true);
    }
    if (!aoStyles.empty())
        roConsole.Output(std::to_string(iChanged) + " of " + std::to_string(aoStyles.size()) +
                             (aoStyles.size() == 1 ? " style folder" : " style folders") + " imported",
                         false);
    if (iChanged == 0)
    {
        if (!aoStyles.empty())
            roConsole.Message("", rkoArgs.m_bDryRun ? std::string("No style imported!")
                                                    : "No style imported - '" + rkoArgs.m_strOut + "' not written!");
        return QD_EXIT_REFUSED;
    }
    if (rkoArgs.m_bDryRun)
        return QD_EXIT_OK;
    return oSession.SaveTo(rkoArgs.m_strOut) ? QD_EXIT_OK : QD_EXIT_REFUSED;
}
