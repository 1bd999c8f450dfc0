// QdBankRescue.cpp -- the lenient reading of a damaged bank file and the
// export of what it still holds.
//
// Decisions:
// - The file is read as far as it goes, up to the bank block's size, into a
//   buffer of its own; nothing is ever written to it.
// - A root that claims more bytes than the file holds (a file cut short) is
//   made to claim the bytes present, in the buffer: the navigator then walks
//   the tree that exists and treats a chunk running past the data as the
//   end (ChunkNav.h), instead of refusing the whole tree. A root that claims
//   fewer bytes keeps its word; bytes behind it are not the bank's.
// - Each style slot is copied into a block of its own and decompressed
//   there, so that a slot that does not decompress, or one whose data would
//   not fit, costs only its own style, and the walk's offsets stay those of
//   the file.
// - Reports are recorded per style and not forwarded: the report carries
//   them, one line per style, instead of one message per report (which the
//   window would show as a dialog each).
// - The walk counts slots as the bank document does (64 at most; a slot is
//   a depth-1 container with CNCF_ATTR; a style slot has id 6), so NN is the
//   position the style list shows for the intact bank.
#include "BankDoc/QdBankRescue.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdBankLayout.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdReportRecorder.h"
#include "BankDoc/QdStyleFiles.h"

#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/QdRecords.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

constexpr DWORD HEADER_SIZE = sizeof(CChunkHeader);
constexpr DWORD FLAGS_OFFSET = 3;
constexpr DWORD LENGTH_OFFSET = 4;

// IsSlotFlags -- a depth-1 chunk with these flags is a slot.
bool IsSlotFlags(BYTE byFlags)
{
    return (byFlags & CNCF_ATTR) != 0 && (byFlags & CNCF_FINAL) == 0;
}

// Joined -- the texts separated by ", ".
std::string Joined(const std::vector<std::string>& rkastrTexts)
{
    std::string strJoined;
    for (const std::string& rkstrText : rkastrTexts)
        strJoined += (strJoined.empty() ? "" : ", ") + rkstrText;
    return strJoined;
}

} // namespace

// CQdBankRescue::CWalk -- one rescue: the file's bytes, the name table, the
// block a slot is decompressed in, and the report being filled.
class CQdBankRescue::CWalk
{
public:
    CWalk(CQdBankRescue& roRescue, const std::string& rkstrDir, CQdRescueReport& roReport)
        : m_roRescue(roRescue), m_rkstrDir(rkstrDir), m_roReport(roReport)
    {
    }

    bool ReadBank(const std::string& rkstrBank);
    // Walk -- every slot the bytes hold; false when a file could not be written.
    bool Walk();
    void Conclude();

private:
    void ReadNameTable(CChunkNav& roNav);
    std::string TableName(int iSlot) const;
    bool RescueSlot(CChunkNav& roNav, CQdRescuedStyle& roStyle);
    bool ExportStyle(CNstEditIfc& roEditIfc, CQdRescuedStyle& roStyle);
    void NoteCutSlot();

    CQdBankRescue& m_roRescue;
    const std::string& m_rkstrDir;
    CQdRescueReport& m_roReport;
    std::vector<BYTE> m_abyTree;
    std::vector<BYTE> m_abyNames;
    bool m_bNameTable = false;
    std::unique_ptr<BYTE[]> m_pbySlotBlock;
};

// CWalk::ReadBank -- the file's bytes (at most the bank block's size), its
// start checked as the bank document checks it, the root's claim kept in
// the report and cut down to the bytes present.
bool CQdBankRescue::CWalk::ReadBank(const std::string& rkstrBank)
{
    CQdFileIo& roFileIo = m_roRescue.m_roFileIo;
    roFileIo.ClearLastError();
    if (!roFileIo.ReadPrefix(rkstrBank, CQdBankDoc::BANK_BLOCK_SIZE, m_abyTree))
    {
        const std::string strCause = CQdFileIo::ErrorText(roFileIo.GetLastError());
        m_roRescue.m_roPrompt.TellFile(QdDocText::RESCUE_STYLES, QdDocText::READ_ERROR, rkstrBank,
                                       strCause.empty() ? QdDocText::CANNOT_BE_READ : strCause);
        return false;
    }
    if (!CQdBankDoc::IsBankFileStart(m_abyTree.data(), m_abyTree.size()))
    {
        m_roRescue.m_roPrompt.TellFile(QdDocText::RESCUE_STYLES, QdDocText::READ_ERROR, rkstrBank,
                                       CQdBankDoc::NoBankCause(m_abyTree.size()));
        return false;
    }
    m_roReport.m_bBank = true;
    m_roReport.m_dwFileSize = DWORD(m_abyTree.size());
    m_roReport.m_qwTreeSize = std::uint64_t(QdReadBE32(m_abyTree.data() + LENGTH_OFFSET)) + HEADER_SIZE;
    if (m_roReport.m_qwTreeSize > m_abyTree.size())
        QdWriteBE32(m_abyTree.data() + LENGTH_OFFSET, DWORD(m_abyTree.size()) - HEADER_SIZE);
    return true;
}

