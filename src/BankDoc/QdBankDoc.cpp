// QdBankDoc.cpp -- the bank document's state and what the windows show of
// it: the element tree of the open style, the info lines and the tool
// buttons.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdReportRecorder.h"

#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/NstEditIfc.h"

// CQdBankDoc::CQdBankDoc -- no bank, no style, nothing modified.
CQdBankDoc::CQdBankDoc(CQdDocPrompt& roPrompt, CQdFileIo& roFileIo) : m_roPrompt(roPrompt), m_roFileIo(roFileIo) {}

// CQdBankDoc::~CQdBankDoc -- the edit interface, then the navigator, then the block.
CQdBankDoc::~CQdBankDoc()
{
    ReleaseBank();
}

// CQdBankDoc::IsBankOpen -- a bank block with its navigator.
bool CQdBankDoc::IsBankOpen() const
{
    return m_poNav != nullptr;
}

// CQdBankDoc::IsWrittenBack -- the style's changes lie in the block, unsaved.
bool CQdBankDoc::IsWrittenBack(int iStyle) const
{
    return iStyle >= 0 && iStyle < int(m_abWrittenBack.size()) && m_abWrittenBack[std::size_t(iStyle)];
}

// CQdBankDoc::IsStyleDamaged -- loading the style reported problems.
bool CQdBankDoc::IsStyleDamaged(int iStyle) const
{
    if (iStyle < 0 || iStyle >= int(m_aoStyleDamage.size()))
        return false;
    const CQdStyleDamage& rkoDamage = m_aoStyleDamage[std::size_t(iStyle)];
    return rkoDamage.m_bAtOpen || rkoDamage.m_bOnLoad;
}

// CQdBankDoc::GetStyleDamage -- the reports' texts; empty for a style that
// is not damaged (or whose texts found no memory).
const std::vector<std::string>& CQdBankDoc::GetStyleDamage(int iStyle) const
{
    static const std::vector<std::string> s_astrNone;
    if (iStyle < 0 || iStyle >= int(m_aoStyleDamage.size()))
        return s_astrNone;
    return m_aoStyleDamage[std::size_t(iStyle)].m_astrTexts;
}

// CQdBankDoc::GetStyleDamageText -- the texts on one line (QdReportSummary).
std::string CQdBankDoc::GetStyleDamageText(int iStyle) const
{
    return QdReportSummary(GetStyleDamage(iStyle));
}

// CQdBankDoc::HasUnsavedChanges -- the open style is modified or some style
// was written back since the bank was opened or saved.
bool CQdBankDoc::HasUnsavedChanges() const
{
    if (!IsBankOpen())
        return false;
    if (m_bStyleModified)
        return true;
    for (bool bWrittenBack : m_abWrittenBack)
        if (bWrittenBack)
            return true;
    return false;
}

// CQdBankDoc::GetUsedSize -- bytes of the bank's chunk tree; 0 without a bank.
DWORD CQdBankDoc::GetUsedSize() const
{
    return m_poNav ? m_poNav->m_dwfnUsedSize() : 0;
}

// CQdBankDoc::GetListInfoText -- the size is unknown while the style differs
// from its copy in the block.
std::string CQdBankDoc::GetListInfoText() const
{
    if (m_bStyleModified && m_iSelectedStyle >= 0)
        return QdDocText::SIZE_UNKNOWN;
    return m_strListInfo;
}

// CQdBankDoc::CanClose -- true unless unsaved changes are kept by the user
// (or the question cannot be asked for memory: the changes are kept then).
bool CQdBankDoc::CanClose()
{
    return QdGuardCommand(m_roPrompt, QdDocText::SOME_STYLE_MODIFIED, false, [&] {
        if (!HasUnsavedChanges())
            return true;
        return m_roPrompt.Ask({QdDocText::SOME_STYLE_MODIFIED, QdDocText::IGNORE_CHANGES, "Yes", "", "No"}) ==
               QD_ANSWER_YES;
    });
}

