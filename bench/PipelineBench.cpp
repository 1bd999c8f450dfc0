// PipelineBench.cpp -- the whole pipeline of the tool on full banks.
//
//   qdbench_pipeline [--runs N] [BANK.sty]
//
// Without a bank file, two banks are built first (by a child process, so
// that building them counts neither in time nor in peak memory) and written
// to a temporary folder: 64 styles of the demo bank's kind, and the full
// bank, 64 large generated styles in about 3 MB (BenchBank.h). Each bank is
// then measured in a child process of its own, so that each reports its own
// peak memory. Each run times the stages through the bank document, as
// qdstyle and the desktop drive it:
//   open     read the file, check it, decompress every style slot, load
//            every style once aside to know which are damaged
//   load     select every style: flatten its stored form, read the style
//   switch   from another style to the largest one (its data in the block)
//   export   every chord variation of every style to a MIDI file in memory
//   save     write back, compress every slot, directory, names, atomic write
// and, apart from the pipeline, what writing every style back would cost
// (BuildBankData with markers), as a save after editing every style does.
// The figures are the median over the runs (wall time); the peak memory is
// the measuring process's maximum resident set size.
#include "BenchBank.h"
#include "BenchPrompt.h"
#include "DemoBank.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdBankFacts.h"
#include "BankDoc/QdDocPrompt.h"
#include "Base/Report.h"
#include "Kernel/Core/GlobalObj.h"
#include "NlzdStyle/NstEditIfc.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

typedef std::chrono::steady_clock CClock;

enum EStage
{
    STAGE_OPEN,
    STAGE_LOAD,
    STAGE_SWITCH,
    STAGE_EXPORT,
    STAGE_SAVE,
    NR_PIPELINE_STAGES,
    STAGE_WRITE_BACK = NR_PIPELINE_STAGES,
    NR_STAGES,
};

const char* const s_apszStageNames[NR_STAGES] = {
    "open (decompress, scan)", "load every style",     "switch to the largest style",
    "export every chord variation", "save (compress + write)", "write back every style"};

struct CRunTimes
{
    double m_adMs[NR_STAGES] = {};
    int m_iStyles = 0;
    int m_iChordVars = 0;
    DWORD m_dwExportBytes = 0;
    DWORD m_dwUsedSize = 0;
    std::string m_strLargest;
    DWORD m_dwLargest = 0;
};

double MsSince(CClock::time_point oStart)
{
    return std::chrono::duration<double, std::milli>(CClock::now() - oStart).count();
}

// BuildBankFiles -- in a child process: the bank of demo styles into
// rkstrDemoPath, the full bank into rkstrFullPath.
bool BuildBankFiles(const std::string& rkstrDemoPath, const std::string& rkstrFullPath)
{
    const pid_t iChild = ::fork();
    if (iChild < 0)
        return false;
    if (iChild == 0)
    {
        QdGlobalObjectsStart();
        bool bBuilt = true;
        for (const bool bFull : {false, true})
        {
            const std::string& rkstrPath = bFull ? rkstrFullPath : rkstrDemoPath;
            const CClock::time_point oStart = CClock::now();
            std::vector<BYTE> abyBank;
            std::vector<std::string> astrProblems;
            CBenchBankFacts oFacts;
            bBuilt = bBuilt && (bFull ? BenchBuildFullBank(abyBank, oFacts, astrProblems)
                                      : DemoBuildBank(DemoFullBankSlots(), abyBank, astrProblems));
            for (const std::string& rkstrProblem : astrProblems)
                std::fprintf(stderr, "qdbench_pipeline: %s\n", rkstrProblem.c_str());
            std::ofstream oFile(rkstrPath, std::ios::binary);
            oFile.write(reinterpret_cast<const char*>(abyBank.data()), std::streamsize(abyBank.size()));
            oFile.close();
            bBuilt = bBuilt && bool(oFile);
            if (bFull)
                std::printf("built %s: 64 large styles, %u bytes of style data, %u events, %d chord variations; "
                            "%zu bytes, in %.1f ms (not timed below)\n",
                            rkstrPath.c_str(), unsigned(oFacts.m_dwStyleBytes), unsigned(oFacts.m_dwEvents),
                            oFacts.m_iChordVars, abyBank.size(), MsSince(oStart));
            else
                std::printf("built %s: 64 styles of the demo bank's kind, %zu bytes, in %.1f ms (not timed below)\n",
                            rkstrPath.c_str(), abyBank.size(), MsSince(oStart));
            std::fflush(stdout);
        }
        QdGlobalObjectsEnd();
        ::_exit(bBuilt ? 0 : 1);
    }
    int iStatus = 0;
    return ::waitpid(iChild, &iStatus, 0) == iChild && WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0;
}

