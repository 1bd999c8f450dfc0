// ChunkNav.cpp -- the chunk navigator: path, searches and in-place edits of
// the chunk tree in one block, and the compression of one chunk's data.
//
// Every check reports under the source name ChunkNav/ChunkNav with the line
// number the system has always reported for it; those numbers are part of
// the report texts, not positions in this file.
#include "ChunkNav/ChunkNav.h"

#include "Base/Report.h"
#include "compression/COComp.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#define QD_REPORT_FILE "ChunkNav/ChunkNav"

namespace {

constexpr DWORD HEADER_SIZE = sizeof(CChunkHeader);

// The reserve is a signed 32-bit count, so a block is used up to this many bytes.
constexpr DWORD MAX_CAPACITY = DWORD(std::numeric_limits<SDWORD>::max());

// The deepest path that m_wLevel can count.
constexpr WORD MAX_LEVEL = std::numeric_limits<WORD>::max();

// sdwfnSaturate -- a size change as the signed count the reserve is compared
// with. A growth beyond the range can never fit the reserve (at most
// MAX_CAPACITY - 8), so saturating keeps the comparison right.
SDWORD sdwfnSaturate(std::int64_t lDelta)
{
    return SDWORD(
        std::clamp<std::int64_t>(lDelta, std::numeric_limits<SDWORD>::min(), std::numeric_limits<SDWORD>::max()));
}

// sdwfnChunkGrowth -- room that a new chunk with dwLength data bytes takes.
SDWORD sdwfnChunkGrowth(DWORD dwLength)
{
    return sdwfnSaturate(std::int64_t(dwLength) + HEADER_SIZE);
}

} // namespace

// CChunkNav::CChunkNav -- navigates the tree at pbyData, capacity dwLength.
CChunkNav::CChunkNav(BYTE* pbyData, DWORD dwLength)
    : m_poCurrent(nullptr), m_pbyData(pbyData), m_dwSize(0), m_sdwExtraLength(0), m_wLevel(0), m_oNoTree{}
{
    QD_ASSERT_AT(pbyData, 60);
    const DWORD dwCapacity = pbyData ? std::min(dwLength, MAX_CAPACITY) : 0;
    if (dwCapacity < HEADER_SIZE)
    {
        // Not even the root header fits: nothing of the block may be read.
        m_fnSetUnusable();
    }
    else
    {
        m_fnPush(reinterpret_cast<CChunkHeader*>(pbyData));
        // The root's size comes from the file and may be anything up to 4 GB + 7.
        const std::int64_t lSize = std::int64_t(m_dwfnDataLength()) + HEADER_SIZE;
        m_dwSize = DWORD(std::min<std::int64_t>(lSize, std::numeric_limits<DWORD>::max()));
        m_sdwExtraLength = sdwfnSaturate(std::int64_t(dwCapacity) - lSize);
    }
    // A root longer than the block leaves the reserve negative: the navigator
    // then neither enters nor edits the tree, and its owner refuses the file.
    QD_ASSERT_AT(m_sdwExtraLength >= 0, 65);
}

// CChunkNav::CChunkNav -- copies the current chunk of poChunkNav to the start
// of the empty block pbyData and navigates the copy as root.
CChunkNav::CChunkNav(const CChunkNav* poChunkNav, BYTE* pbyData, DWORD dwLength)
    : m_poCurrent(nullptr), m_pbyData(nullptr), m_dwSize(0), m_sdwExtraLength(0), m_wLevel(0), m_oNoTree{}
{
    // A navigator is set up on one block only once.
    QD_ASSERT_AT(m_pbyData == 0, 72);
    m_pbyData = pbyData;
    // Without a block there is no room at all.
    dwLength = pbyData ? std::min(dwLength, MAX_CAPACITY) : 0;
    const bool bFits = QD_ASSERT_AT(poChunkNav->m_dwfnSize() <= dwLength, 73);
    // A source whose path does not lie inside its block has nothing that may
    // be read; its own construction already reported that.
    if (!bFits || !poChunkNav->m_bfnPathIsSound())
    {
        m_fnSetUnusable();
        return;
    }
    m_dwSize = poChunkNav->m_dwfnSize();
    m_sdwExtraLength = SDWORD(dwLength - m_dwSize);
    // memmove: the caller may hand a target that overlaps the source's block.
    std::memmove(pbyData, poChunkNav->m_pbyfnHeader(), m_dwSize);
    m_fnPush(reinterpret_cast<CChunkHeader*>(pbyData));
}

