// COComp.cpp -- the LZ77 codec of compressed style slots: the stream
// header, the decoder and the check byte. The encoder's parse is in
// COCompEncoder.cpp, its match finder in COCompMatchFinder.h.
//
// The decoder trusts nothing in the stream: every length is checked against
// the room left in the input and in the output, every match distance
// against the bytes already produced.
#include "compression/COComp.h"

#include "compression/COCompEncoder.h"
#include "compression/COCompFormat.h"

#include <cstddef>
#include <cstring>

namespace {

// A stream shorter than this cannot be one the encoder wrote for a non-empty block.
constexpr DWORD COC_MIN_STREAM = 15;

// Token stream results besides the produced size.
constexpr SDWORD COC_ERR_END = -1;      // the stream does not end exactly at its end
constexpr SDWORD COC_ERR_OVERFLOW = -2; // a length runs past the output limit
constexpr SDWORD COC_ERR_CORRUPT = -3;  // extra bytes beyond the input, or a distance before the output start

// CopyMatch -- copies dwLength bytes from dwDistance back, with the result
// of a forward byte-by-byte copy (an overlapping source repeats the bytes
// just written). Wide copies are used where the distance keeps each piece's
// source behind its destination and the output has room for the overshoot.
inline void CopyMatch(BYTE* pbyOut, const BYTE* pbyOutEnd, DWORD dwDistance, DWORD dwLength)
{
    const BYTE* pbyFrom = pbyOut - dwDistance;
    const std::size_t uRoom = std::size_t(pbyOutEnd - pbyOut);
    if (dwDistance >= 16 && uRoom >= std::size_t(dwLength) + 16)
    {
        DWORD dwDone = 0;
        do
        {
            std::memcpy(pbyOut + dwDone, pbyFrom + dwDone, 16);
            dwDone += 16;
        } while (dwDone < dwLength);
    }
    else if (dwDistance >= 8 && uRoom >= std::size_t(dwLength) + 8)
    {
        DWORD dwDone = 0;
        do
        {
            std::memcpy(pbyOut + dwDone, pbyFrom + dwDone, 8);
            dwDone += 8;
        } while (dwDone < dwLength);
    }
    else if (dwDistance == 1)
        std::memset(pbyOut, pbyFrom[0], dwLength);
    else if (dwDistance >= dwLength)
        std::memcpy(pbyOut, pbyFrom, dwLength);
    else
    {
        for (DWORD dw = 0; dw < dwLength; ++dw)
            pbyOut[dw] = pbyFrom[dw];
    }
}

// DecodeTokens -- decodes a token stream into at most dwOutSize bytes and
// sets dwProduced. Returns 0, or COC_ERR_END, COC_ERR_OVERFLOW,
// COC_ERR_CORRUPT. Never reads outside the stream nor writes outside the
// output: every count is checked against the room left before it is used.
SDWORD DecodeTokens(const BYTE* pbyIn, DWORD dwInLength, BYTE* pbyOutStart, DWORD dwOutSize, DWORD& dwProduced)
{
    const BYTE* const pbyInEnd = pbyIn + dwInLength;
    BYTE* pbyOut = pbyOutStart;
    BYTE* const pbyOutEnd = pbyOutStart + dwOutSize;
    const BYTE* pby = pbyIn;
    dwProduced = 0;

    for (;;)
    {
        // Every read below is checked, so the cursor never passes the end:
        // reaching it exactly ends the stream without an end marker.
        if (pby == pbyInEnd)
        {
            dwProduced = DWORD(pbyOut - pbyOutStart);
            return 0;
        }
        const DWORD dwToken = *pby++;
        std::size_t uInLeft = std::size_t(pbyInEnd - pby);
        DWORD dwLength;

        if (dwToken < 0x10)
        {
            // Literal run.
            if (dwToken >= 2)
                dwLength = dwToken + 2;
            else if (dwToken == 0)
            {
                if (uInLeft < 1)
                    return COC_ERR_CORRUPT;
                dwLength = DWORD(*pby++) + 18;
            }
            else
            {
                if (uInLeft < 2)
                    return COC_ERR_CORRUPT;
                dwLength = QdReadBE16(pby);
                pby += 2;
                if (dwLength == 0)
                {
                    // The end marker: nothing may follow it.
                    if (pby != pbyInEnd)
                        return COC_ERR_END;
                    dwProduced = DWORD(pbyOut - pbyOutStart);
                    return 0;
                }
            }
            const std::size_t uOutLeft = std::size_t(pbyOutEnd - pbyOut);
            if (uOutLeft < dwLength)
                return COC_ERR_OVERFLOW;
            uInLeft = std::size_t(pbyInEnd - pby);
            if (uInLeft < dwLength)
                return COC_ERR_CORRUPT;
            if (dwLength <= 32 && uInLeft >= 32 && uOutLeft >= 32)
            {
                // Two fixed-size copies: the bytes past the run stay inside
                // the output, and the following tokens write over them.
                std::memcpy(pbyOut, pby, 16);
                std::memcpy(pbyOut + 16, pby + 16, 16);
            }
            else
                std::memcpy(pbyOut, pby, dwLength);
            pbyOut += dwLength;
            pby += dwLength;
            continue;
        }

        DWORD dwDistance;
        DWORD dwTrailing;
        if (dwToken >= 0x40)
        {
            // Short match: length in the top three bits, distance over both bytes.
            if (uInLeft < 1)
                return COC_ERR_CORRUPT;
            const DWORD dwSecond = *pby++;
            dwLength = (dwToken >> 5) + 1;
            dwDistance = (((dwToken & 0x1F) << 6) | (dwSecond >> 2)) + 1;
            dwTrailing = dwSecond & 3;
        }
        else
        {
            // Middle (0x20..0x3F) or far (0x10..0x1F) match.
            const bool bMiddle = dwToken >= 0x20;
            const DWORD dwCode = dwToken & (bMiddle ? 0x1F : 0x07);
            if (dwCode >= 2)
                dwLength = dwCode + 2;
            else if (dwCode == 0)
            {
                if (uInLeft < 1)
                    return COC_ERR_CORRUPT;
                dwLength = DWORD(*pby++) + (bMiddle ? 34 : 10);
                --uInLeft;
            }
            else
            {
                if (uInLeft < 2)
                    return COC_ERR_CORRUPT;
                dwLength = QdReadBE16(pby);
                pby += 2;
                uInLeft -= 2;
            }
            if (uInLeft < 2)
                return COC_ERR_CORRUPT;
            const DWORD dwWord = QdReadBE16(pby);
            pby += 2;
            dwTrailing = dwWord & 3;
            if (bMiddle)
                dwDistance = (dwWord >> 2) + 1;
            else
                dwDistance = (dwWord >> 2) + COC_MIDDLE_WINDOW + 1 + ((dwToken & 0x08) ? 0x4000 : 0);
        }

        if (std::size_t(pbyOut - pbyOutStart) < dwDistance)
            return COC_ERR_CORRUPT;
        if (std::size_t(pbyOutEnd - pbyOut) < dwLength)
            return COC_ERR_OVERFLOW;
        CopyMatch(pbyOut, pbyOutEnd, dwDistance, dwLength);
        pbyOut += dwLength;

        if (dwTrailing != 0)
        {
            const std::size_t uOutLeft = std::size_t(pbyOutEnd - pbyOut);
            if (uOutLeft < dwTrailing)
                return COC_ERR_OVERFLOW;
            uInLeft = std::size_t(pbyInEnd - pby);
            if (uInLeft < dwTrailing)
                return COC_ERR_CORRUPT;
            if (uInLeft >= 4 && uOutLeft >= 4)
                std::memcpy(pbyOut, pby, 4);
            else
                std::memcpy(pbyOut, pby, dwTrailing);
            pbyOut += dwTrailing;
            pby += dwTrailing;
        }
    }
}

} // namespace