// CWalk::ReadNameTable -- a copy of the name table's data, when its chunk
// lies whole among the bytes present.
void CQdBankRescue::CWalk::ReadNameTable(CChunkNav& roNav)
{
    roNav.m_ofnRewind();
    if (roNav.m_ofnFind(CChunkId(NAME_TABLE_ID), typeFinal, typeFinal, 0, 1))
    {
        m_abyNames.assign(roNav.m_pbyfnData(), roNav.m_pbyfnData() + roNav.m_dwfnDataLength());
        m_bNameTable = true;
    }
    roNav.m_ofnRewind();
}

// CWalk::TableName -- the slot's record of the name table (the bank
// document's reading); empty without one.
std::string CQdBankRescue::CWalk::TableName(int iSlot) const
{
    const std::size_t uRecord = std::size_t(iSlot) * CQdBankDoc::NAME_RECORD_SIZE;
    if (!m_bNameTable || uRecord + CQdBankDoc::NAME_RECORD_SIZE > m_abyNames.size())
        return std::string();
    const char* pszRecord = reinterpret_cast<const char*>(m_abyNames.data() + uRecord);
    return std::string(pszRecord, strnlen(pszRecord, CQdBankDoc::NAME_RECORD_SIZE));
}

// CWalk::Walk -- the depth-1 chunks in file order, as far as the bytes go.
// The walk ends at the first chunk that does not fit the data; where it
// ended says what was lost.
bool CQdBankRescue::CWalk::Walk()
{
    CChunkNav oNav(m_abyTree.data(), DWORD(m_abyTree.size()));
    ReadNameTable(oNav);
    m_roReport.m_dwWalkEnd = std::min<DWORD>(HEADER_SIZE, DWORD(m_abyTree.size()));
    int iPosition = 0;
    for (CChunkId oId = oNav.m_ofnEnter(); oId; oId = oNav.m_ofnNext())
    {
        m_roReport.m_dwWalkEnd = oNav.m_dwfnOffset() + oNav.m_dwfnSize();
        if (!IsSlotFlags(oNav.m_pbyfnHeader()[FLAGS_OFFSET]) || m_roReport.m_iSlots >= CQdBankDoc::MAX_SLOTS)
            continue;
        const int iSlot = m_roReport.m_iSlots++;
        if (oId.m_byId != STYLE_SLOT_ID)
            continue;
        CQdRescuedStyle oStyle;
        oStyle.m_iPosition = ++iPosition;
        oStyle.m_iSlot = iSlot;
        oStyle.m_strName = TableName(iSlot);
        m_roRescue.m_roPrompt.Progress(iSlot, CQdBankDoc::MAX_SLOTS, oStyle.m_strName);
        const bool bWritten = RescueSlot(oNav, oStyle);
        m_roReport.m_aoStyles.push_back(std::move(oStyle));
        if (!bWritten)
            return false;
    }
    m_roRescue.m_roPrompt.Progress(CQdBankDoc::MAX_SLOTS, CQdBankDoc::MAX_SLOTS, std::string());
    NoteCutSlot();
    return true;
}

// CWalk::NoteCutSlot -- the walk ended before the tree's claimed end: the
// chunk there runs past the bytes present (or its header is cut). When it
// is a style slot among the 64, its style is reported unreadable; any slot
// after it is lost with it.
void CQdBankRescue::CWalk::NoteCutSlot()
{
    const DWORD dwAt = m_roReport.m_dwWalkEnd;
    if (dwAt >= m_roReport.m_qwTreeSize)
        return;
    m_roReport.m_bSlotsLost = m_roReport.m_iSlots < CQdBankDoc::MAX_SLOTS;
    if (!m_roReport.m_bSlotsLost || std::size_t(dwAt) + HEADER_SIZE > m_abyTree.size())
        return;
    const BYTE* pbyHeader = m_abyTree.data() + dwAt;
    if (pbyHeader[0] != STYLE_SLOT_ID || !IsSlotFlags(pbyHeader[FLAGS_OFFSET]))
        return;
    CQdRescuedStyle oStyle;
    oStyle.m_iSlot = m_roReport.m_iSlots;
    oStyle.m_iPosition = m_roReport.m_aoStyles.empty() ? 1 : m_roReport.m_aoStyles.back().m_iPosition + 1;
    oStyle.m_strName = TableName(oStyle.m_iSlot);
    const std::uint64_t qwSlotSize = std::uint64_t(QdReadBE32(pbyHeader + LENGTH_OFFSET)) + HEADER_SIZE;
    oStyle.m_strUnreadable = "the slot is cut off: " + std::to_string(m_abyTree.size() - dwAt) + " of its " +
                             std::to_string(qwSlotSize) + " bytes are in the file";
    m_roReport.m_aoStyles.push_back(std::move(oStyle));
}

