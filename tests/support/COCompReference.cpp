// COCompReference.cpp -- the slot encoder as it was before its match finder
// was rewritten, kept unchanged as the reference the new encoder is compared
// with: a greedy parse with one position of lookahead over a hash dictionary
// of 16,384 heads and 49,151 chain nodes, walking every chain in full.
//
// Only the differential tests and the fuzz target fuzz_cocomp_diff use it;
// the product never links it. Do not "improve" it: its output is the
// definition the product's encoder must meet byte for byte.
#include "COCompReference.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>

namespace {

// Stream header: "OC", version digit, method digit, 32-bit little-endian length.
constexpr DWORD COC_HEADER_SIZE = 8;
constexpr BYTE COC_VERSION_MIN = 2;
constexpr BYTE COC_VERSION_MAX = 3;
constexpr BYTE COC_METHOD_MAX = 2;
// Version 3 appends the check byte.
constexpr BYTE COC_VERSION_CHECKED = 3;

// Work table: entries 0..0x3FFF are hash heads, 0x4000..0xFFFE chain nodes.
constexpr DWORD COC_NR_HEADS = 0x4000;
constexpr DWORD COC_FIRST_NODE = 0x4000;
constexpr DWORD COC_TABLE_SIZE = 0xFFFF;

constexpr DWORD COC_WINDOW = 0xC000;       // farthest match distance
constexpr DWORD COC_SHORT_WINDOW = 0x800;  // farthest short match, and farthest 3-byte match
constexpr DWORD COC_MIDDLE_WINDOW = 0x4000;
constexpr DWORD COC_MAX_MATCH = 0xFFFF;
constexpr DWORD COC_TAIL_GUARD = 13;         // no match starts within the last 13 bytes
constexpr DWORD COC_NO_PARSE_MAX = 17;       // blocks up to this size are literals only
constexpr SDWORD COC_LOOKAHEAD_STOP = 0x800; // a gain above this is taken without lookahead
constexpr DWORD COC_LITERAL_CHUNK = 0xFFFC;  // piece of an overlong literal run


// One work-table entry. The position is kept as source offset + 1 so that 0
// means "empty".
struct SWorkEntry
{
    WORD wNext;
    WORD wPrev;
    DWORD dwPos;
};
static_assert(sizeof(SWorkEntry) == 8, "work table entries are 8 bytes");

// The best match found at one position.
struct SMatch
{
    DWORD dwLength;
    DWORD dwDistance;
    SDWORD sdwGain;
};

inline DWORD Load32(const BYTE* pby)
{
    DWORD dw;
    std::memcpy(&dw, pby, sizeof dw);
    return dw;
}

inline std::uint64_t Load64(const BYTE* pby)
{
    std::uint64_t qw;
    std::memcpy(&qw, pby, sizeof qw);
    return qw;
}

// The first three bytes of a 32-bit load, whatever the byte order.
constexpr DWORD COC_FIRST3_MASK = std::endian::native == std::endian::little ? 0x00FFFFFFu : 0xFFFFFF00u;

// Number of equal leading bytes in a non-zero XOR of two 64-bit loads.
inline DWORD EqualBytes(std::uint64_t qwDiff)
{
    if constexpr (std::endian::native == std::endian::little)
        return DWORD(std::countr_zero(qwDiff)) >> 3;
    else
        return DWORD(std::countl_zero(qwDiff)) >> 3;
}

// HeadIndex -- the hash head of the three bytes at pby.
inline DWORD HeadIndex(const BYTE* pby)
{
    const DWORD dwHash = ((((DWORD(pby[2]) << 5) ^ pby[1]) << 5) ^ pby[0]) & 0xFFFF;
    return ((dwHash * 65) >> 6) & (COC_NR_HEADS - 1);
}

// Gain -- bytes a match saves against copying its bytes as literals; the
// token class follows from length and distance.
inline SDWORD Gain(DWORD dwLength, DWORD dwDistance)
{
    const SDWORD sdwLength = SDWORD(dwLength);
    if (dwLength < 9 && dwDistance <= COC_SHORT_WINDOW)
        return sdwLength - 2;
    if (dwDistance <= COC_MIDDLE_WINDOW)
        return sdwLength - (dwLength < 34 ? 3 : dwLength < 290 ? 4 : 5);
    return sdwLength - (dwLength < 10 ? 3 : dwLength < 266 ? 4 : 5);
}

// LiteralOverhead -- the run-header bytes the parse charges for k pending
// literals (1..3 of them ride in the previous match's low bits). The steps
// are the parse's own: it charges 2 bytes up to 273 literals although runs
// of 272 and 273 are written with a 3-byte header.
inline SDWORD LiteralOverhead(DWORD dwCount)
{
    if (dwCount <= 3)
        return 0;
    if (dwCount < 18)
        return 1;
    return dwCount < 274 ? 2 : 3;
}

inline bool Fits(const BYTE* pbyOut, const BYTE* pbyOutEnd, std::size_t uNeed)
{
    return std::size_t(pbyOutEnd - pbyOut) >= uNeed;
}

inline void PutBE16(BYTE*& pbyOut, DWORD dw)
{
    QdWriteBE16(pbyOut, WORD(dw));
    pbyOut += 2;
}

// MatchLength -- equal bytes at pbyCur and pbyMatch, the first three known
// equal, at most dwMaxLength (which stays inside the block).
inline DWORD MatchLength(const BYTE* pbyCur, const BYTE* pbyMatch, DWORD dwMaxLength)
{
    DWORD dwLength = 3;
    while (dwMaxLength - dwLength >= 8)
    {
        const std::uint64_t qwDiff = Load64(pbyCur + dwLength) ^ Load64(pbyMatch + dwLength);
        if (qwDiff != 0)
            return dwLength + EqualBytes(qwDiff);
        dwLength += 8;
    }
    while (dwLength < dwMaxLength && pbyCur[dwLength] == pbyMatch[dwLength])
        ++dwLength;
    return dwLength;
}

// COCompEncoder -- one method-2 encoding of one block into one output range.
class COCompEncoder
{
public:
    COCompEncoder(const BYTE* pbySource, DWORD dwLength, SWorkEntry* pTable)
        : m_pbySource(pbySource), m_dwLength(dwLength), m_pTable(pTable), m_dwNextNode(COC_FIRST_NODE)
    {
    }

