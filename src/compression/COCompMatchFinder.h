// COCompMatchFinder.h -- the match the slot encoder's parse takes at a
// position: of all earlier positions within the window whose bytes match at
// least three, the one of highest gain, the nearest of those on equal gain.
//
// The finder keeps, for four prefix lengths (3, 4, 5 and 6 bytes), a hash
// chain through every position: the position before it, nearest first,
// whose prefix of that length hashes alike. A search follows the chain of
// the length it needs next, so it visits the matches that can still win,
// not every position that shares three bytes.
#pragma once

#include "Base/QdTypes.h"
#include "compression/COCompFormat.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

// SCOCompMatch -- a match: its length, its distance back and its gain (COCGain).
struct SCOCompMatch
{
    DWORD dwLength;
    DWORD dwDistance;
    SDWORD sdwGain;
};

// COCompMatchFinder -- the finder over one block. TPos holds a position + 1
// (0: none); with 16 bits it serves blocks whose parse ends at 65,535
// (COCompMatchFinder<WORD>::Serves), with 32 bits any block.
template <typename TPos>
class COCompMatchFinder
{
public:
    // Positions below dwLimit are entered: the parse searches only there.
    COCompMatchFinder(const BYTE* pbySource, DWORD dwLength, DWORD dwLimit);
    COCompMatchFinder(const COCompMatchFinder&) = delete;
    COCompMatchFinder& operator=(const COCompMatchFinder&) = delete;

    // Serves -- the finder holds the positions of a parse ending at dwLimit.
    static bool Serves(DWORD dwLimit);

    // Best -- the best match at dwPos (below the limit) whose gain exceeds
    // sdwFloor; false when there is none. With bWithoutPrevious the position
    // just before dwPos is no candidate: the parse looks one position ahead
    // before it has entered the position it stands on.
    bool Best(DWORD dwPos, SDWORD sdwFloor, bool bWithoutPrevious, SCOCompMatch& roBest);

private:
    void Enter(DWORD dwEnd);

    const BYTE* m_pbySource;
    DWORD m_dwLength;
    DWORD m_dwLimit;
    // Positions below this one are entered.
    DWORD m_dwEntered;
    DWORD m_dwHashBits;
    // Per prefix length, per hash: the latest position entered, + 1.
    TPos* m_atHeads;
    // Per position (a ring of 65,536), per prefix length: the previous
    // position of its chain, + 1. Both lie in the thread's work area, which
    // the finder holds while it lives (one finder per thread at a time).
    TPos* m_atPrevious;
};

// The finder is defined here, in its one user's translation unit: the
// parse calls Best at nearly every position, and a call it cannot inline
// costs more than a short walk.

