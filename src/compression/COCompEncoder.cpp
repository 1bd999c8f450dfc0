// COCompEncoder.cpp -- the slot encoder's parse and tokens.
//
// The parse is greedy with one position of lookahead; its output is fixed
// byte for byte by the rules below (they are what the instrument's own
// software writes). The match at each position comes from
// COCompMatchFinder, which finds exactly the match the parse has always
// taken there, only faster.
#include "compression/COCompEncoder.h"

#include "compression/COCompFormat.h"
#include "compression/COCompMatchFinder.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr DWORD COC_TAIL_GUARD = 13;         // no match starts within the last 13 bytes
constexpr DWORD COC_NO_PARSE_MAX = 17;       // blocks up to this size are literals only
constexpr SDWORD COC_LOOKAHEAD_STOP = 0x800; // a gain above this is taken without lookahead
constexpr DWORD COC_LITERAL_CHUNK = 0xFFFC;  // piece of an overlong literal run

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

// WriteLiteralRun -- a run of four or more literals: one header byte up to
// 17, two up to 271, else 01 and a 16-bit count, in pieces of 0xFFFC while
// the count does not fit in 16 bits.
BYTE* WriteLiteralRun(BYTE* pbyOut, BYTE* pbyOutEnd, const BYTE* pbyLit, DWORD dwCount)
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

// WriteMatch -- the token of one match, its class chosen as its gain was
// counted (COCMatchTokenSize); the low two bits of its last byte stay free
// for a following count of 1..3 literals.
BYTE* WriteMatch(BYTE* pbyOut, BYTE* pbyOutEnd, const SCOCompMatch& rkoMatch)
{
    const DWORD dwLength = rkoMatch.dwLength;
    const DWORD dwDistance = rkoMatch.dwDistance;
    const DWORD dwSize = COCMatchTokenSize(dwLength, dwDistance);
    if (!Fits(pbyOut, pbyOutEnd, dwSize))
        return nullptr;
    if (dwSize == 2)
    {
        PutBE16(pbyOut, ((dwLength - 1) << 13) | ((dwDistance - 1) << 2));
        return pbyOut;
    }
    const bool bMiddle = dwDistance <= COC_MIDDLE_WINDOW;
    const DWORD dwInToken = bMiddle ? COC_MIDDLE_IN_TOKEN : COC_FAR_IN_TOKEN;
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

// Parse -- the token stream of a block longer than COC_NO_PARSE_MAX, up to
// its tail; dwLit is set to the first byte not yet written.
//
// Every position below the limit counts as entered into the dictionary once
// the parse has passed it, and no match starts at or past the limit. The
// finder enters them itself; the one thing the parse tells it is the
// lookahead: the search one byte later runs before the position the parse
// stands on is entered.
template <typename TPos>
BYTE* Parse(const BYTE* pbySource, DWORD dwLength, BYTE* pbyOut, BYTE* const pbyOutEnd, DWORD& rdwLit)
{
    BYTE* const pbyTokens = pbyOut;
    const DWORD dwLimit = dwLength - COC_TAIL_GUARD;
    COCompMatchFinder<TPos> oFinder(pbySource, dwLength, dwLimit);
    DWORD dwLit = 0;
    DWORD dwIp = 4;
    while (dwIp < dwLimit)
    {
        SCOCompMatch oChoice{};
        if (!oFinder.Best(dwIp, 0, false, oChoice))
        {
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
            const SDWORD sdwFloor = oChoice.sdwGain + LiteralOverhead(dwPending + 1) - LiteralOverhead(dwPending);
            SCOCompMatch oNext{};
            if (oFinder.Best(dwIp + 1, sdwFloor, true, oNext))
            {
                oChoice = oNext;
                dwStart = dwIp + 1;
            }
        }

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
        dwIp = dwLit = dwStart + oChoice.dwLength;
    }
    rdwLit = dwLit;
    return pbyOut;
}

} // namespace

// COCompEncodeTokens -- the parse (16-bit positions where they reach), the
// tail: 1..3 literals as 01 and a 16-bit count (there may be no match byte
// to carry them), four or more as a run; then the end marker.
BYTE* COCompEncodeTokens(const BYTE* pbySource, DWORD dwLength, BYTE* pbyOut, BYTE* pbyOutEnd)
{
    DWORD dwLit = 0;
    if (dwLength > COC_NO_PARSE_MAX)
    {
        const DWORD dwLimit = dwLength - COC_TAIL_GUARD;
        pbyOut = COCompMatchFinder<WORD>::Serves(dwLimit)
                     ? Parse<WORD>(pbySource, dwLength, pbyOut, pbyOutEnd, dwLit)
                     : Parse<DWORD>(pbySource, dwLength, pbyOut, pbyOutEnd, dwLit);
        if (pbyOut == nullptr)
            return nullptr;
    }

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
