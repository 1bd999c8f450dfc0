// QdBankFacts.cpp -- the bank document's facts for scripts and info views:
// the bank's (file, sizes, slots, directory, name table), a style's tree
// with what it holds, and the export of every style of a bank.
//
// The style facts follow the element tree (BuildElementTree and
// GetTreeInfoText): the same present elements, chord variations and tracks,
// the same signature and measures; they are read from the model with the
// queries that create nothing, so asking changes no style.
#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdBankLayout.h"
#include "BankDoc/QdCommandGuard.h"
#include "BankDoc/QdDocText.h"
#include "BankDoc/QdStyleFiles.h"

#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <algorithm>
#include <filesystem>
#include <utility>

namespace {

constexpr DWORD FLAGS_OFFSET = 3;

// IsSlot -- a depth-1 container with CNCF_ATTR (CQdBankDoc::FindNextSlot).
bool IsSlot(const BYTE* pkbyHeader)
{
    const BYTE byFlags = pkbyHeader[FLAGS_OFFSET];
    return (byFlags & CNCF_ATTR) != 0 && (byFlags & CNCF_FINAL) == 0;
}

// IsListed -- a depth-1 chunk a save lists in the directory: CNCF_ATTR and
// an id above LAST_UNLISTED_ID (CQdBankDoc::DirectoryList).
bool IsListed(const BYTE* pkbyHeader)
{
    return (pkbyHeader[FLAGS_OFFSET] & CNCF_ATTR) != 0 && pkbyHeader[0] > LAST_UNLISTED_ID;
}

// DirectoryFacts -- the directory chunk at the navigator compared with the
// offsets a save would write there (rkadwListed, the listed chunks before it).
CQdDirectoryFacts DirectoryFacts(const CChunkNav& rkoNav, const std::vector<DWORD>& rkadwListed)
{
    CQdDirectoryFacts oFacts;
    oFacts.m_bPresent = true;
    const DWORD dwLength = rkoNav.m_dwfnDataLength();
    const DWORD dwRoom =
        dwLength > DIRECTORY_LIST_OFFSET ? (dwLength - DIRECTORY_LIST_OFFSET) / DIRECTORY_ENTRY_SIZE : 0;
    oFacts.m_iCapacity = int(std::min<DWORD>(dwRoom, CQdBankDoc::MAX_DIRECTORY_ENTRIES));
    oFacts.m_iEntries = std::min(int(rkadwListed.size()), oFacts.m_iCapacity);
    oFacts.m_bCurrent = true;
    const BYTE* pkbyList = rkoNav.m_pbyfnData() + DIRECTORY_LIST_OFFSET;
    for (int i = 0; i < oFacts.m_iEntries; ++i)
        oFacts.m_bCurrent = oFacts.m_bCurrent &&
                            QdReadBE32(pkbyList + std::size_t(i) * DIRECTORY_ENTRY_SIZE) == rkadwListed[std::size_t(i)];
    return oFacts;
}

// TrackFacts -- the track of the chord variation with its pattern's counts.
CQdTrackFacts TrackFacts(const CNstStyleElem& rkoElement, const CNstPattern& rkoPattern, BYTE byTrack)
{
    CQdTrackFacts oTrack;
    oTrack.m_byTrack = byTrack;
    oTrack.m_strName = CQdBankDoc::TrackName(byTrack);
    oTrack.m_byChannel = BYTE(NST_TRACK_CHANNELS[byTrack] + 1);
    oTrack.m_byMeasures = rkoPattern.GetMeasures();
    const CNstPatternCounts oCounts = NstCountPattern(rkoPattern);
    oTrack.m_dwNotes = oCounts.m_dwNotes;
    oTrack.m_dwEvents = oCounts.m_dwEvents;
    if (const CNstTrackParam* pkoParam = rkoElement.GetTrackParam(byTrack))
        oTrack.m_oParams = *pkoParam;
    return oTrack;
}

// ElementFacts -- the element, its present chord variations and their
// tracks that hold events (the element tree's rules: GetChordVarState
// present, GetPatternState holding events).
CQdElementFacts ElementFacts(const CNstEditIfc& rkoEditIfc, BYTE bySe)
{
    const CNstStyleElem& rkoElement = *rkoEditIfc.GetStyle().FindStyleElem(bySe);
    CQdElementFacts oElement;
    oElement.m_bySe = bySe;
    oElement.m_strName = CQdBankDoc::ElementName(bySe);
    const CNstTimeSig oShown = CNstTimeSig::FromPacked(rkoElement.GetPackedSignature());
    oElement.m_byNumerator = oShown.m_byNumerator;
    oElement.m_dwDenominator = oShown.GetDenominator();
    oElement.m_byMeasures = rkoElement.GetMeasures();
    for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
    {
        if (rkoEditIfc.GetChordVarState(bySe, byCv) == NST_STATE_ABSENT)
            continue;
        const CNstChordVar& rkoChordVar = *rkoElement.FindChordVar(byCv);
        CQdChordVarFacts oChordVar;
        oChordVar.m_byCv = byCv;
        const char* pszName = CQdBankDoc::StandardName(CQdBankDoc::StandardNameIndex(bySe, byCv));
        oChordVar.m_strStandardName = pszName ? pszName : "";
        oChordVar.m_byMeasures = rkoChordVar.GetMeasures();
        for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
            if (rkoEditIfc.GetPatternState(bySe, byCv, byTrack) == NST_STATE_EVENTS)
                oChordVar.m_aoTracks.push_back(TrackFacts(rkoElement, *rkoChordVar.FindPattern(byTrack), byTrack));
        oElement.m_aoChordVars.push_back(std::move(oChordVar));
    }
    return oElement;
}

} // namespace