// How it works: the slot encoder's match finder: hash chains of
// four prefix lengths through every position, walked from the length a
// better match needs.
//
// What the parse must get is fixed: at position s, of the candidates -- the
// earlier positions q entered so far with s - q at most COC_WINDOW whose
// bytes match s's for three or more (for four or more beyond
// COC_SHORT_WINDOW) -- the one of highest gain, the nearest on equal gain,
// if that gain exceeds the floor. Every position below the parse's limit is
// entered before the parse stands on a later one, except that a lookahead
// search at s runs before s - 1 is entered.
//
// Gain is the length less the token's size, and the size never shrinks as
// the distance grows; so a candidate can only win against every nearer one
// by being strictly longer. The winner is thus among the "frontier": the
// nearest candidate of length 3 or more, then the nearest one longer than
// that, and so on. Bytes beyond a three-byte match decide nothing either: a
// three-byte match beyond the short window gains 0, never more than a
// floor, so the four-byte rule needs no check of its own.
//
// The finder walks the frontier directly. Having found a match of length L,
// it needs the nearest older position matching L + 1 or more bytes. Those
// share s's prefix of every length up to L + 1, so they lie in s's chain of
// such a length, and once a match of L bytes is known, in that match's own
// chain of any length up to L. The chains of 3, 4, 5 and 6 bytes give a
// walk from the longest prefix length the next match needs: the positions it
// passes over share that prefix but are too short (or merely share its
// hash), far fewer than all positions sharing three bytes.
namespace COCompFinderDetail {

// The prefix lengths of the chains, shortest first. Most matches in style
// data are 4 to 6 bytes long; a chain of 8 bytes saves steps on longer ones
// but costs more to keep than it saves there.
constexpr DWORD s_adwPrefix[] = {3, 4, 5, 6};
constexpr int NR_CHAINS = int(sizeof s_adwPrefix / sizeof s_adwPrefix[0]);
static_assert(s_adwPrefix[0] == COC_MIN_MATCH && s_adwPrefix[NR_CHAINS - 1] <= 8,
              "the chains start at the shortest match and hash one 64-bit load");

// Chain entries are kept for the last 65,536 positions. A search at s reads
// entries of positions from s - COC_WINDOW to s, so positions are entered at
// most ENTER_AHEAD beyond the search before their ring places come round.
constexpr DWORD RING_MASK = 0xFFFF;
constexpr DWORD ENTER_AHEAD = 0x1000;
static_assert(COC_WINDOW + ENTER_AHEAD < RING_MASK + 1, "the ring outlasts the window");

// Hash heads per chain: 2^bits, four for each position of the block within
// these bounds. Collisions cost whole steps of a walk; clearing the heads
// for a block costs less.
constexpr DWORD MIN_HASH_BITS = 10;
constexpr DWORD MAX_HASH_BITS = 16;
constexpr DWORD HEADS_PER_POSITION_BITS = 2;

constexpr std::uint64_t HASH_FACTOR = 0x9E3779B97F4A7C15ull;

// ChainFor -- the chain to walk for matches of at least dwNeed bytes: the
// longest prefix length not above it. A table, not a loop: the walk asks at
// every frontier match, and a loop's exit is hard to predict.
constexpr int LongestChainUpTo(DWORD dwNeed)
{
    int iChain = 0;
    while (iChain + 1 < NR_CHAINS && s_adwPrefix[iChain + 1] <= dwNeed)
        ++iChain;
    return iChain;
}

struct SChainTable
{
    BYTE abyChain[s_adwPrefix[NR_CHAINS - 1] + 1];
    constexpr SChainTable() : abyChain()
    {
        for (DWORD dw = 0; dw <= s_adwPrefix[NR_CHAINS - 1]; ++dw)
            abyChain[dw] = BYTE(LongestChainUpTo(dw));
    }
};
constexpr SChainTable s_oChainTable;

inline int ChainFor(DWORD dwNeed)
{
    return s_oChainTable.abyChain[std::min(dwNeed, s_adwPrefix[NR_CHAINS - 1])];
}

// Hash -- the hash of the first dwPrefix bytes from a load of eight
// multiplied by HASH_FACTOR: the product's low 8 * dwPrefix bits depend on
// those bytes only, and their top bits are a multiplicative hash of them.
template <DWORD dwPrefix, DWORD dwHashBits>
inline std::size_t Hash(std::uint64_t qwProduct)
{
    return std::size_t((qwProduct << (64 - 8 * dwPrefix)) >> (64 - dwHashBits));
}

// MatchLength -- equal bytes at pbyCur and pbyMatch, the first eight known
// equal, at most dwMaxLength (more than eight, and inside the block).
inline DWORD MatchLength(const BYTE* pbyCur, const BYTE* pbyMatch, DWORD dwMaxLength)
{
    DWORD dwLength = 8;
    while (dwMaxLength - dwLength >= 8)
    {
        const std::uint64_t qwDiff = COCLoad64(pbyCur + dwLength) ^ COCLoad64(pbyMatch + dwLength);
        if (qwDiff != 0)
            return dwLength + COCEqualBytes(qwDiff);
        dwLength += 8;
    }
    while (dwLength < dwMaxLength && pbyCur[dwLength] == pbyMatch[dwLength])
        ++dwLength;
    return dwLength;
}

// EnterRange -- enters positions dwFrom .. dwEnd - 1 into every chain: each
// chain's entry takes the head of the position's hash, the head the position.
template <DWORD dwHashBits, typename TPos, std::size_t... I>
void EnterRange(const BYTE* pbySource, DWORD dwFrom, DWORD dwEnd, TPos* atPrevious, TPos* atHeads,
                std::index_sequence<I...>)
{
    TPos* const aatHeads[NR_CHAINS] = {(atHeads + (I << dwHashBits))...};
    for (DWORD dwPos = dwFrom; dwPos < dwEnd; ++dwPos)
    {
        const std::uint64_t qwProduct = COCLoad64(pbySource + dwPos) * HASH_FACTOR;
        TPos* const atEntry = atPrevious + std::size_t(dwPos & RING_MASK) * NR_CHAINS;
        const TPos tHere = TPos(dwPos + 1);
        (
            [&] {
                TPos& rtHead = aatHeads[I][Hash<s_adwPrefix[I], dwHashBits>(qwProduct)];
                atEntry[I] = rtHead;
                rtHead = tHere;
            }(),
            ...);
    }
}

// EnterWithHashBits -- EnterRange with the hash size as a constant, which
// keeps the hashing to two shifts a chain.
template <typename TPos, DWORD... dwBits>
void EnterWithHashBits(DWORD dwHashBits, const BYTE* pbySource, DWORD dwFrom, DWORD dwEnd, TPos* atPrevious,
                       TPos* atHeads, std::integer_sequence<DWORD, dwBits...>)
{
    ((void)(dwHashBits == MIN_HASH_BITS + dwBits &&
            (EnterRange<MIN_HASH_BITS + dwBits>(pbySource, dwFrom, dwEnd, atPrevious, atHeads,
                                                std::make_index_sequence<NR_CHAINS>()),
             true)),
     ...);
}

// CWorkArea -- the finder's memory, kept by each thread from block to
// block. A block's chains take up to three megabytes; allocated afresh for
// every block, they would be mapped and faulted in page by page each time,
// which costs more than the search itself on small blocks.
class CWorkArea
{
public:
    // Get -- room for uBytes, its contents undefined.
    void* Get(std::size_t uBytes)
    {
        if (uBytes > m_uBytes)
        {
            m_pqwRoom.reset();
            m_uBytes = 0;
            m_pqwRoom = std::make_unique_for_overwrite<std::uint64_t[]>((uBytes + 7) / 8);
            m_uBytes = uBytes;
        }
        return m_pqwRoom.get();
    }

private:
    std::unique_ptr<std::uint64_t[]> m_pqwRoom;
    std::size_t m_uBytes = 0;
};

inline thread_local CWorkArea t_oWorkArea;

} // namespace COCompFinderDetail

