// QdBankSave.cpp -- writing the open style back into the bank block, and
// saving the bank: the file image with its style slots compressed, the
// chunk-offset directory and the style-name table, the atomic write.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdBankLayout.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdParallel.h"

#include "Base/Report.h"
#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/QdRecords.h"
#include "NlzdStyle/NstEditIfc.h"

#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#define QD_REPORT_FILE "Qd50StyleToMidiMain"

namespace {

constexpr DWORD DIRECTORY_CAPACITY = CQdBankDoc::MAX_DIRECTORY_ENTRIES;
// Compression of saved slots.
constexpr BYTE SAVE_VERSION = 3;
constexpr BYTE SAVE_METHOD = 2;

} // namespace

// CQdBankDoc::WriteBackStyle -- the write-back on its own: a damaged style
// is asked about here.
EQdWriteBack CQdBankDoc::WriteBackStyle()
{
    if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
        return QD_WRITEBACK_NO_STYLE;
    bool bDamageConfirmed = false;
    if (QdRanOutOfMemory([&] { bDamageConfirmed = ConfirmDamagedWriteBack(); }))
        return QD_WRITEBACK_NO_MEMORY;
    return WriteBack(bDamageConfirmed);
}

// CQdBankDoc::ConfirmDamagedWriteBack -- a style that was damaged when
// loaded lost what could not be read; writing it back makes that loss the
// bank's, for good, so the user decides. Asked with the name the style was
// loaded under.
bool CQdBankDoc::ConfirmDamagedWriteBack()
{
    if (!m_poEditIfc || !m_bOpenStyleDamaged)
        return true;
    return m_roPrompt.Ask({QdDocText::DAMAGED_STYLE, QdDocText::DamagedWriteBack(m_strSelectedStyleName), "Yes", "",
                           "No"}) == QD_ANSWER_YES;
}

// CQdBankDoc::WriteBack -- the write-back as a step that either completes
// or leaves the block and the style as they were: running out of memory is
// one of its results, and so is a damaged style whose write-back was not
// confirmed (bDamageConfirmed, from ConfirmDamagedWriteBack). Building the
// bank data tidies the style (as a refused write-back leaves it); one that
// runs out of memory on the way gets the style back as it was.
EQdWriteBack CQdBankDoc::WriteBack(bool bDamageConfirmed)
{
    if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
        return QD_WRITEBACK_NO_STYLE;
    if (m_bOpenStyleDamaged && !bDamageConfirmed)
        return QD_WRITEBACK_DAMAGED;
    EQdWriteBack eResult = QD_WRITEBACK_NO_MEMORY;
    if (QdRanOutOfMemory([&] {
            CStyleBackup oBackup(*this);
            eResult = ReplaceStyleContainer();
            oBackup.Keep();
        }))
    {
        m_poNav->m_ofnRewind();
        return QD_WRITEBACK_NO_MEMORY;
    }
    return eResult;
}

// CQdBankDoc::ReplaceStyleContainer -- replaces the selected style's
// container in its slot by the edit interface's bank data (stored form,
// markers made). Refused with the block unchanged when the slot is not one
// style container or the grown style would not fit the block's reserve.
// Everything that allocates (the bank data, the old container kept aside
// and the navigators on both) is made before the block is touched; the
// replacement itself only moves bytes within the block's reserve.
EQdWriteBack CQdBankDoc::ReplaceStyleContainer()
{
    CChunkNavComp& roNav = *m_poNav;
    EQdWriteBack eResult = QD_WRITEBACK_NO_SLOT;
    if (GotoStyleSlot(m_iSelectedStyle))
    {
        const CChunkPos oSlot = roNav.m_oPosition();
        const DWORD dwSlotLength = roNav.m_dwfnDataLength();
        // A slot holds exactly its style container; anything beside it
        // would be lost or shifted by the replacement.
        if (roNav.m_ofnEnter(CChunkId(QDI_ID_STYLE), typeNotFinal, typeNotFinal) &&
            roNav.m_dwfnSize() == dwSlotLength)
        {
            DWORD dwBuilt = 0;
            const std::unique_ptr<BYTE[]> pbyBuilt = m_poEditIfc->BuildBankData(true, dwBuilt);
            eResult = QD_WRITEBACK_NO_DATA;
            if (pbyBuilt && dwBuilt != 0)
            {
                CChunkNav oBuilt(pbyBuilt.get(), dwBuilt);
                const std::int64_t lGrowth = std::int64_t(oBuilt.m_dwfnSize()) - roNav.m_dwfnSize();
                if (oBuilt.m_sdwfnExtraLength() < 0)
                    eResult = QD_WRITEBACK_NO_DATA;
                else if (lGrowth > roNav.m_sdwfnExtraLength())
                    eResult = QD_WRITEBACK_NO_ROOM;
                else
                {
                    // The old container is kept aside: should the copy be
                    // refused after all, it goes back into the empty slot.
                    std::vector<BYTE> abyOld(roNav.m_pbyfnHeader(), roNav.m_pbyfnHeader() + roNav.m_dwfnSize());
                    CChunkNav oOld(abyOld.data(), DWORD(abyOld.size()));
                    roNav.m_ofnDelete();
                    if (roNav.m_ofnGoTo(oSlot) && roNav.m_ofnCopyInto(&oBuilt))
                        eResult = QD_WRITEBACK_DONE;
                    else
                    {
                        if (roNav.m_ofnGoTo(oSlot))
                            roNav.m_ofnCopyInto(&oOld);
                        eResult = QD_WRITEBACK_NO_ROOM;
                    }
                }
            }
        }
    }
    roNav.m_ofnRewind();
    if (eResult == QD_WRITEBACK_DONE)
    {
        m_abWrittenBack[std::size_t(m_iSelectedStyle)] = true;
        m_bStyleModified = false;
        // The slot now holds what the edit interface holds: no longer damaged.
        if (std::size_t(m_iSelectedStyle) < m_aoStyleDamage.size())
            m_aoStyleDamage[std::size_t(m_iSelectedStyle)] = CQdStyleDamage();
        m_bOpenStyleDamaged = false;
    }
    return eResult;
}

