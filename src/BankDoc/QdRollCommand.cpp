// QdRollCommand.cpp -- the open style's chord variations as piano rolls, for
// the window's roll pane and `qdstyle roll`.
//
// The roll is read from the export's MIDI file (QdRoll.h), so it goes the
// export's way: the export fits the patterns' measures in place, under a
// copy of the style that takes its place again should memory run out
// halfway.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdRoll.h"
#include "NlzdStyle/NstEditIfc.h"

// CQdBankDoc::BuildRoll -- as ExportChordVarFile, with the roll instead of
// the file.
bool CQdBankDoc::BuildRoll(BYTE bySe, BYTE byCv, BYTE byTrack, CQdRoll& roRoll)
{
    return QdGuardCommand(m_roPrompt, QdDocText::PIANO_ROLL, false, [&] {
        roRoll = CQdRoll();
        if (!IsChordVarNode(bySe, byCv) || (byTrack >= NST_NR_TRK && byTrack != NST_ALL_TRACKS))
            return false;
        CStyleBackup oBackup(*this);
        const bool bBuilt = QdBuildRoll(*m_poEditIfc, bySe, byCv, byTrack, roRoll);
        oBackup.Keep();
        return bBuilt;
    });
}

bool CQdBankDoc::BuildNodeRoll(const CQdTreeNode& rkoNode, CQdRoll& roRoll)
{
    const bool bTrack = rkoNode.m_byKind == CQdTreeNode::KIND_TRACK;
    if (!bTrack && rkoNode.m_byKind != CQdTreeNode::KIND_CHORD_VAR)
    {
        roRoll = CQdRoll();
        return false;
    }
    const bool bBuilt = BuildRoll(rkoNode.m_bySe, rkoNode.m_byCv, NST_ALL_TRACKS, roRoll);
    if (bBuilt && bTrack)
        roRoll.m_byHighlight = rkoNode.m_byTrack;
    return bBuilt;
}
