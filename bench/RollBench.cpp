// RollBench.cpp -- preparing a piano roll (BankDoc/QdRoll.h) for drawing:
// the export of the chord variation and its reading back into notes and
// lanes, the layout at a window's width, and the SVG of `qdstyle roll`.
//
// Two chord variations are measured (the benchmark's argument):
//   0  the largest of a 64-style bank of the demo bank's kind (the one with
//      the most notes in its export), built in memory and opened through
//      the bank document as the window opens a bank;
//   1  a dense one made for the purpose: eight tracks, sixteen measures of
//      4/4, 3072 notes, modulation and pitch bend on the accompaniment,
//      imported from a MIDI file as a user would.
// The drawing itself (QPainter in the window) is not measured here: the
// core stays without Qt. A report during a run stops the benchmark with an
// error.
#include "BenchPrompt.h"
#include "BenchRng.h"
#include "DemoBank.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocPrompt.h"
#include "BankDoc/QdRoll.h"
#include "BankDoc/QdRollLayout.h"
#include "BankDoc/QdRollSvg.h"
#include "Base/Report.h"
#include "Kernel/Core/GlobalObj.h"
#include "NlzdStyle/NstEditIfc.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr DWORD QUARTER = NST_TICKS_PER_QUARTER;
constexpr DWORD MEASURE = 4 * QUARTER;

// CMeasured -- a style holding the chord variation measured, and where it is.
struct CMeasured
{
    std::unique_ptr<CNstEditIfc> m_poEditIfc;
    BYTE m_bySe = 0;
    BYTE m_byCv = 0;
    std::string m_strWhat;
};

void AppendVarLength(std::vector<BYTE>& rabyTo, DWORD dwValue)
{
    BYTE abyGroups[5];
    int iCount = 0;
    do
    {
        abyGroups[iCount++] = BYTE(dwValue & 0x7F);
        dwValue >>= 7;
    } while (dwValue != 0);
    while (iCount-- > 0)
        rabyTo.push_back(BYTE(abyGroups[iCount] | (iCount > 0 ? 0x80 : 0)));
}

// DenseSmf -- the dense chord variation as a format-0 file: each track's
// notes on a grid of its own, each ending within its step; modulation and
// pitch bend on the accompaniment every beat.
std::vector<BYTE> DenseSmf()
{
    struct CTimed
    {
        DWORD m_dwTick;
        BYTE m_abyMessage[3];
    };
    std::vector<CTimed> aoEvents;
    CBenchRng oRng(0x90115);
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
    {
        const BYTE byChannel = NST_TRACK_CHANNELS[byTrack];
        const DWORD dwStep = MEASURE / DWORD(BENCH_DENSE_NOTES[byTrack]);
        for (DWORD dwTick = 0; dwTick < BENCH_DENSE_MEASURES * MEASURE; dwTick += dwStep)
        {
            const BYTE byKey = BYTE(BENCH_DENSE_LOW_KEY[byTrack] + oRng.Next(24));
            aoEvents.push_back({dwTick, {BYTE(0x90 | byChannel), byKey, BYTE(40 + oRng.Next(80))}});
            aoEvents.push_back({dwTick + 1 + oRng.Next(dwStep - 2), {BYTE(0x80 | byChannel), byKey, 64}});
            if (byTrack >= 3 && dwTick % QUARTER == 0)
            {
                aoEvents.push_back({dwTick, {BYTE(0xB0 | byChannel), 1, BYTE(oRng.Next(128))}});
                aoEvents.push_back({dwTick, {BYTE(0xE0 | byChannel), 0, BYTE(oRng.Next(128))}});
            }
        }
    }
    std::stable_sort(aoEvents.begin(), aoEvents.end(),
                     [](const CTimed& rkoA, const CTimed& rkoB) { return rkoA.m_dwTick < rkoB.m_dwTick; });
    std::vector<BYTE> abyTrack = {0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8};
    DWORD dwAt = 0;
    for (const CTimed& rkoEvent : aoEvents)
    {
        AppendVarLength(abyTrack, rkoEvent.m_dwTick - dwAt);
        dwAt = rkoEvent.m_dwTick;
        abyTrack.insert(abyTrack.end(), rkoEvent.m_abyMessage, rkoEvent.m_abyMessage + 3);
    }
    AppendVarLength(abyTrack, BENCH_DENSE_MEASURES * MEASURE - dwAt);
    abyTrack.insert(abyTrack.end(), {0xFF, 0x2F, 0x00});
    std::vector<BYTE> abyFile = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, BYTE(QUARTER >> 8), BYTE(QUARTER),
                                 'M', 'T', 'r', 'k'};
    for (int iShift = 24; iShift >= 0; iShift -= 8)
        abyFile.push_back(BYTE(abyTrack.size() >> iShift));
    abyFile.insert(abyFile.end(), abyTrack.begin(), abyTrack.end());
    return abyFile;
}