// LargestStyle -- the style (0-based) whose slot holds the most bytes in the
// bank block, and that size.
int LargestStyle(CQdBankDoc& roDoc, DWORD& rdwSize)
{
    CQdBankFacts oFacts;
    int iLargest = -1;
    rdwSize = 0;
    if (!roDoc.GetBankFacts(oFacts))
        return -1;
    for (const CQdSlotFacts& rkoSlot : oFacts.m_aoSlots)
        if (rkoSlot.m_bStyle && rkoSlot.m_dwSize > rdwSize)
        {
            rdwSize = rkoSlot.m_dwSize;
            iLargest = rkoSlot.m_iPosition - 1;
        }
    return iLargest;
}

// RunPipeline -- one pass over the bank; false when any step failed.
bool RunPipeline(const std::string& rkstrBank, const std::string& rkstrSaved, CRunTimes& roTimes)
{
    CBenchPrompt oPrompt("qdbench_pipeline");
    CQdBankDoc oDoc(oPrompt);

    CClock::time_point oStart = CClock::now();
    if (!oDoc.OpenBankFile(rkstrBank))
        return false;
    roTimes.m_adMs[STAGE_OPEN] = MsSince(oStart);

    roTimes.m_iStyles = oDoc.GetStyleCount();
    roTimes.m_dwUsedSize = oDoc.GetUsedSize();
    for (int iStyle = 0; iStyle < roTimes.m_iStyles; ++iStyle)
    {
        oStart = CClock::now();
        oDoc.SelectStyle(iStyle);
        CNstEditIfc* poEditIfc = oDoc.GetEditIfc();
        roTimes.m_adMs[STAGE_LOAD] += MsSince(oStart);
        if (!poEditIfc)
            return false;

        oStart = CClock::now();
        for (int i = 0; i < CQdBankDoc::NR_STANDARD_NAMES; ++i)
        {
            BYTE bySe = 0;
            BYTE byCv = 0;
            if (!CQdBankDoc::StandardNameElement(i, bySe, byCv) ||
                poEditIfc->GetChordVarState(bySe, byCv) == NST_STATE_ABSENT)
                continue;
            DWORD dwSize = 0;
            if (!poEditIfc->ExportToSmf(bySe, byCv, NST_ALL_TRACKS, dwSize))
                return false;
            roTimes.m_dwExportBytes += dwSize;
            ++roTimes.m_iChordVars;
        }
        roTimes.m_adMs[STAGE_EXPORT] += MsSince(oStart);

        oStart = CClock::now();
        DWORD dwBankData = 0;
        if (!poEditIfc->BuildBankData(true, dwBankData))
            return false;
        roTimes.m_adMs[STAGE_WRITE_BACK] += MsSince(oStart);
    }

    // From the first style (or the second, when the first is the largest)
    // to the largest one.
    const int iLargest = LargestStyle(oDoc, roTimes.m_dwLargest);
    if (iLargest < 0)
        return false;
    oDoc.SelectStyle(iLargest == 0 && roTimes.m_iStyles > 1 ? 1 : 0);
    oStart = CClock::now();
    oDoc.SelectStyle(iLargest);
    roTimes.m_adMs[STAGE_SWITCH] = MsSince(oStart);
    if (!oDoc.GetEditIfc())
        return false;
    roTimes.m_strLargest = oDoc.GetStyleNames()[std::size_t(iLargest)];

    oStart = CClock::now();
    oDoc.SelectStyle(-1);
    if (!oDoc.SaveBankTo(rkstrSaved))
        return false;
    roTimes.m_adMs[STAGE_SAVE] = MsSince(oStart);
    return oPrompt.m_iMessages == 0;
}

double Median(std::vector<double> adValues)
{
    std::sort(adValues.begin(), adValues.end());
    const std::size_t n = adValues.size();
    return n % 2 ? adValues[n / 2] : (adValues[n / 2 - 1] + adValues[n / 2]) / 2;
}

