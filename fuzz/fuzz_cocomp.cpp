// fuzz_cocomp.cpp -- the slot codec on arbitrary bytes.
//
// The input is read as a compressed stream: header, then decoding into an
// output of exactly the header's size (at most 4 MiB) with and without the
// check byte, and into one byte less, which must be refused. A stream that
// decodes is encoded again and must decode to the same bytes. The input is
// also taken as plain data: encoded with every version and method into the
// room MaxEncodedSize promises, it must decode to itself.
#include "FuzzSupport.h"

#include "compression/COComp.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// The largest decoded size the target allocates for.
constexpr DWORD MAX_DECODED = 4u << 20;

// RoundTrip -- encodes the block and decodes the result; both must succeed
// and give the block back.
void RoundTrip(const BYTE* pbyData, DWORD dwLength, BYTE byVersion, BYTE byMethod)
{
    const DWORD dwCapacity = COComp::MaxEncodedSize(dwLength);
    std::unique_ptr<BYTE[]> pbyEncoded(new BYTE[dwCapacity]);
    COComp oCodec;
    const DWORD dwEncoded = oCodec.Encode(pbyData, dwLength, pbyEncoded.get(), dwCapacity, byVersion, byMethod);
    QdFuzz::Require(dwEncoded != 0 && dwEncoded <= dwCapacity, "Encode failed within MaxEncodedSize");
    QdFuzz::Require(oCodec.ReadHeader(pbyEncoded.get(), dwEncoded) == dwLength, "encoded header size differs");
    std::unique_ptr<BYTE[]> pbyDecoded(new BYTE[dwLength + 1]);
    QdFuzz::Require(oCodec.Decode(pbyDecoded.get(), dwLength, true) == dwLength, "encoded stream does not decode");
    QdFuzz::Require(dwLength == 0 || std::memcmp(pbyDecoded.get(), pbyData, dwLength) == 0,
                    "decoded bytes differ from the encoded ones");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QdFuzz::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbyInput, std::size_t uSize)
{
    if (uSize > 0xFFFFFFFFu)
        return 0;
    const DWORD dwSize = DWORD(uSize);
    // An exact-size copy: the sanitizer sees any read past the stream.
    std::unique_ptr<BYTE[]> pbyStream(new BYTE[dwSize + (dwSize == 0)]);
    if (dwSize != 0)
        std::memcpy(pbyStream.get(), pbyInput, dwSize);

    (void)COComp::CheckByte(pbyStream.get(), dwSize);

    COComp oCodec;
    const DWORD dwDecodedSize = oCodec.ReadHeader(pbyStream.get(), dwSize);
    if (dwDecodedSize != 0 && dwDecodedSize <= MAX_DECODED)
    {
        std::unique_ptr<BYTE[]> pbyOut(new BYTE[dwDecodedSize]);
        const DWORD dwDecoded = oCodec.Decode(pbyOut.get(), dwDecodedSize, true);
        QdFuzz::Require(dwDecoded == 0 || dwDecoded == dwDecodedSize, "Decode gave a size other than the header's");

        // Without the check byte: same tokens, so success at least as often.
        QdFuzz::Require(oCodec.ReadHeader(pbyStream.get(), dwSize) == dwDecodedSize, "ReadHeader is not repeatable");
        const DWORD dwUnchecked = oCodec.Decode(pbyOut.get(), dwDecodedSize, false);
        QdFuzz::Require(dwDecoded == 0 || dwUnchecked == dwDecoded, "a checked stream fails unchecked");

        // One byte too little room is refused before anything is written.
        std::unique_ptr<BYTE[]> pbySmall(new BYTE[dwDecodedSize - 1 + (dwDecodedSize == 1)]);
        oCodec.ReadHeader(pbyStream.get(), dwSize);
        QdFuzz::Require(oCodec.Decode(pbySmall.get(), dwDecodedSize - 1, false) == 0, "Decode into too little room");

        if (dwUnchecked == dwDecodedSize)
            RoundTrip(pbyOut.get(), dwUnchecked, BYTE(2 + (pbyStream[2] & 1)), BYTE(pbyStream[3] % 3));
    }

    // Decode without a header first is refused.
    BYTE abyOne[1];
    QdFuzz::Require(COComp().Decode(abyOne, sizeof abyOne, false) == 0, "Decode without ReadHeader");

    // The input as plain data.
    const BYTE byFirst = dwSize != 0 ? pbyStream[0] : 0;
    RoundTrip(pbyStream.get(), dwSize, BYTE(2 + (byFirst & 1)), BYTE((byFirst >> 1) % 3));
    return 0;
}
