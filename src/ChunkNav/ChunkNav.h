// ChunkNav.h -- the chunk navigator over the one memory block of a style bank.
//
// A bank file is one tree of chunks stored as it lies in memory. Each chunk
// is an 8-byte header (id, two parameter bytes, flags, big-endian data
// length) followed by its data: a final chunk's bytes, or a container's child
// chunks laid end to end without padding. The navigator keeps the path from
// the root to one current chunk, moves it, and edits the tree in place: every
// size change moves the rest of the used tree with one overlapping move and
// corrects the lengths of all enclosing chunks. The free space behind the
// tree is the reserve for growth; the navigator never allocates, grows or
// frees the block.
//
// Contract: whatever the lengths in the block say, the navigator reads and
// writes only inside the block it was given. A chunk whose header or data
// does not fit inside its parent's data is treated as the end of that
// container; an edit that would grow the tree past the block is reported and
// refused. A tree whose root does not fit the block leaves the reserve
// (m_sdwfnExtraLength) negative and the navigator refuses to enter or edit
// it, so the owner tests the reserve after construction and refuses such a
// file.
#pragma once

#include "Base/QdTypes.h"

#include <deque>
#include <memory>

// Flag bits of CChunkHeader::m_byFlags; bits not named here are carried along.
constexpr BYTE CNCF_FINAL = 0x08;      // the chunk holds data, not child chunks
constexpr BYTE CNCF_ATTR = 0x10;       // second attribute, searchable like CNCF_FINAL
constexpr BYTE CNCF_COMPRESSED = 0x20; // the data is one compressed stream (CChunkNavComp)

// CBigEndianDword -- an unsigned 32-bit field stored most significant byte
// first. Byte-wise access keeps headers readable at any address of the block.
struct CBigEndianDword
{
    operator DWORD() const { return QdReadBE32(m_abyValue); }
    CBigEndianDword& operator=(DWORD dwValue)
    {
        QdWriteBE32(m_abyValue, dwValue);
        return *this;
    }

    BYTE m_abyValue[4];
};

// CChunkHeader -- the 8 bytes in front of every chunk's data.
struct CChunkHeader
{
    BYTE m_byId;
    BYTE m_byParam1; // copied and written, never interpreted here
    BYTE m_byParam2; // same
    BYTE m_byFlags;
    CBigEndianDword m_dwLength; // data length; the chunk's size is this + 8
};
static_assert(sizeof(CChunkHeader) == 8 && alignof(CChunkHeader) == 1, "chunk headers lie unaligned in the block");

// CChunkId -- result of a navigation step (the id of the chunk current after
// it) or a search argument. Invalid means "no such chunk / step not possible"
// as a result and "any id" as an argument.
struct CChunkId
{
    CChunkId() : m_byId(0), m_bValid(false) {}
    explicit CChunkId(BYTE byId) : m_byId(byId), m_bValid(true) {}

    explicit operator bool() const { return m_bValid; }
    // All invalid ids are equal whatever their byte.
    bool operator==(const CChunkId& rkoOther) const
    {
        return m_bValid == rkoOther.m_bValid && (!m_bValid || m_byId == rkoOther.m_byId);
    }

    BYTE m_byId;
    bool m_bValid;
};

// Search criteria on CNCF_FINAL (eType) and CNCF_ATTR (eAttr), and the type
// of a chunk. When a chunk is created, typeFinal sets the flag and any other
// value leaves it clear.
enum EChunkType
{
    typeAny = 0,      // no condition
    typeNotFinal = 1, // flag clear
    typeFinal = 2     // flag set
};

// CChunkNode -- one entry of the path; the root's entry has no parent.
struct CChunkNode
{
    CChunkNode* m_poParent;
    CChunkHeader* m_poHeader;
    BYTE* m_pbyChunkData; // m_poHeader + 8
};

// CChunkPos -- bookmark of a chunk: valid while nothing before or around it
// is inserted, deleted or resized.
struct CChunkPos
{
    CChunkHeader* m_poHeader;
    WORD m_wLevel;
};