int Run(const std::string& rkstrBank, const std::string& rkstrSaved, int iRuns)
{
    std::vector<CRunTimes> aoRuns;
    for (int i = 0; i < iRuns; ++i)
    {
        CRunTimes oTimes;
        if (!RunPipeline(rkstrBank, rkstrSaved, oTimes))
        {
            std::fprintf(stderr, "qdbench_pipeline: run %d failed\n", i + 1);
            return 1;
        }
        aoRuns.push_back(oTimes);
    }

    double adMedian[NR_STAGES];
    double dTotal = 0;
    for (int s = 0; s < NR_STAGES; ++s)
    {
        std::vector<double> adStage;
        for (const CRunTimes& rkoRun : aoRuns)
            adStage.push_back(rkoRun.m_adMs[s]);
        adMedian[s] = Median(adStage);
        if (s < NR_PIPELINE_STAGES)
            dTotal += adMedian[s];
    }
    std::vector<double> adTotals;
    for (const CRunTimes& rkoRun : aoRuns)
    {
        double dRun = 0;
        for (int s = 0; s < NR_PIPELINE_STAGES; ++s)
            dRun += rkoRun.m_adMs[s];
        adTotals.push_back(dRun);
    }

    const CRunTimes& rkoFirst = aoRuns.front();
    std::printf("pipeline on %s: %d styles, %u bytes in the bank block, %d chord variations (%u bytes of MIDI "
                "files); median of %d runs, wall time\n",
                rkstrBank.c_str(), rkoFirst.m_iStyles, unsigned(rkoFirst.m_dwUsedSize), rkoFirst.m_iChordVars,
                unsigned(rkoFirst.m_dwExportBytes), iRuns);
    for (int s = 0; s < NR_PIPELINE_STAGES; ++s)
        std::printf("  %-30s %9.2f ms  %5.1f %%\n", s_apszStageNames[s], adMedian[s],
                    dTotal > 0 ? 100.0 * adMedian[s] / dTotal : 0.0);
    std::printf("  %-30s %9.2f ms  (open + decompress, load every style)\n", "open and load every style",
                adMedian[STAGE_OPEN] + adMedian[STAGE_LOAD]);
    std::printf("  %-30s %12s  ('%s', %u bytes of style data)\n", "largest style", "",
                rkoFirst.m_strLargest.c_str(), unsigned(rkoFirst.m_dwLargest));
    const auto oRange = std::minmax_element(adTotals.begin(), adTotals.end());
    std::printf("  %-30s %9.2f ms  (runs: min %.2f, max %.2f)\n", "total", Median(adTotals), *oRange.first,
                *oRange.second);
    std::printf("  %-30s %9.2f ms  (not part of the pipeline: BuildBankData with markers)\n",
                s_apszStageNames[STAGE_WRITE_BACK], adMedian[STAGE_WRITE_BACK]);

    struct rusage oUsage;
    ::getrusage(RUSAGE_SELF, &oUsage);
    std::printf("  %-30s %9.1f MB\n", "peak memory (max RSS)", double(oUsage.ru_maxrss) / 1024.0);
    return 0;
}

// MeasureInChild -- the runs on one bank in a child process, which prints
// the figures and its own peak memory.
bool MeasureInChild(const std::string& rkstrBank, const std::string& rkstrSaved, int iRuns)
{
    std::fflush(stdout);
    const pid_t iChild = ::fork();
    if (iChild < 0)
        return false;
    if (iChild == 0)
    {
        // Every report is a failure: the pipeline must run clean.
        int iReports = 0;
        QdSetReportSink([&iReports](const char* pszText) {
            std::fprintf(stderr, "qdbench_pipeline: %s\n", pszText);
            ++iReports;
        });
        QdGlobalObjectsStart();
        int iResult = Run(rkstrBank, rkstrSaved, iRuns);
        if (!QdGlobalObjectsEnd() || iReports != 0)
            iResult = 1;
        QdSetReportSink(nullptr);
        std::fflush(stdout);
        ::_exit(iResult);
    }
    int iStatus = 0;
    return ::waitpid(iChild, &iStatus, 0) == iChild && WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0;
}

} // namespace

int main(int iArgc, char** ppszArgv)
{
    int iRuns = 5;
    std::string strBank;
    if (!BenchBankArgs(iArgc, ppszArgv, "qdbench_pipeline", iRuns, strBank))
        return 1;

    char szDir[] = "/tmp/qdbench-pipeline-XXXXXX";
    if (!::mkdtemp(szDir))
        return 1;
    const std::string strDir = szDir;
    std::vector<std::string> astrBanks = {strBank};
    if (strBank.empty())
    {
        astrBanks = {strDir + "/demo-kind.sty", strDir + "/full.sty"};
        if (!BuildBankFiles(astrBanks[0], astrBanks[1]))
            return 1;
    }

    int iResult = 0;
    for (const std::string& rkstrBank : astrBanks)
        if (!MeasureInChild(rkstrBank, strDir + "/saved.sty", iRuns))
            iResult = 1;

    std::remove((strDir + "/saved.sty").c_str());
    if (strBank.empty())
        for (const std::string& rkstrBank : astrBanks)
            std::remove(rkstrBank.c_str());
    ::rmdir(strDir.c_str());
    return iResult;
}
