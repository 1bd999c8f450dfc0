// QdStyleCommands.cpp -- selecting and renaming styles, and the commands on
// the open style: whole-style import by standard names, import, export and
// deletion of one chord variation, undo.
//
// Running out of memory (QdCommandGuard.h): the style a selection or an
// undo opens is loaded aside and takes its place by moves only, and the
// edits of the open style run with a copy of it taken before (see
// CStyleBackup), so a command that fails for memory leaves the selection,
// the open style and the list as they were.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdReportRecorder.h"

#include "ChunkNav/ChunkNav.h"
#include "MidiInOut/MidiInOut.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace {

constexpr BYTE STYLE_CONTAINER_ID = 1;

// MidiFileRequest -- the settings shared by the MIDI file dialogs.
CQdFileRequest MidiFileRequest(const char* pszTitle, const std::string& rkstrInitialDir, const char* pszFileName)
{
    CQdFileRequest oRequest;
    oRequest.m_strTitle = pszTitle;
    oRequest.m_strFilter = "Midi|*.mid";
    oRequest.m_strDefaultExt = "mid";
    oRequest.m_strInitialDir = rkstrInitialDir;
    oRequest.m_strFileName = pszFileName ? pszFileName : "";
    return oRequest;
}

} // namespace

// ---------------------------------------------------------------------------
// Selection and renaming
// ---------------------------------------------------------------------------

// CQdBankDoc::SelectStyle -- leaves the open style (asking whether its
// changes are kept, writing them back when they are) and opens the style at
// iStyle, or selects the root for any other index. Changes the user gives
// up are dropped only when the new selection is taken; kept changes are
// written back first, a step of its own (should the new style then not
// open for memory, the old one stays selected and open, written back).
// Kept changes of a style that was damaged when loaded are asked about
// before the wait starts.
std::string CQdBankDoc::SelectStyle(int iStyle)
{
    return QdGuardCommand(m_roPrompt, QdDocText::SELECT_STYLE, std::string(), [&] {
        const bool bDropChanges =
            m_poEditIfc && m_iSelectedStyle >= 0 && m_bStyleModified &&
            m_roPrompt.Ask({QdDocText::STYLE_MODIFIED, QdDocText::CONFIRM_CHANGES, "Yes", "", "No"}) != QD_ANSWER_YES;
        const bool bKeepChanges = m_poEditIfc && m_bStyleModified && !bDropChanges;
        const bool bDamageConfirmed = !bKeepChanges || ConfirmDamagedWriteBack();
        m_roPrompt.StopPlayback();
        if (!IsBankOpen())
            return std::string();
        const CQdWaitScope oWait(m_roPrompt);
        if (bKeepChanges)
        {
            const EQdWriteBack eResult = WriteBack(bDamageConfirmed);
            if (eResult != QD_WRITEBACK_DONE)
            {
                // Nothing is lost: the style stays open and selected, still modified.
                m_roPrompt.Tell(QdDocText::STYLE_MODIFIED, WriteBackMessage(eResult));
                return GetListInfoText();
            }
        }
        // A style reselected with its changes dropped opens with the name it had.
        const bool bSameName = bDropChanges && iStyle == m_iSelectedStyle;
        CQdSelection oSelection = LoadSelection(iStyle, bSameName ? &m_strSelectedStyleName : nullptr);
        std::string strInfo = oSelection.m_strInfo;
        std::string strOldName;
        if (bDropChanges)
            strOldName = m_strSelectedStyleName;
        // From here on nothing can fail. Dropped changes: the list shows the
        // name the style had.
        if (bDropChanges)
        {
            m_astrStyleNames[std::size_t(m_iSelectedStyle)].swap(strOldName);
            m_bStyleModified = false;
        }
        TakeSelection(oSelection);
        return strInfo;
    });
}

