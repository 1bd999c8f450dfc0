// QdDesktopCommands.cpp -- commands of the desktop's menus that the tool
// bar never had: the clipboard's copy and paste of a part, a track's voice
// in words, the export of the whole bank and the rescue of any bank file.
// They are the document's like every command, so the window only maps its
// menus onto them and the tests drive them headless.
#include "BankDoc/QdBankDoc.h"

#include "BankDoc/QdBankRescue.h"
#include "BankDoc/QdClipPart.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdCopyPart.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdGmPrograms.h"
#include "BankDoc/QdReportRecorder.h"
#include "NlzdStyle/NstEditIfc.h"

namespace
{
const char* const PASTE_PART = "Paste";

bool IsPartNode(const CQdTreeNode& rkoNode)
{
    return rkoNode.m_byKind == CQdTreeNode::KIND_ELEMENT || rkoNode.m_byKind == CQdTreeNode::KIND_CHORD_VAR;
}

CQdPart PartOfNode(const CQdTreeNode& rkoNode)
{
    CQdPart oPart;
    oPart.m_bySe = rkoNode.m_bySe;
    if (rkoNode.m_byKind == CQdTreeNode::KIND_CHORD_VAR)
        oPart.m_byCv = rkoNode.m_byCv;
    return oPart;
}

// PartText -- "chord variation v1cv2" or "element Variation 1".
std::string PartText(const CQdPart& rkoPart)
{
    if (rkoPart.IsChordVar())
        return "chord variation " + QdChordVarName(rkoPart.m_bySe, rkoPart.m_byCv);
    return std::string("element ") + CQdBankDoc::ElementName(rkoPart.m_bySe);
}
} // namespace

std::string CQdBankDoc::GetBankPath() const { return IsBankOpen() ? m_oFileFacts.m_strPath : std::string(); }

bool CQdBankDoc::CanPasteOn(const CQdTreeNode& rkoNode, const CQdClipPart& rkoPart)
{
    return IsPartNode(rkoNode) && (rkoNode.m_byKind == CQdTreeNode::KIND_CHORD_VAR) == rkoPart.m_oPart.IsChordVar();
}

// CQdBankDoc::CopyToClip -- works on a copy of the open style: the export
// fits patterns in place and the bank data tidy the style, neither of which
// may touch the style being edited.
bool CQdBankDoc::CopyToClip(const CQdTreeNode& rkoNode, std::vector<BYTE>& rabyPayload, std::vector<BYTE>& rabyMidi)
{
    return QdGuardCommand(m_roPrompt, "Copy", false, [&] {
        rabyPayload.clear();
        rabyMidi.clear();
        if (!m_poEditIfc || m_iSelectedStyle < 0 || !IsPartNode(rkoNode))
            return false;
        const CQdPart oPart = PartOfNode(rkoNode);
        if (m_poEditIfc->GetStyleElemState(oPart.m_bySe) == NST_STATE_ABSENT ||
            (oPart.IsChordVar() && m_poEditIfc->GetChordVarState(oPart.m_bySe, oPart.m_byCv) == NST_STATE_ABSENT))
            return false;
        const std::unique_ptr<CNstEditIfc> poCopy = m_poEditIfc->Clone();
        BYTE byCv = oPart.m_byCv;
        for (BYTE by = 0; !oPart.IsChordVar() && by < NST_NR_CV; ++by)
            if (poCopy->GetChordVarState(oPart.m_bySe, by) != NST_STATE_ABSENT)
            {
                byCv = by;
                break;
            }
        if (byCv < NST_NR_CV)
        {
            DWORD dwMidi = 0;
            const std::unique_ptr<BYTE[]> pbyMidi = poCopy->ExportToSmf(oPart.m_bySe, byCv, NST_ALL_TRACKS, dwMidi);
            if (pbyMidi)
                rabyMidi.assign(pbyMidi.get(), pbyMidi.get() + dwMidi);
        }
        DWORD dwStyle = 0;
        const std::unique_ptr<BYTE[]> pbyStyle = poCopy->BuildBankData(false, dwStyle);
        if (!pbyStyle || dwStyle == 0)
            return false;
        CQdClipPart oClip;
        oClip.m_oPart = oPart;
        oClip.m_strStyleName = m_astrStyleNames[std::size_t(m_iSelectedStyle)];
        oClip.m_abyStyle.assign(pbyStyle.get(), pbyStyle.get() + dwStyle);
        rabyPayload = QdWriteClipPart(oClip);
        return true;
    });
}