// CQdBankDoc::SaveBank -- Save Style Bank: leaving the open style (which
// asks and writes back), then the file choice and the save itself.
bool CQdBankDoc::SaveBank() { return SaveBankAsking(std::string()); }

// The file given is checked before the question about the open style, so
// that a refusal changes nothing; a file chosen later is checked as soon as
// it is chosen.
bool CQdBankDoc::SaveBankAsking(const std::string& rkstrPath)
{
    return QdGuardCommand(m_roPrompt, QdDocText::SAVE_BANK, false, [&] {
        m_roPrompt.StopPlayback();
        std::string strPath = rkstrPath;
        if (IsBankOpen() && !strPath.empty() && m_roFileIo.IsReadOnlyFile(strPath))
        {
            if (!SaveElsewhere(strPath))
                return false;
            strPath.clear();
        }
        bool bDropChanges = false;
        if (IsOpenStyleModified())
        {
            const int iAnswer =
                m_roPrompt.Ask({QdDocText::STYLE_MODIFIED, QdDocText::CONFIRM_CHANGES, "Yes", "No", "Cancel"});
            if (iAnswer == QD_ANSWER_CANCEL)
                return false;
            bDropChanges = iAnswer != QD_ANSWER_YES;
        }
        SelectStyleAnswered(-1, bDropChanges);
        // A style that could not be written back is still open: no save.
        if (!IsBankOpen() || m_poEditIfc)
            return false;
        while (strPath.empty())
        {
            if (!m_roPrompt.ChooseSaveFile(
                    QdDocText::BankFileRequest("Save Style Bank File", m_strSaveDir, m_strBankFileName), strPath))
                return false;
            if (m_roFileIo.IsReadOnlyFile(strPath))
            {
                if (!SaveElsewhere(strPath))
                    return false;
                strPath.clear();
            }
        }
        return SaveBankTo(strPath);
    });
}

// CQdBankDoc::SaveElsewhere -- the message and the offer in one question,
// as the file's path and cause on a second line.
bool CQdBankDoc::SaveElsewhere(const std::string& rkstrPath)
{
    return m_roPrompt.Ask({QdDocText::SAVE_BANK,
                           std::string(QdDocText::READ_ONLY_BANK) + "\n" + rkstrPath + ": " +
                               QdDocText::READ_ONLY_CAUSE + "\n" + QdDocText::SAVE_ELSEWHERE,
                           QdDocText::SAVE_AS_BUTTON, "", "Cancel"}) == QD_ANSWER_YES;
}

