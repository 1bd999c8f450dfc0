// QdBankSave.cpp -- writing the open style back into the bank block, and
// saving the bank: compression of the style slots, the chunk-offset
// directory and the style-name table, the atomic write, decompression.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocText.h"

#include "Base/Report.h"
#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/NstEditIfc.h"

#include <cstring>

#define QD_REPORT_FILE "Qd50StyleToMidiMain"

namespace {

constexpr BYTE STYLE_SLOT_ID = 6;
constexpr BYTE STYLE_CONTAINER_ID = 1;
constexpr BYTE NAME_TABLE_ID = 5;
constexpr BYTE DIRECTORY_ID = 0xFE;
// Depth-1 chunks with ids up to this one are not listed in the directory.
constexpr BYTE LAST_UNLISTED_ID = 2;
// The directory's list starts behind four bytes that stay as they are.
constexpr DWORD DIRECTORY_LIST_OFFSET = 4;
constexpr DWORD DIRECTORY_ENTRY_SIZE = 4;
constexpr DWORD DIRECTORY_CAPACITY = CQdBankDoc::MAX_DIRECTORY_ENTRIES;
// Compression of saved slots.
constexpr BYTE SAVE_VERSION = 3;
constexpr BYTE SAVE_METHOD = 2;

} // namespace