// CChunkNav::~CChunkNav -- the path goes with the navigator; the block stays
// with its creator.
CChunkNav::~CChunkNav() = default;

// CChunkNav::m_fnSetUnusable -- turns the navigator into one over no tree: the
// stand-in root is an empty container and the negative reserve makes every
// step into the tree and every edit fail.
void CChunkNav::m_fnSetUnusable()
{
    m_aoPath.clear();
    m_poCurrent = nullptr;
    m_oNoTree = CChunkHeader{};
    m_fnPush(&m_oNoTree);
    m_dwSize = HEADER_SIZE;
    m_sdwExtraLength = -SDWORD(HEADER_SIZE);
}

// CChunkNav::m_fnPush -- makes the chunk at poHeader, a child of the current
// one, the new current entry.
void CChunkNav::m_fnPush(CChunkHeader* poHeader)
{
    CChunkNode* poParent = m_poCurrent;
    m_aoPath.push_back(CChunkNode{poParent, poHeader, reinterpret_cast<BYTE*>(poHeader) + HEADER_SIZE});
    m_poCurrent = &m_aoPath.back();
    m_wLevel = WORD(m_aoPath.size() - 1);
}

// CChunkNav::m_ofnCurrentId -- the id of the current chunk as a result.
CChunkId CChunkNav::m_ofnCurrentId() const
{
    return CChunkId(m_poCurrent->m_poHeader->m_byId);
}

// ---------------------------------------------------------------------------
// Bounds. Lengths in the block are file contents or caller-written bytes, so
// every step checks them against limits the navigator knows to be inside the
// block: the end of the used tree and the end of the parent's data.
// ---------------------------------------------------------------------------

// CChunkNav::m_pbyfnDataLimit -- end of a chunk's data, cut at the end of the
// used tree. Only for a usable tree (m_sdwExtraLength >= 0).
BYTE* CChunkNav::m_pbyfnDataLimit(const CChunkNode* poNode) const
{
    BYTE* pbyChunkData = poNode->m_pbyChunkData;
    const BYTE* pbyUsedEnd = m_pbyData + m_dwSize;
    if (pbyChunkData >= pbyUsedEnd)
        return pbyChunkData;
    const DWORD dwRoom = DWORD(pbyUsedEnd - pbyChunkData);
    return pbyChunkData + std::min<DWORD>(poNode->m_poHeader->m_dwLength, dwRoom);
}

// CChunkNav::m_pofnChunkAt -- the chunk at pbyAt when its header and data lie
// wholly before pbyLimit, else null: a chunk that does not fit is the end of
// its container.
CChunkHeader* CChunkNav::m_pofnChunkAt(BYTE* pbyAt, const BYTE* pbyLimit)
{
    if (pbyAt >= pbyLimit || DWORD(pbyLimit - pbyAt) < HEADER_SIZE)
        return nullptr;
    CChunkHeader* poHeader = reinterpret_cast<CChunkHeader*>(pbyAt);
    if (poHeader->m_dwLength > DWORD(pbyLimit - pbyAt) - HEADER_SIZE)
        return nullptr;
    return poHeader;
}

// CChunkNav::m_bfnPathIsSound -- the root fills m_dwSize bytes of a usable
// block and every entry lies inside its parent's data. Edits check this
// first: the caller may have written any header of the path since it was
// entered, and an edit moves bytes up to the end of the used tree.
bool CChunkNav::m_bfnPathIsSound() const
{
    if (m_sdwExtraLength < 0)
        return false;
    const CChunkNode& rkoRoot = m_aoPath.front();
    if (reinterpret_cast<BYTE*>(rkoRoot.m_poHeader) != m_pbyData ||
        rkoRoot.m_poHeader->m_dwLength != m_dwSize - HEADER_SIZE)
        return false;
    for (auto it = m_aoPath.begin() + 1; it != m_aoPath.end(); ++it)
    {
        // The parent was checked before: its data ends inside the used tree.
        BYTE* pbyParentData = it->m_poParent->m_pbyChunkData;
        const BYTE* pbyParentEnd = pbyParentData + it->m_poParent->m_poHeader->m_dwLength;
        BYTE* pbyHeader = reinterpret_cast<BYTE*>(it->m_poHeader);
        if (pbyHeader < pbyParentData || m_pofnChunkAt(pbyHeader, pbyParentEnd) == nullptr)
            return false;
    }
    return true;
}

