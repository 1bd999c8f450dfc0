// RollPaintBench.cpp -- drawing a piano roll as the window's roll pane does
// (app/QdRollPainter.h): QPainter on an offscreen image, one frame at a
// time, so that the frame time can be held against the 16 ms a frame has at
// 60 frames a second.
//
// Two rolls (the first argument):
//   0  the largest chord variation (the most notes) of a 64-style bank of the
//      demo bank's kind, opened through the bank document;
//   1  a dense one made for the purpose: eight tracks, sixteen measures of
//      4/4, 3072 notes over two octaves a track, modulation and pitch bend
//      on the accompaniment every beat.
// Four frames (the second argument):
//   0  view   a pane of 1280 x 720 fitted to the pattern, scrolled half way
//             down: layout and drawing, as after a resize or a new roll;
//   1  zoom   the same pane zoomed eight times, scrolled to the middle of
//             the pattern: as every step of a zoom or a sideways scroll;
//   2  whole  the whole roll on one image of the layout's size, every note
//             drawn: the most a frame could hold;
//   3  head   the view's picture drawn again with the playhead over it: what
//             the pane does 25 times a second while a pattern plays.
// The offscreen platform is set by the program itself.
#include "BenchPrompt.h"
#include "DemoBank.h"
#include "QdRollPainter.h"

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDocPrompt.h"
#include "BankDoc/QdRoll.h"
#include "BankDoc/QdRollLayout.h"
#include "Kernel/Core/GlobalObj.h"
#include "NlzdStyle/NstEditIfc.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int VIEW_WIDTH = 1280;
constexpr int VIEW_HEIGHT = 720;
constexpr double ZOOM = 8.0;
constexpr TTICK QUARTER = NST_TICKS_PER_QUARTER;

// LargestOfFullBank -- every chord variation of the 64-style bank built as
// the pane builds it; the one with the most notes.
CQdRoll LargestOfFullBank(std::string& rstrWhat)
{
    CQdRoll oLargest;
    std::vector<BYTE> abyBank;
    std::vector<std::string> astrProblems;
    char szPath[] = "/tmp/qdbench-paint-XXXXXX";
    const int iFd = ::mkstemp(szPath);
    if (!DemoBuildBank(DemoFullBankSlots(), abyBank, astrProblems) || iFd < 0)
        return oLargest;
    ::close(iFd);
    std::ofstream(szPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(abyBank.data()), std::streamsize(abyBank.size()));
    CBenchPrompt oPrompt("qdbench_roll_paint");
    CQdBankDoc oDoc(oPrompt);
    const bool bOpened = oDoc.OpenBankFile(szPath);
    std::remove(szPath);
    for (int iStyle = 0; bOpened && iStyle < oDoc.GetStyleCount(); ++iStyle)
    {
        oDoc.SelectStyle(iStyle);
        for (int i = 0; i < CQdBankDoc::NR_STANDARD_NAMES; ++i)
        {
            BYTE bySe = 0;
            BYTE byCv = 0;
            CQdRoll oRoll;
            if (CQdBankDoc::StandardNameElement(i, bySe, byCv) && oDoc.BuildRoll(bySe, byCv, NST_ALL_TRACKS, oRoll) &&
                oRoll.m_aoNotes.size() > oLargest.m_aoNotes.size())
            {
                oLargest = std::move(oRoll);
                rstrWhat = "style " + std::to_string(iStyle + 1) + " " + CQdBankDoc::StandardName(i);
            }
        }
    }
    return oLargest;
}

// DenseRoll -- the dense roll as the document's model holds one: each
// track's notes on a grid of its own, keys and velocities from a fixed
// sequence, lanes on the accompaniment.
CQdRoll DenseRoll()
{
    CQdRoll oRoll;
    const TTICK tMeasure = 4 * QUARTER;
    oRoll.m_oGrid.m_tLength = BENCH_DENSE_MEASURES * tMeasure;
    oRoll.m_oGrid.m_dwMeasures = BENCH_DENSE_MEASURES;
    unsigned uSeed = 0x90115u;
    auto fnNext = [&uSeed](unsigned uBound) {
        uSeed = uSeed * 1103515245u + 12345u;
        return (uSeed >> 8) % uBound;
    };
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
    {
        const TTICK tStep = tMeasure / TTICK(BENCH_DENSE_NOTES[byTrack]);
        for (TTICK tTick = 0; tTick < oRoll.m_oGrid.m_tLength; tTick += tStep)
        {
            const BYTE byKey = BYTE(BENCH_DENSE_LOW_KEY[byTrack] + fnNext(24));
            oRoll.m_aoNotes.push_back({byTrack, NST_TRACK_CHANNELS[byTrack], byKey, BYTE(40 + fnNext(80)), tTick,
                                       tTick + 1 + fnNext(tStep - 2)});
            ++oRoll.m_adwNotes[byTrack];
        }
        if (byTrack < 3)
            continue;
        CQdRollLane oModulation{byTrack, QD_LANE_CONTROLLER, 1, {}};
        CQdRollLane oBend{byTrack, QD_LANE_PITCH_BEND, 0, {}};
        for (TTICK tTick = 0; tTick < oRoll.m_oGrid.m_tLength; tTick += QUARTER)
        {
            oModulation.m_aoPoints.push_back({tTick, int(fnNext(128))});
            oBend.m_aoPoints.push_back({tTick, int(fnNext(16384)) - 8192});
        }
        oRoll.m_aoLanes.push_back(std::move(oModulation));
        oRoll.m_aoLanes.push_back(std::move(oBend));
    }
    std::stable_sort(oRoll.m_aoNotes.begin(), oRoll.m_aoNotes.end(),
                     [](const CQdRollNote& rkoA, const CQdRollNote& rkoB) { return rkoA.m_tStart < rkoB.m_tStart; });
    return oRoll;
}

