// QdBankOpen.cpp -- opening a style bank: the file check, the bank block,
// the slot walk with decompression and the style list from the name table.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdBankLayout.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdReportRecorder.h"

#include "Base/Report.h"
#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/QdRecords.h"
#include "NlzdStyle/NstEditIfc.h"
#include "compression/COComp.h"

#include <algorithm>
#include <cstring>
#include <utility>

#define QD_REPORT_FILE "Qd50StyleToMidiMain"

namespace {

// Bytes of the file check: root header, header of the first child, and the
// "VLMF" mark with its zero byte inside that child's data.
constexpr DWORD CHECK_SIZE = 32;
const BYTE s_abyRootHeader[4] = {0x01, 0x00, 0x01, 0x14};
const BYTE s_abyFirstChild[4] = {0x02, 0x00, 0x00, 0x18};
const BYTE s_abyMark[5] = {'V', 'L', 'M', 'F', 0};

// IsBankHeader -- the three comparisons of the file check on the first
// CHECK_SIZE bytes of a file.
bool IsBankHeader(const BYTE* pkbyHead)
{
    return std::memcmp(pkbyHead, s_abyRootHeader, 4) == 0 && std::memcmp(pkbyHead + 8, s_abyFirstChild, 4) == 0 &&
           std::memcmp(pkbyHead + 23, s_abyMark, 5) == 0;
}

} // namespace

// CQdBankDoc::IsBankFileStart -- the file check for readers beside the open.
bool CQdBankDoc::IsBankFileStart(const BYTE* pkbyData, std::size_t uLength)
{
    return pkbyData != nullptr && uLength >= CHECK_SIZE && IsBankHeader(pkbyData);
}

// CQdBankDoc::OpenBank -- asks before unsaved changes are given up, lets the
// user choose the file and opens it. Cancelling leaves the open bank as it is.
bool CQdBankDoc::OpenBank() { return OpenBankAsking(std::string()); }

bool CQdBankDoc::OpenBankAsking(const std::string& rkstrPath)
{
    return QdGuardCommand(m_roPrompt, QdDocText::OPEN_BANK, false, [&] {
        m_roPrompt.StopPlayback();
        if (HasUnsavedChanges() &&
            m_roPrompt.Ask({QdDocText::SOME_STYLE_MODIFIED, QdDocText::IGNORE_CHANGES, "Yes", "", "No"}) !=
                QD_ANSWER_YES)
            return false;
        std::string strPath = rkstrPath;
        if (strPath.empty() &&
            !m_roPrompt.ChooseOpenFile(QdDocText::BankFileRequest("Open Style Bank File", m_strOpenDir), strPath))
            return false;
        if (OpenBankFile(strPath))
            return true;
        OfferRescue();
        return false;
    });
}

// CQdBankDoc::OpenBankFile -- gives up the open bank, then loads the file.
// No bank is open after a refused or corrupt file, nor after a load that
// ran out of memory: the half-loaded bank is dropped before the command
// fails.
bool CQdBankDoc::OpenBankFile(const std::string& rkstrPath)
{
    return QdGuardCommand(m_roPrompt, QdDocText::OPEN_BANK, false, [&] {
        m_roPrompt.StopPlayback();
        ReleaseBank();
        m_bRefusedAsCorrupt = false;
        m_strRefusedBank.clear();
        const CQdWaitScope oWait(m_roPrompt);
        bool bLoaded = false;
        try
        {
            m_strBankFileName = QdDocText::FileNameOf(rkstrPath);
            m_strOpenDir = QdDocText::DirectoryOf(rkstrPath);
            bLoaded = LoadBank(rkstrPath);
        }
        catch (...)
        {
            ReleaseBank();
            throw;
        }
        if (!bLoaded)
            ReleaseBank();
        if (m_bRefusedAsCorrupt)
            m_strRefusedBank = rkstrPath;
        return bLoaded;
    });
}

// CQdBankDoc::ReleaseBank -- drops the open style and the bank, unsaved
// changes included (the caller asked before). Frees and clears only, so it
// cannot fail.
void CQdBankDoc::ReleaseBank() noexcept
{
    m_poEditIfc.reset();
    m_bStyleModified = false;
    // The navigator points into the block: it goes first.
    m_poNav.reset();
    m_pbyBlock.reset();
    m_strBankFileName.clear();
    m_abSlotHoldsStyle.fill(false);
    m_iSlotStyleCount = 0;
    m_astrStyleNames.clear();
    m_abWrittenBack.clear();
    m_iSelectedStyle = -1;
    m_strSelectedStyleName.clear();
    m_strListInfo.clear();
    m_aoStyleDamage.clear();
    m_oLoadedStyles.Clear();
    m_bOpenStyleDamaged = false;
    m_oFileFacts = CQdFileFacts();
}

