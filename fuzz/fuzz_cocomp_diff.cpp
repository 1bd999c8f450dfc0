// fuzz_cocomp_diff.cpp -- the slot encoder against the reference encoder
// (the encoder before its match finder was rewritten, COCompReference.h) on
// blocks made from arbitrary bytes: both must write the same stream byte
// for byte, or both refuse for want of room.
//
// Input: a shape byte, a size byte, then the data.
//   shape & 3 == 0   the data as it is
//   shape & 3 == 1   the data repeated to about size * 8 bytes: runs and
//                    repeats with the data's length as period
//   shape & 3 == 2   the data, noise, the data again: repeats at the edge
//                    of the short window (0x800 +- 64 back)
//   shape & 3 == 3   the data folded to four byte values: many short
//                    matches of equal length
//   shape & 4        version 2 instead of 3
//   shape & 8        room cut to size % 64 sixty-fourths of MaxEncodedSize
// A shape byte of 0xF0 .. 0xF3 makes the block long: repeats reach beyond
// the 16-bit positions (size * 8 + 65,536 bytes), echoes lie at the edge of
// the window (0xC000 +- 64 back). Long blocks are few, so that the run stays
// fast (the reference encoder walks whole chains).
#include "FuzzSupport.h"

#include "COCompReference.h"
#include "compression/COComp.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

typedef std::vector<BYTE> Bytes;

constexpr DWORD SHORT_ECHO = 0x800 - 64;
constexpr DWORD LONG_ECHO = 0xC000 - 64;

// Noise -- reproducible bytes that repeat nothing of any length worth a match.
void AppendNoise(Bytes& rabyOut, DWORD dwCount, DWORD dwSeed)
{
    for (DWORD dw = 0; dw < dwCount; ++dw)
    {
        dwSeed = dwSeed * 1103515245u + 12345u;
        rabyOut.push_back(BYTE(dwSeed >> 16));
    }
}

Bytes Block(BYTE byShape, BYTE bySize, const BYTE* pbyData, DWORD dwLength)
{
    const bool bLong = (byShape & 0xFC) == 0xF0;
    Bytes aby(pbyData, pbyData + dwLength);
    switch (byShape & 3)
    {
    case 1:
        if (dwLength != 0)
        {
            const DWORD dwTotal = DWORD(bySize) * 8 + (bLong ? 0x10000 : 0);
            for (DWORD dw = dwLength; dw < dwTotal; ++dw)
                aby.push_back(aby[dw % dwLength]);
        }
        break;
    case 2:
    {
        const DWORD dwEcho = bLong ? LONG_ECHO : SHORT_ECHO;
        AppendNoise(aby, dwEcho + bySize % 128 - dwLength % dwEcho, bySize);
        aby.insert(aby.end(), pbyData, pbyData + dwLength);
        break;
    }
    case 3:
        for (BYTE& rby : aby)
            rby &= 3;
        break;
    default:
        break;
    }
    return aby;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QdFuzz::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbyInput, std::size_t uSize)
{
    if (uSize < 2 || uSize > 0x100000)
        return 0;
    const BYTE byShape = pbyInput[0];
    const BYTE bySize = pbyInput[1];
    const Bytes abyBlock = Block(byShape, bySize, pbyInput + 2, DWORD(uSize - 2));
    const DWORD dwLength = DWORD(abyBlock.size());
    const BYTE byVersion = byShape & 4 ? 2 : 3;
    DWORD dwRoom = COComp::MaxEncodedSize(dwLength);
    if (byShape & 8)
        dwRoom = DWORD(std::uint64_t(dwRoom) * (bySize % 64) / 64);

    Bytes abyNew(dwRoom + 1), abyReference(dwRoom + 1);
    const DWORD dwNew = COComp().Encode(abyBlock.data(), dwLength, abyNew.data(), dwRoom, byVersion, 2);
    const DWORD dwReference =
        COCompReferenceEncode(abyBlock.data(), dwLength, abyReference.data(), dwRoom, byVersion, 2);
    QdFuzz::Require(dwNew == dwReference, "the encoder's stream differs in length from the reference encoder's");
    QdFuzz::Require(std::memcmp(abyNew.data(), abyReference.data(), dwNew) == 0,
                    "the encoder's stream differs from the reference encoder's");
    QdFuzz::Require(dwNew != 0 || (byShape & 8), "the encoder refused with the room MaxEncodedSize promises");
    return 0;
}
