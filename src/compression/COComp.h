// COComp.h -- the LZ77 codec of compressed style slots.
//
// A compressed stream is "OC", a version digit ('2' or '3'), a method digit
// ('0'..'2'), the uncompressed length (32-bit little-endian), the token
// stream ending in the end marker 01 00 00, and for version 3 a check byte
// (XOR of all uncompressed bytes).
//
// Contract: the encoder never writes outside its output buffer and the
// decoder never reads outside the stream nor writes outside its output
// buffer, whatever the input bytes.
#pragma once

#include "Base/QdTypes.h"

class COComp
{
public:
    COComp();

    // MaxEncodedSize -- output room that Encode needs at most for dwLength
    // source bytes (header, literal-run overhead, end marker, check byte).
    static DWORD MaxEncodedSize(DWORD dwLength);

    // Encode -- compresses dwLength bytes with the given version (2 or 3) and
    // method (0..2; the tokens written are those of method 2). Returns the
    // bytes written, 0 for an invalid version or method or when the output
    // room dwCapacity would not suffice.
    DWORD Encode(const BYTE* pbySource, DWORD dwLength, BYTE* pbyOutput, DWORD dwCapacity, BYTE byVersion,
                 BYTE byMethod);

    // ReadHeader -- checks the stream header and remembers the stream for
    // Decode. Returns the decoded size, 0 when the stream is invalid.
    DWORD ReadHeader(const BYTE* pbyStream, DWORD dwStreamLength);

    // Decode -- decodes the remembered stream into pbyOutput, which holds
    // dwCapacity bytes (at least the decoded size). With bCheck the check
    // byte of a version-3 stream is verified. Returns the decoded size, 0 for
    // a corrupt stream. Clears the remembered size.
    DWORD Decode(BYTE* pbyOutput, DWORD dwCapacity, bool bCheck);

    // CheckByte -- XOR of all bytes of a block (0 for an empty block).
    static BYTE CheckByte(const BYTE* pbyData, DWORD dwLength);

private:
    BYTE m_byVersion;
    BYTE m_byMethod;
    bool m_bValid;
    DWORD m_dwDecodedSize;
    const BYTE* m_pbyStream;
    DWORD m_dwStreamLength;
    // External encoder work table; this program always lets Encode allocate its own.
    void* m_pvWorkTable;
};
