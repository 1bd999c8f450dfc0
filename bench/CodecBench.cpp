// CodecBench.cpp -- slot codec throughput against LZO1X on style-like data.
//
// The corpus is generated with a fixed-seed generator so that every run
// measures the same bytes: style slots made of chunk headers (id, two
// parameter bytes, flags, big-endian length), track parameter records and
// patterns of compact note events: measures repeated with small changes,
// drum patterns shared between chord variations, the others transposed. Both
// codecs compress it in pieces of one slot size and decompress their own
// pieces; throughput counts uncompressed bytes, "ratio" is uncompressed
// size over compressed size.
#include "BenchRng.h"
#include "compression/COComp.h"

#include <benchmark/benchmark.h>
#include <lzo/lzo1x.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

using CBytes = std::vector<BYTE>;

constexpr DWORD CORPUS_MIN_SIZE = 1536 * 1024;


// One note event of a pattern in compact form.
struct SBenchEvent
{
    DWORD dwDelta;
    BYTE byKind;
    BYTE byNote;
    BYTE byVelocity;
    DWORD dwDuration;
};

// Variable-length quantity, seven bits a byte, high bit = more to come.
void PutVarLen(CBytes& o, DWORD dw)
{
    if (dw >= 0x80)
        o.push_back(BYTE(0x80 | (dw >> 7)));
    o.push_back(BYTE(dw & 0x7F));
}

// OpenChunk -- writes a chunk header with a length to be filled by CloseChunk.
std::size_t OpenChunk(CBytes& o, BYTE byId, BYTE byParam1, BYTE byParam2, BYTE byFlags)
{
    o.insert(o.end(), {byId, byParam1, byParam2, byFlags, 0, 0, 0, 0});
    return o.size();
}

void CloseChunk(CBytes& o, std::size_t uDataStart)
{
    const DWORD dwLength = DWORD(o.size() - uDataStart);
    BYTE* pby = o.data() + uDataStart - 4;
    pby[0] = BYTE(dwLength >> 24);
    pby[1] = BYTE(dwLength >> 16);
    pby[2] = BYTE(dwLength >> 8);
    pby[3] = BYTE(dwLength);
}

// MakeMeasure -- one measure of a track: a drum groove on sixteenths, or a
// bass or accompaniment figure on eighths and quarters.
std::vector<SBenchEvent> MakeMeasure(CBenchRng& oRng, DWORD dwTrack)
{
    std::vector<SBenchEvent> aEvents;
    const bool bDrum = dwTrack < 2;
    const DWORD dwStep = bDrum ? 96 : (oRng.Chance(50) ? 192 : 384);
    DWORD dwGap = 0;
    for (DWORD dwTick = 0; dwTick < 1536; dwTick += dwStep)
    {
        if (oRng.Chance(bDrum ? 15 : 25))
        {
            dwGap += dwStep;
            continue;
        }
        const DWORD dwVoices = bDrum ? 1 + oRng.Next(3) : 1 + oRng.Next(dwTrack == 2 ? 1 : 4);
        for (DWORD dw = 0; dw < dwVoices; ++dw)
        {
            const BYTE byNote = bDrum ? BYTE(35 + oRng.Next(24)) : BYTE(36 + 12 * (dwTrack % 3) + oRng.Next(24));
            aEvents.push_back({dw == 0 ? dwGap + (dwTick == 0 ? 0 : dwStep) : 0, BYTE(dwTrack), byNote,
                               BYTE(60 + oRng.Next(60)), bDrum ? 24 : dwStep - 12});
        }
        dwGap = 0;
    }
    return aEvents;
}

// WritePattern -- the measures of one pattern: a base measure repeated,
// each copy with some velocities and now and then a note changed.
void WritePattern(CBytes& o, CBenchRng& oRng, const std::vector<SBenchEvent>& aBase, DWORD dwMeasures,
                  int iTranspose)
{
    for (DWORD dwMeasure = 0; dwMeasure < dwMeasures; ++dwMeasure)
        for (const SBenchEvent& oEvent : aBase)
        {
            PutVarLen(o, oEvent.dwDelta);
            o.push_back(BYTE(0x90 | oEvent.byKind));
            BYTE byNote = BYTE(std::clamp(int(oEvent.byNote) + iTranspose, 0, 127));
            if (oRng.Chance(3))
                byNote = BYTE(byNote + 1 + oRng.Next(4));
            o.push_back(byNote);
            BYTE byVelocity = oEvent.byVelocity;
            if (oRng.Chance(12))
                byVelocity = BYTE(std::clamp(int(byVelocity) + int(oRng.Next(21)) - 10, 1, 127));
            o.push_back(byVelocity);
            PutVarLen(o, oEvent.dwDuration);
        }
    o.insert(o.end(), {0x00, 0xFF, 0x7E, 0x01});
}

