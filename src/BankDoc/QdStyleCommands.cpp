// QdStyleCommands.cpp -- selecting and renaming styles, and the commands on
// the open style: whole-style import by standard names, import, export and
// deletion of one chord variation, undo.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocText.h"

#include "ChunkNav/ChunkNav.h"
#include "MidiInOut/MidiInOut.h"
#include "NlzdStyle/NstEditIfc.h"

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
// iStyle, or selects the root for any other index.
std::string CQdBankDoc::SelectStyle(int iStyle)
{
    if (m_poEditIfc && m_iSelectedStyle >= 0 && m_bStyleModified &&
        m_roPrompt.Ask({QdDocText::STYLE_MODIFIED, QdDocText::CONFIRM_CHANGES, "Yes", "", "No"}) != QD_ANSWER_YES)
    {
        // The changes are dropped: the list shows the name the style had.
        m_astrStyleNames[std::size_t(m_iSelectedStyle)] = m_strSelectedStyleName;
        m_bStyleModified = false;
    }
    m_roPrompt.StopPlayback();
    if (!IsBankOpen())
        return std::string();
    m_roPrompt.BeginWait();
    if (m_poEditIfc)
    {
        if (m_bStyleModified)
        {
            const EQdWriteBack eResult = WriteBackStyle();
            if (eResult != QD_WRITEBACK_DONE)
            {
                // Nothing is lost: the style stays open and selected, still modified.
                m_roPrompt.Tell(QdDocText::STYLE_MODIFIED, WriteBackMessage(eResult));
                m_roPrompt.EndWait();
                return GetListInfoText();
            }
        }
        m_poEditIfc.reset();
    }
    OpenSelectedStyle(iStyle);
    m_roPrompt.EndWait();
    return m_strListInfo;
}

// CQdBankDoc::OpenSelectedStyle -- the selection becomes iStyle (or the
// root), the info line its size, and a present style is opened in a new
// edit interface built from its style container in the block.
void CQdBankDoc::OpenSelectedStyle(int iStyle)
{
    m_iSelectedStyle = -1;
    m_strSelectedStyleName.clear();
    if (iStyle < 0 || iStyle >= GetStyleCount())
    {
        m_strListInfo = QdDocText::USED_SIZE + std::to_string(GetUsedSize());
        return;
    }
    m_iSelectedStyle = iStyle;
    m_strSelectedStyleName = m_astrStyleNames[std::size_t(iStyle)];
    m_strListInfo.clear();
    if (GotoStyleSlot(iStyle))
    {
        m_strListInfo = QdDocText::USED_SIZE + std::to_string(m_poNav->m_dwfnDataLength());
        if (m_poNav->m_ofnEnter(CChunkId(STYLE_CONTAINER_ID), typeNotFinal, typeNotFinal))
        {
            // The edit interface works on its own copy of the container.
            m_poEditIfc = std::make_unique<CNstEditIfc>(m_poNav->m_pbyfnHeader(), m_poNav->m_dwfnSize());
            m_poEditIfc->SetName(m_strSelectedStyleName.c_str());
        }
    }
    m_poNav->m_ofnRewind();
}

// CQdBankDoc::RenameStyle -- the name edited in the list goes to the open
// style; it reaches the bank when the style is written back.
std::string CQdBankDoc::RenameStyle(const std::string& rkstrNewName)
{
    if (!m_poEditIfc || m_iSelectedStyle < 0)
        return std::string();
    std::string& rstrListName = m_astrStyleNames[std::size_t(m_iSelectedStyle)];
    const std::string strName = rkstrNewName.empty() ? rstrListName : rkstrNewName.substr(0, MAX_LIST_NAME);
    m_poEditIfc->SetName(strName.c_str());
    rstrListName = strName;
    m_bStyleModified = true;
    return strName;
}

// ---------------------------------------------------------------------------
// Chord-variation commands
// ---------------------------------------------------------------------------

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
void CQdBankDoc::EnsureFirstElement(const std::string& rkstrCaption)
{
    if (!m_poEditIfc || m_poEditIfc->GetStyleElemState(0) != NST_STATE_ABSENT)
        return;
    m_poEditIfc->GetPatternAttribute(0, 0, 0);
    m_roPrompt.Tell(rkstrCaption, QdDocText::FIRST_ELEMENT_ADDED);
}

// CQdBankDoc::ImportAllSmf -- Import Style from SMFs with Standard Names:
// Replace or Merge, then the files to import.
bool CQdBankDoc::ImportAllSmf()
{
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
}

