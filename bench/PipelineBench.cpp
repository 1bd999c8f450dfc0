// PipelineBench.cpp -- the whole pipeline of the tool on a full bank.
//
//   qdbench_pipeline [--runs N] [BANK.sty]
//
// Without a bank file, a bank of 64 styles of the demo bank's kind is built
// first (by a child process, so that building it does not count in the
// peak memory measured here) and written to a temporary folder. Each run
// then times the stages through the bank document, as qdstyle and the
// desktop drive it:
//   open     read the file, check it, decompress every style slot, load
//            every style once aside to know which are damaged
//   load     select every style: flatten its stored form, read the style
//   export   every chord variation of every style to a MIDI file in memory
//   save     write back, compress every slot, directory, names, atomic write
// and, apart from the pipeline, what writing every style back would cost
// (BuildBankData with markers), as a save after editing every style does.
// The figures are the median over the runs; the peak memory is this
// process's maximum resident set size.
#include "DemoBank.h"

#include "BankDoc/QdBankDoc.h"
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
    STAGE_EXPORT,
    STAGE_SAVE,
    NR_PIPELINE_STAGES,
    STAGE_WRITE_BACK = NR_PIPELINE_STAGES,
    NR_STAGES,
};

const char* const s_apszStageNames[NR_STAGES] = {
    "open (decompress, scan)", "load every style", "export every chord variation", "save (compress + write)",
    "write back every style"};

struct CRunTimes
{
    double m_adMs[NR_STAGES] = {};
    int m_iStyles = 0;
    int m_iChordVars = 0;
    DWORD m_dwExportBytes = 0;
};

// CBenchPrompt -- nothing is asked; any message is a failure of the run.
class CBenchPrompt : public CQdDocPrompt
{
public:
    int Ask(const CQdQuestion&) override { return QD_ANSWER_CANCEL; }
    void Tell(const std::string& rkstrCaption, const std::string& rkstrText) override
    {
        std::fprintf(stderr, "qdbench_pipeline: %s: %s\n", rkstrCaption.c_str(), rkstrText.c_str());
        ++m_iMessages;
    }
    bool ChooseOpenFile(const CQdFileRequest&, std::string&) override { return false; }
    bool ChooseOpenFiles(const CQdFileRequest&, std::vector<std::string>&) override { return false; }
    bool ChooseSaveFile(const CQdFileRequest&, std::string&) override { return false; }

    int m_iMessages = 0;
};

double MsSince(CClock::time_point oStart)
{
    return std::chrono::duration<double, std::milli>(CClock::now() - oStart).count();
}

// BuildBankFile -- in a child process: the 64-style bank into rkstrPath.
bool BuildBankFile(const std::string& rkstrPath)
{
    const pid_t iChild = ::fork();
    if (iChild < 0)
        return false;
    if (iChild == 0)
    {
        QdGlobalObjectsStart();
        const CClock::time_point oStart = CClock::now();
        std::vector<BYTE> abyBank;
        std::vector<std::string> astrProblems;
        const bool bBuilt = DemoBuildBank(DemoFullBankSlots(), abyBank, astrProblems);
        for (const std::string& rkstrProblem : astrProblems)
            std::fprintf(stderr, "qdbench_pipeline: %s\n", rkstrProblem.c_str());
        std::ofstream oFile(rkstrPath, std::ios::binary);
        oFile.write(reinterpret_cast<const char*>(abyBank.data()), std::streamsize(abyBank.size()));
        oFile.close();
        std::printf("built %s: 64 styles, %zu bytes, in %.1f ms (not timed below)\n", rkstrPath.c_str(),
                    abyBank.size(), MsSince(oStart));
        std::fflush(stdout);
        QdGlobalObjectsEnd();
        ::_exit(bBuilt && oFile ? 0 : 1);
    }
    int iStatus = 0;
    return ::waitpid(iChild, &iStatus, 0) == iChild && WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0;
}

// RunPipeline -- one pass over the bank; false when any step failed.
bool RunPipeline(const std::string& rkstrBank, const std::string& rkstrSaved, CRunTimes& roTimes)
{
    CBenchPrompt oPrompt;
    CQdBankDoc oDoc(oPrompt);

    CClock::time_point oStart = CClock::now();
    if (!oDoc.OpenBankFile(rkstrBank))
        return false;
    roTimes.m_adMs[STAGE_OPEN] = MsSince(oStart);

    roTimes.m_iStyles = oDoc.GetStyleCount();
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
    std::printf("pipeline on %s: %d styles, %d chord variations (%u bytes of MIDI files); median of %d runs\n",
                rkstrBank.c_str(), rkoFirst.m_iStyles, rkoFirst.m_iChordVars, unsigned(rkoFirst.m_dwExportBytes),
                iRuns);
    for (int s = 0; s < NR_PIPELINE_STAGES; ++s)
        std::printf("  %-30s %9.2f ms  %5.1f %%\n", s_apszStageNames[s], adMedian[s],
                    dTotal > 0 ? 100.0 * adMedian[s] / dTotal : 0.0);
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

} // namespace

int main(int iArgc, char** ppszArgv)
{
    int iRuns = 5;
    std::string strBank;
    for (int i = 1; i < iArgc; ++i)
    {
        if (std::strcmp(ppszArgv[i], "--runs") == 0 && i + 1 < iArgc)
            iRuns = std::max(1, std::atoi(ppszArgv[++i]));
        else if (ppszArgv[i][0] != '-' && strBank.empty())
            strBank = ppszArgv[i];
        else
        {
            std::fprintf(stderr, "usage: qdbench_pipeline [--runs N] [BANK.sty]\n");
            return 1;
        }
    }

    char szDir[] = "/tmp/qdbench-pipeline-XXXXXX";
    if (!::mkdtemp(szDir))
        return 1;
    const std::string strDir = szDir;
    if (strBank.empty())
    {
        strBank = strDir + "/full.sty";
        if (!BuildBankFile(strBank))
            return 1;
    }

    // Every report is a failure: the pipeline must run clean.
    int iReports = 0;
    QdSetReportSink([&iReports](const char* pszText) {
        std::fprintf(stderr, "qdbench_pipeline: %s\n", pszText);
        ++iReports;
    });
    QdGlobalObjectsStart();
    int iResult = Run(strBank, strDir + "/saved.sty", iRuns);
    if (!QdGlobalObjectsEnd() || iReports != 0)
        iResult = 1;
    QdSetReportSink(nullptr);

    std::remove((strDir + "/saved.sty").c_str());
    std::remove((strDir + "/full.sty").c_str());
    ::rmdir(strDir.c_str());
    return iResult;
}
