// StyleBench.cpp -- the style edit interface on a large style: loading it
// from bank data (prepare, flatten, read), building the bank data again
// (writer, consistency check, merging and marker making) and exporting every
// chord variation as a Standard MIDI File.
//
// The style is generated with a fixed seed, so that every run measures the
// same data: all ten style elements with every chord variation the bank
// keeps (six for the Variations, two for the others), all eight tracks, four
// measures of 4/4 each; dense Drum and Acc. 1 parts that marker making
// splits, measures repeated with small changes, and the Drum pattern shared
// by the chord variations of an element. A report during a run (the style
// should load and save without any) stops the benchmark with an error.
#include "BenchPattern.h"
#include "BenchRng.h"
#include "Base/Report.h"
#include "NlzdStyle/NstEditIfc.h"
#include "NlzdStyle/NstQdIfc.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr BYTE BENCH_MEASURES = 4;

// CBenchStyle -- the large style, in flat and in stored bank form.
struct CBenchStyle
{
    std::vector<BYTE> m_abyFlat;
    std::vector<BYTE> m_abyStored;
    DWORD m_dwEvents = 0;
    int m_iChordVars = 0;
};

const CBenchStyle& BenchStyle()
{
    static const CBenchStyle s_oStyle = [] {
        static const int s_aiNotesPerMeasure[NST_NR_TRK] = {32, 8, 4, 32, 6, 4, 3, 2};
        static const BYTE s_abyLowKey[NST_NR_TRK] = {35, 50, 28, 48, 52, 55, 60, 64};
        CBenchStyle oStyle;
        CBenchRng oRng(0x51A7E5);
        CNstEditIfc oEdit(nullptr, 0);
        oEdit.SetName("Bench Style");
        oStyle.m_iChordVars =
            BenchFillStyle(oEdit, oRng, s_aiNotesPerMeasure, s_abyLowKey, BENCH_MEASURES, oStyle.m_dwEvents);
        DWORD dwSize = 0;
        std::unique_ptr<BYTE[]> pbyFlat = oEdit.BuildBankData(false, dwSize);
        oStyle.m_abyFlat.assign(pbyFlat.get(), pbyFlat.get() + dwSize);
        std::unique_ptr<BYTE[]> pbyStored = oEdit.BuildBankData(true, dwSize);
        oStyle.m_abyStored.assign(pbyStored.get(), pbyStored.get() + dwSize);
        return oStyle;
    }();
    return s_oStyle;
}

// CReportWatch -- counts the reports of a run instead of printing them.
class CReportWatch
{
public:
    CReportWatch() { m_fnPrevious = QdSetReportSink([this](const char*) { ++m_iReports; }); }
    ~CReportWatch() { QdSetReportSink(std::move(m_fnPrevious)); }
    CReportWatch(const CReportWatch&) = delete;
    CReportWatch& operator=(const CReportWatch&) = delete;

    void Check(benchmark::State& roState) const
    {
        if (m_iReports)
            roState.SkipWithError("the style raised reports");
    }

private:
    QdReportSink m_fnPrevious;
    int m_iReports = 0;
};

void SetCounters(benchmark::State& roState, const std::vector<BYTE>& rkabyData)
{
    const CBenchStyle& rkoStyle = BenchStyle();
    roState.counters["bytes"] = double(rkabyData.size());
    roState.counters["events"] = double(rkoStyle.m_dwEvents);
    roState.counters["events/s"] =
        benchmark::Counter(double(rkoStyle.m_dwEvents) * double(roState.iterations()), benchmark::Counter::kIsRate);
}

// Loading a style: the stored form (argument 0: prepare, flatten, read) and
// the flat form (argument 1: prepare finds it flat, read).
void BM_LoadStyle(benchmark::State& roState)
{
    const std::vector<BYTE>& rkabyData = roState.range(0) ? BenchStyle().m_abyFlat : BenchStyle().m_abyStored;
    CReportWatch oWatch;
    for (auto _ : roState)
    {
        CNstEditIfc oEdit(rkabyData.data(), DWORD(rkabyData.size()));
        benchmark::DoNotOptimize(oEdit.GetStyleElemState(0));
    }
    oWatch.Check(roState);
    SetCounters(roState, rkabyData);
}
BENCHMARK(BM_LoadStyle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Building the bank data: the writer, the consistency check and, with
// markers, merging and marker making.
void BM_BuildBankData(benchmark::State& roState)
{
    const bool bMakeMarkers = roState.range(0) != 0;
    const std::vector<BYTE>& rkabyData = BenchStyle().m_abyStored;
    CNstEditIfc oEdit(rkabyData.data(), DWORD(rkabyData.size()));
    CReportWatch oWatch;
    DWORD dwSize = 0;
    for (auto _ : roState)
    {
        std::unique_ptr<BYTE[]> pbyData = oEdit.BuildBankData(bMakeMarkers, dwSize);
        benchmark::DoNotOptimize(pbyData.get());
    }
    oWatch.Check(roState);
    SetCounters(roState, rkabyData);
    roState.counters["bytes"] = double(dwSize);
}
BENCHMARK(BM_BuildBankData)->Arg(0)->Arg(1)->ArgName("markers")->Unit(benchmark::kMillisecond);

// Exporting every chord variation, all tracks.
void BM_ExportAllChordVars(benchmark::State& roState)
{
    const std::vector<BYTE>& rkabyData = BenchStyle().m_abyStored;
    CNstEditIfc oEdit(rkabyData.data(), DWORD(rkabyData.size()));
    CReportWatch oWatch;
    double dFileBytes = 0;
    for (auto _ : roState)
    {
        dFileBytes = 0;
        for (BYTE bySe = 0; bySe < NST_NR_STE; ++bySe)
            for (BYTE byCv = 0; byCv < NST_NR_CV; ++byCv)
            {
                if (oEdit.GetChordVarState(bySe, byCv) == NST_STATE_ABSENT)
                    continue;
                DWORD dwSize = 0;
                std::unique_ptr<BYTE[]> pbyFile = oEdit.ExportToSmf(bySe, byCv, NST_ALL_TRACKS, dwSize);
                dFileBytes += dwSize;
            }
    }
    oWatch.Check(roState);
    SetCounters(roState, rkabyData);
    roState.counters["bytes"] = dFileBytes;
    roState.counters["chord vars"] = double(BenchStyle().m_iChordVars);
}
BENCHMARK(BM_ExportAllChordVars)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
