// NstEditIfc.cpp -- the style edit interface: loading a style from its chunk
// data, the main window's queries and changes, the Standard MIDI File
// export and import of a chord variation, and building the bank data.
// The chord variation's own conversions are in ChordVarIo.cpp.
#define QD_REPORT_FILE "NlzdStyle/NstEditIfc"

#include "NlzdStyle/NstEditIfc.h"

#include "Base/Report.h"
#include "ChunkNav/ChunkNav.h"
#include "MakeMarker/MakeMark.h"
#include "MidiInOut/MidiInOut.h"
#include "NlzdStyle/NstQdIfc.h"

#include <cstring>

namespace {

// Room behind a loaded style's subtree: the load preparation rewrites
// corrected lengths in place.
constexpr DWORD NST_LOAD_SPARE = 1024;

int StateOf(bool bPresent, bool bEmpty)
{
    if (!bPresent)
        return NST_STATE_ABSENT;
    return bEmpty ? NST_STATE_EMPTY : NST_STATE_EVENTS;
}

} // namespace

// CNstEditIfc::CNstEditIfc -- the chunk data are copied into a block of
// their own with some spare room, so that the load preparation may correct
// lengths without touching the caller's bank block.
CNstEditIfc::CNstEditIfc(const BYTE* pkbyChunkData, DWORD dwLength) : m_sdwTempo(NST_DEFAULT_TEMPO)
{
    if (!pkbyChunkData || dwLength == 0 || dwLength > 0xFFFFFFFF - NST_LOAD_SPARE)
    {
        m_poStyle = std::make_unique<CNstQdIfc>();
        return;
    }

    const DWORD dwCapacity = dwLength + NST_LOAD_SPARE;
    auto pbyBlock = std::make_unique<BYTE[]>(dwCapacity);
    std::memcpy(pbyBlock.get(), pkbyChunkData, dwLength);
    CChunkNav oChunkNav(pbyBlock.get(), dwCapacity);

    CPatternTable oTable;
    const DWORD dwFlatSize = MakeMarkPrepareStyle(oChunkNav, oTable);
    if (dwFlatSize == 0)
        m_poStyle = std::make_unique<CNstQdIfc>(&oChunkNav);
    else
    {
        auto pbyFlat = std::make_unique<BYTE[]>(dwFlatSize);
        std::unique_ptr<CChunkNav> poFlatNav = MakeMarkFlattenStyle(oTable, oChunkNav, pbyFlat.get(), dwFlatSize);
        // A flat copy that could not be made has been reported; the reader
        // then takes what it safely can of the stored form itself.
        m_poStyle = std::make_unique<CNstQdIfc>(poFlatNav ? poFlatNav.get() : &oChunkNav);
    }
    oTable.Release();
}

CNstEditIfc::~CNstEditIfc() = default;

std::unique_ptr<CNstEditIfc> CNstEditIfc::Clone() const
{
    auto poCopy = std::make_unique<CNstEditIfc>(nullptr, 0);
    poCopy->m_sdwTempo = m_sdwTempo;
    poCopy->m_poStyle->CopyFrom(*m_poStyle, NST_NR_STE, NST_NR_CV, NST_NR_TRK, 0, 0, 0);
    return poCopy;
}

int CNstEditIfc::GetStyleElemState(BYTE bySeNr) const
{
    const bool bPresent = m_poStyle->HasStyleElem(bySeNr);
    return StateOf(bPresent, bPresent && m_poStyle->FindStyleElem(bySeNr)->IsEmpty());
}

int CNstEditIfc::GetChordVarState(BYTE bySeNr, BYTE byCvNr) const
{
    const bool bPresent = m_poStyle->HasChordVar(bySeNr, byCvNr);
    return StateOf(bPresent, bPresent && m_poStyle->FindStyleElem(bySeNr)->FindChordVar(byCvNr)->IsEmpty());
}

int CNstEditIfc::GetPatternState(BYTE bySeNr, BYTE byCvNr, BYTE byPNr) const
{
    if (!m_poStyle->HasChordVar(bySeNr, byCvNr))
        return NST_STATE_ABSENT;
    const CNstChordVar* pkoChordVar = m_poStyle->FindStyleElem(bySeNr)->FindChordVar(byCvNr);
    const bool bInUse = pkoChordVar->IsPatternInUse(byPNr);
    return StateOf(bInUse, bInUse && pkoChordVar->FindPattern(byPNr)->IsEmpty());
}

BYTE CNstEditIfc::GetPackedSignature(BYTE bySeNr)
{
    const CNstStyleElem* pkoStyleElem = m_poStyle->GetStyleElem(bySeNr);
    return pkoStyleElem ? pkoStyleElem->GetPackedSignature() : 0;
}

BYTE CNstEditIfc::GetMeasures(BYTE bySeNr, BYTE byCvNr)
{
    CNstStyleElem* poStyleElem = m_poStyle->GetStyleElem(bySeNr);
    const CNstChordVar* pkoChordVar = poStyleElem ? poStyleElem->GetChordVar(byCvNr) : nullptr;
    return pkoChordVar ? pkoChordVar->GetMeasures() : 0;
}