// CQdBankDoc::LoadBank -- file check, whole file into the bank block, slot
// walk, style list, damage scan. Every refusal is told to the user with the
// file and its cause: the system's reason for a file that cannot be read,
// else what is wrong with it, with the byte where the code knows it.
bool CQdBankDoc::LoadBank(const std::string& rkstrPath)
{
    const auto fnRefuse = [&](const char* pszText, const std::string& rkstrCause) {
        m_roPrompt.TellFile(QdDocText::OPEN_BANK, pszText, rkstrPath, rkstrCause);
        return false;
    };
    // The cause of a failed file access; none for a file access that was
    // replaced and keeps no cause.
    const auto fnAccessCause = [&] {
        const std::string strCause = CQdFileIo::ErrorText(m_roFileIo.GetLastError());
        return strCause.empty() ? std::string(QdDocText::CANNOT_BE_READ) : strCause;
    };

    m_roFileIo.ClearLastError();
    std::vector<BYTE> abyPrefix;
    if (!m_roFileIo.ReadPrefix(rkstrPath, CHECK_SIZE, abyPrefix))
        return fnRefuse(QdDocText::READ_ERROR, fnAccessCause());
    if (!IsBankFileStart(abyPrefix.data(), abyPrefix.size()))
        return fnRefuse(QdDocText::READ_ERROR, NoBankCause(abyPrefix.size()));

    // Nothing is read beyond the block: a larger file is refused before it
    // is read, and the read itself refuses a file that grew past the block.
    std::uint64_t qwFileSize = 0;
    if (!m_roFileIo.FileSize(rkstrPath, qwFileSize))
        return fnRefuse(QdDocText::READ_ERROR, fnAccessCause());
    if (qwFileSize > BANK_BLOCK_SIZE)
        return fnRefuse(QdDocText::TOO_LARGE, std::to_string(qwFileSize) + " bytes; a style bank holds at most " +
                                                  std::to_string(BANK_BLOCK_SIZE));
    // The whole file is checked again: it may have changed since its start was read.
    std::vector<BYTE> abyFile;
    if (!m_roFileIo.ReadAll(rkstrPath, BANK_BLOCK_SIZE, abyFile))
        return fnRefuse(QdDocText::READ_ERROR, fnAccessCause());
    if (!IsBankFileStart(abyFile.data(), abyFile.size()))
        return fnRefuse(QdDocText::READ_ERROR, CQdFileIo::ErrorText(CQdFileIo::FILE_ERROR_CHANGED));
    // The root's length is the file's word: a root that claims more than the
    // file holds would make the navigator walk stale block bytes.
    const std::uint64_t qwRootSize = std::uint64_t(QdReadBE32(abyFile.data() + 4)) + sizeof(CChunkHeader);
    const std::string strClaim = "its chunks claim " + std::to_string(qwRootSize) + " bytes";
    if (qwRootSize > abyFile.size())
    {
        m_bRefusedAsCorrupt = true;
        return fnRefuse(QdDocText::CORRUPT, strClaim + ", the file holds only " + std::to_string(abyFile.size()));
    }

    m_pbyBlock = std::make_unique<BYTE[]>(BANK_BLOCK_SIZE);
    std::memcpy(m_pbyBlock.get(), abyFile.data(), abyFile.size());
    m_poNav = std::make_unique<CChunkNavComp>(m_pbyBlock.get(), BANK_BLOCK_SIZE);
    if (m_poNav->m_sdwfnExtraLength() < 0)
    {
        m_bRefusedAsCorrupt = true;
        return fnRefuse(QdDocText::CORRUPT, strClaim + ", more than a style bank holds");
    }
    // The stored sizes and the directory are the file's: read before the
    // slots are decompressed.
    m_oFileFacts = ReadFileFacts(*m_poNav, rkstrPath, abyFile.size());
    DWORD dwBrokenSlot = 0;
    if (!WalkSlots(dwBrokenSlot))
    {
        m_bRefusedAsCorrupt = true;
        return fnRefuse(QdDocText::CORRUPT, "the style slot at byte " + std::to_string(dwBrokenSlot) +
                                                (SlotOutgrowsBlock() ? " needs more room decompressed than the "
                                                                       "bank block has"
                                                                     : " does not decompress"));
    }
    RebuildStyleList();
    ScanStyles();
    m_poNav->m_ofnRewind();
    return true;
}