// CChunkNav::m_bfnOverlapsBlock -- whether bytes lie inside this navigator's block.
bool CChunkNav::m_bfnOverlapsBlock(const BYTE* pbyStart, DWORD dwLength) const
{
    // Addresses compared as integers: the bytes may belong to another allocation.
    const std::uintptr_t uStart = reinterpret_cast<std::uintptr_t>(pbyStart);
    const std::uintptr_t uBlock = reinterpret_cast<std::uintptr_t>(m_pbyData);
    const std::uintptr_t uCapacity = std::uintptr_t(m_dwSize) + std::uintptr_t(std::max<SDWORD>(m_sdwExtraLength, 0));
    return uStart < uBlock + uCapacity && uBlock < uStart + dwLength;
}

// ---------------------------------------------------------------------------
// Queries of the current chunk
// ---------------------------------------------------------------------------

// CChunkNav::m_dwfnDataLength -- the current chunk's data length.
DWORD CChunkNav::m_dwfnDataLength() const
{
    return m_poCurrent->m_poHeader->m_dwLength;
}

// CChunkNav::m_dwfnSize -- header and data; a length read from a file close
// to 4 GB saturates instead of wrapping to a small size.
DWORD CChunkNav::m_dwfnSize() const
{
    const DWORD dwLength = m_dwfnDataLength();
    return dwLength > std::numeric_limits<DWORD>::max() - HEADER_SIZE ? std::numeric_limits<DWORD>::max()
                                                                      : dwLength + HEADER_SIZE;
}

// CChunkNav::m_efnGetType -- typeFinal or typeNotFinal.
EChunkType CChunkNav::m_efnGetType() const
{
    return (m_poCurrent->m_poHeader->m_byFlags & CNCF_FINAL) ? typeFinal : typeNotFinal;
}

// CChunkNav::m_pbyfnData -- address of the current chunk's data.
BYTE* CChunkNav::m_pbyfnData() const
{
    return m_poCurrent->m_pbyChunkData;
}

// CChunkNav::m_pbyfnHeader -- address of the current chunk's header.
BYTE* CChunkNav::m_pbyfnHeader() const
{
    return reinterpret_cast<BYTE*>(m_poCurrent->m_poHeader);
}

// CChunkNav::m_dwfnOffset -- header offset from the block start; 0 for the
// stand-in root of a navigator without a usable block.
DWORD CChunkNav::m_dwfnOffset() const
{
    if (m_poCurrent->m_poHeader == &m_oNoTree)
        return 0;
    return DWORD(m_pbyfnHeader() - m_pbyData);
}

// CChunkNav::m_dwfnUsedSize -- bytes used by the tree.
DWORD CChunkNav::m_dwfnUsedSize() const
{
    return m_dwSize;
}

// CChunkNav::m_oPosition -- bookmark of the current chunk.
CChunkPos CChunkNav::m_oPosition() const
{
    return CChunkPos{m_poCurrent->m_poHeader, m_wLevel};
}

// CChunkNav::m_bfnIsCompressed -- whether the data is a compressed stream.
bool CChunkNav::m_bfnIsCompressed() const
{
    return (m_poCurrent->m_poHeader->m_byFlags & CNCF_COMPRESSED) != 0;
}

// ---------------------------------------------------------------------------
// Navigation
// ---------------------------------------------------------------------------

// CChunkNav::m_bfnMatches -- an invalid id matches any id; criterion 1
// requires the flag clear, 2 requires it set, anything else nothing.
bool CChunkNav::m_bfnMatches(const CChunkHeader* poHeader, CChunkId oId, EChunkType eAttr, EChunkType eType)
{
    if (oId.m_bValid && oId.m_byId != poHeader->m_byId)
        return false;
    const bool bAttr = (poHeader->m_byFlags & CNCF_ATTR) != 0;
    const bool bFinal = (poHeader->m_byFlags & CNCF_FINAL) != 0;
    if ((eAttr == typeNotFinal && bAttr) || (eAttr == typeFinal && !bAttr))
        return false;
    if ((eType == typeNotFinal && bFinal) || (eType == typeFinal && !bFinal))
        return false;
    return true;
}

