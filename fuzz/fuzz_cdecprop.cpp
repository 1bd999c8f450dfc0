// fuzz_cdecprop.cpp -- the compact-stream decoder over arbitrary bytes.
//
// The input is one block of compact data in an exact-size copy. Three
// decoders read it: the plain one, one that reads private records through,
// and one with filter hooks that drop events (the last two are those of the
// decoder's tests, tests/support/DecPropVariants.h). Each extracts every group
// twice (the second time after a rewind, which must give the same groups),
// describes every event as the event dump does, and gives every event back
// to the pool. Every record takes at least one byte, so a decoder that hands
// out more groups than the block has bytes does not end.
#include "DecPropVariants.h"
#include "FuzzSupport.h"

#include "Kernel/RTEvents/LinkedEv.h"
#include "Kernel/SeqBase/CDecProp.h"
#include "Kernel/SeqBase/EventDump.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

// DecodeAll -- every group from the rewind on; a digest of ticks, deltas,
// classes and descriptions.
std::uint64_t DecodeAll(CDecBase& roDecoder, DWORD dwSize)
{
    std::uint64_t qwDigest = 1469598103934665603ull;
    auto fnMix = [&](std::uint64_t qw) { qwDigest = (qwDigest ^ qw) * 1099511628211ull; };
    char szLine[EVENT_DUMP_LINE_SIZE];
    fnMix(std::uint64_t(std::int64_t(roDecoder.Rewind())));
    fnMix(roDecoder.GetPendingClass());
    DWORD dwGroups = 0;
    while (!roDecoder.IsEndOfStream())
    {
        QdFuzz::Require(++dwGroups <= dwSize + 2, "more groups than the block has bytes");
        CLinkedEvent* poList = nullptr;
        const TDELTA sdwDelta = roDecoder.ExtractEvents(poList);
        fnMix(roDecoder.GetTick());
        fnMix(std::uint64_t(std::int64_t(sdwDelta)));
        for (const CLinkedEvent* poEvent = poList; poEvent; poEvent = poEvent->Next())
        {
            const std::size_t uLength = FormatEventLine(poEvent, roDecoder.GetTick(), int(dwGroups), szLine,
                                                        sizeof szLine);
            QdFuzz::Require(uLength < sizeof szLine, "event line longer than its buffer");
            fnMix(poEvent->GetClass());
            fnMix(uLength);
        }
        if (poList)
            FreeEventsList(poList);
        if (sdwDelta == NO_DELTA)
            break;
    }
    fnMix(roDecoder.IsEndOfStream());
    return qwDigest;
}

void DecodeTwice(CDecBase& roDecoder, DWORD dwSize)
{
    const std::uint64_t qwFirst = DecodeAll(roDecoder, dwSize);
    QdFuzz::Require(DecodeAll(roDecoder, dwSize) == qwFirst, "a rewound decoder gives other groups");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QdFuzz::Start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pbyInput, std::size_t uSize)
{
    if (uSize > (1u << 20))
        return 0;
    QdFuzz::CPoolBalance oBalance;
    const DWORD dwSize = DWORD(uSize);
    std::unique_ptr<BYTE[]> pbyData(new BYTE[dwSize + (dwSize == 0)]);
    std::copy(pbyInput, pbyInput + uSize, pbyData.get());
    {
        CDecProp oDecoder(pbyData.get(), dwSize);
        DecodeTwice(oDecoder, dwSize);
        // Prepare with a track of its own starts again at the read position.
        oDecoder.Rewind();
        (void)oDecoder.Prepare(BYTE(dwSize != 0 ? pbyData[0] & 0x0F : 0));
    }
    {
        CReadingDecProp oDecoder(pbyData.get(), dwSize);
        DecodeTwice(oDecoder, dwSize);
    }
    {
        CFilteringDecProp oDecoder(pbyData.get(), dwSize);
        DecodeTwice(oDecoder, dwSize);
    }
    return 0;
}