// CQdBankDoc::SlotOutgrowsBlock -- the compressed slot the navigator is on
// claims more decompressed bytes than the block's reserve takes (the
// decompression refuses it before decoding; a full bank of compressed slots
// is no bank the instrument wrote).
bool CQdBankDoc::SlotOutgrowsBlock() const
{
    COComp oCodec;
    const DWORD dwDecoded = oCodec.ReadHeader(m_poNav->m_pbyfnData(), m_poNav->m_dwfnDataLength());
    return dwDecoded != 0 &&
           std::int64_t(dwDecoded) - std::int64_t(m_poNav->m_dwfnDataLength()) > m_poNav->m_sdwfnExtraLength();
}

// CQdBankDoc::NoBankCause -- why the first bytes of a file fail the file check.
std::string CQdBankDoc::NoBankCause(std::size_t uLength)
{
    if (uLength == 0)
        return "the file is empty";
    if (uLength < CHECK_SIZE)
        return std::to_string(uLength) + (uLength == 1 ? " byte" : " bytes") + ", too few for a style bank";
    return "it does not start as a Qd50 style bank";
}

// CQdBankDoc::FindNextSlot -- the next depth-1 container with CNCF_ATTR.
bool CQdBankDoc::FindNextSlot()
{
    return bool(m_poNav->m_ofnFind(CChunkId(), typeFinal, typeNotFinal, 0, 1));
}

// CQdBankDoc::WalkSlots -- fills the slot table and decompresses the style
// slots. The table has 64 entries: a further slot is reported and it and
// all after it count as absent (left as they are in the block). False when
// a slot does not decompress: the navigator stays on it, and rdwBrokenAt is
// its offset in the file (the slots decompressed before it have grown the
// tree in front of it). What a slot's decompression reports is the first
// damage of its style (m_aoStyleDamage, one entry per style slot).
bool CQdBankDoc::WalkSlots(DWORD& rdwBrokenAt)
{
    m_abSlotHoldsStyle.fill(false);
    m_iSlotStyleCount = 0;
    m_aoStyleDamage.clear();
    m_poNav->m_ofnRewind();
    const DWORD dwFileTree = m_poNav->m_dwfnUsedSize();
    for (int iIndex = 0; FindNextSlot(); ++iIndex)
    {
        if (!QD_CHECK_TEXT(iIndex < MAX_SLOTS, "iIndex < 64", 163))
            break;
        if (m_poNav->m_pbyfnHeader()[0] != STYLE_SLOT_ID)
            continue;
        CQdStyleDamage oDamage;
        if (m_poNav->m_bfnIsCompressed())
        {
            CQdReportRecorder oRecorder;
            if (!m_poNav->m_bfnDecompress(true))
            {
                rdwBrokenAt = m_poNav->m_dwfnOffset() - (m_poNav->m_dwfnUsedSize() - dwFileTree);
                return false;
            }
            oDamage.m_bAtOpen = oRecorder.HasReports();
            oDamage.m_astrTexts.swap(oRecorder.Texts());
            oDamage.m_uOpenTexts = oDamage.m_astrTexts.size();
        }
        m_aoStyleDamage.push_back(std::move(oDamage));
        m_abSlotHoldsStyle[std::size_t(iIndex)] = true;
        ++m_iSlotStyleCount;
    }
    m_poNav->m_ofnRewind();
    return true;
}

// CQdBankDoc::ScanStyles -- every listed style is loaded once aside, so that
// the style list marks the damaged ones before they are ever selected. What
// a load reports becomes the style's damage, as a selection would make it,
// but is not forwarded: the desktop shows each report as a message of its
// own, and a bank of damaged styles would open behind a pile of them
// (selecting such a style still shows its reports, as before). The edit
// interfaces of undamaged styles are kept for their first selection
// (m_oLoadedStyles), which then need not load them again; a damaged style
// loads afresh when selected, so that its reports are shown then.
void CQdBankDoc::ScanStyles()
{
    m_oLoadedStyles.Clear();
    const int iStyles = std::min(GetStyleCount(), int(m_aoStyleDamage.size()));
    for (int iStyle = 0; iStyle < iStyles; ++iStyle)
    {
        if (!GotoStyleSlot(iStyle) || !m_poNav->m_ofnEnter(CChunkId(QDI_ID_STYLE), typeNotFinal, typeNotFinal))
            continue;
        CQdStyleDamage& roDamage = m_aoStyleDamage[std::size_t(iStyle)];
        std::unique_ptr<CNstEditIfc> poEditIfc = LoadStyleContainer(false, roDamage);
        if (!roDamage.m_bAtOpen && !roDamage.m_bOnLoad)
            m_oLoadedStyles.Keep(std::size_t(iStyle), m_poNav->m_pbyfnHeader(), m_poNav->m_dwfnSize(),
                                 std::move(poEditIfc));
    }
    m_poNav->m_ofnRewind();
}