// CChunkNav::m_ofnRewind -- back to the root; invalid without a usable block.
CChunkId CChunkNav::m_ofnRewind()
{
    while (m_aoPath.size() > 1)
        m_aoPath.pop_back();
    m_poCurrent = &m_aoPath.back();
    m_wLevel = 0;
    if (m_poCurrent->m_poHeader == &m_oNoTree)
        return CChunkId();
    return m_ofnCurrentId();
}

// CChunkNav::m_ofnEnter -- enters the first child of the current container
// if it matches; otherwise nothing changes.
CChunkId CChunkNav::m_ofnEnter(CChunkId oId, EChunkType eAttr, EChunkType eType)
{
    // An unusable tree (root beyond the block) is never entered.
    if (m_sdwExtraLength < 0 || m_wLevel == MAX_LEVEL)
        return CChunkId();
    const CChunkHeader* poHeader = m_poCurrent->m_poHeader;
    // Final data and compressed streams hold no chunks to walk.
    if ((poHeader->m_byFlags & (CNCF_FINAL | CNCF_COMPRESSED)) || poHeader->m_dwLength == 0)
        return CChunkId();
    CChunkHeader* poChild = m_pofnChunkAt(m_poCurrent->m_pbyChunkData, m_pbyfnDataLimit(m_poCurrent));
    if (poChild == nullptr || !m_bfnMatches(poChild, oId, eAttr, eType))
        return CChunkId();
    m_fnPush(poChild);
    return m_ofnCurrentId();
}

// CChunkNav::m_ofnNext -- moves to the immediate next sibling if it matches;
// it never skips one that does not.
CChunkId CChunkNav::m_ofnNext(CChunkId oId, EChunkType eAttr, EChunkType eType)
{
    if (m_sdwExtraLength < 0 || m_wLevel == 0)
        return CChunkId();
    const BYTE* pbyLimit = m_pbyfnDataLimit(m_poCurrent->m_poParent);
    // The sibling starts where the current data ends; data that runs past
    // the parent's end leaves no sibling to look at.
    BYTE* pbyChunkData = m_poCurrent->m_pbyChunkData;
    if (pbyChunkData > pbyLimit || m_dwfnDataLength() > DWORD(pbyLimit - pbyChunkData))
        return CChunkId();
    CChunkHeader* poNext = m_pofnChunkAt(pbyChunkData + m_dwfnDataLength(), pbyLimit);
    if (poNext == nullptr || !m_bfnMatches(poNext, oId, eAttr, eType))
        return CChunkId();
    m_poCurrent->m_poHeader = poNext;
    m_poCurrent->m_pbyChunkData = reinterpret_cast<BYTE*>(poNext) + HEADER_SIZE;
    return m_ofnCurrentId();
}

// CChunkNav::m_ofnLeave -- moves to the parent; fails at the root.
CChunkId CChunkNav::m_ofnLeave()
{
    if (m_wLevel == 0)
        return CChunkId();
    m_aoPath.pop_back();
    m_poCurrent = &m_aoPath.back();
    m_wLevel = WORD(m_aoPath.size() - 1);
    return m_ofnCurrentId();
}

// CChunkNav::m_ofnFind -- pre-order search that starts after the current
// chunk. wLevel 0: any depth; otherwise only chunks at depth wLevel match and
// the walk stays above it. The search ends where its climb reaches
// wStopLevel (at most wLevel) or the root.
CChunkId CChunkNav::m_ofnFind(CChunkId oId, EChunkType eAttr, EChunkType eType, WORD wStopLevel, WORD wLevel)
{
    if (wStopLevel > wLevel)
        wStopLevel = wLevel;
    for (;;)
    {
        const bool bEntered = (wLevel == 0 || m_wLevel < wLevel) && m_ofnEnter();
        if (!bEntered)
        {
            while (!m_ofnNext())
            {
                if (!m_ofnLeave() || m_wLevel == wStopLevel)
                    return CChunkId();
            }
        }
        if (m_bfnMatches(m_poCurrent->m_poHeader, oId, eAttr, eType) && (wLevel == 0 || m_wLevel == wLevel))
            return m_ofnCurrentId();
    }
}