// CQdBankDoc::LoadSelection -- what selecting iStyle (or the root, for an
// index of no present style) shows: the info line with the size, and for a
// present style its name (*pkstrName, else its list name), a new edit
// interface built from its style container in the block, and the style's
// damage: what its slot's decompression reported at open, then what this
// load reports (the reports still reach the sink installed before). The
// document is not changed.
CQdBankDoc::CQdSelection CQdBankDoc::LoadSelection(int iStyle, const std::string* pkstrName)
{
    CQdSelection oSelection;
    if (iStyle < 0 || iStyle >= GetStyleCount())
    {
        oSelection.m_strInfo = QdDocText::USED_SIZE + std::to_string(GetUsedSize());
        return oSelection;
    }
    oSelection.m_iStyle = iStyle;
    oSelection.m_strName = pkstrName ? *pkstrName : m_astrStyleNames[std::size_t(iStyle)];
    // The damage of an earlier load gives way to this one's.
    CQdStyleDamage& roDamage = oSelection.m_oDamage;
    if (std::size_t(iStyle) < m_aoStyleDamage.size())
    {
        const CQdStyleDamage& rkoBefore = m_aoStyleDamage[std::size_t(iStyle)];
        roDamage.m_bAtOpen = rkoBefore.m_bAtOpen;
        roDamage.m_uOpenTexts = std::min(rkoBefore.m_uOpenTexts, rkoBefore.m_astrTexts.size());
        roDamage.m_astrTexts.assign(rkoBefore.m_astrTexts.begin(),
                                    rkoBefore.m_astrTexts.begin() + std::ptrdiff_t(roDamage.m_uOpenTexts));
    }
    if (GotoStyleSlot(iStyle))
    {
        oSelection.m_strInfo = QdDocText::USED_SIZE + std::to_string(m_poNav->m_dwfnDataLength());
        if (m_poNav->m_ofnEnter(CChunkId(STYLE_CONTAINER_ID), typeNotFinal, typeNotFinal))
        {
            CQdReportRecorder oRecorder;
            // The edit interface works on its own copy of the container.
            oSelection.m_poEditIfc = std::make_unique<CNstEditIfc>(m_poNav->m_pbyfnHeader(), m_poNav->m_dwfnSize());
            oSelection.m_poEditIfc->SetName(oSelection.m_strName.c_str());
            roDamage.m_bOnLoad = oRecorder.HasReports();
            roDamage.m_astrTexts.insert(roDamage.m_astrTexts.end(), oRecorder.Texts().begin(),
                                        oRecorder.Texts().end());
        }
    }
    m_poNav->m_ofnRewind();
    return oSelection;
}

// CQdBankDoc::TakeSelection -- the loaded selection becomes the document's,
// by swaps and moves only; the edit interface open before is dropped.
void CQdBankDoc::TakeSelection(CQdSelection& roSelection) noexcept
{
    m_iSelectedStyle = roSelection.m_iStyle;
    m_strSelectedStyleName.swap(roSelection.m_strName);
    m_strListInfo.swap(roSelection.m_strInfo);
    m_poEditIfc = std::move(roSelection.m_poEditIfc);
    m_bOpenStyleDamaged = false;
    if (m_iSelectedStyle >= 0 && std::size_t(m_iSelectedStyle) < m_aoStyleDamage.size())
    {
        CQdStyleDamage& roDamage = m_aoStyleDamage[std::size_t(m_iSelectedStyle)];
        std::swap(roDamage, roSelection.m_oDamage);
        m_bOpenStyleDamaged = m_poEditIfc && (roDamage.m_bAtOpen || roDamage.m_bOnLoad);
    }
}

// CQdBankDoc::RenameStyle -- the name edited in the list goes to the open
// style; it reaches the bank when the style is written back.
std::string CQdBankDoc::RenameStyle(const std::string& rkstrNewName)
{
    return QdGuardCommand(m_roPrompt, QdDocText::RENAME_STYLE, std::string(), [&] {
        if (!m_poEditIfc || m_iSelectedStyle < 0)
            return std::string();
        std::string& rstrListName = m_astrStyleNames[std::size_t(m_iSelectedStyle)];
        std::string strName = rkstrNewName.empty() ? rstrListName : rkstrNewName.substr(0, MAX_LIST_NAME);
        std::string strListName = strName;
        // From here on nothing can fail.
        rstrListName.swap(strListName);
        m_poEditIfc->SetName(strName.c_str());
        m_bStyleModified = true;
        return strName;
    });
}

// ---------------------------------------------------------------------------
// Chord-variation commands
// ---------------------------------------------------------------------------

// CQdBankDoc::CStyleBackup::CStyleBackup -- the copy of the open style.
CQdBankDoc::CStyleBackup::CStyleBackup(CQdBankDoc& roDoc) : m_roDoc(roDoc), m_poCopy(roDoc.m_poEditIfc->Clone()) {}