// CQdBankDoc::LoadStyleContainer -- a new edit interface built from the
// style container the navigator is in (on its own copy of it). What
// building it reports is recorded as the damage of this load, after the
// damage's texts of the open; with bForward the reports also reach the sink
// installed before.
std::unique_ptr<CNstEditIfc> CQdBankDoc::LoadStyleContainer(bool bForward, CQdStyleDamage& roDamage)
{
    CQdReportRecorder oRecorder(bForward);
    std::unique_ptr<CNstEditIfc> poEditIfc =
        std::make_unique<CNstEditIfc>(m_poNav->m_pbyfnHeader(), m_poNav->m_dwfnSize());
    roDamage.m_bOnLoad = oRecorder.HasReports();
    roDamage.m_astrTexts.insert(roDamage.m_astrTexts.end(), oRecorder.Texts().begin(), oRecorder.Texts().end());
    return poEditIfc;
}

// CQdBankDoc::GotoStyleSlot -- from the root, the slot of the iStyle-th
// present style (0-based).
bool CQdBankDoc::GotoStyleSlot(int iStyle)
{
    m_poNav->m_ofnRewind();
    for (int i = 0; i <= iStyle; ++i)
        if (!m_poNav->m_ofnFind(CChunkId(STYLE_SLOT_ID), typeFinal, typeNotFinal, 1, 1))
            return false;
    return true;
}

// CQdBankDoc::ReadStyleNames -- one name per present style from its
// 24-byte record of the name table of the navigator's bank, read in step
// with the slot table. A style whose record lies beyond the table's data
// gets an empty name (it stays selectable); a bank without a name table
// lists no styles. The navigator ends at the root.
std::vector<std::string> CQdBankDoc::ReadStyleNames(CChunkNav& roNav) const
{
    std::vector<std::string> astrNames;
    roNav.m_ofnRewind();
    if (roNav.m_ofnFind(CChunkId(NAME_TABLE_ID), typeFinal, typeFinal, 0, 1))
    {
        const BYTE* pbyTable = roNav.m_pbyfnData();
        const DWORD dwTableLength = roNav.m_dwfnDataLength();
        for (int iSlot = 0; iSlot < MAX_SLOTS && int(astrNames.size()) < m_iSlotStyleCount; ++iSlot)
        {
            if (!m_abSlotHoldsStyle[std::size_t(iSlot)])
                continue;
            const DWORD dwRecord = DWORD(iSlot) * NAME_RECORD_SIZE;
            std::string strName;
            if (dwRecord + NAME_RECORD_SIZE <= dwTableLength)
            {
                const char* pszRecord = reinterpret_cast<const char*>(pbyTable + dwRecord);
                strName.assign(pszRecord, strnlen(pszRecord, NAME_RECORD_SIZE));
            }
            astrNames.push_back(std::move(strName));
        }
    }
    roNav.m_ofnRewind();
    return astrNames;
}

// CQdBankDoc::RebuildStyleList -- the style list read afresh from the bank
// block; it starts without selection and without written-back marks.
void CQdBankDoc::RebuildStyleList()
{
    std::vector<std::string> astrNames;
    if (IsBankOpen())
        astrNames = ReadStyleNames(*m_poNav);
    std::vector<bool> abWrittenBack(astrNames.size(), false);
    TakeStyleList(astrNames, abWrittenBack);
}

// CQdBankDoc::TakeStyleList -- the list becomes the given names and marks
// (taken by swapping, so that this step cannot fail), with no style
// selected.
void CQdBankDoc::TakeStyleList(std::vector<std::string>& rastrNames, std::vector<bool>& rabWrittenBack) noexcept
{
    m_astrStyleNames.swap(rastrNames);
    m_abWrittenBack.swap(rabWrittenBack);
    m_iSelectedStyle = -1;
    m_strSelectedStyleName.clear();
    m_strListInfo.clear();
    m_bOpenStyleDamaged = false;
}