// CChunkNav::m_ofnGoTo -- returns to a bookmark: climbs while the current
// chunk lies behind it, then searches forward at the bookmark's depth. Each
// step is a checked navigation step, so a stale bookmark only fails.
CChunkId CChunkNav::m_ofnGoTo(const CChunkPos& rkoPos)
{
    // Addresses compared as integers: the bookmark may come from another block.
    const std::uintptr_t uTarget = reinterpret_cast<std::uintptr_t>(rkoPos.m_poHeader);
    while (reinterpret_cast<std::uintptr_t>(m_poCurrent->m_poHeader) > uTarget)
    {
        if (!m_ofnLeave())
            return CChunkId();
    }
    while (m_poCurrent->m_poHeader != rkoPos.m_poHeader)
    {
        if (!m_ofnFind(CChunkId(), typeAny, typeAny, 0, rkoPos.m_wLevel))
            return CChunkId();
    }
    return m_ofnCurrentId();
}

// ---------------------------------------------------------------------------
// Editing
// ---------------------------------------------------------------------------

// CChunkNav::m_bfnResize -- moves the tail behind pbyAt by sdwDelta and
// corrects the lengths from poFirst up to the root. The reserve check comes
// before anything is touched, so a refused growth changes nothing and never
// writes past the block's capacity.
bool CChunkNav::m_bfnResize(CChunkNode* poFirst, BYTE* pbyAt, SDWORD sdwDelta)
{
    if (!QD_ASSERT_AT(m_sdwExtraLength >= sdwDelta, 219))
        return false;
    BYTE* pbyUsedEnd = m_pbyData + m_dwSize;
    std::memmove(pbyAt + sdwDelta, pbyAt, size_t(pbyUsedEnd - pbyAt));
    for (CChunkNode* poNode = poFirst; poNode != nullptr; poNode = poNode->m_poParent)
        poNode->m_poHeader->m_dwLength = DWORD(std::int64_t(poNode->m_poHeader->m_dwLength) + sdwDelta);
    m_dwSize = DWORD(std::int64_t(m_dwSize) + sdwDelta);
    m_sdwExtraLength -= sdwDelta;
    return true;
}

// CChunkNav::m_ofnNewHeader -- the header of a created chunk: CNCF_ATTR for
// eAttr 2, CNCF_FINAL for eType 2; a container starts empty whatever
// dwLength says.
CChunkHeader CChunkNav::m_ofnNewHeader(EChunkType eAttr, EChunkType eType, CChunkId oId, BYTE byParam1, BYTE byParam2,
                                       DWORD dwLength)
{
    CChunkHeader oHeader{};
    oHeader.m_byId = oId.m_byId;
    oHeader.m_byParam1 = byParam1;
    oHeader.m_byParam2 = byParam2;
    oHeader.m_byFlags = BYTE((eAttr == typeFinal ? CNCF_ATTR : 0) | (eType == typeFinal ? CNCF_FINAL : 0));
    oHeader.m_dwLength = eType == typeFinal ? dwLength : 0;
    return oHeader;
}

// CChunkNav::m_ofnDelete -- removes the current chunk. The following sibling,
// now at the same address, becomes current; after the last child the parent.
CChunkId CChunkNav::m_ofnDelete()
{
    if (m_wLevel == 0 || !m_bfnPathIsSound())
        return CChunkId();
    CChunkNode* poParent = m_poCurrent->m_poParent;
    BYTE* pbyHeader = m_pbyfnHeader();
    const DWORD dwSize = m_dwfnSize();
    // Shrinking always fits the reserve.
    m_bfnResize(poParent, pbyHeader + dwSize, -SDWORD(dwSize));
    // Bytes left behind that do not form a whole chunk end the container.
    if (m_pofnChunkAt(pbyHeader, m_pbyfnDataLimit(poParent)) != nullptr)
        return m_ofnCurrentId();
    return m_ofnLeave();
}

// CChunkNav::m_ofnDeleteRest -- the run of whole chunks from the current one
// on, measured first, then closed in one resize.
CChunkId CChunkNav::m_ofnDeleteRest()
{
    if (m_wLevel == 0 || !m_bfnPathIsSound())
        return CChunkId();
    CChunkNode* poParent = m_poCurrent->m_poParent;
    BYTE* const pbyFirst = m_pbyfnHeader();
    const BYTE* const pbyLimit = m_pbyfnDataLimit(poParent);
    BYTE* pbyEnd = pbyFirst;
    while (const CChunkHeader* pkoHeader = m_pofnChunkAt(pbyEnd, pbyLimit))
        pbyEnd += HEADER_SIZE + pkoHeader->m_dwLength;
    // Shrinking always fits the reserve.
    m_bfnResize(poParent, pbyEnd, -SDWORD(pbyEnd - pbyFirst));
    return m_ofnLeave();
}