CMeasured DenseChordVar()
{
    CMeasured oMeasured;
    oMeasured.m_poEditIfc = std::make_unique<CNstEditIfc>(nullptr, 0);
    const std::vector<BYTE> abyFile = DenseSmf();
    oMeasured.m_poEditIfc->ImportFromSmf(abyFile.data(), DWORD(abyFile.size()), 0, 0, NST_ALL_TRACKS, false);
    oMeasured.m_strWhat = "dense v1cv1";
    return oMeasured;
}

// LargestOfFullBank -- the 64-style bank through a file, opened by the bank
// document; every chord variation's roll built once to find the largest.
CMeasured LargestOfFullBank()
{
    CMeasured oMeasured;
    std::vector<BYTE> abyBank;
    std::vector<std::string> astrProblems;
    if (!DemoBuildBank(DemoFullBankSlots(), abyBank, astrProblems))
        return oMeasured;
    char szPath[] = "/tmp/qdbench-roll-XXXXXX";
    const int iFd = ::mkstemp(szPath);
    if (iFd < 0)
        return oMeasured;
    ::close(iFd);
    std::ofstream(szPath, std::ios::binary).write(reinterpret_cast<const char*>(abyBank.data()),
                                                  std::streamsize(abyBank.size()));
    CBenchPrompt oPrompt("qdbench_roll");
    CQdBankDoc oDoc(oPrompt);
    const bool bOpened = oDoc.OpenBankFile(szPath);
    std::remove(szPath);
    if (!bOpened)
        return oMeasured;
    std::size_t uMost = 0;
    for (int iStyle = 0; iStyle < oDoc.GetStyleCount(); ++iStyle)
    {
        oDoc.SelectStyle(iStyle);
        for (int i = 0; i < CQdBankDoc::NR_STANDARD_NAMES; ++i)
        {
            BYTE bySe = 0;
            BYTE byCv = 0;
            CQdRoll oRoll;
            if (!CQdBankDoc::StandardNameElement(i, bySe, byCv) || !oDoc.BuildRoll(bySe, byCv, NST_ALL_TRACKS, oRoll) ||
                oRoll.m_aoNotes.size() <= uMost)
                continue;
            uMost = oRoll.m_aoNotes.size();
            oMeasured.m_poEditIfc = oDoc.GetEditIfc()->Clone();
            oMeasured.m_bySe = bySe;
            oMeasured.m_byCv = byCv;
            oMeasured.m_strWhat = "style " + std::to_string(iStyle + 1) + " " + CQdBankDoc::StandardName(i);
        }
    }
    return oMeasured;
}

// The chord variations measured, made on first use; main gives them up
// before the pools end.
CMeasured g_aoMeasured[2];
bool g_bMeasuredMade = false;

CMeasured& Measured(int iWhich)
{
    if (!g_bMeasuredMade)
    {
        g_aoMeasured[0] = LargestOfFullBank();
        g_aoMeasured[1] = DenseChordVar();
        g_bMeasuredMade = true;
    }
    return g_aoMeasured[iWhich];
}

// CReportWatch -- counts the reports of a run instead of printing them.
class CReportWatch
{
public:
    CReportWatch() { m_fnPrevious = QdSetReportSink([this](const char*) { ++m_iReports; }); }
    ~CReportWatch() { QdSetReportSink(std::move(m_fnPrevious)); }
    CReportWatch(const CReportWatch&) = delete;
    CReportWatch& operator=(const CReportWatch&) = delete;
    bool Failed(benchmark::State& roState) const
    {
        if (m_iReports)
            roState.SkipWithError("reports were raised");
        return m_iReports != 0;
    }

private:
    QdReportSink m_fnPrevious;
    int m_iReports = 0;
};