// CWalk::RescueSlot -- the slot at the navigator, copied into a block of
// its own, decompressed there, its style loaded and exported. False only
// when a file could not be written.
bool CQdBankRescue::CWalk::RescueSlot(CChunkNav& roNav, CQdRescuedStyle& roStyle)
{
    if (!m_pbySlotBlock)
        m_pbySlotBlock = std::make_unique_for_overwrite<BYTE[]>(CQdBankDoc::BANK_BLOCK_SIZE);
    // The navigator's chunk lies whole inside the bytes present and is never
    // larger than they are, so it fits the block.
    std::memcpy(m_pbySlotBlock.get(), roNav.m_pbyfnHeader(), roNav.m_dwfnSize());
    CChunkNavComp oSlot(m_pbySlotBlock.get(), CQdBankDoc::BANK_BLOCK_SIZE);

    CQdReportRecorder oRecorder(false);
    bool bWritten = true;
    if (!oSlot.m_bfnDecompress(true))
        roStyle.m_strUnreadable = "the slot does not decompress";
    else if (!oSlot.m_ofnEnter(CChunkId(QDI_ID_STYLE), typeNotFinal, typeNotFinal))
        roStyle.m_strUnreadable = "the slot holds no style";
    else
    {
        CNstEditIfc oEditIfc(oSlot.m_pbyfnHeader(), oSlot.m_dwfnSize());
        if (roStyle.m_strName.empty())
        {
            char szName[NST_NAME_SIZE] = {};
            oEditIfc.GetName(szName, NST_NAME_SIZE - 1);
            roStyle.m_strName = szName;
        }
        bWritten = ExportStyle(oEditIfc, roStyle);
    }
    roStyle.m_astrReports.swap(oRecorder.Texts());
    if (roStyle.m_strUnreadable.empty())
        roStyle.m_eState = oRecorder.HasReports() || !roStyle.m_astrNotExported.empty() ? QD_RESCUE_DAMAGED
                                                                                      : QD_RESCUE_COMPLETE;
    return bWritten;
}

// CWalk::ExportStyle -- the style's files (QdWriteStyleFiles), so a
// complete style gives the files an export of the intact bank gives. False
// when a file could not be written (told).
bool CQdBankRescue::CWalk::ExportStyle(CNstEditIfc& roEditIfc, CQdRescuedStyle& roStyle)
{
    const std::string strFolder =
        (std::filesystem::path(m_rkstrDir) / QdStyleFolderName(roStyle.m_iPosition, roStyle.m_strName)).string();
    CQdStyleFiles oFiles;
    const bool bWritten = QdWriteStyleFiles(roEditIfc, strFolder, m_roRescue.m_roFileIo, oFiles);
    roStyle.m_strFolder.swap(oFiles.m_strFolder);
    roStyle.m_astrExported.swap(oFiles.m_astrExported);
    roStyle.m_astrNotExported.swap(oFiles.m_astrNotExported);
    if (!bWritten)
    {
        const std::string strCause = CQdFileIo::ErrorText(m_roRescue.m_roFileIo.GetLastError());
        m_roRescue.m_roPrompt.TellFile(QdDocText::RESCUE_STYLES, QdDocText::SMF_WRITE_ERROR, oFiles.m_strFailedPath,
                                       strCause.empty() ? "the file could not be written" : strCause);
    }
    return bWritten;
}

// CWalk::Conclude -- the result: everything complete and nothing of the
// slots lost, or something came out, or nothing did.
void CQdBankRescue::CWalk::Conclude()
{
    bool bLost = m_roReport.m_bSlotsLost;
    bool bAnyExported = false;
    for (const CQdRescuedStyle& rkoStyle : m_roReport.m_aoStyles)
    {
        bLost = bLost || rkoStyle.m_eState != QD_RESCUE_COMPLETE;
        bAnyExported = bAnyExported || !rkoStyle.m_astrExported.empty();
    }
    if (!bLost)
        m_roReport.m_eResult = QD_RESCUE_ALL;
    else
        m_roReport.m_eResult = bAnyExported ? QD_RESCUE_SOME_LOST : QD_RESCUE_NOTHING;
}

