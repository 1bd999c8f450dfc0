// QdBankImport.cpp -- the import of a bank's style folders (QdBankImport.h).
#include "BankDoc/QdBankImport.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"

#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <new>

namespace {

const char* const IMPORT_BANK = "Import Bank from SMF Folders";
// Digits a folder's position may have: a bank holds 64 styles.
constexpr std::size_t MAX_POSITION_DIGITS = 3;

// InFolder -- the path of a name in a folder.
std::string InFolder(const std::string& rkstrFolder, const std::string& rkstrName)
{
    return !rkstrFolder.empty() && rkstrFolder.back() == '/' ? rkstrFolder + rkstrName
                                                              : rkstrFolder + "/" + rkstrName;
}

// MidiFilesOf -- the regular files of the folder named *.mid (any letter
// case), in name order; false with the cause when it cannot be read.
bool MidiFilesOf(CQdFileIo& roFileIo, const std::string& rkstrFolder, std::vector<std::string>& rastrFiles,
                 std::string& rstrCause)
{
    std::vector<CQdFolderEntry> aoEntries;
    roFileIo.ClearLastError();
    if (!roFileIo.ReadFolder(rkstrFolder, aoEntries))
    {
        rstrCause = CQdFileIo::ErrorText(roFileIo.GetLastError());
        return false;
    }
    for (const CQdFolderEntry& rkoEntry : aoEntries)
    {
        const std::size_t uDot = rkoEntry.m_strName.rfind('.');
        if (rkoEntry.m_bFile && uDot != std::string::npos &&
            QdDocText::LowerCase(rkoEntry.m_strName.substr(uDot)) == ".mid")
            rastrFiles.push_back(InFolder(rkstrFolder, rkoEntry.m_strName));
    }
    std::sort(rastrFiles.begin(), rastrFiles.end());
    return true;
}

} // namespace

int CQdBankImportStyle::Imported() const
{
    return int(std::count_if(m_aoFiles.begin(), m_aoFiles.end(),
                             [](const CQdImportReport& rkoFile) { return rkoFile.IsImported(); }));
}

int QdStyleFolderPosition(const std::string& rkstrFolderName)
{
    const std::size_t uDigits = rkstrFolderName.find_first_not_of("0123456789");
    if (uDigits == 0 || uDigits == std::string::npos || uDigits > MAX_POSITION_DIGITS ||
        rkstrFolderName[uDigits] != '-')
        return 0;
    return std::stoi(rkstrFolderName.substr(0, uDigits));
}

std::string QdStyleFolderStyleName(const std::string& rkstrFolderName)
{
    if (QdStyleFolderPosition(rkstrFolderName) == 0)
        return std::string();
    return rkstrFolderName.substr(rkstrFolderName.find('-') + 1);
}

// CQdBankDoc::ImportBankFolder -- the open style is left first as a save
// leaves it (its changes written back); the styles are then taken one by
// one, and the selection of before comes back at the end, loaded afresh.
// A folder whose style does not change is told and skipped; the others go
// in.
int CQdBankDoc::ImportBankFolder(const std::string& rkstrDir, bool bReplace, const CQdImportOptions& rkoOptions,
                                 std::vector<CQdBankImportStyle>& raoStyles, const CQdStyleFolderNames& rkoNames)
{
    return QdGuardCommand(m_roPrompt, IMPORT_BANK, 0, [&] {
        raoStyles.clear();
        m_roPrompt.StopPlayback();
        if (!IsBankOpen())
            return 0;
        std::vector<CQdBankImportStyle> aoStyles;
        if (!ListStyleFolders(rkstrDir, aoStyles))
            return 0;
        const bool bWriteBack = m_poEditIfc && m_bStyleModified;
        const bool bDamageConfirmed = !bWriteBack || ConfirmDamagedWriteBack();
        const CQdWaitScope oWait(m_roPrompt);
        CBankBackup oBackup(*this);
        if (bWriteBack)
        {
            const EQdWriteBack eResult = WriteBack(bDamageConfirmed);
            if (eResult != QD_WRITEBACK_DONE)
            {
                m_roPrompt.Tell(IMPORT_BANK, WriteBackMessage(eResult));
                return 0;
            }
        }
        const int iSelected = m_iSelectedStyle;
        int iChanged = 0;
        const int iTotal = int(aoStyles.size());
        for (int i = 0; i < iTotal; ++i)
        {
            CQdBankImportStyle& roStyle = aoStyles[std::size_t(i)];
            m_roPrompt.Progress(i, iTotal, QdDocText::FileNameOf(roStyle.m_strFolder));
            if (ImportStyleFolder(roStyle, bReplace, rkoOptions, rkoNames))
                ++iChanged;
        }
        m_roPrompt.Progress(iTotal, iTotal, std::string());
        CQdSelection oSelection = LoadSelection(iSelected);
        oBackup.Keep();
        // From here on nothing can fail.
        TakeSelection(oSelection);
        m_bStyleModified = false;
        raoStyles.swap(aoStyles);
        return iChanged;
    });
}