// Prepare -- the roll of the chord variation measured; false (the
// benchmark skipped) when there is none.
bool Prepare(benchmark::State& roState, CQdRoll& roRoll)
{
    CMeasured& roMeasured = Measured(int(roState.range(0)));
    if (!roMeasured.m_poEditIfc ||
        !QdBuildRoll(*roMeasured.m_poEditIfc, roMeasured.m_bySe, roMeasured.m_byCv, NST_ALL_TRACKS, roRoll))
    {
        roState.SkipWithError("no chord variation to measure");
        return false;
    }
    roState.SetLabel(roMeasured.m_strWhat + ": " + std::to_string(roRoll.m_aoNotes.size()) + " notes, " +
                     std::to_string(roRoll.m_oGrid.m_dwMeasures) + " measures");
    return true;
}

// The model: export and reading back, as the window does on a selection.
void BM_RollBuild(benchmark::State& roState)
{
    CQdRoll oRoll;
    if (!Prepare(roState, oRoll))
        return;
    CMeasured& roMeasured = Measured(int(roState.range(0)));
    CReportWatch oWatch;
    for (auto _ : roState)
    {
        QdBuildRoll(*roMeasured.m_poEditIfc, roMeasured.m_bySe, roMeasured.m_byCv, NST_ALL_TRACKS, oRoll);
        benchmark::DoNotOptimize(oRoll.m_aoNotes.data());
    }
    oWatch.Failed(roState);
}
BENCHMARK(BM_RollBuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The reading alone: the exported file into notes and lanes.
void BM_RollRead(benchmark::State& roState)
{
    CQdRoll oRoll;
    if (!Prepare(roState, oRoll))
        return;
    CMeasured& roMeasured = Measured(int(roState.range(0)));
    DWORD dwSize = 0;
    const std::unique_ptr<BYTE[]> pbyFile =
        roMeasured.m_poEditIfc->ExportToSmf(roMeasured.m_bySe, roMeasured.m_byCv, NST_ALL_TRACKS, dwSize);
    const CNstTimeSig oTimeSig = oRoll.m_oGrid.m_oTimeSig;
    for (auto _ : roState)
    {
        QdRollFromSmf(pbyFile.get(), dwSize, oTimeSig, NST_ALL_TRACKS, oRoll);
        benchmark::DoNotOptimize(oRoll.m_aoNotes.data());
    }
}
BENCHMARK(BM_RollRead)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The layout at a window's width, with every note's rectangle as a painter
// asks for it.
void BM_RollLayout(benchmark::State& roState)
{
    CQdRoll oRoll;
    if (!Prepare(roState, oRoll))
        return;
    for (auto _ : roState)
    {
        const CQdRollLayout oLayout(oRoll);
        double dSum = 0;
        for (const CQdRollNote& rkoNote : oRoll.m_aoNotes)
            dSum += oLayout.NoteRect(rkoNote).m_dX;
        benchmark::DoNotOptimize(dSum);
    }
}
BENCHMARK(BM_RollLayout)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The SVG document of qdstyle roll.
void BM_RollSvg(benchmark::State& roState)
{
    CQdRoll oRoll;
    if (!Prepare(roState, oRoll))
        return;
    std::size_t uBytes = 0;
    for (auto _ : roState)
    {
        const std::string strSvg = QdRollSvg(CQdRollLayout(oRoll), "bench");
        uBytes = strSvg.size();
        benchmark::DoNotOptimize(strSvg.data());
    }
    roState.counters["bytes"] = double(uBytes);
}
BENCHMARK(BM_RollSvg)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int iArgc, char** ppszArgv)
{
    benchmark::Initialize(&iArgc, ppszArgv);
    if (benchmark::ReportUnrecognizedArguments(iArgc, ppszArgv))
        return 1;
    QdGlobalObjectsStart();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (CMeasured& roMeasured : g_aoMeasured)
        roMeasured.m_poEditIfc.reset();
    return QdGlobalObjectsEnd() ? 0 : 1;
}