// CQdBankDoc::ReadFileFacts -- one walk over the depth-1 chunks: the slots'
// stored sizes, and the offsets of the chunks a save lists, up to the
// directory chunk, which is then compared with them.
CQdBankDoc::CQdFileFacts CQdBankDoc::ReadFileFacts(CChunkNav& roNav, const std::string& rkstrPath,
                                                   std::uint64_t qwFileSize)
{
    CQdFileFacts oFacts;
    oFacts.m_strPath = rkstrPath;
    oFacts.m_qwFileSize = qwFileSize;
    std::vector<DWORD> adwListed;
    roNav.m_ofnRewind();
    for (CChunkId oId = roNav.m_ofnEnter(); oId; oId = roNav.m_ofnNext())
    {
        const BYTE* pkbyHeader = roNav.m_pbyfnHeader();
        if (oId.m_byId == DIRECTORY_ID && !oFacts.m_oDirectory.m_bPresent)
            oFacts.m_oDirectory = DirectoryFacts(roNav, adwListed);
        else if (IsListed(pkbyHeader))
            adwListed.push_back(roNav.m_dwfnOffset());
        if (IsSlot(pkbyHeader) && oFacts.m_adwSlotSizes.size() < std::size_t(MAX_SLOTS))
        {
            oFacts.m_adwSlotSizes.push_back(roNav.m_dwfnSize());
            oFacts.m_abSlotCompressed.push_back(roNav.m_bfnIsCompressed());
        }
    }
    roNav.m_ofnRewind();
    return oFacts;
}

// CQdBankDoc::SlotOfStyle -- the iStyle-th slot that holds a style.
int CQdBankDoc::SlotOfStyle(int iStyle) const
{
    int iSeen = 0;
    for (int iSlot = 0; iSlot < MAX_SLOTS; ++iSlot)
        if (m_abSlotHoldsStyle[std::size_t(iSlot)] && iSeen++ == iStyle)
            return iSlot;
    return -1;
}

// CQdBankDoc::GetBankFacts -- the slot table from the block's slots in
// order, each style slot with its position and list name.
bool CQdBankDoc::GetBankFacts(CQdBankFacts& roFacts)
{
    return QdGuardCommand(m_roPrompt, QdDocText::BANK_FACTS, false, [&] {
        if (!IsBankOpen())
            return false;
        CQdBankFacts oFacts;
        oFacts.m_strFile = m_oFileFacts.m_strPath;
        oFacts.m_qwFileSize = m_oFileFacts.m_qwFileSize;
        oFacts.m_dwUsedSize = GetUsedSize();
        oFacts.m_dwBlockSize = BANK_BLOCK_SIZE;
        oFacts.m_dwFreeRoom = BANK_BLOCK_SIZE - std::min(BANK_BLOCK_SIZE, oFacts.m_dwUsedSize);
        oFacts.m_iStyles = GetStyleCount();
        oFacts.m_oDirectory = m_oFileFacts.m_oDirectory;

        int iPosition = 0;
        m_poNav->m_ofnRewind();
        for (int iSlot = 0; iSlot < MAX_SLOTS && FindNextSlot(); ++iSlot)
        {
            CQdSlotFacts oSlot;
            oSlot.m_iSlot = iSlot + 1;
            oSlot.m_byId = m_poNav->m_pbyfnHeader()[0];
            oSlot.m_bStyle = m_abSlotHoldsStyle[std::size_t(iSlot)];
            if (oSlot.m_bStyle && iPosition < GetStyleCount())
            {
                oSlot.m_iPosition = ++iPosition;
                oSlot.m_strName = m_astrStyleNames[std::size_t(iPosition - 1)];
            }
            if (std::size_t(iSlot) < m_oFileFacts.m_adwSlotSizes.size())
            {
                oSlot.m_dwStoredSize = m_oFileFacts.m_adwSlotSizes[std::size_t(iSlot)];
                oSlot.m_bCompressed = m_oFileFacts.m_abSlotCompressed[std::size_t(iSlot)];
            }
            oSlot.m_dwSize = m_poNav->m_dwfnDataLength();
            oFacts.m_aoSlots.push_back(std::move(oSlot));
        }

        m_poNav->m_ofnRewind();
        if (m_poNav->m_ofnFind(CChunkId(NAME_TABLE_ID), typeFinal, typeFinal, 0, 1))
        {
            CQdNameTableFacts& roNames = oFacts.m_oNameTable;
            roNames.m_bPresent = true;
            roNames.m_dwSize = m_poNav->m_dwfnDataLength();
            roNames.m_iRecords = int(roNames.m_dwSize / NAME_RECORD_SIZE);
            for (const CQdSlotFacts& rkoSlot : oFacts.m_aoSlots)
                if (rkoSlot.m_bStyle && rkoSlot.m_iSlot > roNames.m_iRecords)
                    ++roNames.m_iStylesWithout;
        }
        m_poNav->m_ofnRewind();
        roFacts = std::move(oFacts);
        return true;
    });
}