// CQdBankDoc::CStyleBackup::Keep -- the edit completed: the copy goes.
void CQdBankDoc::CStyleBackup::Keep()
{
    m_poCopy.reset();
}

// CQdBankDoc::CStyleBackup::~CStyleBackup -- a copy not given up by Keep
// takes the open style's place.
CQdBankDoc::CStyleBackup::~CStyleBackup()
{
    if (m_poCopy)
        m_roDoc.m_poEditIfc = std::move(m_poCopy);
}

// CQdBankDoc::IsChordVarNode -- the open style has this chord variation.
bool CQdBankDoc::IsChordVarNode(BYTE bySe, BYTE byCv) const
{
    return m_poEditIfc && bySe < NST_NR_STE && byCv < NST_NR_CV &&
           m_poEditIfc->GetChordVarState(bySe, byCv) != NST_STATE_ABSENT;
}

// CQdBankDoc::ImportSmfFile -- reads the MIDI file whole and imports it
// into the chord variation, after deleting it when bInitialize is set (the
// element's track parameters then come from the file). False for an
// unreadable file or a header that is not accepted; the chord variation is
// then as it was, since the header is checked before anything is deleted.
bool CQdBankDoc::ImportSmfFile(CNstEditIfc& roEditIfc, const std::string& rkstrPath, BYTE bySe, BYTE byCv,
                               bool bInitialize)
{
    std::vector<BYTE> abyFile;
    if (!m_roFileIo.ReadAll(rkstrPath, MAX_SMF_FILE_SIZE, abyFile))
        return false;
    CMidiIn oHeaderCheck(abyFile.data(), DWORD(abyFile.size()));
    if (!oHeaderCheck.Open())
        return false;
    if (bInitialize)
        roEditIfc.DeleteChordVar(bySe, byCv);
    return roEditIfc.ImportFromSmf(abyFile.data(), DWORD(abyFile.size()), bySe, byCv, NST_ALL_TRACKS, false);
}

// CQdBankDoc::EnsureFirstElement -- a style always keeps "Variation 1": an
// empty one with an empty first chord variation is added when it is gone.
void CQdBankDoc::EnsureFirstElement(CNstEditIfc& roEditIfc, const std::string& rkstrCaption)
{
    if (roEditIfc.GetStyleElemState(0) != NST_STATE_ABSENT)
        return;
    roEditIfc.GetPatternAttribute(0, 0, 0);
    m_roPrompt.Tell(rkstrCaption, QdDocText::FIRST_ELEMENT_ADDED);
}

// CQdBankDoc::ImportAllSmf -- Import Style from SMFs with Standard Names:
// Replace or Merge, then the files to import.
bool CQdBankDoc::ImportAllSmf()
{
    return QdGuardCommand(m_roPrompt, QdDocText::IMPORT_STYLE, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
            return false;
        const int iAnswer =
            m_roPrompt.Ask({QdDocText::IMPORT_STYLE, QdDocText::REPLACE_OR_MERGE, "Replace", "Merge", "Cancel"});
        if (iAnswer == QD_ANSWER_CANCEL)
            return false;
        std::vector<std::string> astrPaths;
        if (!m_roPrompt.ChooseOpenFiles(MidiFileRequest("Open Standard Midi Files", m_strSmfDir, nullptr), astrPaths))
            return false;
        ImportStyleFiles(astrPaths, iAnswer == QD_ANSWER_YES);
        return true;
    });
}

// CQdBankDoc::ImportStyleFiles -- each file goes to the chord variation its
// standard name gives; a chord variation that already holds data is asked
// about (Initialize, Keep or Skip CV). With bReplace the files go into a new
// empty style named "New Style", which takes the open style's place once a
// file has been imported; when none was, the open style stays as it was.
int CQdBankDoc::ImportStyleFiles(const std::vector<std::string>& rkastrPaths, bool bReplace)
{
    return QdGuardCommand(m_roPrompt, QdDocText::IMPORT_STYLE, 0, [&] {
        if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
            return 0;
        const CQdWaitScope oWait(m_roPrompt);
        if (!rkastrPaths.empty())
            m_strSmfDir = QdDocText::DirectoryOf(rkastrPaths.front());
        CStyleBackup oBackup(*this);
        const int iImported = ImportStyleFilesInto(rkastrPaths, bReplace);
        oBackup.Keep();
        return iImported;
    });
}