// CQdBankDoc::SaveBankTo -- writes the bank to the file. The file is made
// in a copy of the bank block (its image), so the bank itself is never
// compressed: whatever fails before the file is in place, the bank is as it
// was and no file is written. After a good write the list is fresh and
// nothing counts as modified; after a failed one the old file is untouched
// and the bank keeps its name and its written-back marks. Either way the
// open style is closed and the block takes the image's directory and name
// table.
bool CQdBankDoc::SaveBankTo(const std::string& rkstrPath, bool bOverwriteReadOnly)
{
    return QdGuardCommand(m_roPrompt, QdDocText::SAVE_BANK, false, [&] {
        if (!IsBankOpen())
            return false;
        if (!bOverwriteReadOnly && m_roFileIo.IsReadOnlyFile(rkstrPath))
        {
            m_roPrompt.TellFile(QdDocText::SAVE_BANK, QdDocText::READ_ONLY_BANK, rkstrPath,
                                QdDocText::READ_ONLY_CAUSE);
            return false;
        }
        const bool bWriteBack = m_poEditIfc && m_bStyleModified;
        const bool bDamageConfirmed = !bWriteBack || ConfirmDamagedWriteBack();
        const CQdWaitScope oWait(m_roPrompt);
        if (bWriteBack)
        {
            const EQdWriteBack eResult = WriteBack(bDamageConfirmed);
            if (eResult != QD_WRITEBACK_DONE)
            {
                m_roPrompt.Tell(QdDocText::SAVE_BANK, WriteBackMessage(eResult));
                return false;
            }
        }

        std::unique_ptr<BYTE[]> pbyImage = std::make_unique_for_overwrite<BYTE[]>(BANK_BLOCK_SIZE);
        std::memcpy(pbyImage.get(), m_pbyBlock.get(), BANK_BLOCK_SIZE);
        CChunkNavComp oImage(pbyImage.get(), BANK_BLOCK_SIZE);
        CompressSlots(oImage);
        const std::vector<BYTE> abyDirectory = DirectoryList(oImage);
        WriteDirectory(oImage, abyDirectory);
        RefreshNameTable(oImage);
        // What the document shows afterwards is made before the file is written.
        std::vector<std::string> astrNames = ReadStyleNames(oImage);
        std::vector<bool> abWrittenBack(astrNames.size(), false);
        std::vector<bool> abKeptMarks = m_abWrittenBack;
        std::string strFileName = QdDocText::FileNameOf(rkstrPath);
        std::string strSaveDir = QdDocText::DirectoryOf(rkstrPath);
        CQdFileFacts oFileFacts = ReadFileFacts(oImage, rkstrPath, oImage.m_dwfnUsedSize());

        m_roFileIo.ClearLastError();
        const bool bWritten = m_roFileIo.WriteAtomic(rkstrPath, pbyImage.get(), oImage.m_dwfnUsedSize());
        if (!bWritten)
        {
            // A file access that was replaced may keep no cause.
            const std::string strCause = CQdFileIo::ErrorText(m_roFileIo.GetLastError());
            m_roPrompt.TellFile(QdDocText::SAVE_BANK, QdDocText::WRITE_ERROR, rkstrPath,
                                strCause.empty() ? "the file could not be written" : strCause);
        }

        // From here on nothing can fail: swaps, and the image's directory and
        // names written over the block's, which are of the same size.
        m_bStyleModified = false;
        m_poEditIfc.reset();
        WriteDirectory(*m_poNav, abyDirectory);
        RefreshNameTable(*m_poNav);
        if (bWritten)
        {
            m_strBankFileName.swap(strFileName);
            m_strSaveDir.swap(strSaveDir);
            std::swap(m_oFileFacts, oFileFacts);
        }
        else if (abKeptMarks.size() == abWrittenBack.size())
        {
            abWrittenBack.swap(abKeptMarks);
        }
        TakeStyleList(astrNames, abWrittenBack);
        return bWritten;
    });
}

// CQdBankDoc::CompressSlots -- every style slot of the navigator's bank
// (version 3, method 2). A slot that does not compress is told and saved as
// it is; its flag tells a reader. A slot without data is saved as it is,
// too: the codec's stream of no bytes is shorter than any stream its reader
// takes, so the saved bank would not open again.
//
// The slots are independent, so their streams are made aside at once
// (QdRunParallel) while the block stays as it is; then each takes its place,
// in the order of the slots, as if they had been compressed one by one. The
// bytes do not depend on which thread made which stream. Running out of
// memory while the streams are made leaves the block untouched.
void CQdBankDoc::CompressSlots(CChunkNavComp& roNav)
{
    // IsStyleSlotWithData -- the navigator stands on a slot to compress.
    const auto fnIsStyleSlotWithData = [&roNav] {
        return roNav.m_pbyfnHeader()[0] == STYLE_SLOT_ID && roNav.m_dwfnDataLength() != 0;
    };
    std::vector<CChunkStream> aoStreams;
    roNav.m_ofnRewind();
    while (roNav.m_ofnFind(CChunkId(), typeFinal, typeNotFinal, 0, 1))
        if (fnIsStyleSlotWithData())
            aoStreams.push_back(roNav.m_ofnStreamSource());
    QdRunParallel(aoStreams.size(),
                  [&aoStreams](std::size_t u) { aoStreams[u].m_fnEncode(SAVE_VERSION, SAVE_METHOD); });

    std::size_t uSlot = 0;
    roNav.m_ofnRewind();
    while (roNav.m_ofnFind(CChunkId(), typeFinal, typeNotFinal, 0, 1) && uSlot < aoStreams.size())
    {
        if (!fnIsStyleSlotWithData())
            continue;
        if (!roNav.m_bfnStoreStream(aoStreams[uSlot++]))
            m_roPrompt.Tell(QdDocText::SAVE_BANK, QdDocText::COMPRESSION_ERROR);
    }
    roNav.m_ofnRewind();
}