// CChunkNav::m_ofnDuplicate -- inserts behind the current chunk a copy of its
// header with data length dwLength (content unspecified); it becomes current.
CChunkId CChunkNav::m_ofnDuplicate(DWORD dwLength)
{
    // Only a final chunk gets data; a container copy with data would hold
    // undefined children. Reported; the navigator still bounds every step
    // into such data.
    QD_ASSERT_AT(dwLength == 0 || m_poCurrent->m_poHeader->m_byFlags & CNCF_FINAL, 256);
    if (m_wLevel == 0 || !m_bfnPathIsSound())
        return CChunkId();
    CChunkHeader oHeader = *m_poCurrent->m_poHeader;
    oHeader.m_dwLength = dwLength;
    BYTE* pbyNew = m_pbyfnHeader() + m_dwfnSize();
    if (!m_bfnResize(m_poCurrent->m_poParent, pbyNew, sdwfnChunkGrowth(dwLength)))
        return CChunkId();
    std::memcpy(pbyNew, &oHeader, HEADER_SIZE);
    m_poCurrent->m_poHeader = reinterpret_cast<CChunkHeader*>(pbyNew);
    m_poCurrent->m_pbyChunkData = pbyNew + HEADER_SIZE;
    return m_ofnCurrentId();
}

// CChunkNav::m_ofnCreateChild -- creates the first child of the current,
// empty container and enters it.
CChunkId CChunkNav::m_ofnCreateChild(EChunkType eAttr, EChunkType eType, CChunkId oId, BYTE byParam1, BYTE byParam2,
                                     DWORD dwLength)
{
    // An invalid id is reported and the chunk gets its id byte (0).
    (void)QD_ASSERT_AT(oId, 279);
    const bool bContainer = QD_ASSERT_AT(m_efnGetType() == typeNotFinal, 280);
    const bool bEmpty = QD_ASSERT_AT(m_dwfnDataLength() == 0, 281);
    // A header written into final data or in front of existing children
    // would corrupt them: refused.
    if (!bContainer || !bEmpty || m_wLevel == MAX_LEVEL || !m_bfnPathIsSound())
        return CChunkId();
    const CChunkHeader oHeader = m_ofnNewHeader(eAttr, eType, oId, byParam1, byParam2, dwLength);
    if (!m_bfnResize(m_poCurrent, m_pbyfnData(), sdwfnChunkGrowth(oHeader.m_dwLength)))
        return CChunkId();
    std::memcpy(m_pbyfnData(), &oHeader, HEADER_SIZE);
    m_fnPush(reinterpret_cast<CChunkHeader*>(m_pbyfnData()));
    return m_ofnCurrentId();
}

// CChunkNav::m_ofnInsertAfter -- inserts a new chunk behind the current one;
// it becomes current at the same depth.
CChunkId CChunkNav::m_ofnInsertAfter(EChunkType eAttr, EChunkType eType, CChunkId oId, BYTE byParam1, BYTE byParam2,
                                     DWORD dwLength)
{
    // An invalid id is reported and the chunk gets its id byte (0).
    (void)QD_ASSERT_AT(oId, 307);
    if (m_wLevel == 0 || !m_bfnPathIsSound())
        return CChunkId();
    const CChunkHeader oHeader = m_ofnNewHeader(eAttr, eType, oId, byParam1, byParam2, dwLength);
    BYTE* pbyNew = m_pbyfnHeader() + m_dwfnSize();
    if (!m_bfnResize(m_poCurrent->m_poParent, pbyNew, sdwfnChunkGrowth(oHeader.m_dwLength)))
        return CChunkId();
    std::memcpy(pbyNew, &oHeader, HEADER_SIZE);
    m_poCurrent->m_poHeader = reinterpret_cast<CChunkHeader*>(pbyNew);
    m_poCurrent->m_pbyChunkData = pbyNew + HEADER_SIZE;
    return m_ofnCurrentId();
}