class CChunkNav
{
public:
    // Navigates the tree that lies at pbyData; dwLength is the block's capacity.
    CChunkNav(BYTE* pbyData, DWORD dwLength);
    // Copies the current chunk of poChunkNav (with its subtree) to the start
    // of the empty block pbyData of capacity dwLength and navigates it as root.
    CChunkNav(const CChunkNav* poChunkNav, BYTE* pbyData, DWORD dwLength);
    virtual ~CChunkNav();

    CChunkNav(const CChunkNav&) = delete;
    CChunkNav& operator=(const CChunkNav&) = delete;

    // Queries of the current chunk.
    DWORD m_dwfnDataLength() const;
    DWORD m_dwfnSize() const; // data length + 8
    EChunkType m_efnGetType() const;
    BYTE* m_pbyfnData() const;
    BYTE* m_pbyfnHeader() const;
    DWORD m_dwfnOffset() const;   // header address - m_pbyData
    DWORD m_dwfnUsedSize() const; // m_dwSize
    CChunkPos m_oPosition() const;
    bool m_bfnIsCompressed() const;

    // Navigation; each returns the id of the chunk current afterwards, or an
    // invalid id with the position as stated per operation.
    CChunkId m_ofnRewind();
    CChunkId m_ofnEnter(CChunkId oId = CChunkId(), EChunkType eAttr = typeAny, EChunkType eType = typeAny);
    CChunkId m_ofnNext(CChunkId oId = CChunkId(), EChunkType eAttr = typeAny, EChunkType eType = typeAny);
    CChunkId m_ofnLeave();
    CChunkId m_ofnFind(CChunkId oId, EChunkType eAttr, EChunkType eType, WORD wStopLevel, WORD wLevel);
    CChunkId m_ofnGoTo(const CChunkPos& rkoPos);

    // Editing; each returns the id of the chunk current afterwards, or an
    // invalid id when the edit was refused (nothing changed). Growth past the
    // reserve is reported and refused; so is a violated precondition that
    // would corrupt the tree (a child created or copied into final data or
    // in front of existing children, a write past the data).
    CChunkId m_ofnDelete();
    // m_ofnDeleteRest -- m_ofnDelete until the parent is current: removes the
    // current chunk and the whole chunks after it in one move of the rest of
    // the tree (bytes that form no whole chunk stay, as m_ofnDelete leaves
    // them). Returns the parent's id.
    CChunkId m_ofnDeleteRest();
    CChunkId m_ofnDuplicate(DWORD dwLength);
    CChunkId m_ofnCreateChild(EChunkType eAttr, EChunkType eType, CChunkId oId, BYTE byParam1, BYTE byParam2,
                              DWORD dwLength);
    CChunkId m_ofnInsertAfter(EChunkType eAttr, EChunkType eType, CChunkId oId, BYTE byParam1, BYTE byParam2,
                              DWORD dwLength);
    // The source may be a navigator over this same block: it is copied as it
    // was before the edit (that navigator's path is stale afterwards).
    CChunkId m_ofnCopyInto(const CChunkNav* poChunkNav);
    void m_fnSetDataLength(DWORD dwLength);
    void m_fnSetFinalLength(DWORD dwLength);
    // Resizes the current final chunk and returns its data for the caller to
    // fill; null when the resize was refused.
    BYTE* m_pbyfnFinalData(DWORD dwLength);
    void m_fnWriteData(const BYTE* pbySource, DWORD dwLength, DWORD dwOffset);

    // The navigator's state, read-only to callers: the current path entry
    // (never null), the block (not owned), the bytes the tree uses (the
    // root's size), the free reserve behind it (capacity - used size;
    // negative: an unusable tree) and the depth of the current chunk (root 0).
    const CChunkNode* m_pofnCurrent() const { return m_poCurrent; }
    const BYTE* m_pbyfnBlock() const { return m_pbyData; }
    SDWORD m_sdwfnExtraLength() const { return m_sdwExtraLength; }
    WORD m_wfnLevel() const { return m_wLevel; }

protected:
    // m_pofnCurrentNode -- the current path entry, for the editing steps of
    // derived navigators.
    CChunkNode* m_pofnCurrentNode() const { return m_poCurrent; }
    // m_bfnResize -- opens (sdwDelta > 0) or closes (sdwDelta < 0) room at
    // pbyAt by moving the rest of the used tree, and adds sdwDelta to the
    // length of poFirst and of every chunk enclosing it. Needs a sound path.
    // False, with nothing changed, when the growth exceeds the reserve.
    bool m_bfnResize(CChunkNode* poFirst, BYTE* pbyAt, SDWORD sdwDelta);
    // m_bfnPathIsSound -- every path entry lies inside its parent's data and
    // the root fills exactly m_dwSize bytes of a usable block.
    bool m_bfnPathIsSound() const;

private:
    CChunkNode* m_poCurrent; // current path entry, never null
    BYTE* m_pbyData;         // start of the block, not owned
    DWORD m_dwSize;          // bytes used by the tree: the root's size
    SDWORD m_sdwExtraLength; // free reserve: capacity - m_dwSize; negative: unusable tree
    WORD m_wLevel;           // depth of the current chunk, root = 0

