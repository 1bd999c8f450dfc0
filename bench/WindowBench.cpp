// WindowBench.cpp -- the desktop window's start: from process start to the
// first paint of the main window with a full bank open, offscreen.
//
//   qdbench_window [--runs N] [BANK.sty]
//
// Without a bank file the full bank (BenchBank.h) is built first and written
// to a temporary folder. Each run then starts this program again as a fresh
// process (the child mode below) and times it from just before the start to
// the moment the child reports its first paint through a pipe: loading the
// program and Qt, the application object, the window, opening the bank as
// the start-up argument does (qdstyletool BANK), and the event loop up to
// the paint. The child starts as main.cpp's normal start does; it reports
// the times of its own steps too, counted from its main(). The figures are
// medians over the runs (wall time).
//
//   qdbench_window --child FD BANK       the measured start (internal)
#include "BenchBank.h"
#include "Qd50StyleToMidiMain.h"

#include "Base/Report.h"
#include "Kernel/Core/GlobalObj.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

typedef std::chrono::steady_clock CClock;

double MsBetween(CClock::time_point oFrom, CClock::time_point oTo)
{
    return std::chrono::duration<double, std::milli>(oTo - oFrom).count();
}

// The child's steps, in milliseconds from its main().
enum EStep
{
    STEP_APPLICATION,
    STEP_WINDOW,
    STEP_BANK,
    STEP_PAINT,
    NR_STEPS,
};

const char* const s_apszStepNames[NR_STEPS] = {"application object", "window shown", "bank opened",
                                               "first paint"};

// CFirstPaint -- watches every event of the application for the first paint
// of the main window or of a widget in it, then reports the steps through
// the pipe and ends the event loop.
class CFirstPaint : public QObject
{
public:
    CFirstPaint(QWidget* pWindow, int iFd, CClock::time_point oStart, std::vector<double>& radSteps)
        : m_pWindow(pWindow), m_iFd(iFd), m_oStart(oStart), m_radSteps(radSteps)
    {
    }

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (!m_bPainted && pEvent->type() == QEvent::Paint && pObject->isWidgetType() &&
            static_cast<QWidget*>(pObject)->window() == m_pWindow)
        {
            m_bPainted = true;
            m_radSteps[STEP_PAINT] = MsBetween(m_oStart, CClock::now());
            char szLine[160];
            const int iLength =
                std::snprintf(szLine, sizeof szLine, "%.2f %.2f %.2f %.2f\n", m_radSteps[0], m_radSteps[1],
                              m_radSteps[2], m_radSteps[3]);
            if (iLength > 0 && ::write(m_iFd, szLine, std::size_t(iLength)) != iLength)
                std::fprintf(stderr, "qdbench_window: the report did not go through\n");
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(pObject, pEvent);
    }

private:
    QWidget* m_pWindow;
    int m_iFd;
    CClock::time_point m_oStart;
    std::vector<double>& m_radSteps;
    bool m_bPainted = false;
};

// RunChild -- the measured start: as qdstyletool BANK starts, with core
// reports on stderr (a report is a failure of the run).
int RunChild(int iArgc, char** ppszArgv, int iFd, const char* pszBank)
{
    const CClock::time_point oStart = CClock::now();
    std::vector<double> adSteps(NR_STEPS, 0.0);
    int iReports = 0;
    QdSetReportSink([&iReports](const char* pszText) {
        std::fprintf(stderr, "qdbench_window: %s\n", pszText);
        ++iReports;
    });
    QdGlobalObjectsStart();
    int iResult = 0;
    {
        QApplication oApp(iArgc, ppszArgv);
        QApplication::setApplicationName("Qd Style to Midi Conversion");
        QGuiApplication::setDesktopFileName("qdstyletool");
        adSteps[STEP_APPLICATION] = MsBetween(oStart, CClock::now());
        TForm2 oForm2;
        CFirstPaint oWatch(&oForm2, iFd, oStart, adSteps);
        oApp.installEventFilter(&oWatch);
        oForm2.show();
        adSteps[STEP_WINDOW] = MsBetween(oStart, CClock::now());
        oForm2.OpenBankPath(QString::fromLocal8Bit(pszBank));
        adSteps[STEP_BANK] = MsBetween(oStart, CClock::now());
        // Nothing painted within ten seconds is a failure, not a hang.
        QTimer::singleShot(10000, &oApp, [] { QCoreApplication::exit(2); });
        iResult = QApplication::exec();
        oApp.removeEventFilter(&oWatch);
    }
    QdSetReportSink({});
    if (!QdGlobalObjectsEnd() || iReports != 0)
        iResult = 1;
    return iResult;
}

