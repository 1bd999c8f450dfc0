// QdTypes.h -- the fixed-width names the whole system speaks in.
#pragma once

#include <cstdint>

typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t SDWORD;

// Ticks from the start of a pattern, chord variation or file; 384 per quarter note.
typedef std::uint32_t TTICK;

// Big-endian fields of the bank file.
inline DWORD QdReadBE32(const BYTE* pby)
{
    return (DWORD(pby[0]) << 24) | (DWORD(pby[1]) << 16) | (DWORD(pby[2]) << 8) | DWORD(pby[3]);
}

inline void QdWriteBE32(BYTE* pby, DWORD dw)
{
    pby[0] = BYTE(dw >> 24);
    pby[1] = BYTE(dw >> 16);
    pby[2] = BYTE(dw >> 8);
    pby[3] = BYTE(dw);
}

inline WORD QdReadBE16(const BYTE* pby)
{
    return WORD((pby[0] << 8) | pby[1]);
}

inline void QdWriteBE16(BYTE* pby, WORD w)
{
    pby[0] = BYTE(w >> 8);
    pby[1] = BYTE(w);
}