// CQdBankDoc::ListStyleFolders -- one report per style folder, in position
// order. Refused, with a message: a folder that cannot be read, none for
// any style, two for one.
bool CQdBankDoc::ListStyleFolders(const std::string& rkstrDir, std::vector<CQdBankImportStyle>& raoStyles)
{
    std::vector<CQdFolderEntry> aoEntries;
    m_roFileIo.ClearLastError();
    if (!m_roFileIo.ReadFolder(rkstrDir, aoEntries))
    {
        m_roPrompt.TellFile(IMPORT_BANK, "Folder not readable!", rkstrDir,
                            CQdFileIo::ErrorText(m_roFileIo.GetLastError()));
        return false;
    }
    for (const CQdFolderEntry& rkoEntry : aoEntries)
    {
        const int iPosition = QdStyleFolderPosition(rkoEntry.m_strName);
        if (iPosition == 0 || !rkoEntry.m_bFolder)
            continue;
        CQdBankImportStyle oStyle;
        oStyle.m_iPosition = iPosition;
        oStyle.m_strFolder = InFolder(rkstrDir, rkoEntry.m_strName);
        raoStyles.push_back(std::move(oStyle));
    }
    if (raoStyles.empty())
    {
        m_roPrompt.TellFile(IMPORT_BANK, "No style folder!", rkstrDir,
                            "no folder NN-<style name> in it (NN: the style's position)");
        return false;
    }
    std::sort(raoStyles.begin(), raoStyles.end(), [](const CQdBankImportStyle& rkoA, const CQdBankImportStyle& rkoB) {
        return rkoA.m_iPosition != rkoB.m_iPosition ? rkoA.m_iPosition < rkoB.m_iPosition
                                                    : rkoA.m_strFolder < rkoB.m_strFolder;
    });
    for (std::size_t u = 1; u < raoStyles.size(); ++u)
    {
        if (raoStyles[u].m_iPosition != raoStyles[u - 1].m_iPosition)
            continue;
        m_roPrompt.TellFile(IMPORT_BANK, "Two folders for one style - nothing imported!", rkstrDir,
                            "'" + QdDocText::FileNameOf(raoStyles[u - 1].m_strFolder) + "' and '" +
                                QdDocText::FileNameOf(raoStyles[u].m_strFolder) + "' are both for style " +
                                std::to_string(raoStyles[u].m_iPosition));
        return false;
    }
    return true;
}

// CQdBankDoc::ImportStyleFolder -- the style is selected as the list would
// select it (its earlier changes are written back already), the folder's
// files go in, and the style is written back. A style that does not change
// is told, once, and left as it was.
bool CQdBankDoc::ImportStyleFolder(CQdBankImportStyle& roStyle, bool bReplace, const CQdImportOptions& rkoOptions,
                                   const CQdStyleFolderNames& rkoNames)
{
    const auto fnRefuse = [&](EQdBankImportOutcome eOutcome, const std::string& rkstrCause) {
        roStyle.m_eOutcome = eOutcome;
        roStyle.m_strCause = rkstrCause;
        m_roPrompt.TellFile(IMPORT_BANK, "Style not imported!", roStyle.m_strFolder, rkstrCause);
        return false;
    };
    const int iStyle = roStyle.m_iPosition - 1;
    const int iCount = GetStyleCount();
    if (iStyle >= iCount)
        return fnRefuse(QD_BANK_IMPORT_NO_STYLE, "no style at position " + std::to_string(roStyle.m_iPosition) +
                                                     " - the Style Bank holds " + std::to_string(iCount) +
                                                     (iCount == 1 ? " style" : " styles"));
    roStyle.m_strName = m_astrStyleNames[std::size_t(iStyle)];
    CQdSelection oSelection = LoadSelection(iStyle);
    if (!oSelection.m_poEditIfc)
        return fnRefuse(QD_BANK_IMPORT_NOT_LOADED, "style '" + roStyle.m_strName + "' cannot be loaded");
    TakeSelection(oSelection);
    m_bStyleModified = false;
    if (!ConfirmDamagedWriteBack())
    {
        // The prompt has said why.
        roStyle.m_eOutcome = QD_BANK_IMPORT_DAMAGED;
        roStyle.m_strCause = "style '" + roStyle.m_strName + "' was damaged when loaded";
        return false;
    }
    std::vector<std::string> astrFiles;
    std::string strCause;
    if (!MidiFilesOf(m_roFileIo, roStyle.m_strFolder, astrFiles, strCause))
        return fnRefuse(QD_BANK_IMPORT_NO_FILE, strCause);
    if (astrFiles.empty())
        return fnRefuse(QD_BANK_IMPORT_NO_FILE, "no MIDI file (*.mid) in it");
    roStyle.m_aoFiles.resize(astrFiles.size());
    std::string strName = roStyle.m_strName;
    const std::string strFolderName = QdDocText::FileNameOf(roStyle.m_strFolder);
    const auto itName = rkoNames.find(strFolderName);
    const std::string strNewName =
        itName != rkoNames.end() ? itName->second : QdStyleFolderStyleName(strFolderName);
    if (ImportStyleFilesInto(astrFiles, bReplace, rkoOptions, roStyle.m_aoFiles, false, strNewName) == 0)
        return fnRefuse(QD_BANK_IMPORT_NO_FILE, "no file imported");
    const EQdWriteBack eResult = WriteBack(true);
    // Out of memory is not one style's fate but the command's: it fails as
    // a whole, and the bank goes back to what it was (CBankBackup).
    if (eResult == QD_WRITEBACK_NO_MEMORY)
        throw std::bad_alloc();
    if (eResult != QD_WRITEBACK_DONE)
    {
        // The style goes back to what the block holds, under its old name.
        m_astrStyleNames[std::size_t(iStyle)].swap(strName);
        m_bStyleModified = false;
        CQdSelection oAgain = LoadSelection(iStyle);
        TakeSelection(oAgain);
        return fnRefuse(QD_BANK_IMPORT_NOT_WRITTEN, WriteBackMessage(eResult));
    }
    roStyle.m_strName = m_astrStyleNames[std::size_t(iStyle)];
    roStyle.m_eOutcome = QD_BANK_IMPORT_DONE;
    return true;
}