    // Run -- writes the token stream and the end marker from pbyOut on;
    // returns the end of what was written, nullptr when the room ran out.
    BYTE* Run(BYTE* pbyOut, BYTE* pbyOutEnd);

private:
    void Insert(DWORD dwPos);
    bool Search(DWORD dwPos, SDWORD sdwFloor, SMatch& oBest) const;
    static BYTE* WriteLiteralRun(BYTE* pbyOut, BYTE* pbyOutEnd, const BYTE* pbyLit, DWORD dwCount);
    static BYTE* WriteMatch(BYTE* pbyOut, BYTE* pbyOutEnd, const SMatch& oMatch);

    const BYTE* m_pbySource;
    DWORD m_dwLength;
    SWorkEntry* m_pTable;
    DWORD m_dwNextNode;
};

// COCompEncoder::Insert -- enters the position into the dictionary. The
// head always takes the new position; the position it held moves into the
// next chain node (the oldest one, unlinked first) unless it lies a window
// or more behind.
//
// Every chain thus holds its positions nearest first, and a node comes round
// again only after 49,151 later entries, when its position has left the
// window. So the dictionary always offers every entered position within the
// window; the hash decides how long the walks are, never which match wins.
inline void COCompEncoder::Insert(DWORD dwPos)
{
    SWorkEntry* const pTable = m_pTable;
    const DWORD dwHead = HeadIndex(m_pbySource + dwPos);
    SWorkEntry& oHead = pTable[dwHead];
    const DWORD dwOld = oHead.dwPos; // offset + 1
    if (dwOld != 0 && dwPos + 1 - dwOld < COC_WINDOW)
    {
        const DWORD dwNode = m_dwNextNode;
        SWorkEntry& oNode = pTable[dwNode];
        if (oNode.dwPos != 0)
        {
            pTable[oNode.wPrev].wNext = oNode.wNext;
            if (oNode.wNext != 0)
                pTable[oNode.wNext].wPrev = oNode.wPrev;
        }
        if (oHead.wNext != 0)
            pTable[oHead.wNext].wPrev = WORD(dwNode);
        oNode.wNext = oHead.wNext;
        oNode.wPrev = WORD(dwHead);
        oNode.dwPos = dwOld;
        oHead.wNext = WORD(dwNode);
        m_dwNextNode = dwNode + 1 == COC_TABLE_SIZE ? COC_FIRST_NODE : dwNode + 1;
    }
    oHead.dwPos = dwPos + 1;
}

// COCompEncoder::Search -- the best match at dwPos whose gain exceeds
// sdwFloor: highest gain, the nearer one on equal gain. Returns false when
// there is none.
//
// The chain holds positions nearest first, and for a given length a farther
// match never gains more than a nearer one, nor a shorter match more than a
// longer one at the same distance. So once a best is known only a strictly
// longer match can replace it: a candidate whose byte at the needed length
// differs is passed over unread, the walk ends when no longer match fits in
// the block, and it ends at the first position beyond the window.
bool COCompEncoder::Search(DWORD dwPos, SDWORD sdwFloor, SMatch& oBest) const
{
    const BYTE* const pbyCur = m_pbySource + dwPos;
    const DWORD dwMaxLength = std::min(COC_MAX_MATCH, m_dwLength - dwPos);
    // A gain above the floor needs at least floor + 3 bytes (short matches gain length - 2).
    DWORD dwNeed = DWORD(std::max<SDWORD>(sdwFloor, 0)) + 3;
    if (dwNeed > dwMaxLength)
        return false;
    const DWORD dwCur4 = Load32(pbyCur);
    SDWORD sdwBestGain = sdwFloor;
    bool bFound = false;

    DWORD dwIndex = HeadIndex(pbyCur);
    for (;;)
    {
        const SWorkEntry& oEntry = m_pTable[dwIndex];
        if (oEntry.dwPos == 0)
            break;
        const DWORD dwDistance = dwPos + 1 - oEntry.dwPos;
        if (dwDistance > COC_WINDOW)
            break;
        const BYTE* const pbyMatch = pbyCur - dwDistance;
        if (pbyMatch[dwNeed - 1] == pbyCur[dwNeed - 1])
        {
            // Beyond the short window a match needs four equal bytes, inside it three.
            const DWORD dwDiff = Load32(pbyMatch) ^ dwCur4;
            if ((dwDistance > COC_SHORT_WINDOW ? dwDiff : dwDiff & COC_FIRST3_MASK) == 0)
            {
                const DWORD dwLength = MatchLength(pbyCur, pbyMatch, dwMaxLength);
                const SDWORD sdwGain = Gain(dwLength, dwDistance);
                if (sdwGain > sdwBestGain)
                {
                    sdwBestGain = sdwGain;
                    oBest.dwLength = dwLength;
                    oBest.dwDistance = dwDistance;
                    oBest.sdwGain = sdwGain;
                    bFound = true;
                    dwNeed = std::max(dwNeed, dwLength + 1);
                    if (dwNeed > dwMaxLength)
                        break;
                }
            }
        }
        dwIndex = oEntry.wNext;
        if (dwIndex == 0)
            break;
    }
    return bFound;
}

// COCompEncoder::WriteLiteralRun -- a run of four or more literals: one
// header byte up to 17, two up to 271, else 01 and a 16-bit count, in pieces
// of 0xFFFC while the count does not fit in 16 bits.
BYTE* COCompEncoder::WriteLiteralRun(BYTE* pbyOut, BYTE* pbyOutEnd, const BYTE* pbyLit, DWORD dwCount)
{
    if (dwCount < 18)
    {
        if (!Fits(pbyOut, pbyOutEnd, std::size_t(dwCount) + 1))
            return nullptr;
        *pbyOut++ = BYTE(dwCount - 2);
    }
    else if (dwCount < 272)
    {
        if (!Fits(pbyOut, pbyOutEnd, std::size_t(dwCount) + 2))
            return nullptr;
        *pbyOut++ = 0;
        *pbyOut++ = BYTE(dwCount - 18);
    }
    else
    {
        while (dwCount > 0xFFFF)
        {
            if (!Fits(pbyOut, pbyOutEnd, std::size_t(COC_LITERAL_CHUNK) + 3))
                return nullptr;
            *pbyOut++ = 1;
            PutBE16(pbyOut, COC_LITERAL_CHUNK);
            std::memcpy(pbyOut, pbyLit, COC_LITERAL_CHUNK);
            pbyOut += COC_LITERAL_CHUNK;
            pbyLit += COC_LITERAL_CHUNK;
            dwCount -= COC_LITERAL_CHUNK;
        }
        if (!Fits(pbyOut, pbyOutEnd, std::size_t(dwCount) + 3))
            return nullptr;
        *pbyOut++ = 1;
        PutBE16(pbyOut, dwCount);
    }
    std::memcpy(pbyOut, pbyLit, dwCount);
    return pbyOut + dwCount;
}

// COCompEncoder::WriteMatch -- the token of one match, its class chosen as
// Gain chose it; the low two bits of its last byte stay free for a
// following count of 1..3 literals.
BYTE* COCompEncoder::WriteMatch(BYTE* pbyOut, BYTE* pbyOutEnd, const SMatch& oMatch)
{
    const DWORD dwLength = oMatch.dwLength;
    const DWORD dwDistance = oMatch.dwDistance;
    if (dwLength < 9 && dwDistance <= COC_SHORT_WINDOW)
    {
        if (!Fits(pbyOut, pbyOutEnd, 2))
            return nullptr;
        PutBE16(pbyOut, ((dwLength - 1) << 13) | ((dwDistance - 1) << 2));
        return pbyOut;
    }
    const bool bMiddle = dwDistance <= COC_MIDDLE_WINDOW;
    // Lengths up to 33 (middle) or 9 (far) sit in the token byte, the next
    // 256 in one extra byte, longer ones in a 16-bit value.
    const DWORD dwInToken = bMiddle ? 34 : 10;
    const DWORD dwSize = dwLength < dwInToken ? 3 : dwLength < dwInToken + 256 ? 4 : 5;
    if (!Fits(pbyOut, pbyOutEnd, dwSize))
        return nullptr;
    DWORD dwWord;
    BYTE byToken;
    if (bMiddle)
    {
        byToken = 0x20;
        dwWord = (dwDistance - 1) << 2;
    }
    else
    {
        DWORD dwFar = dwDistance - (COC_MIDDLE_WINDOW + 1);
        byToken = 0x10;
        if (dwFar >= 0x4000)
        {
            byToken |= 0x08;
            dwFar -= 0x4000;
        }
        dwWord = dwFar << 2;
    }
    if (dwSize == 3)
        *pbyOut++ = BYTE(byToken | (dwLength - 2));
    else if (dwSize == 4)
    {
        *pbyOut++ = byToken;
        *pbyOut++ = BYTE(dwLength - dwInToken);
    }
    else
    {
        *pbyOut++ = BYTE(byToken | 1);
        PutBE16(pbyOut, dwLength);
    }
    PutBE16(pbyOut, dwWord);
    return pbyOut;
}

// COCompEncoder::Run -- the parse. Positions are entered into the dictionary
// in order, each exactly once; a position at or past the match limit is
// left out because no search follows its entry (the parse ends first).
BYTE* COCompEncoder::Run(BYTE* pbyOut, BYTE* const pbyOutEnd)
{
    const BYTE* const pbySource = m_pbySource;
    const DWORD dwLength = m_dwLength;
    BYTE* const pbyTokens = pbyOut;
    DWORD dwLit = 0;

    if (dwLength > COC_NO_PARSE_MAX)
    {
        const DWORD dwLimit = dwLength - COC_TAIL_GUARD;
        for (DWORD dwPos = 0; dwPos < 4; ++dwPos)
            Insert(dwPos);
        DWORD dwIp = 4;
        while (dwIp < dwLimit)
        {
            SMatch oChoice;
            if (!Search(dwIp, 0, oChoice))
            {
                Insert(dwIp);
                ++dwIp;
                continue;
            }
            // One position of lookahead: the match one byte later wins when
            // its gain less its literal cost beats this one's. Both costs
            // count the literals before dwIp; they differ only when the one
            // more literal in front of the later match crosses a run-header
            // step, so the later match must gain more than this one plus
            // that step.
            DWORD dwStart = dwIp;
            if (oChoice.sdwGain <= COC_LOOKAHEAD_STOP && dwIp + 1 < dwLimit)
            {
                const DWORD dwPending = dwIp - dwLit;
                const SDWORD sdwFloor =
                    oChoice.sdwGain + LiteralOverhead(dwPending + 1) - LiteralOverhead(dwPending);
                SMatch oNext;
                if (Search(dwIp + 1, sdwFloor, oNext))
                {
                    oChoice = oNext;
                    dwStart = dwIp + 1;
                }
            }
            for (DWORD dwPos = dwIp; dwPos <= dwStart; ++dwPos)
                Insert(dwPos);

            const DWORD dwPending = dwStart - dwLit;
            if (dwPending >= 4)
            {
                pbyOut = WriteLiteralRun(pbyOut, pbyOutEnd, pbySource + dwLit, dwPending);
                if (pbyOut == nullptr)
                    return nullptr;
            }
            else if (dwPending > 0)
            {
                // The first match follows a run of at least the four opening
                // literals, so a short count always has a match byte to go into.
                if (pbyOut == pbyTokens || !Fits(pbyOut, pbyOutEnd, dwPending))
                    return nullptr;
                pbyOut[-1] = BYTE(pbyOut[-1] | dwPending);
                std::memcpy(pbyOut, pbySource + dwLit, dwPending);
                pbyOut += dwPending;
            }
            pbyOut = WriteMatch(pbyOut, pbyOutEnd, oChoice);
            if (pbyOut == nullptr)
                return nullptr;

            const DWORD dwEnd = dwStart + oChoice.dwLength;
            const DWORD dwInsertEnd = std::min(dwEnd, dwLimit);
            for (DWORD dwPos = dwStart + 1; dwPos < dwInsertEnd; ++dwPos)
                Insert(dwPos);
            dwIp = dwLit = dwEnd;
        }
    }

    // The tail: 1..3 literals as 01 and a 16-bit count (there may be no match
    // byte to carry them), four or more as a run; then the end marker.
    const DWORD dwTail = dwLength - dwLit;
    if (dwTail >= 4)
    {
        pbyOut = WriteLiteralRun(pbyOut, pbyOutEnd, pbySource + dwLit, dwTail);
        if (pbyOut == nullptr)
            return nullptr;
    }
    else if (dwTail > 0)
    {
        if (!Fits(pbyOut, pbyOutEnd, std::size_t(dwTail) + 3))
            return nullptr;
        *pbyOut++ = 1;
        PutBE16(pbyOut, dwTail);
        std::memcpy(pbyOut, pbySource + dwLit, dwTail);
        pbyOut += dwTail;
    }
    if (!Fits(pbyOut, pbyOutEnd, 3))
        return nullptr;
    *pbyOut++ = 1;
    *pbyOut++ = 0;
    *pbyOut++ = 0;
    return pbyOut;
}

// ReferenceCheckByte -- XOR of all bytes, taken eight at a time and folded.
BYTE ReferenceCheckByte(const BYTE* pbyData, DWORD dwLength)
{
    std::uint64_t qwA = 0, qwB = 0;
    DWORD dw = 0;
    for (; dwLength - dw >= 16; dw += 16)
    {
        qwA ^= Load64(pbyData + dw);
        qwB ^= Load64(pbyData + dw + 8);
    }
    qwA ^= qwB;
    qwA ^= qwA >> 32;
    qwA ^= qwA >> 16;
    qwA ^= qwA >> 8;
    BYTE by = BYTE(qwA);
    for (; dw < dwLength; ++dw)
        by ^= pbyData[dw];
    return by;
}

} // namespace