// MakeCorpus -- style slots until the corpus reaches its minimum size.
CBytes MakeCorpus()
{
    CBenchRng oRng(0x51D50u);
    CBytes o;
    for (BYTE bySlot = 0; o.size() < CORPUS_MIN_SIZE; ++bySlot)
    {
        const std::size_t uSlot = OpenChunk(o, 'S', bySlot, 0, 0x00);
        static const char s_szNames[] = "8BeatPop  Ballad   SlowRock Bossa    Swing    Disco    ";
        o.insert(o.end(), s_szNames + 9 * (bySlot % 6), s_szNames + 9 * (bySlot % 6) + 9);
        for (BYTE byElem = 0; byElem < 10; ++byElem)
        {
            const std::size_t uElem = OpenChunk(o, 'E', byElem, 0, 0x01);
            const BYTE abyTimeSig[] = {4, 2, BYTE(90 + oRng.Next(60))};
            o.insert(o.end(), abyTimeSig, abyTimeSig + 3);
            for (DWORD dwTrack = 0; dwTrack < 8; ++dwTrack)
                o.insert(o.end(), {BYTE(dwTrack), BYTE(oRng.Next(128)), 0, BYTE(oRng.Next(4)), 100,
                                   BYTE(64 + oRng.Next(16) - 8)});
            std::vector<std::vector<SBenchEvent>> aBase;
            for (DWORD dwTrack = 0; dwTrack < 8; ++dwTrack)
                aBase.push_back(MakeMeasure(oRng, dwTrack));
            const DWORD dwMeasures = byElem < 4 ? 2 + oRng.Next(3) : 1 + oRng.Next(2);
            const BYTE byChordVars = byElem < 4 ? 6 : 2;
            for (BYTE byCv = 0; byCv < byChordVars; ++byCv)
            {
                const std::size_t uCv = OpenChunk(o, 'C', byElem, byCv, 0x01);
                for (DWORD dwTrack = 0; dwTrack < 8; ++dwTrack)
                {
                    const std::size_t uPattern = OpenChunk(o, 'P', BYTE(dwTrack), byCv, 0x02);
                    // Drums play the same in every chord variation; the others follow the chord.
                    const int iTranspose = dwTrack < 2 ? 0 : int(oRng.Next(12)) - 5;
                    if (oRng.Chance(20))
                        aBase[dwTrack] = MakeMeasure(oRng, dwTrack);
                    WritePattern(o, oRng, aBase[dwTrack], dwMeasures, iTranspose);
                    CloseChunk(o, uPattern);
                }
                CloseChunk(o, uCv);
            }
            CloseChunk(o, uElem);
        }
        CloseChunk(o, uSlot);
    }
    return o;
}

const CBytes& Corpus()
{
    static const CBytes s_oCorpus = MakeCorpus();
    return s_oCorpus;
}

// The corpus cut into pieces of dwPiece bytes (the last one shorter).
struct SPiece
{
    const BYTE* pbyData;
    DWORD dwLength;
};

std::vector<SPiece> Pieces(DWORD dwPiece)
{
    const CBytes& oCorpus = Corpus();
    std::vector<SPiece> aPieces;
    for (std::size_t u = 0; u < oCorpus.size(); u += dwPiece)
        aPieces.push_back({oCorpus.data() + u, DWORD(std::min<std::size_t>(dwPiece, oCorpus.size() - u))});
    return aPieces;
}

// LzoBound -- LZO1X-1's documented worst case for dwLength input bytes.
DWORD LzoBound(DWORD dwLength)
{
    return dwLength + dwLength / 16 + 64 + 3;
}

void Report(benchmark::State& state, std::size_t uCompressed)
{
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Corpus().size()));
    state.counters["ratio"] = double(Corpus().size()) / double(uCompressed);
}

void BM_COCompCompress(benchmark::State& state)
{
    const std::vector<SPiece> aPieces = Pieces(DWORD(state.range(0)));
    CBytes oOut(COComp::MaxEncodedSize(DWORD(state.range(0))));
    std::size_t uTotal = 0;
    for (auto _ : state)
    {
        uTotal = 0;
        for (const SPiece& oPiece : aPieces)
        {
            COComp oCodec;
            const DWORD dwSize =
                oCodec.Encode(oPiece.pbyData, oPiece.dwLength, oOut.data(), DWORD(oOut.size()), 3, 2);
            if (dwSize == 0)
            {
                state.SkipWithError("Encode failed");
                return;
            }
            uTotal += dwSize;
        }
        benchmark::DoNotOptimize(oOut.data());
    }
    Report(state, uTotal);
}