// CQdBankDoc::ImportStyleFiles -- each file goes to the chord variation its
// standard name gives; a chord variation that already holds data is asked
// about (Initialize, Keep or Skip CV). With bReplace the files go into a new
// empty style named "New Style", which takes the open style's place once a
// file has been imported; when none was, the open style stays as it was.
int CQdBankDoc::ImportStyleFiles(const std::vector<std::string>& rkastrPaths, bool bReplace)
{
    if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
        return 0;
    m_roPrompt.BeginWait();
    std::unique_ptr<CNstEditIfc> poNewStyle;
    if (bReplace)
    {
        poNewStyle = std::make_unique<CNstEditIfc>(nullptr, 0);
        poNewStyle->SetName(QdDocText::NEW_STYLE);
    }
    CNstEditIfc& roTarget = bReplace ? *poNewStyle : *m_poEditIfc;
    if (!rkastrPaths.empty())
        m_strSmfDir = QdDocText::DirectoryOf(rkastrPaths.front());

    int iImported = 0;
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
        // Merging marks the style modified whatever the import gives.
        if (!bReplace)
            m_bStyleModified = true;
        if (ImportSmfFile(roTarget, rkastrPaths[std::size_t(i)], bySe, byCv, bInitialize))
            ++iImported;
        else
            m_roPrompt.Tell(QdDocText::IMPORT_STYLE, QdDocText::SMF_READ_ERROR);
    }
    m_roPrompt.Progress(iTotal, iTotal, std::string());

    if (bReplace && iImported > 0)
    {
        m_poEditIfc = std::move(poNewStyle);
        m_astrStyleNames[std::size_t(m_iSelectedStyle)] = QdDocText::NEW_STYLE;
        m_bStyleModified = true;
    }
    EnsureFirstElement(QdDocText::IMPORT_STYLE);
    m_roPrompt.EndWait();
    return iImported;
}

// CQdBankDoc::ImportSingleSmf -- Import Chord Variation from SMF: Initialize
// or Keep, then the file (any name).
bool CQdBankDoc::ImportSingleSmf(BYTE bySe, BYTE byCv)
{
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
}

// CQdBankDoc::ImportChordVarFile -- imports the file into the chord
// variation; the style counts as modified also after a failure.
bool CQdBankDoc::ImportChordVarFile(BYTE bySe, BYTE byCv, bool bInitialize, const std::string& rkstrPath)
{
    if (!IsChordVarNode(bySe, byCv))
        return false;
    m_roPrompt.BeginWait();
    m_strSmfDir = QdDocText::DirectoryOf(rkstrPath);
    const bool bImported = ImportSmfFile(*m_poEditIfc, rkstrPath, bySe, byCv, bInitialize);
    if (!bImported)
        m_roPrompt.Tell(QdDocText::IMPORT_CV, QdDocText::SMF_READ_ERROR);
    m_bStyleModified = true;
    m_roPrompt.EndWait();
    return bImported;
}

// CQdBankDoc::ExportSingleSmf -- Export Chord Variation to SMF; the style
// is not modified.
bool CQdBankDoc::ExportSingleSmf(BYTE bySe, BYTE byCv)
{
    m_roPrompt.StopPlayback();
    if (!IsChordVarNode(bySe, byCv))
        return false;
    std::string strPath;
    if (!m_roPrompt.ChooseSaveFile(
            MidiFileRequest("Save Standard Midi File", m_strSmfDir, StandardName(StandardNameIndex(bySe, byCv))),
            strPath))
        return false;
    m_roPrompt.BeginWait();
    m_strSmfDir = QdDocText::DirectoryOf(strPath);
    const bool bWritten = ExportChordVarFile(bySe, byCv, NST_ALL_TRACKS, strPath);
    if (!bWritten)
        m_roPrompt.Tell(QdDocText::EXPORT_CV, QdDocText::SMF_WRITE_ERROR);
    m_roPrompt.EndWait();
    return bWritten;
}

// CQdBankDoc::ExportChordVarFile -- the chord variation or one track as a
// MIDI file, written atomically (an existing file survives a failure).
bool CQdBankDoc::ExportChordVarFile(BYTE bySe, BYTE byCv, BYTE byTrack, const std::string& rkstrPath)
{
    if (!IsChordVarNode(bySe, byCv))
        return false;
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbySmf = m_poEditIfc->ExportToSmf(bySe, byCv, byTrack, dwSize);
    return pbySmf && dwSize != 0 && m_roFileIo.WriteAtomic(rkstrPath, pbySmf.get(), dwSize);
}

// CQdBankDoc::DeleteCV -- deletes the chord variation, and its element when
// nothing with events is left in it; "Variation 1" is recreated empty.
bool CQdBankDoc::DeleteCV(BYTE bySe, BYTE byCv)
{
    m_roPrompt.StopPlayback();
    if (!IsChordVarNode(bySe, byCv))
        return false;
    m_roPrompt.BeginWait();
    m_poEditIfc->DeleteChordVar(bySe, byCv);
    if (m_poEditIfc->GetStyleElemState(bySe) == NST_STATE_EMPTY)
        m_poEditIfc->DeleteStyleElem(bySe);
    EnsureFirstElement(QdDocText::DELETE_CV);
    m_bStyleModified = true;
    m_roPrompt.EndWait();
    return true;
}

// CQdBankDoc::UndoStyle -- drops every change since the style was selected:
// the style reopens from the bank block with the name it had. Changes
// already written back into the block stay.
bool CQdBankDoc::UndoStyle()
{
    m_roPrompt.StopPlayback();
    if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
        return false;
    const int iStyle = m_iSelectedStyle;
    m_bStyleModified = false;
    m_poEditIfc.reset();
    m_astrStyleNames[std::size_t(iStyle)] = m_strSelectedStyleName;
    SelectStyle(-1);
    SelectStyle(iStyle);
    return true;
}