    void m_fnSetUnusable();
    void m_fnPush(CChunkHeader* poHeader);
    CChunkId m_ofnCurrentId() const;
    BYTE* m_pbyfnDataLimit(const CChunkNode* poNode) const;
    bool m_bfnOverlapsBlock(const BYTE* pbyStart, DWORD dwLength) const;
    static CChunkHeader* m_pofnChunkAt(BYTE* pbyAt, const BYTE* pbyLimit);
    static bool m_bfnMatches(const CChunkHeader* poHeader, CChunkId oId, EChunkType eAttr, EChunkType eType);
    static CChunkHeader m_ofnNewHeader(EChunkType eAttr, EChunkType eType, CChunkId oId, BYTE byParam1, BYTE byParam2,
                                       DWORD dwLength);

    // The path, root first. A deque keeps the addresses of the entries that
    // stay while entries are pushed and popped, so m_poParent never dangles.
    std::deque<CChunkNode> m_aoPath;
    // Stand-in root for a navigator without a usable block (null block, a
    // block too small for a header, a refused copy): an empty container held
    // here, so that queries read it instead of the block; every step into it
    // and every edit fail on the negative reserve.
    CChunkHeader m_oNoTree;
};

// CChunkStream -- a chunk's data and its compressed stream, made aside: the
// encoding, the slow part of a compression, touches nothing but the data it
// reads and the stream it makes, so the streams of several chunks can be
// made at once (CChunkNavComp::m_ofnStreamSource, m_fnEncode, then
// CChunkNavComp::m_bfnStoreStream chunk by chunk).
struct CChunkStream
{
    // The chunk's data in its block; null when there is nothing to encode.
    const BYTE* m_pbyData = nullptr;
    DWORD m_dwDataLength = 0;
    // The stream; null before m_fnEncode and when the codec refused.
    std::unique_ptr<BYTE[]> m_pbyStream;
    DWORD m_dwStreamLength = 0;

    // m_fnEncode -- makes the stream (version 2 or 3, method 0..2). Reads the
    // data, which must stay as it is meanwhile; allocates.
    void m_fnEncode(BYTE byVersion, BYTE byMethod);
};

// CChunkNavComp -- the navigator that also compresses and decompresses the
// data of the current chunk in place.
class CChunkNavComp : public CChunkNav
{
public:
    CChunkNavComp(BYTE* pbyData, DWORD dwLength);
    ~CChunkNavComp() override;

    // m_bfnCompress -- replaces the data by its compressed stream (version 2
    // or 3, method 0..2) and sets CNCF_COMPRESSED. True when done or already
    // compressed; false leaves the chunk unchanged.
    bool m_bfnCompress(BYTE byVersion, BYTE byMethod);
    // m_ofnStreamSource -- the current chunk's data for a stream made aside;
    // none when the chunk is compressed already or its path is not sound.
    CChunkStream m_ofnStreamSource() const;
    // m_bfnStoreStream -- m_bfnCompress with the stream made aside of the
    // current chunk's data (which has not changed since): the same checks
    // and results.
    bool m_bfnStoreStream(const CChunkStream& rkoStream);
    // m_bfnDecompress -- replaces the compressed stream by its decoded data
    // and clears CNCF_COMPRESSED. True when done or not compressed; false
    // leaves the chunk unchanged and still compressed.
    bool m_bfnDecompress(bool bCheck);
};