// CQdBankDoc::BuildElementTree -- the style, its present elements, their
// present chord variations and the tracks that hold events.
std::vector<CQdTreeNode> CQdBankDoc::BuildElementTree() const
{
    std::vector<CQdTreeNode> aoNodes;
    if (!m_poEditIfc)
        return aoNodes;
    const CNstEditIfc& rkoEdit = *m_poEditIfc;

    char szName[NST_NAME_SIZE] = {};
    rkoEdit.GetName(szName, NST_NAME_SIZE - 1);
    CQdTreeNode oRoot;
    oRoot.m_iImage = 5;
    oRoot.m_strText = szName;
    aoNodes.push_back(oRoot);

    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
    {
        if (rkoEdit.GetStyleElemState(bySe) == NST_STATE_ABSENT)
            continue;
        CQdTreeNode oElement;
        oElement.m_byKind = CQdTreeNode::KIND_ELEMENT;
        oElement.m_bySe = bySe;
        oElement.m_iLevel = 1;
        oElement.m_iImage = 1;
        oElement.m_strText = ElementName(bySe);
        aoNodes.push_back(oElement);
        for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
        {
            if (rkoEdit.GetChordVarState(bySe, byCv) == NST_STATE_ABSENT)
                continue;
            CQdTreeNode oChordVar = oElement;
            oChordVar.m_byKind = CQdTreeNode::KIND_CHORD_VAR;
            oChordVar.m_byCv = byCv;
            oChordVar.m_iLevel = 2;
            oChordVar.m_iImage = 2;
            oChordVar.m_strText = "Chord Var " + std::to_string(byCv + 1);
            aoNodes.push_back(oChordVar);
            for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            {
                if (rkoEdit.GetPatternState(bySe, byCv, byTrack) != NST_STATE_EVENTS)
                    continue;
                CQdTreeNode oTrack = oChordVar;
                oTrack.m_byKind = CQdTreeNode::KIND_TRACK;
                oTrack.m_byTrack = byTrack;
                oTrack.m_iLevel = 3;
                oTrack.m_iImage = 3;
                oTrack.m_strText = TrackName(byTrack);
                aoNodes.push_back(oTrack);
            }
        }
    }
    return aoNodes;
}

// CQdBankDoc::GetTreeInfoText -- an element's time signature, a chord
// variation's length in measures. The queries behind them create what they
// ask about, so a node that names nothing present gets no text.
std::string CQdBankDoc::GetTreeInfoText(const CQdTreeNode& rkoNode) const
{
    if (!m_poEditIfc || rkoNode.m_bySe >= NST_NR_STE)
        return std::string();
    CNstEditIfc& roEdit = *m_poEditIfc;
    if (rkoNode.m_byKind == CQdTreeNode::KIND_ELEMENT)
    {
        if (roEdit.GetStyleElemState(rkoNode.m_bySe) == NST_STATE_ABSENT)
            return std::string();
        const CNstTimeSig oShown = CNstTimeSig::FromPacked(roEdit.GetPackedSignature(rkoNode.m_bySe));
        return " Signature: " + std::to_string(oShown.m_byNumerator) + " / " +
               std::to_string(oShown.GetDenominator());
    }
    if (rkoNode.m_byKind == CQdTreeNode::KIND_CHORD_VAR)
    {
        if (rkoNode.m_byCv >= NST_NR_CV ||
            roEdit.GetChordVarState(rkoNode.m_bySe, rkoNode.m_byCv) == NST_STATE_ABSENT)
            return std::string();
        return " Length in measures: " + std::to_string(roEdit.GetMeasures(rkoNode.m_bySe, rkoNode.m_byCv));
    }
    return std::string();
}

// CQdBankDoc::GetToolState -- the chord-variation commands need a chord
// variation node; a track node can only be played.
CQdToolState CQdBankDoc::GetToolState(const CQdTreeNode* pkoSelected) const
{
    CQdToolState oState;
    oState.m_bSave = IsBankOpen();
    oState.m_bImportAll = m_poEditIfc != nullptr;
    oState.m_bUndo = m_bStyleModified;
    oState.m_bExportBank = IsBankOpen();
    oState.m_bRename = m_poEditIfc != nullptr && m_iSelectedStyle >= 0;
    if (m_poEditIfc && pkoSelected)
    {
        const BYTE byKind = pkoSelected->m_byKind;
        oState.m_bCopy = byKind == CQdTreeNode::KIND_ELEMENT || byKind == CQdTreeNode::KIND_CHORD_VAR;
        oState.m_bPasteTarget = oState.m_bCopy;
        oState.m_bTrackParams = byKind != CQdTreeNode::KIND_STYLE;
        oState.m_bExportAudio = byKind == CQdTreeNode::KIND_CHORD_VAR || byKind == CQdTreeNode::KIND_TRACK;
        if (pkoSelected->m_byKind == CQdTreeNode::KIND_CHORD_VAR)
        {
            oState.m_bImportSingle = true;
            oState.m_bExportSingle = true;
            oState.m_bDeleteCV = true;
            oState.m_bPlay = true;
        }
        else if (pkoSelected->m_byKind == CQdTreeNode::KIND_TRACK)
        {
            oState.m_bPlay = true;
        }
    }
    return oState;
}

// CQdBankDoc::WriteBackMessage -- why a style stayed in its edit interface.
const char* CQdBankDoc::WriteBackMessage(EQdWriteBack eResult)
{
    switch (eResult)
    {
    case QD_WRITEBACK_NO_SLOT:
        return "Style not found in the Style Bank - changes not written back!";
    case QD_WRITEBACK_NO_DATA:
        return "Style conversion error - changes not written back!";
    case QD_WRITEBACK_NO_ROOM:
        return "Style Bank full - changes not written back!";
    case QD_WRITEBACK_NO_MEMORY:
        return "Out of memory - changes not written back!";
    case QD_WRITEBACK_DAMAGED:
        return "Damaged style - changes not written back!";
    case QD_WRITEBACK_DONE:
    case QD_WRITEBACK_NO_STYLE:
        break;
    }
    return "";
}
