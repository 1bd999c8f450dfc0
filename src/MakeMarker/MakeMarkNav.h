// MakeMarkNav.h -- what marker building and marker making share: walking a
// style's chunks and reading and writing its records in place. Internal to MakeMarker.
//
// All walks start on the style container (at any depth of the navigator)
// and never leave it: the style's depth is taken when a walk begins.
#pragma once

#include "Base/QdTypes.h"
#include "ChunkNav/ChunkNav.h"
#include "NlzdStyle/QdRecords.h"

// MakeMarkHeader -- the current chunk's header.
inline const CChunkHeader& MakeMarkHeader(const CChunkNav& rkoNav)
{
    return *reinterpret_cast<const CChunkHeader*>(rkoNav.m_pbyfnHeader());
}

// MakeMarkIsPatternChunk -- the current chunk is a pattern: a data chunk
// with ID 2, 3 or 4 and the attribute flag clear.
bool MakeMarkIsPatternChunk(const CChunkNav& rkoNav);

// MakeMarkToLevel -- climbs back to depth wLevel.
void MakeMarkToLevel(CChunkNav& roNav, WORD wLevel);

// MakeMarkEnterChild -- enters the first child of the current container
// with ID byId and type eType (attribute flag clear), passing over others.
// False, the navigator unmoved, when there is none.
bool MakeMarkEnterChild(CChunkNav& roNav, BYTE byId, EChunkType eType);

// MakeMarkGoToPatInfo -- from anywhere inside the style at depth
// wStyleLevel, to the pattern info: the first child, a data chunk with ID 1,
// of the style's pattern container. False, the navigator back on the
// style, when either is missing.
bool MakeMarkGoToPatInfo(CChunkNav& roNav, WORD wStyleLevel);

// MakeMarkReplaceData -- the current data chunk's data becomes the dwLength
// bytes at pkbySource (which must not lie in the block). False, the chunk
// unchanged, when the navigator refuses the resize.
bool MakeMarkReplaceData(CChunkNav& roNav, const BYTE* pkbySource, DWORD dwLength);

// MakeMarkWritePatInfo -- writes the record into the current chunk (the
// pattern info), resizing it. False, the chunk unchanged, when refused.
bool MakeMarkWritePatInfo(CChunkNav& roNav, const PatInfoData& rkoPatInfo);

// CChordVarWalk -- visits the chord variation data chunks of the style in
// order: in each element container (ID 3 among the style's children) its
// data chunks with ID 3. The navigator stands on the style when the walk is
// made and on each chord variation in turn; the chunk may be edited in
// place (resized) between steps. After the last one the navigator is back on
// the style.
class CChordVarWalk
{
public:
    explicit CChordVarWalk(CChunkNav& roNav) : m_roNav(roNav), m_wStyleLevel(roNav.m_wfnLevel()) {}

    // CChordVarWalk::Next -- to the next chord variation; false at the end.
    bool Next();

private:
    // Step -- the next chunk in pre-order, entering only the style and its
    // element containers; false back on the style.
    bool Step();
    WORD Depth() const { return WORD(m_roNav.m_wfnLevel() - m_wStyleLevel); }

    CChunkNav& m_roNav;
    WORD m_wStyleLevel;
    bool m_bDone = false;
};
