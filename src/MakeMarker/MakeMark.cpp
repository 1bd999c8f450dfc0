// MakeMark.cpp -- the pattern table and the walks and record edits that
// marker building and marker making share.
#define QD_REPORT_FILE "MakeMarker/MakeMark"

#include "MakeMarker/MakeMark.h"

#include "Base/Report.h"
#include "Kernel/RTEvents/CEvent.h"
#include "MakeMarker/MakeMarkNav.h"
#include "NlzdStyle/QdRecords.h"

#include <cstring>
#include <memory>
#include <utility>

// ---------------------------------------------------------------------------
// Pattern table
// ---------------------------------------------------------------------------

// CPatternTable::Allocate -- every record starts as Init(0): no pattern.
bool CPatternTable::Allocate(WORD wNrPatterns)
{
    Release();
    // Even an empty table is an array: a prepared style without patterns
    // still has its table.
    m_poPatternData = std::make_unique_for_overwrite<PatternData[]>(wNrPatterns);
    m_wNrPatterns = wNrPatterns;
    return true;
}

// CPatternTable::Release -- the records free their sub-pattern arrays.
void CPatternTable::Release()
{
    m_poPatternData.reset();
    m_wNrPatterns = 0;
}

// CPatternTable::GetPattern -- a record whose chunk was parsed has a
// pattern chunk's ID; unparsed ones keep ID 0.
const PatternData* CPatternTable::GetPattern(WORD wRef) const
{
    if (!m_poPatternData || wRef < 1 || wRef > m_wNrPatterns)
        return nullptr;
    const PatternData& rkoPattern = m_poPatternData[wRef - 1];
    return QdIsPatternChunkId(rkoPattern.m_byChunkId) ? &rkoPattern : nullptr;
}

PatternData* CPatternTable::GetPattern(WORD wRef)
{
    return const_cast<PatternData*>(std::as_const(*this).GetPattern(wRef));
}

// ---------------------------------------------------------------------------
// Walking the style
// ---------------------------------------------------------------------------

// MakeMarkIsPatternChunk -- by the current chunk's header.
bool MakeMarkIsPatternChunk(const CChunkNav& rkoNav)
{
    const CChunkHeader& rkoHeader = MakeMarkHeader(rkoNav);
    return (rkoHeader.m_byFlags & CNCF_FINAL) && !(rkoHeader.m_byFlags & CNCF_ATTR) &&
           QdIsPatternChunkId(rkoHeader.m_byId);
}

// MakeMarkToLevel -- leaves until the depth is reached.
void MakeMarkToLevel(CChunkNav& roNav, WORD wLevel)
{
    while (roNav.m_wfnLevel() > wLevel && roNav.m_ofnLeave())
    {
    }
}

// MakeMarkEnterChild -- the style's children are few; they are passed over
// one by one rather than searched, so nothing below them is visited.
bool MakeMarkEnterChild(CChunkNav& roNav, BYTE byId, EChunkType eType)
{
    const WORD wLevel = roNav.m_wfnLevel();
    if (!roNav.m_ofnEnter())
        return false;
    do
    {
        const CChunkHeader& rkoHeader = MakeMarkHeader(roNav);
        const bool bFinal = (rkoHeader.m_byFlags & CNCF_FINAL) != 0;
        if (rkoHeader.m_byId == byId && !(rkoHeader.m_byFlags & CNCF_ATTR) && bFinal == (eType == typeFinal))
            return true;
    } while (roNav.m_ofnNext());
    MakeMarkToLevel(roNav, wLevel);
    return false;
}

// MakeMarkGoToPatInfo -- the pattern info must be the container's first child.
bool MakeMarkGoToPatInfo(CChunkNav& roNav, WORD wStyleLevel)
{
    MakeMarkToLevel(roNav, wStyleLevel);
    if (!MakeMarkEnterChild(roNav, QDI_ID_PATTERNS, typeNotFinal))
        return false;
    if (roNav.m_ofnEnter(CChunkId(QDI_ID_PAT_INFO), typeNotFinal, typeFinal))
        return true;
    MakeMarkToLevel(roNav, wStyleLevel);
    return false;
}

// MakeMarkReplaceData -- resize first, then copy: the source lies outside
// the block, so the resize cannot move it.
bool MakeMarkReplaceData(CChunkNav& roNav, const BYTE* pkbySource, DWORD dwLength)
{
    BYTE* pbyData = roNav.m_pbyfnFinalData(dwLength);
    if (!pbyData)
        return false;
    if (dwLength)
        std::memcpy(pbyData, pkbySource, dwLength);
    return true;
}

// MakeMarkWritePatInfo -- the record is written aside, then replaces the data.
bool MakeMarkWritePatInfo(CChunkNav& roNav, const PatInfoData& rkoPatInfo)
{
    std::unique_ptr<BYTE[]> pbyRecord = std::make_unique_for_overwrite<BYTE[]>(rkoPatInfo.Size());
    if (rkoPatInfo.Write(pbyRecord.get(), rkoPatInfo.Size()) != rkoPatInfo.Size())
        return false;
    return MakeMarkReplaceData(roNav, pbyRecord.get(), rkoPatInfo.Size());
}

// CChordVarWalk::Step -- depth 0 is the style, 1 its children, 2 the
// children of an element container; nothing deeper is entered.
bool CChordVarWalk::Step()
{
    const WORD wDepth = Depth();
    bool bEnter = wDepth == 0;
    if (wDepth == 1)
    {
        const CChunkHeader& rkoHeader = MakeMarkHeader(m_roNav);
        bEnter = rkoHeader.m_byId == QDI_ID_ELEMENT && !(rkoHeader.m_byFlags & (CNCF_FINAL | CNCF_ATTR));
    }
    if (bEnter && m_roNav.m_ofnEnter())
        return true;
    while (Depth() > 0 && !m_roNav.m_ofnNext())
        m_roNav.m_ofnLeave();
    return Depth() > 0;
}

// CChordVarWalk::Next -- steps until a data chunk with ID 3 in an element.
bool CChordVarWalk::Next()
{
    while (!m_bDone && Step())
    {
        const CChunkHeader& rkoHeader = MakeMarkHeader(m_roNav);
        if (Depth() == 2 && rkoHeader.m_byId == QDI_ID_CHORD_VAR && (rkoHeader.m_byFlags & CNCF_FINAL) &&
            !(rkoHeader.m_byFlags & CNCF_ATTR))
            return true;
    }
    m_bDone = true;
    return false;
}