// CQdBankDoc::ImportStyleFilesInto -- the work of ImportStyleFiles; the
// open style is edited in place when merging.
int CQdBankDoc::ImportStyleFilesInto(const std::vector<std::string>& rkastrPaths, bool bReplace)
{
    std::unique_ptr<CNstEditIfc> poNewStyle;
    if (bReplace)
    {
        poNewStyle = std::make_unique<CNstEditIfc>(nullptr, 0);
        poNewStyle->SetName(QdDocText::NEW_STYLE);
    }
    CNstEditIfc& roTarget = bReplace ? *poNewStyle : *m_poEditIfc;

    int iImported = 0;
    // Merging marks the style modified whatever the import gives.
    bool bMerged = false;
    const int iTotal = int(rkastrPaths.size());
    for (int i = 0; i < iTotal; ++i)
    {
        const std::string strName = QdDocText::LowerCase(QdDocText::FileNameOf(rkastrPaths[std::size_t(i)]));
        m_roPrompt.Progress(i, iTotal, strName);
        BYTE bySe = 0;
        BYTE byCv = 0;
        if (!StandardNameElement(FindStandardName(strName), bySe, byCv))
        {
            m_roPrompt.Tell(QdDocText::IMPORT_STYLE, "'" + strName + "'  is not a valid standard name!");
            continue;
        }
        bool bInitialize = false;
        if (roTarget.GetChordVarState(bySe, byCv) == NST_STATE_EVENTS)
        {
            const int iAnswer = m_roPrompt.Ask(
                {QdDocText::IMPORT_STYLE,
                 "Warning! '" + strName + "' is a duplicate - Initialize/Keep Track Parameters?", "Initialize", "Keep",
                 "Skip CV"});
            if (iAnswer == QD_ANSWER_CANCEL)
                continue;
            bInitialize = iAnswer == QD_ANSWER_YES;
        }
        bMerged = bMerged || !bReplace;
        if (ImportSmfFile(roTarget, rkastrPaths[std::size_t(i)], bySe, byCv, bInitialize))
            ++iImported;
        else
            m_roPrompt.Tell(QdDocText::IMPORT_STYLE, QdDocText::SMF_READ_ERROR);
    }
    m_roPrompt.Progress(iTotal, iTotal, std::string());

    const bool bReplaced = bReplace && iImported > 0;
    EnsureFirstElement(bReplaced ? *poNewStyle : *m_poEditIfc, QdDocText::IMPORT_STYLE);
    std::string strListName = bReplaced ? QdDocText::NEW_STYLE : "";
    // From here on nothing can fail.
    if (bReplaced)
    {
        // The new style holds nothing of a damaged one: writing it back
        // loses nothing that was read, so it is not asked about.
        m_poEditIfc = std::move(poNewStyle);
        m_astrStyleNames[std::size_t(m_iSelectedStyle)].swap(strListName);
        m_bOpenStyleDamaged = false;
    }
    if (bReplaced || bMerged)
        m_bStyleModified = true;
    return iImported;
}

// CQdBankDoc::ImportSingleSmf -- Import Chord Variation from SMF: Initialize
// or Keep, then the file (any name).
bool CQdBankDoc::ImportSingleSmf(BYTE bySe, BYTE byCv)
{
    return QdGuardCommand(m_roPrompt, QdDocText::IMPORT_CV, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsChordVarNode(bySe, byCv))
            return false;
        const int iAnswer =
            m_roPrompt.Ask({QdDocText::IMPORT_CV, QdDocText::INITIALIZE_OR_KEEP, "Initialize", "Keep", "Cancel"});
        if (iAnswer == QD_ANSWER_CANCEL)
            return false;
        std::string strPath;
        if (!m_roPrompt.ChooseOpenFile(
                MidiFileRequest("Open Standard Midi File", m_strSmfDir, StandardName(StandardNameIndex(bySe, byCv))),
                strPath))
            return false;
        return ImportChordVarFile(bySe, byCv, iAnswer != QD_ANSWER_NO, strPath);
    });
}