// COComp::COComp -- nothing remembered, no external work table.
COComp::COComp()
    : m_byVersion(0), m_byMethod(0), m_bValid(false), m_dwDecodedSize(0), m_pbyStream(nullptr), m_dwStreamLength(0),
      m_pvWorkTable(nullptr)
{
}

// COComp::MaxEncodedSize -- n + n/16 + 64 bytes.
//
// A match token is always shorter than the bytes it covers (by its gain, at
// least 1), and 1..3 literals between matches ride in the match's low bits.
// So only a literal run's header can make a stretch of run plus match longer
// than its source: a run of 4..17 bytes costs 1 byte, which the match wins
// back; a run of 18..271 costs 2, one more than a 3-byte match wins back,
// over at least 21 source bytes (22 bytes for 21 is the worst case); a
// longer run costs 3 per 0xFFFC bytes plus 3. Every stretch thus grows by
// less than a sixteenth of its length. Fixed costs: 8 header bytes, up to 3
// bytes of run header for the trailing literals, the 3-byte end marker and
// the check byte, which 64 covers with room to spare.
DWORD COComp::MaxEncodedSize(DWORD dwLength)
{
    const std::uint64_t qwBound = std::uint64_t(dwLength) + dwLength / 16 + 64;
    return qwBound > 0xFFFFFFFFu ? 0xFFFFFFFFu : DWORD(qwBound);
}