// CChunkNav::m_ofnCopyInto -- copies the current chunk of poChunkNav, subtree
// included, into the current, empty container and enters the copy.
CChunkId CChunkNav::m_ofnCopyInto(const CChunkNav* poChunkNav)
{
    const bool bContainer = QD_ASSERT_AT(m_efnGetType() == typeNotFinal, 341);
    const bool bEmpty = QD_ASSERT_AT(m_dwfnDataLength() == 0, 342);
    // Same reasons as m_ofnCreateChild; a source outside its own block
    // has nothing that may be read.
    if (!bContainer || !bEmpty || m_wLevel == MAX_LEVEL || !m_bfnPathIsSound() || !poChunkNav->m_bfnPathIsSound())
        return CChunkId();
    const DWORD dwSize = poChunkNav->m_dwfnSize();
    const BYTE* pbySource = poChunkNav->m_pbyfnHeader();
    // A source inside this block may lie in the tail that the growth moves,
    // or may enclose the current container and grow with it; either way its
    // bytes change under the copy. Such a source is copied aside first, so
    // the result is the source as it was before the edit. (The other
    // navigator's path is then stale, as after any edit of its block.)
    std::unique_ptr<BYTE[]> pbySnapshot;
    if (m_bfnOverlapsBlock(pbySource, dwSize))
    {
        pbySnapshot = std::make_unique_for_overwrite<BYTE[]>(dwSize);
        std::memcpy(pbySnapshot.get(), pbySource, dwSize);
        pbySource = pbySnapshot.get();
    }
    if (!m_bfnResize(m_poCurrent, m_pbyfnData(), sdwfnSaturate(dwSize)))
        return CChunkId();
    std::memcpy(m_pbyfnData(), pbySource, dwSize);
    m_fnPush(reinterpret_cast<CChunkHeader*>(m_pbyfnData()));
    return m_ofnCurrentId();
}

// CChunkNav::m_fnSetDataLength -- resizes the current chunk's data: growth
// adds unspecified bytes at its end, shrinking cuts its end.
void CChunkNav::m_fnSetDataLength(DWORD dwLength)
{
    if (!m_bfnPathIsSound())
        return;
    const DWORD dwOld = m_dwfnDataLength();
    if (dwLength == dwOld)
        return;
    m_bfnResize(m_poCurrent, m_pbyfnData() + dwOld, sdwfnSaturate(std::int64_t(dwLength) - dwOld));
}

// CChunkNav::m_fnSetFinalLength -- m_fnSetDataLength for a final chunk.
void CChunkNav::m_fnSetFinalLength(DWORD dwLength)
{
    // Resizing a container is reported as a caller's mistake but stays inside
    // the block, so it goes on.
    QD_ASSERT_AT(m_poCurrent->m_poHeader->m_byFlags & CNCF_FINAL, 367);
    m_fnSetDataLength(dwLength);
}

// CChunkNav::m_pbyfnFinalData -- resizes the current final chunk and returns
// its data to fill, or null when the resize was refused (the caller must not
// write dwLength bytes into a chunk that did not grow).
BYTE* CChunkNav::m_pbyfnFinalData(DWORD dwLength)
{
    m_fnSetFinalLength(dwLength);
    if (m_dwfnDataLength() != dwLength || !m_bfnPathIsSound())
        return nullptr;
    return m_pbyfnData();
}

// CChunkNav::m_fnWriteData -- copies dwLength bytes into the current chunk's
// data at dwOffset; refused when they would not lie inside that data.
void CChunkNav::m_fnWriteData(const BYTE* pbySource, DWORD dwLength, DWORD dwOffset)
{
    // Checked without forming the sum, which can wrap around 32 bits.
    const DWORD dwDataLength = m_dwfnDataLength();
    const bool bInside = dwLength <= dwDataLength && dwOffset <= dwDataLength - dwLength;
    if (!QD_CHECK_TEXT(bInside, "(dwLength + dwOffset) <= m_dwfnDataLength()", 393) || !m_bfnPathIsSound())
        return;
    if (dwLength != 0)
        std::memmove(m_pbyfnData() + dwOffset, pbySource, dwLength); // the source may lie in the block
}

// ---------------------------------------------------------------------------
// CChunkNavComp
// ---------------------------------------------------------------------------

// CChunkNavComp::CChunkNavComp -- as CChunkNav over the tree at pbyData.
CChunkNavComp::CChunkNavComp(BYTE* pbyData, DWORD dwLength) : CChunkNav(pbyData, dwLength) {}

// CChunkNavComp::~CChunkNavComp -- nothing beyond the navigator's own.
CChunkNavComp::~CChunkNavComp() = default;