// CQdBankDoc::ImportChordVarFile -- imports the file into the chord
// variation; the style counts as modified also after a refused file (not
// after running out of memory: the style is then as it was).
bool CQdBankDoc::ImportChordVarFile(BYTE bySe, BYTE byCv, bool bInitialize, const std::string& rkstrPath)
{
    return QdGuardCommand(m_roPrompt, QdDocText::IMPORT_CV, false, [&] {
        if (!IsChordVarNode(bySe, byCv))
            return false;
        const CQdWaitScope oWait(m_roPrompt);
        m_strSmfDir = QdDocText::DirectoryOf(rkstrPath);
        CStyleBackup oBackup(*this);
        const bool bImported = ImportSmfFile(*m_poEditIfc, rkstrPath, bySe, byCv, bInitialize);
        if (!bImported)
            m_roPrompt.Tell(QdDocText::IMPORT_CV, QdDocText::SMF_READ_ERROR);
        oBackup.Keep();
        m_bStyleModified = true;
        return bImported;
    });
}

// CQdBankDoc::ExportSingleSmf -- Export Chord Variation to SMF; the style
// is not modified.
bool CQdBankDoc::ExportSingleSmf(BYTE bySe, BYTE byCv)
{
    return QdGuardCommand(m_roPrompt, QdDocText::EXPORT_CV, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsChordVarNode(bySe, byCv))
            return false;
        std::string strPath;
        if (!m_roPrompt.ChooseSaveFile(
                MidiFileRequest("Save Standard Midi File", m_strSmfDir, StandardName(StandardNameIndex(bySe, byCv))),
                strPath))
            return false;
        const CQdWaitScope oWait(m_roPrompt);
        m_strSmfDir = QdDocText::DirectoryOf(strPath);
        const bool bWritten = ExportChordVarFile(bySe, byCv, NST_ALL_TRACKS, strPath);
        if (!bWritten)
            m_roPrompt.Tell(QdDocText::EXPORT_CV, QdDocText::SMF_WRITE_ERROR);
        return bWritten;
    });
}

// CQdBankDoc::ExportChordVarFile -- the chord variation or one track as a
// MIDI file, written atomically (an existing file survives a failure).
bool CQdBankDoc::ExportChordVarFile(BYTE bySe, BYTE byCv, BYTE byTrack, const std::string& rkstrPath)
{
    return QdGuardCommand(m_roPrompt, QdDocText::EXPORT_CV, false, [&] {
        if (!IsChordVarNode(bySe, byCv))
            return false;
        // The export fits the patterns' measures in place as it goes.
        CStyleBackup oBackup(*this);
        DWORD dwSize = 0;
        const std::unique_ptr<BYTE[]> pbySmf = m_poEditIfc->ExportToSmf(bySe, byCv, byTrack, dwSize);
        oBackup.Keep();
        return pbySmf && dwSize != 0 && m_roFileIo.WriteAtomic(rkstrPath, pbySmf.get(), dwSize);
    });
}

// CQdBankDoc::DeleteCV -- deletes the chord variation, and its element when
// nothing with events is left in it; "Variation 1" is recreated empty.
bool CQdBankDoc::DeleteCV(BYTE bySe, BYTE byCv)
{
    return QdGuardCommand(m_roPrompt, QdDocText::DELETE_CV, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsChordVarNode(bySe, byCv))
            return false;
        const CQdWaitScope oWait(m_roPrompt);
        CStyleBackup oBackup(*this);
        m_poEditIfc->DeleteChordVar(bySe, byCv);
        if (m_poEditIfc->GetStyleElemState(bySe) == NST_STATE_EMPTY)
            m_poEditIfc->DeleteStyleElem(bySe);
        EnsureFirstElement(*m_poEditIfc, QdDocText::DELETE_CV);
        oBackup.Keep();
        m_bStyleModified = true;
        return true;
    });
}

// CQdBankDoc::UndoStyle -- drops every change since the style was selected:
// the style reopens from the bank block with the name it had. Changes
// already written back into the block stay.
bool CQdBankDoc::UndoStyle()
{
    return QdGuardCommand(m_roPrompt, QdDocText::UNDO_STYLE, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
            return false;
        const CQdWaitScope oWait(m_roPrompt);
        CQdSelection oSelection = LoadSelection(m_iSelectedStyle, &m_strSelectedStyleName);
        std::string strListName = m_strSelectedStyleName;
        // From here on nothing can fail.
        m_astrStyleNames[std::size_t(m_iSelectedStyle)].swap(strListName);
        m_bStyleModified = false;
        TakeSelection(oSelection);
        return true;
    });
}