// StartOnce -- one start of the child; false when it did not paint.
bool StartOnce(const char* pszSelf, const std::string& rkstrBank, double& rdTotal, std::vector<double>& radSteps)
{
    int aiPipe[2];
    if (::pipe(aiPipe) != 0)
        return false;
    const std::string strFd = std::to_string(aiPipe[1]);
    std::vector<char*> apszArgs = {const_cast<char*>(pszSelf), const_cast<char*>("--child"),
                                   const_cast<char*>(strFd.c_str()), const_cast<char*>(rkstrBank.c_str()), nullptr};
    const CClock::time_point oStart = CClock::now();
    pid_t iChild = 0;
    const int iSpawned = ::posix_spawn(&iChild, pszSelf, nullptr, nullptr, apszArgs.data(), environ);
    ::close(aiPipe[1]);
    std::string strLine;
    char c = 0;
    while (iSpawned == 0 && ::read(aiPipe[0], &c, 1) == 1 && c != '\n')
        strLine += c;
    rdTotal = MsBetween(oStart, CClock::now());
    ::close(aiPipe[0]);
    int iStatus = 0;
    const bool bExited = iSpawned == 0 && ::waitpid(iChild, &iStatus, 0) == iChild && WIFEXITED(iStatus) &&
                         WEXITSTATUS(iStatus) == 0;
    radSteps.assign(NR_STEPS, 0.0);
    return bExited && std::sscanf(strLine.c_str(), "%lf %lf %lf %lf", &radSteps[0], &radSteps[1], &radSteps[2],
                                  &radSteps[3]) == NR_STEPS;
}

double Median(std::vector<double> adValues)
{
    std::sort(adValues.begin(), adValues.end());
    const std::size_t n = adValues.size();
    return n % 2 ? adValues[n / 2] : (adValues[n / 2 - 1] + adValues[n / 2]) / 2;
}

// BuildBank -- the full bank into rkstrPath.
bool BuildBank(const std::string& rkstrPath)
{
    QdGlobalObjectsStart();
    std::vector<BYTE> abyBank;
    std::vector<std::string> astrProblems;
    CBenchBankFacts oFacts;
    const bool bBuilt = BenchBuildFullBank(abyBank, oFacts, astrProblems);
    for (const std::string& rkstrProblem : astrProblems)
        std::fprintf(stderr, "qdbench_window: %s\n", rkstrProblem.c_str());
    std::ofstream oFile(rkstrPath, std::ios::binary);
    oFile.write(reinterpret_cast<const char*>(abyBank.data()), std::streamsize(abyBank.size()));
    oFile.close();
    std::printf("built %s: the full bank, 64 large styles, %u bytes of style data, %zu bytes (not timed)\n",
                rkstrPath.c_str(), unsigned(oFacts.m_dwStyleBytes), abyBank.size());
    return QdGlobalObjectsEnd() && bBuilt && bool(oFile);
}

} // namespace

int main(int iArgc, char** ppszArgv)
{
    if (iArgc == 4 && std::strcmp(ppszArgv[1], "--child") == 0)
    {
        // The window is measured offscreen, as the tests show it.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return RunChild(iArgc, ppszArgv, std::atoi(ppszArgv[2]), ppszArgv[3]);
    }

    int iRuns = 9;
    std::string strBank;
    if (!BenchBankArgs(iArgc, ppszArgv, "qdbench_window", iRuns, strBank))
        return 1;
    char szDir[] = "/tmp/qdbench-window-XXXXXX";
    if (!::mkdtemp(szDir))
        return 1;
    const std::string strDir = szDir;
    const bool bOwnBank = strBank.empty();
    if (bOwnBank)
    {
        strBank = strDir + "/full.sty";
        if (!BuildBank(strBank))
            return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    std::vector<double> adTotals;
    std::vector<std::vector<double>> aadSteps(NR_STEPS);
    int iResult = 0;
    for (int i = 0; i < iRuns; ++i)
    {
        double dTotal = 0;
        std::vector<double> adSteps;
        if (!StartOnce("/proc/self/exe", strBank, dTotal, adSteps))
        {
            std::fprintf(stderr, "qdbench_window: run %d did not paint\n", i + 1);
            iResult = 1;
            break;
        }
        adTotals.push_back(dTotal);
        for (int s = 0; s < NR_STEPS; ++s)
            aadSteps[std::size_t(s)].push_back(adSteps[std::size_t(s)]);
    }
    if (iResult == 0)
    {
        std::printf("window start on %s, offscreen; median of %d runs, wall time\n", strBank.c_str(), iRuns);
        std::printf("  %-40s %9.2f ms  (runs: min %.2f, max %.2f)\n", "process start to first paint",
                    Median(adTotals), *std::min_element(adTotals.begin(), adTotals.end()),
                    *std::max_element(adTotals.begin(), adTotals.end()));
        for (int s = 0; s < NR_STEPS; ++s)
            std::printf("  %-40s %9.2f ms\n", (std::string("from main(): ") + s_apszStepNames[s]).c_str(),
                        Median(aadSteps[std::size_t(s)]));
    }
    if (bOwnBank)
        std::remove(strBank.c_str());
    ::rmdir(strDir.c_str());
    return iResult;
}