// CQdBankDoc::PasteFromClip -- the source style is loaded aside with its
// reports recorded, not shown: damaged data are refused as a whole rather
// than pasted in part.
bool CQdBankDoc::PasteFromClip(const CQdTreeNode& rkoNode, const BYTE* pkbyPayload, std::size_t uLength)
{
    return QdGuardCommand(m_roPrompt, PASTE_PART, false, [&] {
        m_roPrompt.StopPlayback();
        if (!m_poEditIfc || m_iSelectedStyle < 0 || !IsPartNode(rkoNode))
            return false;
        CQdClipPart oClip;
        if (!QdReadClipPart(pkbyPayload, uLength, oClip))
        {
            m_roPrompt.Tell(PASTE_PART, "The clipboard holds no style element or chord variation - nothing pasted!");
            return false;
        }
        if (!CanPasteOn(rkoNode, oClip))
        {
            m_roPrompt.Tell(PASTE_PART, "The clipboard holds the " + PartText(oClip.m_oPart) +
                                            ": a chord variation goes over a chord variation, an element over an "
                                            "element - nothing pasted!");
            return false;
        }
        const CQdPart oTo = PartOfNode(rkoNode);
        if (m_roPrompt.Ask({PASTE_PART,
                            "Paste the " + PartText(oClip.m_oPart) + " of '" + oClip.m_strStyleName + "' over the " +
                                PartText(oTo) + "?",
                            "Paste", "", "Cancel"}) != QD_ANSWER_YES)
            return false;
        std::unique_ptr<CNstEditIfc> poSource;
        bool bDamaged = false;
        {
            const CQdReportRecorder oRecorder(false);
            poSource = std::make_unique<CNstEditIfc>(oClip.m_abyStyle.data(), DWORD(oClip.m_abyStyle.size()));
            bDamaged = oRecorder.HasReports();
        }
        if (bDamaged)
        {
            m_roPrompt.Tell(PASTE_PART, "The clipboard's style data are damaged - nothing pasted!");
            return false;
        }
        CQdCopyRequest oRequest;
        oRequest.m_oFrom = oClip.m_oPart;
        oRequest.m_oTo = oTo;
        oRequest.m_byTracks = oClip.m_byTracks;
        oRequest.m_strSourceName = oClip.m_strStyleName;
        CQdCopyReport oReport;
        if (!CopyPart(*poSource, oRequest, oReport))
            return false;
        // Pasted; what the write-back will leave out is told (one element
        // at most: a paste is an element or a chord variation).
        for (const std::string& rkstrLine : oReport.m_astrLeftOut)
            m_roPrompt.Tell(PASTE_PART, rkstrLine);
        return true;
    });
}

std::string CQdBankDoc::GetTrackVoiceText(const CQdTreeNode& rkoNode) const
{
    CNstTrackParam oParam;
    if (rkoNode.m_byKind != CQdTreeNode::KIND_TRACK || !GetTrackParams(rkoNode.m_bySe, rkoNode.m_byTrack, oParam))
        return std::string();
    return QdVoiceName(rkoNode.m_byTrack, oParam.m_byProgram) + " - program " +
           std::to_string(oParam.m_byProgram) + ", bank " + std::to_string(oParam.m_byBankMsb) + "/" +
           std::to_string(oParam.m_byBankLsb) + ", expression " + std::to_string(oParam.m_byExpression);
}

bool CQdBankDoc::ExportWholeBank()
{
    return QdGuardCommand(m_roPrompt, QdDocText::EXPORT_BANK, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsBankOpen())
            return false;
        CQdFileRequest oRequest;
        oRequest.m_strTitle = "Export Style Bank into Folder";
        oRequest.m_strInitialDir =
            m_strExportDir.empty() ? QdDocText::DirectoryOf(m_oFileFacts.m_strPath) : m_strExportDir;
        std::string strDir;
        if (!m_roPrompt.ChooseFolder(oRequest, strDir))
            return false;
        m_strExportDir = strDir;
        std::vector<CQdExportedStyle> aoStyles;
        if (!ExportBank(strDir, aoStyles))
            return false;
        m_roPrompt.Tell(QdDocText::EXPORT_BANK,
                        std::to_string(aoStyles.size()) + " styles exported into '" + strDir + "'.");
        return true;
    });
}

bool CQdBankDoc::RescueBank()
{
    return QdGuardCommand(m_roPrompt, QdDocText::RESCUE_STYLES, false, [&] {
        m_roPrompt.StopPlayback();
        std::string strBank;
        if (!m_roPrompt.ChooseOpenFile(QdDocText::BankFileRequest("Rescue Styles from Style Bank File", m_strOpenDir),
                                       strBank))
            return false;
        CQdFileRequest oRequest;
        oRequest.m_strTitle = QdDocText::RESCUE_FOLDER_TITLE;
        oRequest.m_strInitialDir = QdDocText::DirectoryOf(strBank);
        std::string strDir;
        if (!m_roPrompt.ChooseFolder(oRequest, strDir))
            return false;
        CQdBankRescue oRescue(m_roPrompt, m_roFileIo);
        CQdRescueReport oReport;
        oRescue.Run(strBank, strDir, oReport);
        if (oReport.m_bBank)
            m_roPrompt.ShowRescueReport(oReport);
        return true;
    });
}