// COCompReferenceEncode -- as COComp::Encode was: header, little-endian
// length, method-2 token stream, and for version 3 the check byte. Methods
// 0 and 1 only name themselves in the header; their streams decode the same
// way.
DWORD COCompReferenceEncode(const BYTE* pbySource, DWORD dwLength, BYTE* pbyOutput, DWORD dwCapacity,
                            BYTE byVersion, BYTE byMethod)
{
    if (byVersion < COC_VERSION_MIN || byVersion > COC_VERSION_MAX || byMethod > COC_METHOD_MAX)
        return 0;
    if (pbyOutput == nullptr || (pbySource == nullptr && dwLength != 0) || dwCapacity < COC_HEADER_SIZE)
        return 0;

    BYTE* const pbyOutEnd = pbyOutput + dwCapacity;
    pbyOutput[0] = 'O';
    pbyOutput[1] = 'C';
    pbyOutput[2] = BYTE('0' + byVersion);
    pbyOutput[3] = BYTE('0' + byMethod);
    pbyOutput[4] = BYTE(dwLength);
    pbyOutput[5] = BYTE(dwLength >> 8);
    pbyOutput[6] = BYTE(dwLength >> 16);
    pbyOutput[7] = BYTE(dwLength >> 24);

    // The work table starts empty for every block (a zero position is "empty").
    std::unique_ptr<SWorkEntry[]> pTable = std::make_unique<SWorkEntry[]>(COC_TABLE_SIZE);
    COCompEncoder oEncoder(pbySource, dwLength, pTable.get());
    BYTE* pbyOut = oEncoder.Run(pbyOutput + COC_HEADER_SIZE, pbyOutEnd);
    if (pbyOut == nullptr)
        return 0;
    if (byVersion == COC_VERSION_CHECKED)
    {
        if (!Fits(pbyOut, pbyOutEnd, 1))
            return 0;
        *pbyOut++ = ReferenceCheckByte(pbySource, dwLength);
    }
    return DWORD(pbyOut - pbyOutput);
}