// COComp::Encode -- header, little-endian length, method-2 token stream, and
// for version 3 the check byte. Methods 0 and 1 only name themselves in the
// header; their streams decode the same way.
DWORD COComp::Encode(const BYTE* pbySource, DWORD dwLength, BYTE* pbyOutput, DWORD dwCapacity, BYTE byVersion,
                     BYTE byMethod)
{
    if (byVersion < COC_VERSION_MIN || byVersion > COC_VERSION_MAX || byMethod > COC_METHOD_MAX)
        return 0;
    if (pbyOutput == nullptr || (pbySource == nullptr && dwLength != 0) || dwCapacity < COC_HEADER_SIZE)
        return 0;
    m_byVersion = byVersion;
    m_byMethod = byMethod;

    BYTE* const pbyOutEnd = pbyOutput + dwCapacity;
    pbyOutput[0] = 'O';
    pbyOutput[1] = 'C';
    pbyOutput[2] = BYTE('0' + byVersion);
    pbyOutput[3] = BYTE('0' + byMethod);
    pbyOutput[4] = BYTE(dwLength);
    pbyOutput[5] = BYTE(dwLength >> 8);
    pbyOutput[6] = BYTE(dwLength >> 16);
    pbyOutput[7] = BYTE(dwLength >> 24);

    BYTE* pbyOut = COCompEncodeTokens(pbySource, dwLength, pbyOutput + COC_HEADER_SIZE, pbyOutEnd);
    if (pbyOut == nullptr)
        return 0;
    if (byVersion == COC_VERSION_CHECKED)
    {
        if (pbyOut == pbyOutEnd)
            return 0;
        *pbyOut++ = CheckByte(pbySource, dwLength);
    }
    return DWORD(pbyOut - pbyOutput);
}

// COComp::ReadHeader -- accepts "OC", version 2 or 3, method 0..2 and at
// least 15 bytes; remembers the stream and its decoded size for Decode.
DWORD COComp::ReadHeader(const BYTE* pbyStream, DWORD dwStreamLength)
{
    m_bValid = false;
    m_dwDecodedSize = 0;
    m_pbyStream = nullptr;
    m_dwStreamLength = 0;
    if (pbyStream == nullptr || dwStreamLength < COC_MIN_STREAM || pbyStream[0] != 'O' || pbyStream[1] != 'C')
        return 0;
    const BYTE byVersion = BYTE(pbyStream[2] - '0');
    const BYTE byMethod = BYTE(pbyStream[3] - '0');
    if (byVersion < COC_VERSION_MIN || byVersion > COC_VERSION_MAX || byMethod > COC_METHOD_MAX)
        return 0;
    m_byVersion = byVersion;
    m_byMethod = byMethod;
    m_pbyStream = pbyStream;
    m_dwStreamLength = dwStreamLength;
    m_dwDecodedSize = DWORD(pbyStream[4]) | (DWORD(pbyStream[5]) << 8) | (DWORD(pbyStream[6]) << 16) |
                      (DWORD(pbyStream[7]) << 24);
    m_bValid = true;
    return m_dwDecodedSize;
}

// COComp::Decode -- decodes the stream remembered by ReadHeader. The output
// limit is the header's size, so a stream that would produce more is
// refused as it goes; one that produces less is refused at the end. One
// decoding per ReadHeader: the remembered size and stream are cleared.
DWORD COComp::Decode(BYTE* pbyOutput, DWORD dwCapacity, bool bCheck)
{
    const bool bValid = m_bValid;
    const DWORD dwSize = m_dwDecodedSize;
    m_bValid = false;
    m_dwDecodedSize = 0;
    if (!bValid || pbyOutput == nullptr || dwCapacity < dwSize)
        return 0;

    const bool bChecked = m_byVersion == COC_VERSION_CHECKED;
    // ReadHeader guaranteed at least 15 bytes, so the token stream is never negative.
    const DWORD dwTokens = m_dwStreamLength - COC_HEADER_SIZE - (bChecked ? 1 : 0);
    DWORD dwProduced;
    if (DecodeTokens(m_pbyStream + COC_HEADER_SIZE, dwTokens, pbyOutput, dwSize, dwProduced) != 0 ||
        dwProduced != dwSize)
        return 0;
    if (bChecked && bCheck && CheckByte(pbyOutput, dwSize) != m_pbyStream[m_dwStreamLength - 1])
        return 0;
    return dwSize;
}

// COComp::CheckByte -- XOR of all bytes, taken eight at a time and folded.
BYTE COComp::CheckByte(const BYTE* pbyData, DWORD dwLength)
{
    std::uint64_t qwA = 0, qwB = 0;
    DWORD dw = 0;
    for (; dwLength - dw >= 16; dw += 16)
    {
        qwA ^= COCLoad64(pbyData + dw);
        qwB ^= COCLoad64(pbyData + dw + 8);
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