// CQdBankDoc::WriteBackStyle -- replaces the selected style's container in
// its slot by the edit interface's bank data (stored form, markers made).
// Refused with the block unchanged when the slot is not one style container
// or the grown style would not fit the block's reserve.
EQdWriteBack CQdBankDoc::WriteBackStyle()
{
    if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0)
        return QD_WRITEBACK_NO_STYLE;
    CChunkNavComp& roNav = *m_poNav;
    EQdWriteBack eResult = QD_WRITEBACK_NO_SLOT;
    if (GotoStyleSlot(m_iSelectedStyle))
    {
        const CChunkPos oSlot = roNav.m_oPosition();
        const DWORD dwSlotLength = roNav.m_dwfnDataLength();
        // A slot holds exactly its style container; anything beside it
        // would be lost or shifted by the replacement.
        if (roNav.m_ofnEnter(CChunkId(STYLE_CONTAINER_ID), typeNotFinal, typeNotFinal) &&
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
                    roNav.m_ofnDelete();
                    if (roNav.m_ofnGoTo(oSlot) && roNav.m_ofnCopyInto(&oBuilt))
                        eResult = QD_WRITEBACK_DONE;
                    else
                    {
                        CChunkNav oOld(abyOld.data(), DWORD(abyOld.size()));
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
    }
    return eResult;
}

// CQdBankDoc::SaveBank -- Save Style Bank: leaving the open style (which
// asks and writes back), then the file choice and the save itself.
bool CQdBankDoc::SaveBank()
{
    m_roPrompt.StopPlayback();
    SelectStyle(-1);
    // A style that could not be written back is still open: no save.
    if (!IsBankOpen() || m_poEditIfc)
        return false;
    std::string strPath;
    if (!m_roPrompt.ChooseSaveFile(QdDocText::BankFileRequest("Save Style Bank File", m_strSaveDir, m_strBankFileName),
                                   strPath))
        return false;
    return SaveBankTo(strPath);
}

// CQdBankDoc::SaveBankTo -- writes the bank to the file. Between compression
// and decompression the used part of the block holds exactly the file's
// bytes. After a good write the list is fresh and nothing counts as
// modified; after a failed one the old file is untouched and the bank keeps
// its name and its written-back marks.
bool CQdBankDoc::SaveBankTo(const std::string& rkstrPath)
{
    if (!IsBankOpen())
        return false;
    m_roPrompt.BeginWait();
    if (m_poEditIfc)
    {
        if (m_bStyleModified)
        {
            const EQdWriteBack eResult = WriteBackStyle();
            if (eResult != QD_WRITEBACK_DONE)
            {
                m_roPrompt.Tell(QdDocText::SAVE_BANK, WriteBackMessage(eResult));
                m_roPrompt.EndWait();
                return false;
            }
        }
        m_bStyleModified = false;
        m_poEditIfc.reset();
    }

    CompressSlots();
    RefreshDirectory();
    RefreshNameTable();
    const bool bWritten = m_roFileIo.WriteAtomic(rkstrPath, m_pbyBlock.get(), m_poNav->m_dwfnUsedSize());
    if (bWritten)
    {
        m_strBankFileName = QdDocText::FileNameOf(rkstrPath);
        m_strSaveDir = QdDocText::DirectoryOf(rkstrPath);
    }
    else
    {
        m_roPrompt.Tell(QdDocText::SAVE_BANK, QdDocText::WRITE_ERROR);
    }
    DecompressSlots();

    const std::vector<bool> abWrittenBack = m_abWrittenBack;
    RebuildStyleList();
    if (!bWritten && abWrittenBack.size() == m_abWrittenBack.size())
        m_abWrittenBack = abWrittenBack;
    m_roPrompt.EndWait();
    return bWritten;
}

// CQdBankDoc::CompressSlots -- every style slot (version 3, method 2). A
// slot that does not compress is told and saved as it is; its flag tells a
// reader. A slot without data is saved as it is, too: the codec's stream of
// no bytes is shorter than any stream its reader takes, so the saved bank
// would not open again.
void CQdBankDoc::CompressSlots()
{
    m_poNav->m_ofnRewind();
    while (FindNextSlot())
    {
        if (m_poNav->m_pbyfnHeader()[0] != STYLE_SLOT_ID || m_poNav->m_dwfnDataLength() == 0)
            continue;
        if (!m_poNav->m_bfnCompress(SAVE_VERSION, SAVE_METHOD))
            m_roPrompt.Tell(QdDocText::SAVE_BANK, QdDocText::COMPRESSION_ERROR);
    }
    m_poNav->m_ofnRewind();
}

// CQdBankDoc::DecompressSlots -- the style slots of the slot table back to
// their working form. A slot that does not decompress stays compressed (it
// cannot be opened then); nothing is told, as the bank was just written.
void CQdBankDoc::DecompressSlots()
{
    m_poNav->m_ofnRewind();
    for (int iIndex = 0; iIndex < MAX_SLOTS && FindNextSlot(); ++iIndex)
    {
        if (m_poNav->m_pbyfnHeader()[0] == STYLE_SLOT_ID && m_poNav->m_bfnIsCompressed())
            (void)m_poNav->m_bfnDecompress(true);
    }
    m_poNav->m_ofnRewind();
}

// CQdBankDoc::RefreshDirectory -- the directory chunk (id 0xFE) lists, from
// its data offset 4, the file offsets of the depth-1 chunks with CNCF_ATTR
// and an id of 3 or more before it, big-endian. The list holds at most 100
// entries and what the chunk's data can take; entries beyond are reported
// and left out.
void CQdBankDoc::RefreshDirectory()
{
    std::vector<BYTE> abyList;
    DWORD dwEntries = 0;
    bool bFull = false;
    m_poNav->m_ofnRewind();
    while (m_poNav->m_ofnFind(CChunkId(), typeFinal, typeAny, 0, 1))
    {
        const BYTE byId = m_poNav->m_pbyfnHeader()[0];
        if (byId == DIRECTORY_ID)
        {
            const DWORD dwLength = m_poNav->m_dwfnDataLength();
            const DWORD dwRoom =
                dwLength > DIRECTORY_LIST_OFFSET ? (dwLength - DIRECTORY_LIST_OFFSET) / DIRECTORY_ENTRY_SIZE : 0;
            const DWORD dwWritten = QD_ASSERT(dwEntries <= dwRoom) ? dwEntries : dwRoom;
            if (dwWritten != 0)
                m_poNav->m_fnWriteData(abyList.data(), dwWritten * DIRECTORY_ENTRY_SIZE, DIRECTORY_LIST_OFFSET);
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
        QdWriteBE32(abyEntry, m_poNav->m_dwfnOffset());
        abyList.insert(abyList.end(), abyEntry, abyEntry + DIRECTORY_ENTRY_SIZE);
        ++dwEntries;
    }
    m_poNav->m_ofnRewind();
}

// CQdBankDoc::RefreshNameTable -- each present style's list name, at most 23
// characters and a terminating zero, at the start of its slot's 24-byte
// record; the rest of the record stays as it was. Records beyond the
// table's data are not written.
void CQdBankDoc::RefreshNameTable()
{
    m_poNav->m_ofnRewind();
    if (m_poNav->m_ofnFind(CChunkId(NAME_TABLE_ID), typeFinal, typeFinal, 0, 1))
    {
        const DWORD dwTableLength = m_poNav->m_dwfnDataLength();
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
            m_poNav->m_fnWriteData(abyName, DWORD(uLength + 1), dwRecord);
        }
    }
    m_poNav->m_ofnRewind();
}