CQdRoll g_aoRolls[2];
std::string g_astrWhat[2];

// PaneOptions -- the pane's layout at the zoom (QdRollPane.cpp).
CQdRollLayoutOptions PaneOptions(double dZoom)
{
    CQdRollLayoutOptions oOptions;
    oOptions.m_iTitleHeight = 0;
    const int iFixed = 2 * oOptions.m_iMargin + oOptions.m_iKeyColumn;
    oOptions.m_iWidth = int(iFixed + (VIEW_WIDTH - iFixed) * dZoom);
    return oOptions;
}

void BM_RollFrame(benchmark::State& roState)
{
    const CQdRoll& rkoRoll = g_aoRolls[roState.range(0)];
    const int iFrame = int(roState.range(1));
    if (rkoRoll.m_aoNotes.empty())
    {
        roState.SkipWithError("no roll to draw");
        return;
    }
    const double dZoom = iFrame == 1 ? ZOOM : 1.0;
    const CQdRollLayout oLayout(rkoRoll, PaneOptions(dZoom));
    const QSize oSize = iFrame == 2 ? QSize(int(oLayout.GetWidth()), int(oLayout.GetHeight()))
                                    : QSize(VIEW_WIDTH, VIEW_HEIGHT);
    const QPointF oScroll(iFrame == 1 ? (oLayout.GetWidth() - VIEW_WIDTH) / 2 : 0,
                          iFrame == 2 ? 0 : std::max(0.0, (oLayout.GetHeight() - VIEW_HEIGHT) / 2));
    QImage oImage(oSize, QImage::Format_ARGB32_Premultiplied);
    QImage oView(QSize(VIEW_WIDTH, VIEW_HEIGHT), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter oPainter(&oView);
        QdPaintRollView(oPainter, oLayout, oView.size(), oScroll);
    }
    for (auto _ : roState)
    {
        QPainter oPainter(&oImage);
        if (iFrame == 3)
        {
            oPainter.drawImage(0, 0, oView);
            oPainter.fillRect(QRectF(oLayout.TickToX(QUARTER * 5) - 1, oLayout.GetRulerTop(), 2, VIEW_HEIGHT),
                              QdColour(QdRollColours::PLAYHEAD));
        }
        else if (iFrame == 2)
            QdPaintRoll(oPainter, CQdRollLayout(rkoRoll, PaneOptions(dZoom)), QRectF(QPointF(0, 0), QSizeF(oSize)));
        else
            QdPaintRollView(oPainter, CQdRollLayout(rkoRoll, PaneOptions(dZoom)), oSize, oScroll);
        oPainter.end();
        benchmark::DoNotOptimize(oImage.constBits());
    }
    static const char* const s_apszFrames[] = {"view", "zoom", "whole", "head"};
    roState.SetLabel(g_astrWhat[roState.range(0)] + ": " + std::to_string(rkoRoll.m_aoNotes.size()) + " notes, " +
                     std::to_string(rkoRoll.m_oGrid.m_dwMeasures) + " measures; " + s_apszFrames[iFrame] + " " +
                     std::to_string(oSize.width()) + "x" + std::to_string(oSize.height()));
}
BENCHMARK(BM_RollFrame)->ArgsProduct({{0, 1}, {0, 1, 2, 3}})->Unit(benchmark::kMillisecond);

} // namespace

int main(int iArgc, char** ppszArgv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication oApp(iArgc, ppszArgv);
    benchmark::Initialize(&iArgc, ppszArgv);
    if (benchmark::ReportUnrecognizedArguments(iArgc, ppszArgv))
        return 1;
    QdGlobalObjectsStart();
    g_aoRolls[0] = LargestOfFullBank(g_astrWhat[0]);
    g_aoRolls[1] = DenseRoll();
    g_astrWhat[1] = "dense";
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return QdGlobalObjectsEnd() ? 0 : 1;
}
