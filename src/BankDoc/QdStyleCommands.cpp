// QdStyleCommands.cpp -- selecting and renaming styles, and the commands on
// the open style: export and deletion of one chord variation, undo. The
// imports are in QdImportCommands.cpp.
//
// Running out of memory (QdCommandGuard.h): the style a selection or an
// undo opens is loaded aside and takes its place by moves only, and the
// edits of the open style run with a copy of it taken before (see
// CStyleBackup), so a command that fails for memory leaves the selection,
// the open style and the list as they were.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdBankLayout.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"

#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/QdRecords.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cstddef>
#include <utility>

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
//
// The question has no Cancel: the selection always goes ahead, so its "No"
// (in the Cancel position) drops the changes, and Escape must not answer it.
std::string CQdBankDoc::SelectStyle(int iStyle)
{
    return QdGuardCommand(m_roPrompt, QdDocText::SELECT_STYLE, std::string(), [&] {
        const bool bDropChanges =
            IsOpenStyleModified() &&
            m_roPrompt.Ask({QdDocText::STYLE_MODIFIED, QdDocText::CONFIRM_CHANGES, "Yes", "", "No", false}) !=
                QD_ANSWER_YES;
        return SelectStyleAnswered(iStyle, bDropChanges);
    });
}

bool CQdBankDoc::IsOpenStyleModified() const { return m_poEditIfc && m_iSelectedStyle >= 0 && m_bStyleModified; }

// CQdBankDoc::SelectStyleAnswered -- the selection once the question about
// the open style's changes was answered (bDropChanges: they go).
std::string CQdBankDoc::SelectStyleAnswered(int iStyle, bool bDropChanges)
{
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
    if (bDropChanges && m_iSelectedStyle >= 0)
    {
        m_astrStyleNames[std::size_t(m_iSelectedStyle)].swap(strOldName);
        m_bStyleModified = false;
    }
    TakeSelection(oSelection);
    return strInfo;
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
        if (m_poNav->m_ofnEnter(CChunkId(QDI_ID_STYLE), typeNotFinal, typeNotFinal))
        {
            // The open's load, if the style has not changed since; else a new one.
            oSelection.m_poEditIfc =
                m_oLoadedStyles.Take(std::size_t(iStyle), m_poNav->m_pbyfnHeader(), m_poNav->m_dwfnSize());
            if (!oSelection.m_poEditIfc)
                oSelection.m_poEditIfc = LoadStyleContainer(true, roDamage);
            oSelection.m_poEditIfc->SetName(oSelection.m_strName.c_str());
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

std::string CQdBankDoc::ListNameOf(const std::string& rkstrName, const std::string& rkstrEmpty)
{
    return rkstrName.empty() ? rkstrEmpty : rkstrName.substr(0, MAX_LIST_NAME);
}

// CQdBankDoc::RenameStyle -- the name edited in the list goes to the open
// style; it reaches the bank when the style is written back.
std::string CQdBankDoc::RenameStyle(const std::string& rkstrNewName)
{
    return QdGuardCommand(m_roPrompt, QdDocText::RENAME_STYLE, std::string(), [&] {
        if (!m_poEditIfc || m_iSelectedStyle < 0)
            return std::string();
        std::string& rstrListName = m_astrStyleNames[std::size_t(m_iSelectedStyle)];
        std::string strName = ListNameOf(rkstrNewName, rstrListName);
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

// CQdBankDoc::EnsureFirstElement -- a style always keeps "Variation 1": an
// empty one with an empty first chord variation is added when it is gone.
void CQdBankDoc::EnsureFirstElement(CNstEditIfc& roEditIfc, const std::string& rkstrCaption)
{
    if (roEditIfc.GetStyleElemState(0) != NST_STATE_ABSENT)
        return;
    roEditIfc.GetPatternAttribute(0, 0, 0);
    m_roPrompt.Tell(rkstrCaption, QdDocText::FIRST_ELEMENT_ADDED);
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
                QdDocText::MidiFileRequest("Save Standard Midi File", m_strSmfDir,
                                           StandardName(StandardNameIndex(bySe, byCv))),
                strPath))
            return false;
        const CQdWaitScope oWait(m_roPrompt);
        m_strSmfDir = QdDocText::DirectoryOf(strPath);
        const bool bWritten = ExportChordVarFile(bySe, byCv, NST_ALL_TRACKS, strPath);
        if (!bWritten)
        {
            // No cause from the file access: the conversion gave no file.
            const std::string strCause = CQdFileIo::ErrorText(m_roFileIo.GetLastError());
            m_roPrompt.TellFile(QdDocText::EXPORT_CV, QdDocText::SMF_WRITE_ERROR, strPath,
                                strCause.empty() ? "the chord variation could not be converted" : strCause);
        }
        return bWritten;
    });
}

// CQdBankDoc::ExportChordVarFile -- the chord variation or one track as a
// MIDI file, written atomically (an existing file survives a failure). The
// file access keeps the cause of a failed write (CQdFileIo::GetLastError).
bool CQdBankDoc::ExportChordVarFile(BYTE bySe, BYTE byCv, BYTE byTrack, const std::string& rkstrPath)
{
    return QdGuardCommand(m_roPrompt, QdDocText::EXPORT_CV, false, [&] {
        m_roFileIo.ClearLastError();
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