// CChunkStream::m_fnEncode -- L + L/4 bytes of room cover long data; short
// data can grow by the stream header and the literal-run overhead, so the
// codec's worst case sets the floor.
void CChunkStream::m_fnEncode(BYTE byVersion, BYTE byMethod)
{
    m_pbyStream.reset();
    m_dwStreamLength = 0;
    if (m_pbyData == nullptr)
        return;
    const DWORD dwCapacity = std::max(m_dwDataLength + m_dwDataLength / 4, COComp::MaxEncodedSize(m_dwDataLength));
    std::unique_ptr<BYTE[]> pbyEncoded = std::make_unique_for_overwrite<BYTE[]>(dwCapacity);
    COComp oCodec;
    const DWORD dwEncoded = oCodec.Encode(m_pbyData, m_dwDataLength, pbyEncoded.get(), dwCapacity, byVersion, byMethod);
    if (dwEncoded == 0 || dwEncoded > dwCapacity)
        return;
    m_pbyStream = std::move(pbyEncoded);
    m_dwStreamLength = dwEncoded;
}

// CChunkNavComp::m_bfnCompress -- encodes the current chunk's data in place.
bool CChunkNavComp::m_bfnCompress(BYTE byVersion, BYTE byMethod)
{
    CChunkStream oStream = m_ofnStreamSource();
    oStream.m_fnEncode(byVersion, byMethod);
    return m_bfnStoreStream(oStream);
}

// CChunkNavComp::m_ofnStreamSource -- the data range of an uncompressed
// chunk on a sound path.
CChunkStream CChunkNavComp::m_ofnStreamSource() const
{
    CChunkStream oStream;
    if (!m_bfnIsCompressed() && m_bfnPathIsSound())
    {
        oStream.m_pbyData = m_pbyfnData();
        oStream.m_dwDataLength = m_dwfnDataLength();
    }
    return oStream;
}

// CChunkNavComp::m_bfnStoreStream -- the stream replaces the data. A stream
// that is missing (the codec refused) or was made of data of another length
// is refused with the chunk unchanged.
bool CChunkNavComp::m_bfnStoreStream(const CChunkStream& rkoStream)
{
    if (m_bfnIsCompressed())
        return true;
    if (!m_bfnPathIsSound())
        return false;
    const DWORD dwLength = m_dwfnDataLength();
    const DWORD dwEncoded = rkoStream.m_dwStreamLength;
    if (!rkoStream.m_pbyStream || rkoStream.m_dwDataLength != dwLength)
        return false;
    // Data that does not compress may grow past the reserve: reported and
    // refused with the chunk unchanged.
    if (!m_bfnResize(m_pofnCurrentNode(), m_pbyfnData() + dwLength, sdwfnSaturate(std::int64_t(dwEncoded) - dwLength)))
        return false;
    std::memcpy(m_pbyfnData(), rkoStream.m_pbyStream.get(), dwEncoded);
    m_pofnCurrentNode()->m_poHeader->m_byFlags |= CNCF_COMPRESSED;
    return true;
}

// CChunkNavComp::m_bfnDecompress -- decodes the current chunk's stream in place.
bool CChunkNavComp::m_bfnDecompress(bool bCheck)
{
    if (!m_bfnIsCompressed())
        return true;
    if (!m_bfnPathIsSound())
        return false;
    const DWORD dwLength = m_dwfnDataLength();
    COComp oCodec;
    const DWORD dwDecoded = oCodec.ReadHeader(m_pbyfnData(), dwLength);
    if (dwDecoded == 0)
        return false;
    // The decoded size is a file's word (a stream may claim 4 GB): it must fit
    // the reserve before anything is allocated for it. A stream that does not
    // fit is a corrupt or oversized file, which the caller words; no report.
    const std::int64_t lGrowth = std::int64_t(dwDecoded) - dwLength;
    if (lGrowth > m_sdwfnExtraLength())
        return false;
    std::unique_ptr<BYTE[]> pbyDecoded = std::make_unique_for_overwrite<BYTE[]>(dwDecoded);
    if (oCodec.Decode(pbyDecoded.get(), dwDecoded, bCheck) != dwDecoded)
        return false;
    if (!m_bfnResize(m_pofnCurrentNode(), m_pbyfnData() + dwLength, SDWORD(lGrowth)))
        return false;
    std::memcpy(m_pbyfnData(), pbyDecoded.get(), dwDecoded);
    m_pofnCurrentNode()->m_poHeader->m_byFlags &= BYTE(~CNCF_COMPRESSED);
    return true;
}