// COCompMatchFinder::COCompMatchFinder -- empty chains for the block, in
// the thread's work area. The entries are written before they are read (a
// position's entries when it is entered), so only the heads start cleared.
template <typename TPos>
inline COCompMatchFinder<TPos>::COCompMatchFinder(const BYTE* pbySource, DWORD dwLength, DWORD dwLimit)
    : m_pbySource(pbySource), m_dwLength(dwLength), m_dwLimit(dwLimit), m_dwEntered(0), m_dwHashBits(COCompFinderDetail::MIN_HASH_BITS)
{
    while (m_dwHashBits < COCompFinderDetail::MAX_HASH_BITS && (DWORD(1) << (m_dwHashBits - COCompFinderDetail::HEADS_PER_POSITION_BITS)) < dwLimit)
        ++m_dwHashBits;
    const std::size_t uHeads = std::size_t(COCompFinderDetail::NR_CHAINS) << m_dwHashBits;
    const std::size_t uEntries = std::min<std::size_t>(dwLimit, std::size_t(COCompFinderDetail::RING_MASK) + 1) * COCompFinderDetail::NR_CHAINS;
    m_atHeads = static_cast<TPos*>(COCompFinderDetail::t_oWorkArea.Get((uHeads + uEntries) * sizeof(TPos)));
    m_atPrevious = m_atHeads + uHeads;
    std::fill_n(m_atHeads, uHeads, TPos(0));
}

// COCompMatchFinder::Serves -- positions + 1 up to the limit fit a TPos.
template <typename TPos>
inline bool COCompMatchFinder<TPos>::Serves(DWORD dwLimit)
{
    return dwLimit <= TPos(~TPos(0));
}