// CQdBankDoc::DirectoryList -- what the directory chunk (id 0xFE) lists,
// from its data offset 4: the file offsets of the depth-1 chunks with
// CNCF_ATTR and an id of 3 or more before it, big-endian, as the
// navigator's bank lies now. The list holds at most 100 entries and what
// the chunk's data can take; entries beyond are reported and left out.
// Empty without a directory chunk.
std::vector<BYTE> CQdBankDoc::DirectoryList(CChunkNav& roNav) const
{
    std::vector<BYTE> abyList;
    DWORD dwEntries = 0;
    bool bFull = false;
    bool bFound = false;
    roNav.m_ofnRewind();
    while (roNav.m_ofnFind(CChunkId(), typeFinal, typeAny, 0, 1))
    {
        const BYTE byId = roNav.m_pbyfnHeader()[0];
        if (byId == DIRECTORY_ID)
        {
            const DWORD dwLength = roNav.m_dwfnDataLength();
            const DWORD dwRoom =
                dwLength > DIRECTORY_LIST_OFFSET ? (dwLength - DIRECTORY_LIST_OFFSET) / DIRECTORY_ENTRY_SIZE : 0;
            const DWORD dwWritten = QD_ASSERT(dwEntries <= dwRoom) ? dwEntries : dwRoom;
            abyList.resize(dwWritten * DIRECTORY_ENTRY_SIZE);
            bFound = true;
            break;
        }
        if (byId <= LAST_UNLISTED_ID)
            continue;
        // Reported once; the walk goes on to reach the directory chunk.
        if (!bFull && !QD_ASSERT(dwEntries < DIRECTORY_CAPACITY))
            bFull = true;
        if (bFull)
            continue;
        BYTE abyEntry[DIRECTORY_ENTRY_SIZE];
        QdWriteBE32(abyEntry, roNav.m_dwfnOffset());
        abyList.insert(abyList.end(), abyEntry, abyEntry + DIRECTORY_ENTRY_SIZE);
        ++dwEntries;
    }
    roNav.m_ofnRewind();
    if (!bFound)
        abyList.clear();
    return abyList;
}

// CQdBankDoc::WriteDirectory -- the list (DirectoryList) into the first
// directory chunk of the navigator's bank; nothing for an empty list.
void CQdBankDoc::WriteDirectory(CChunkNav& roNav, const std::vector<BYTE>& rkabyList)
{
    if (rkabyList.empty())
        return;
    roNav.m_ofnRewind();
    while (roNav.m_ofnFind(CChunkId(), typeFinal, typeAny, 0, 1))
    {
        if (roNav.m_pbyfnHeader()[0] != DIRECTORY_ID)
            continue;
        roNav.m_fnWriteData(rkabyList.data(), DWORD(rkabyList.size()), DIRECTORY_LIST_OFFSET);
        break;
    }
    roNav.m_ofnRewind();
}

// CQdBankDoc::RefreshNameTable -- each present style's list name, at most 23
// characters and a terminating zero, at the start of its slot's 24-byte
// record of the navigator's bank; the rest of the record stays as it was.
// Records beyond the table's data are not written.
void CQdBankDoc::RefreshNameTable(CChunkNav& roNav) const
{
    roNav.m_ofnRewind();
    if (roNav.m_ofnFind(CChunkId(NAME_TABLE_ID), typeFinal, typeFinal, 0, 1))
    {
        const DWORD dwTableLength = roNav.m_dwfnDataLength();
        std::size_t uStyle = 0;
        for (int iSlot = 0; iSlot < MAX_SLOTS && uStyle < m_astrStyleNames.size(); ++iSlot)
        {
            if (!m_abSlotHoldsStyle[std::size_t(iSlot)])
                continue;
            const std::string& rkstrName = m_astrStyleNames[uStyle++];
            const DWORD dwRecord = DWORD(iSlot) * NAME_RECORD_SIZE;
            if (dwRecord + NAME_RECORD_SIZE > dwTableLength)
                continue;
            BYTE abyName[NAME_RECORD_SIZE] = {};
            const std::size_t uLength = strnlen(rkstrName.c_str(), NAME_RECORD_SIZE - 1);
            std::memcpy(abyName, rkstrName.data(), uLength);
            roNav.m_fnWriteData(abyName, DWORD(uLength + 1), dwRecord);
        }
    }
    roNav.m_ofnRewind();
}
