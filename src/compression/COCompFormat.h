// COCompFormat.h -- what the slot codec's encoder and decoder share: the
// stream header, the distance classes of the match tokens and the bytes a
// token takes, and the word loads both use.
//
// A match token is short (2 bytes: length 3..8, distance up to 0x800),
// middle (distance up to 0x4000) or far (up to 0xC000); a middle or far
// token is 3 bytes with its length in the token byte, 4 with one extra
// length byte, 5 with a 16-bit length.
#pragma once

#include "Base/QdTypes.h"

#include <bit>
#include <cstdint>
#include <cstring>

// Stream header: "OC", version digit, method digit, 32-bit little-endian length.
inline constexpr DWORD COC_HEADER_SIZE = 8;
inline constexpr BYTE COC_VERSION_MIN = 2;
inline constexpr BYTE COC_VERSION_MAX = 3;
inline constexpr BYTE COC_METHOD_MAX = 2;
// Version 3 appends the check byte.
inline constexpr BYTE COC_VERSION_CHECKED = 3;

inline constexpr DWORD COC_WINDOW = 0xC000;      // farthest match distance
inline constexpr DWORD COC_SHORT_WINDOW = 0x800; // farthest short match
inline constexpr DWORD COC_MIDDLE_WINDOW = 0x4000;
inline constexpr DWORD COC_MAX_MATCH = 0xFFFF;
inline constexpr DWORD COC_MIN_MATCH = 3;
// Longest short match; a middle match's length up to 33, a far match's up
// to 9 sits in the token byte, the next 256 in one extra byte.
inline constexpr DWORD COC_SHORT_MAX = 8;
inline constexpr DWORD COC_MIDDLE_IN_TOKEN = 34;
inline constexpr DWORD COC_FAR_IN_TOKEN = 10;

// COCIsShortMatch -- the match goes into a two-byte token.
inline bool COCIsShortMatch(DWORD dwLength, DWORD dwDistance)
{
    return dwLength <= COC_SHORT_MAX && dwDistance <= COC_SHORT_WINDOW;
}

// COCMatchTokenSize -- the bytes of the token of a match (2 to 5).
inline DWORD COCMatchTokenSize(DWORD dwLength, DWORD dwDistance)
{
    if (COCIsShortMatch(dwLength, dwDistance))
        return 2;
    const DWORD dwInToken = dwDistance <= COC_MIDDLE_WINDOW ? COC_MIDDLE_IN_TOKEN : COC_FAR_IN_TOKEN;
    return dwLength < dwInToken ? 3 : dwLength < dwInToken + 256 ? 4 : 5;
}

// COCGain -- bytes a match saves against copying its bytes as literals.
inline SDWORD COCGain(DWORD dwLength, DWORD dwDistance)
{
    return SDWORD(dwLength) - SDWORD(COCMatchTokenSize(dwLength, dwDistance));
}

inline DWORD COCLoad32(const BYTE* pby)
{
    DWORD dw;
    std::memcpy(&dw, pby, sizeof dw);
    return dw;
}

inline std::uint64_t COCLoad64(const BYTE* pby)
{
    std::uint64_t qw;
    std::memcpy(&qw, pby, sizeof qw);
    return qw;
}

// COCEqualBytes -- the number of equal leading bytes of two 64-bit loads,
// given their XOR (8 for a XOR of zero).
inline DWORD COCEqualBytes(std::uint64_t qwDiff)
{
    if constexpr (std::endian::native == std::endian::little)
        return DWORD(std::countr_zero(qwDiff)) >> 3;
    else
        return DWORD(std::countl_zero(qwDiff)) >> 3;
}