// CQdBankRescue::CQdBankRescue -- messages and progress go to the prompt.
CQdBankRescue::CQdBankRescue(CQdDocPrompt& roPrompt, CQdFileIo& roFileIo) : m_roPrompt(roPrompt), m_roFileIo(roFileIo)
{
}

// CQdBankRescue::Run -- read, walk, conclude. Running out of memory ends
// the rescue as failed (told); the files written until then stay.
EQdRescueResult CQdBankRescue::Run(const std::string& rkstrBank, const std::string& rkstrDir,
                                   CQdRescueReport& roReport)
{
    roReport = CQdRescueReport();
    roReport.m_eResult = QdGuardCommand(m_roPrompt, QdDocText::RESCUE_STYLES, QD_RESCUE_FAILED, [&] {
        m_roPrompt.StopPlayback();
        const CQdWaitScope oWait(m_roPrompt);
        CWalk oWalk(*this, rkstrDir, roReport);
        if (!oWalk.ReadBank(rkstrBank))
            return QD_RESCUE_NOTHING;
        if (!oWalk.Walk())
            return QD_RESCUE_FAILED;
        oWalk.Conclude();
        return roReport.m_eResult;
    });
    return roReport.m_eResult;
}

// CQdBankRescue::FolderName -- the shared layout's name (QdStyleFiles.h).
std::string CQdBankRescue::FolderName(int iPosition, const std::string& rkstrName)
{
    return QdStyleFolderName(iPosition, rkstrName);
}

// CQdBankRescue::DescribeStyle -- what came out and what was lost.
std::string CQdBankRescue::DescribeStyle(const CQdRescuedStyle& rkoStyle)
{
    if (rkoStyle.m_eState == QD_RESCUE_UNREADABLE)
    {
        std::string strText = "unreadable: " + rkoStyle.m_strUnreadable;
        if (!rkoStyle.m_astrReports.empty())
            strText += "; reports: " + QdReportSummary(rkoStyle.m_astrReports);
        return strText;
    }
    const std::size_t uExported = rkoStyle.m_astrExported.size();
    std::string strText = rkoStyle.m_eState == QD_RESCUE_COMPLETE ? "complete: " : "damaged: ";
    strText += std::to_string(uExported) + (uExported == 1 ? " chord variation" : " chord variations");
    if (!rkoStyle.m_strFolder.empty())
        strText += " in " + rkoStyle.m_strFolder;
    if (!rkoStyle.m_astrNotExported.empty())
        strText += "; not exported: " + Joined(rkoStyle.m_astrNotExported);
    if (!rkoStyle.m_astrReports.empty())
        strText += "; reports: " + QdReportSummary(rkoStyle.m_astrReports);
    return strText;
}

// CQdBankRescue::DescribeBank -- where the bytes ended, and whether slots
// were lost with them.
std::string CQdBankRescue::DescribeBank(const CQdRescueReport& rkoReport)
{
    if (!rkoReport.m_bBank || rkoReport.m_dwWalkEnd >= rkoReport.m_qwTreeSize)
        return std::string();
    std::string strText = "the bank's chunks end at byte " + std::to_string(rkoReport.m_dwWalkEnd) + " of " +
                          std::to_string(rkoReport.m_qwTreeSize);
    if (rkoReport.m_dwFileSize < rkoReport.m_qwTreeSize)
        strText += " (the file holds " + std::to_string(rkoReport.m_dwFileSize) + " bytes)";
    if (rkoReport.m_bSlotsLost && rkoReport.m_iSlots == 0)
        strText += "; every slot is lost";
    else if (rkoReport.m_bSlotsLost)
        strText += "; the slots after slot " + std::to_string(rkoReport.m_iSlots) + " are lost";
    return strText;
}

// CQdBankRescue::DescribeCounts -- how many styles came out how.
std::string CQdBankRescue::DescribeCounts(const CQdRescueReport& rkoReport)
{
    int aiCount[QD_RESCUE_UNREADABLE + 1] = {};
    for (const CQdRescuedStyle& rkoStyle : rkoReport.m_aoStyles)
        ++aiCount[rkoStyle.m_eState];
    const std::size_t uStyles = rkoReport.m_aoStyles.size();
    return std::to_string(uStyles) + (uStyles == 1 ? " style: " : " styles: ") +
           std::to_string(aiCount[QD_RESCUE_COMPLETE]) + " complete, " + std::to_string(aiCount[QD_RESCUE_DAMAGED]) +
           " damaged, " + std::to_string(aiCount[QD_RESCUE_UNREADABLE]) + " unreadable";
}