BYTE CNstEditIfc::GetPatternAttribute(BYTE bySeNr, BYTE byCvNr, BYTE byPNr)
{
    CNstStyleElem* poStyleElem = m_poStyle->GetStyleElem(bySeNr);
    CNstChordVar* poChordVar = poStyleElem ? poStyleElem->GetChordVar(byCvNr) : nullptr;
    const CNstPattern* pkoPattern = poChordVar ? poChordVar->GetPattern(byPNr) : nullptr;
    return pkoPattern ? pkoPattern->GetAttribute1() : 0;
}

void CNstEditIfc::GetName(char* pszBuffer, int iMaxLength) const
{
    m_poStyle->GetName(pszBuffer, iMaxLength);
}

void CNstEditIfc::SetName(const char* pszName)
{
    m_poStyle->SetName(pszName);
}

void CNstEditIfc::DeleteStyleElem(BYTE bySeNr)
{
    m_poStyle->DeleteStyleElem(bySeNr);
}

// CNstEditIfc::DeleteChordVar -- an absent element is not created for it.
void CNstEditIfc::DeleteChordVar(BYTE bySeNr, BYTE byCvNr)
{
    if (m_poStyle->HasChordVar(bySeNr, byCvNr))
        m_poStyle->GetStyleElem(bySeNr)->DeleteChordVar(byCvNr);
}

// CNstEditIfc::ExportToSmf -- the MIDI file writer opens its format-0
// encoder (and writes the file header) when it is made; the export closes it.
std::unique_ptr<BYTE[]> CNstEditIfc::ExportToSmf(BYTE bySeNr, BYTE byCvNr, BYTE byPNr, DWORD& rdwSize)
{
    rdwSize = 0;
    CMidiOut oMidiOut;
    if (!oMidiOut.IsOpen())
        return nullptr;
    if (!ExportChordVar(oMidiOut, byPNr >= NST_NR_TRK, bySeNr, byCvNr, byPNr, NST_TRACK_CHANNELS, m_sdwTempo))
        return nullptr;
    return oMidiOut.TakeOutput(rdwSize);
}

// CNstEditIfc::ImportFromSmf -- the indices are checked before the file is
// looked at, so that a refused import leaves the style as it was.
bool CNstEditIfc::ImportFromSmf(const BYTE* pkbyFile, DWORD dwSize, BYTE bySeNr, BYTE byCvNr, BYTE byPNr,
                                bool bFromAnyTrack)
{
    if (!QD_ASSERT(bySeNr < NST_NR_STE) || !QD_ASSERT(byCvNr < NST_NR_CV) || !pkbyFile)
        return false;
    CMidiIn oMidiIn(pkbyFile, dwSize);
    if (!oMidiIn.Open() || !oMidiIn.GetDecoder())
        return false;
    CNstImportOptions oOptions;
    oOptions.m_byPNr = byPNr;
    oOptions.m_bWithMeta = byPNr >= NST_NR_TRK;
    oOptions.m_bFromAnyTrack = bFromAnyTrack;
    const SDWORD sdwTempo = ImportChordVar(*oMidiIn.GetDecoder(), bySeNr, byCvNr, oOptions);
    if (sdwTempo > 0)
        m_sdwTempo = sdwTempo;
    return true;
}

// CNstEditIfc::BuildBankData -- the style container is handed out in a
// block of exactly its size; the writer's buffer, with the reserve the save
// steps edited in, goes with the writer's result. The preparation is run for
// its length corrections and warnings only.
std::unique_ptr<BYTE[]> CNstEditIfc::BuildBankData(bool bMakeMarkers, DWORD& rdwSize)
{
    rdwSize = 0;
    std::unique_ptr<CNstBankData> poBankData = CNstQdIfc::WriteStyle(*m_poStyle);
    if (!poBankData || !poBankData->GetNav())
        return nullptr;
    CChunkNav& roChunkNav = *poBankData->GetNav();
    {
        CPatternTable oTable;
        MakeMarkPrepareStyle(roChunkNav, oTable);
    }
    const DWORD dwReplaced = MakeMarkConsistencyCheck(roChunkNav) & 0xFFFF;
    if (dwReplaced != 0)
        QdReport("Warning! Consistence Check Errors %ld", long(dwReplaced));
    if (bMakeMarkers)
    {
        MakeMarkMergePatterns(roChunkNav);
        MakeMarkMakeMarkers(roChunkNav, MA_SUBPATTERN_TARGET);
        MakeMarkMergePatterns(roChunkNav);
    }
    DWORD dwUsedSize = 0;
    const std::unique_ptr<BYTE[]> pbyBuffer = poBankData->TakeBuffer(dwUsedSize);
    if (!pbyBuffer || dwUsedSize == 0)
        return nullptr;
    auto pbyData = std::make_unique<BYTE[]>(dwUsedSize);
    std::memcpy(pbyData.get(), pbyBuffer.get(), dwUsedSize);
    rdwSize = dwUsedSize;
    return pbyData;
}