// CQdBankDoc::StyleFactsOf -- position, slot, list name and size from the
// bank block; the tree from the edit interface.
void CQdBankDoc::StyleFactsOf(int iStyle, const CNstEditIfc* pkoEditIfc, const CQdStyleDamage& rkoDamage,
                              CQdStyleFacts& roFacts)
{
    roFacts.m_iPosition = iStyle + 1;
    roFacts.m_iSlot = SlotOfStyle(iStyle) + 1;
    roFacts.m_strName = m_astrStyleNames[std::size_t(iStyle)];
    if (GotoStyleSlot(iStyle))
        roFacts.m_dwSize = m_poNav->m_dwfnDataLength();
    m_poNav->m_ofnRewind();
    roFacts.m_bDamaged = rkoDamage.m_bAtOpen || rkoDamage.m_bOnLoad;
    roFacts.m_astrDamage = rkoDamage.m_astrTexts;
    roFacts.m_bLoaded = pkoEditIfc != nullptr;
    if (!pkoEditIfc)
        return;
    for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
        if (pkoEditIfc->GetStyleElemState(bySe) != NST_STATE_ABSENT)
            roFacts.m_aoElements.push_back(ElementFacts(*pkoEditIfc, bySe));
}

// CQdBankDoc::GetStyleFacts -- the open style as it is now, modified or not.
bool CQdBankDoc::GetStyleFacts(CQdStyleFacts& roFacts)
{
    return QdGuardCommand(m_roPrompt, QdDocText::BANK_FACTS, false, [&] {
        if (!IsBankOpen() || !m_poEditIfc || m_iSelectedStyle < 0 || m_iSelectedStyle >= GetStyleCount())
            return false;
        static const CQdStyleDamage s_oNone;
        const CQdStyleDamage& rkoDamage = std::size_t(m_iSelectedStyle) < m_aoStyleDamage.size()
                                              ? m_aoStyleDamage[std::size_t(m_iSelectedStyle)]
                                              : s_oNone;
        CQdStyleFacts oFacts;
        StyleFactsOf(m_iSelectedStyle, m_poEditIfc.get(), rkoDamage, oFacts);
        roFacts = std::move(oFacts);
        return true;
    });
}

// CQdBankDoc::ExportBank -- each style loaded aside (LoadSelection), as a
// selection loads it, so the document's selection and open style stay.
bool CQdBankDoc::ExportBank(const std::string& rkstrDir, std::vector<CQdExportedStyle>& raoStyles)
{
    raoStyles.clear();
    return QdGuardCommand(m_roPrompt, QdDocText::EXPORT_BANK, false, [&] {
        m_roPrompt.StopPlayback();
        if (!IsBankOpen())
            return false;
        const CQdWaitScope oWait(m_roPrompt);
        const int iCount = GetStyleCount();
        for (int i = 0; i < iCount; ++i)
        {
            m_roPrompt.Progress(i, iCount, m_astrStyleNames[std::size_t(i)]);
            CQdSelection oSelection = LoadSelection(i);
            CQdExportedStyle oStyle;
            StyleFactsOf(i, oSelection.m_poEditIfc.get(), oSelection.m_oDamage, oStyle.m_oFacts);
            bool bWritten = true;
            if (oSelection.m_poEditIfc)
            {
                const std::string strFolder =
                    (std::filesystem::path(rkstrDir) / QdStyleFolderName(i + 1, oStyle.m_oFacts.m_strName)).string();
                bWritten = QdWriteStyleFiles(*oSelection.m_poEditIfc, strFolder, m_roFileIo, oStyle.m_oFiles);
            }
            raoStyles.push_back(std::move(oStyle));
            if (!bWritten)
            {
                const std::string strCause = CQdFileIo::ErrorText(m_roFileIo.GetLastError());
                m_roPrompt.TellFile(QdDocText::EXPORT_BANK, QdDocText::SMF_WRITE_ERROR,
                                    raoStyles.back().m_oFiles.m_strFailedPath,
                                    strCause.empty() ? "the file cannot be written" : strCause);
                return false;
            }
        }
        m_roPrompt.Progress(iCount, iCount, std::string());
        return true;
    });
}