// COCompMatchFinder::Enter -- enters the positions up to dwEnd.
template <typename TPos>
inline void COCompMatchFinder<TPos>::Enter(DWORD dwEnd)
{
    COCompFinderDetail::EnterWithHashBits(m_dwHashBits, m_pbySource, m_dwEntered, dwEnd, m_atPrevious, m_atHeads,
                      std::make_integer_sequence<DWORD, COCompFinderDetail::MAX_HASH_BITS - COCompFinderDetail::MIN_HASH_BITS + 1>());
    m_dwEntered = dwEnd;
}

// COCompMatchFinder::Best -- walks the frontier from the shortest match that
// can beat the floor (floor + 3 bytes: no token is shorter than two).
//
// The walk stays on one chain while the positions it meets are too short,
// ends at the first position beyond the window (chains run nearest first),
// and takes each match at least as long as needed as the next frontier
// match. The next chain is that of the longest prefix length up to the new
// need; a chain of a length the match shares is entered at the match, where
// the walk stands; a longer one, one byte more than the match, is entered at
// s, and nothing nearer than the match is in it but positions that merely
// hash alike, and the position a lookahead leaves out.
template <typename TPos>
inline bool COCompMatchFinder<TPos>::Best(DWORD dwPos, SDWORD sdwFloor, bool bWithoutPrevious, SCOCompMatch& roBest)
{
    const DWORD dwMaxLength = std::min(COC_MAX_MATCH, m_dwLength - dwPos);
    DWORD dwNeed = DWORD(std::max<SDWORD>(sdwFloor, 0)) + COC_MIN_MATCH;
    if (dwNeed > dwMaxLength)
        return false;
    if (dwPos >= m_dwEntered)
        Enter(std::min(m_dwLimit, dwPos + COCompFinderDetail::ENTER_AHEAD));

    const TPos* const atPrevious = m_atPrevious;
    const BYTE* const pbyCur = m_pbySource + dwPos;
    // The parse's limit leaves 13 bytes after every position searched.
    const std::uint64_t qwCur = COCLoad64(pbyCur);
    const DWORD dwHere = dwPos + 1;
    // The entry naming the position before dwPos (0, which ends every walk, when none is left out).
    const DWORD dwLeftOut = bWithoutPrevious ? dwPos : 0;
    SDWORD sdwBestGain = sdwFloor;
    bool bFound = false;
    int iChain = COCompFinderDetail::ChainFor(dwNeed);
    DWORD dwCursor = dwPos;
    for (;;)
    {
        const DWORD dwEntry = atPrevious[std::size_t(dwCursor & COCompFinderDetail::RING_MASK) * COCompFinderDetail::NR_CHAINS + std::size_t(iChain)];
        const DWORD dwDistance = dwHere - dwEntry;
        if (dwEntry == 0 || dwDistance > COC_WINDOW)
            break;
        dwCursor = dwEntry - 1;
        if (dwEntry == dwLeftOut)
            continue;
        const BYTE* const pbyMatch = pbyCur - dwDistance;
        // Eight when all eight bytes are equal, with no branch for the
        // common case of a shorter match.
        DWORD dwLength = COCEqualBytes(COCLoad64(pbyMatch) ^ qwCur);
        if (dwLength == 8)
        {
            if (pbyMatch[dwNeed - 1] != pbyCur[dwNeed - 1])
                continue;
            dwLength = COCompFinderDetail::MatchLength(pbyCur, pbyMatch, dwMaxLength);
        }
        if (dwLength < dwNeed)
            continue;

        const SDWORD sdwGain = COCGain(dwLength, dwDistance);
        if (sdwGain > sdwBestGain)
        {
            sdwBestGain = sdwGain;
            roBest.dwLength = dwLength;
            roBest.dwDistance = dwDistance;
            roBest.sdwGain = sdwGain;
            bFound = true;
        }
        dwNeed = dwLength + 1;
        if (dwNeed > dwMaxLength)
            break;
        iChain = COCompFinderDetail::ChainFor(dwNeed);
        if (COCompFinderDetail::s_adwPrefix[iChain] > dwLength)
            dwCursor = dwPos;
    }
    return bFound;
}