void BM_COCompDecompress(benchmark::State& state)
{
    const std::vector<SPiece> aPieces = Pieces(DWORD(state.range(0)));
    std::vector<CBytes> aStreams;
    std::size_t uTotal = 0;
    for (const SPiece& oPiece : aPieces)
    {
        CBytes oStream(COComp::MaxEncodedSize(oPiece.dwLength));
        COComp oCodec;
        oStream.resize(oCodec.Encode(oPiece.pbyData, oPiece.dwLength, oStream.data(), DWORD(oStream.size()), 3, 2));
        uTotal += oStream.size();
        aStreams.push_back(std::move(oStream));
    }
    CBytes oOut(std::size_t(state.range(0)));
    // DecodeAll -- the whole corpus as the loader does it (check byte verified).
    auto DecodeAll = [&](bool bCompare) {
        for (std::size_t u = 0; u < aStreams.size(); ++u)
        {
            COComp oCodec;
            const DWORD dwSize = oCodec.ReadHeader(aStreams[u].data(), DWORD(aStreams[u].size()));
            if (dwSize != aPieces[u].dwLength || oCodec.Decode(oOut.data(), DWORD(oOut.size()), true) != dwSize ||
                (bCompare && std::memcmp(oOut.data(), aPieces[u].pbyData, dwSize) != 0))
                return false;
            benchmark::DoNotOptimize(oOut.data());
        }
        return true;
    };
    if (!DecodeAll(true))
        state.SkipWithError("Decode failed");
    for (auto _ : state)
        if (!DecodeAll(false))
        {
            state.SkipWithError("Decode failed");
            return;
        }
    Report(state, uTotal);
}

void BM_Lzo1x1Compress(benchmark::State& state)
{
    const std::vector<SPiece> aPieces = Pieces(DWORD(state.range(0)));
    CBytes oOut(LzoBound(DWORD(state.range(0))));
    std::vector<BYTE> aWork(LZO1X_1_MEM_COMPRESS);
    std::size_t uTotal = 0;
    for (auto _ : state)
    {
        uTotal = 0;
        for (const SPiece& oPiece : aPieces)
        {
            lzo_uint uOut = oOut.size();
            if (lzo1x_1_compress(oPiece.pbyData, oPiece.dwLength, oOut.data(), &uOut, aWork.data()) != LZO_E_OK)
            {
                state.SkipWithError("lzo1x_1_compress failed");
                return;
            }
            uTotal += uOut;
        }
        benchmark::DoNotOptimize(oOut.data());
    }
    Report(state, uTotal);
}

void BM_Lzo1xDecompressSafe(benchmark::State& state)
{
    const std::vector<SPiece> aPieces = Pieces(DWORD(state.range(0)));
    std::vector<CBytes> aStreams;
    std::vector<BYTE> aWork(LZO1X_1_MEM_COMPRESS);
    std::size_t uTotal = 0;
    for (const SPiece& oPiece : aPieces)
    {
        CBytes oStream(LzoBound(oPiece.dwLength));
        lzo_uint uOut = oStream.size();
        lzo1x_1_compress(oPiece.pbyData, oPiece.dwLength, oStream.data(), &uOut, aWork.data());
        oStream.resize(uOut);
        uTotal += uOut;
        aStreams.push_back(std::move(oStream));
    }
    CBytes oOut(std::size_t(state.range(0)));
    auto DecodeAll = [&](bool bCompare) {
        for (std::size_t u = 0; u < aStreams.size(); ++u)
        {
            lzo_uint uOut = oOut.size();
            if (lzo1x_decompress_safe(aStreams[u].data(), aStreams[u].size(), oOut.data(), &uOut, nullptr) !=
                    LZO_E_OK ||
                uOut != aPieces[u].dwLength ||
                (bCompare && std::memcmp(oOut.data(), aPieces[u].pbyData, uOut) != 0))
                return false;
            benchmark::DoNotOptimize(oOut.data());
        }
        return true;
    };
    if (!DecodeAll(true))
        state.SkipWithError("lzo1x_decompress_safe failed");
    for (auto _ : state)
        if (!DecodeAll(false))
        {
            state.SkipWithError("lzo1x_decompress_safe failed");
            return;
        }
    Report(state, uTotal);
}

} // namespace

// Style slots are tens of KiB; both codecs get the same pieces.
BENCHMARK(BM_COCompCompress)->Arg(16 * 1024)->Arg(64 * 1024);
BENCHMARK(BM_Lzo1x1Compress)->Arg(16 * 1024)->Arg(64 * 1024);
BENCHMARK(BM_COCompDecompress)->Arg(16 * 1024)->Arg(64 * 1024);
BENCHMARK(BM_Lzo1xDecompressSafe)->Arg(16 * 1024)->Arg(64 * 1024);

int main(int argc, char** argv)
{
    if (lzo_init() != LZO_E_OK)
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
