// RollPaneTest.cpp -- the piano roll pane: closed at the designed size and
// opened beside the tree, by View > Piano Roll or a wider window; the roll
// of the selected chord variation or track (the others faint); every demo
// chord variation drawn where its SVG puts it; the playhead at the player's
// tick; a clicked note played and a hovered one named; zoom.
#include "AppTestSupport.h"
#include "QdRollPainter.h"
#include "QdRollPane.h"
#include "QdWindowLayout.h"

#include "BankDoc/QdRollSvg.h"
#include "NlzdStyle/NstEditIfc.h"

#include <QAction>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolTip>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

using namespace AppTest;

namespace {

const QStringList POP_CHORD_VAR = {"Pop 8Beat", "Variation 1", "Chord Var 1"};

QRgb Rgb(const CQdRgb& rkoColour) { return QdColour(rkoColour).rgb(); }

// A shown window over the demo bank with "Pop 8Beat" selected and the
// scripted player.
struct CRollWindow
{
    CRollWindow()
    {
        m_oForm.SetMediaPlayer(std::make_unique<CScriptedPlayer>(m_poLog));
        m_oForm.OpenBankPath(QD_DEMO_BANK);
        Select(m_oForm.StyleList(), {"demo.sty", "Pop 8Beat"});
        m_oForm.show();
    }
    TQdRollPane& Pane() { return *m_oForm.RollPane(); }
    // Open -- the roll opened from the menu at the designed size.
    bool Open()
    {
        m_oForm.Action("ActionRoll")->trigger();
        return QTest::qWaitFor([this] { return Pane().isVisible() && Pane().width() == QD_ROLL_DESIGNED_WIDTH; });
    }
    // ViewPointOf -- the middle of a note of the roll, in the view; null
    // when it is not in view.
    QPoint ViewPointOf(std::size_t uNote)
    {
        const CQdRollRect oRect = Pane().Layout().NoteRect(Pane().Roll().m_aoNotes[uNote]);
        const QPoint oAt =
            Pane().LayoutToView(QPointF(oRect.m_dX + oRect.m_dWidth / 2, oRect.m_dY + oRect.m_dHeight / 2));
        return Pane().viewport()->rect().contains(oAt) && Pane().NoteAt(oAt) == int(uNote) ? oAt : QPoint();
    }

    std::shared_ptr<CPlayerLog> m_poLog = std::make_shared<CPlayerLog>();
    TForm2 m_oForm;
    CScript m_oScript{m_oForm};
};

// The chord variations of the demo bank as the tree shows them: style and
// tree path.
QList<QStringList> DemoChordVars(TForm2& roForm)
{
    QList<QStringList> aastrPaths;
    for (const QString& rkstrStyle : ListedStyles(roForm))
    {
        Select(roForm.StyleList(), {"demo.sty", rkstrStyle});
        for (QTreeWidgetItemIterator it(roForm.StyleTree()); *it; ++it)
            if ((*it)->parent() && (*it)->parent()->parent() && !(*it)->parent()->parent()->parent())
                aastrPaths << QStringList{(*it)->parent()->parent()->text(0), (*it)->parent()->text(0), (*it)->text(0)};
    }
    return aastrPaths;
}

} // namespace

class RollPaneTest : public QObject
{
    Q_OBJECT
private slots:
    void ClosedAtTheDesignedSizeOpenedBesideTheTree();
    void AChordVariationShowsAllTracksATrackTheOthersFaint();
    void EveryDemoChordVariationIsDrawnWhereItsSvgPutsIt();
    void ThePlayheadIsThePlayersTick();
    void AClickedNotePlaysAHoveredNoteIsNamed();
    void ZoomStretchesTheTimeUnderTheFixedNames();
};

void RollPaneTest::ClosedAtTheDesignedSizeOpenedBesideTheTree()
{
    CRollWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    QAction* pRoll = roForm.Action("ActionRoll");
    QCOMPARE(pRoll->shortcut(), QKeySequence("Ctrl+R"));
    QVERIFY(!pRoll->isChecked() && !roForm.RollPane()->isVisible());
    QCOMPARE(roForm.centralWidget()->size(), QSize(QD_DESIGNED_WIDTH, QD_DESIGNED_HEIGHT));
    QCOMPARE(roForm.StyleTree()->geometry(), QRect(152, 40, 161, 281));

    // Opened at the designed size the window grows by the pane and its bar:
    // list and tree stay as designed.
    QVERIFY(oWin.Open());
    QVERIFY(pRoll->isChecked() && roForm.Action("ActionFitRoll")->isEnabled());
    QCOMPARE(roForm.centralWidget()->width(), QD_ROLL_OPEN_WIDTH);
    QCOMPARE(roForm.StyleList()->geometry(), QRect(8, 40, 137, 281));
    QCOMPARE(roForm.StyleTree()->geometry(), QRect(152, 40, 161, 281));
    QCOMPARE(roForm.RollBar()->geometry(), QRect(313, 40, 7, 281));
    QCOMPARE(roForm.RollPane()->geometry(), QRect(320, 40, QD_ROLL_DESIGNED_WIDTH, 281));
    roForm.SetRollShare(0.5);
    QCOMPARE(roForm.RollPane()->width(), 389);
    roForm.SetRollShare(QD_DESIGNED_ROLL_SHARE);
    // Closed, list and tree take the room.
    pRoll->trigger();
    QVERIFY(!roForm.RollPane()->isVisible() && !roForm.RollBar()->isVisible());
    QCOMPARE(roForm.StyleTree()->geometry().right(), QD_ROLL_OPEN_WIDTH - 8);

    // Widening to 807 opens it, narrowing below 527 closes it; in between
    // it stays as it was.
    const struct
    {
        int m_iWidth;
        bool m_bOpen;
    } akoSizes[] = {{1000, false}, {600, false}, {900, true}, {700, true}, {500, false}, {806, false}, {807, true}};
    for (const auto& rkoSize : akoSizes)
    {
        roForm.resize(rkoSize.m_iWidth, roForm.height());
        QTRY_COMPARE(roForm.centralWidget()->width(), rkoSize.m_iWidth);
        QCOMPARE(roForm.IsRollOpen(), rkoSize.m_bOpen);
        QCOMPARE(roForm.RollPane()->isVisible(), rkoSize.m_bOpen);
        QCOMPARE(pRoll->isChecked(), rkoSize.m_bOpen);
        QCOMPARE((rkoSize.m_bOpen ? roForm.RollPane()->geometry() : roForm.StyleTree()->geometry()).right(),
                 rkoSize.m_iWidth - 8);
    }
    // Back at the default size: closed, the designed window.
    roForm.resize(roForm.DefaultSize());
    QTRY_COMPARE(roForm.StyleTree()->geometry(), QRect(152, 40, 161, 281));
    QVERIFY(!roForm.IsRollOpen());
    QCOMPARE(roForm.StyleList()->geometry(), QRect(8, 40, 137, 281));
    QCOMPARE(roForm.InfoText()->geometry(), QRect(48, 328, 265, 32));
}

void RollPaneTest::AChordVariationShowsAllTracksATrackTheOthersFaint()
{
    CRollWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    TQdRollPane& roPane = oWin.Pane();
    QVERIFY(oWin.Open());
    QVERIFY(!roPane.HasRoll());
    QVERIFY(Select(roForm.StyleTree(), POP_CHORD_VAR));
    QVERIFY(roPane.HasRoll());
    CQdRoll oExpected;
    QVERIFY(roForm.Doc().BuildRoll(0, 0, NST_ALL_TRACKS, oExpected));
    QVERIFY(roPane.Roll().m_aoNotes == oExpected.m_aoNotes);
    QCOMPARE(roPane.Roll().m_byHighlight, BYTE(NST_ALL_TRACKS));

    // Each track node: the same notes, its own in full colour, the others
    // faint, its band in view.
    const QTreeWidgetItem* pkChordVar = Node(roForm.StyleTree(), POP_CHORD_VAR);
    for (int iChild = 0; iChild < pkChordVar->childCount(); ++iChild)
    {
        QVERIFY(Select(roForm.StyleTree(), POP_CHORD_VAR + QStringList{pkChordVar->child(iChild)->text(0)}));
        const CQdRoll& rkoRoll = roPane.Roll();
        QVERIFY(rkoRoll.m_aoNotes == oExpected.m_aoNotes);
        const BYTE byTrack = rkoRoll.m_byHighlight;
        QVERIFY(byTrack < NST_NR_TRK);
        QCOMPARE(QString(CQdBankDoc::TrackName(byTrack)), pkChordVar->child(iChild)->text(0));
        const QImage oView = roPane.viewport()->grab().toImage();
        int iSeen = 0;
        for (std::size_t u = 0; u < rkoRoll.m_aoNotes.size(); ++u)
        {
            const QPoint oAt = oWin.ViewPointOf(u);
            if (oAt.isNull())
                continue;
            const CQdRollNote& rkoNote = rkoRoll.m_aoNotes[u];
            const bool bFaint = rkoNote.m_byTrack != byTrack;
            QCOMPARE(oView.pixel(oAt), Rgb(QdRollNoteColour(rkoNote.m_byTrack, rkoNote.m_byVelocity, bFaint)));
            iSeen += bFaint ? 0 : 1;
        }
        QVERIFY2(iSeen > 0, CQdBankDoc::TrackName(byTrack));
    }
    // A style element: no roll.
    QVERIFY(Select(roForm.StyleTree(), {"Pop 8Beat", "Variation 1"}));
    QVERIFY(!roPane.HasRoll());
}

void RollPaneTest::EveryDemoChordVariationIsDrawnWhereItsSvgPutsIt()
{
    CRollWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    QVERIFY(oWin.Open());
    const QRegularExpression oRect(
        "<rect x=\"([-\\d.]+)\" y=\"([-\\d.]+)\" width=\"([\\d.]+)\" height=\"([\\d.]+)\"");
    const QList<QStringList> aastrChordVars = DemoChordVars(roForm);
    QVERIFY(aastrChordVars.size() > 20);
    for (const QStringList& rkastrPath : aastrChordVars)
    {
        const QByteArray abyCase = rkastrPath.join('/').toUtf8();
        if (!Node(roForm.StyleTree(), rkastrPath))
            Select(roForm.StyleList(), {"demo.sty", rkastrPath.front()});
        QVERIFY2(Select(roForm.StyleTree(), rkastrPath), abyCase.constData());
        const CQdRoll& rkoRoll = oWin.Pane().Roll();
        QVERIFY2(!rkoRoll.m_aoNotes.empty(), abyCase.constData());
        CQdRoll oExpected;
        QVERIFY(roForm.Doc().BuildRoll(rkoRoll.m_bySe, rkoRoll.m_byCv, NST_ALL_TRACKS, oExpected));
        QVERIFY2(rkoRoll.m_aoNotes == oExpected.m_aoNotes, abyCase.constData());

        // The whole roll painted as the SVG lays it out: each note's colour
        // in the middle of its <rect>, unless a later note covers it.
        const CQdRollLayout oLayout(rkoRoll);
        QImage oImage(int(oLayout.GetWidth()), int(oLayout.GetHeight()), QImage::Format_RGB32);
        QPainter oPainter(&oImage);
        QdPaintRoll(oPainter, oLayout, QRectF(0, 0, oImage.width(), oImage.height()));
        oPainter.end();
        const QString strSvg = QString::fromStdString(QdRollSvg(oLayout, "roll"));
        std::size_t uNote = 0;
        for (auto it = oRect.globalMatch(strSvg); it.hasNext(); ++uNote)
        {
            const QRegularExpressionMatch oMatch = it.next();
            QVERIFY2(uNote < rkoRoll.m_aoNotes.size(), abyCase.constData());
            const QPointF oMiddle(oMatch.captured(1).toDouble() + oMatch.captured(3).toDouble() / 2,
                                  oMatch.captured(2).toDouble() + oMatch.captured(4).toDouble() / 2);
            if (oLayout.NoteAt(oMiddle.x(), oMiddle.y()) != int(uNote))
                continue;
            const CQdRollNote& rkoNote = rkoRoll.m_aoNotes[uNote];
            QCOMPARE(oImage.pixel(oMiddle.toPoint()), Rgb(QdRollNoteColour(rkoNote.m_byTrack, rkoNote.m_byVelocity, false)));
        }
        QCOMPARE(uNote, rkoRoll.m_aoNotes.size());
    }
    // Showing rolls changes no style: leaving each asked nothing.
    QVERIFY(!roForm.Doc().IsStyleModified());
    QVERIFY(oWin.m_oScript.Asked().isEmpty());
}

void RollPaneTest::ThePlayheadIsThePlayersTick()
{
    CRollWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    TQdRollPane& roPane = oWin.Pane();
    QVERIFY(oWin.Open());
    QVERIFY(Select(roForm.StyleTree(), POP_CHORD_VAR));
    roForm.PlayButtonClick();
    QVERIFY(roForm.Playback().IsPlaying());
    const TTICK tLength = roPane.Roll().m_oGrid.m_tLength;
    const struct
    {
        long m_lTick;
        TTICK m_tAt;
    } akoTicks[] = {{0, 0}, {384, 384}, {long(tLength) - 1, tLength - 1}, {long(tLength) + 200, 200}};
    for (const auto& rkoTick : akoTicks)
    {
        oWin.m_poLog->m_lTick = rkoTick.m_lTick;
        QTRY_VERIFY(roPane.HasPlayhead() && roPane.PlayheadX() == roPane.Layout().TickToX(rkoTick.m_tAt));
    }
    // Drawn across the notes where the layout puts the tick.
    const QImage oView = roPane.viewport()->grab().toImage();
    const QPoint oAt = roPane.LayoutToView(QPointF(roPane.PlayheadX(), roPane.Layout().GetBandsTop() + 4));
    QCOMPARE(oView.pixel(oAt), Rgb(QdRollColours::PLAYHEAD));

    // Moving to a track of the chord variation playing keeps it; stopping ends it.
    QVERIFY(Select(roForm.StyleTree(), POP_CHORD_VAR + QStringList{"Bass"}));
    QTRY_VERIFY(roPane.HasPlayhead() && roPane.PlayheadX() == roPane.Layout().TickToX(200));
    roForm.StopPlayback();
    QVERIFY(!roPane.HasPlayhead());
}

void RollPaneTest::AClickedNotePlaysAHoveredNoteIsNamed()
{
    CRollWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    TQdRollPane& roPane = oWin.Pane();
    QVERIFY(oWin.Open());
    QVERIFY(Select(roForm.StyleTree(), POP_CHORD_VAR));
    roForm.TempoEdit()->setValue(90);
    const CQdRoll& rkoRoll = roPane.Roll();
    std::size_t uNote = 0;
    while (uNote < rkoRoll.m_aoNotes.size() && oWin.ViewPointOf(uNote).isNull())
        ++uNote;
    QVERIFY(uNote < rkoRoll.m_aoNotes.size());
    const QPoint oAt = oWin.ViewPointOf(uNote);

    QTest::mouseClick(roPane.viewport(), Qt::LeftButton, {}, oAt);
    QCOMPARE(oWin.m_poLog->m_aoNotes.size(), std::size_t(1));
    QVERIFY(oWin.m_poLog->m_aoNotes[0] == QdNoteSoundOf(rkoRoll, rkoRoll.m_aoNotes[uNote], 90));
    QCOMPARE(oWin.m_poLog->m_aoNotes[0].m_byChannel, rkoRoll.m_aoNotes[uNote].m_byChannel);
    QVERIFY(!roForm.Playback().IsPlaying());
    // Nothing under the mouse: nothing plays.
    const QPoint oRuler(roPane.viewport()->width() - 5, 5);
    QTest::mouseClick(roPane.viewport(), Qt::LeftButton, {}, oRuler);
    QCOMPARE(oWin.m_poLog->m_aoNotes.size(), std::size_t(1));

    const QString strText = QString::fromStdString(QdRollNoteText(rkoRoll.m_oGrid, rkoRoll.m_aoNotes[uNote]));
    QCOMPARE(roPane.NoteTextAt(oAt), strText);
    QVERIFY(strText.contains("velocity") && strText.contains("start 1:") && strText.contains("length"));
    QVERIFY(roPane.NoteTextAt(oRuler).isEmpty());
    QHelpEvent oHover(QEvent::ToolTip, oAt, roPane.viewport()->mapToGlobal(oAt));
    QApplication::sendEvent(roPane.viewport(), &oHover);
    QTRY_COMPARE(QToolTip::text(), strText);
    QToolTip::hideText();
}

void RollPaneTest::ZoomStretchesTheTimeUnderTheFixedNames()
{
    CRollWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    TQdRollPane& roPane = oWin.Pane();
    QVERIFY(oWin.Open());
    QVERIFY(Select(roForm.StyleTree(), POP_CHORD_VAR));
    QWidget* pView = roPane.viewport();
    // Fitted: the pattern spans the view.
    QCOMPARE(int(roPane.Layout().GetWidth()), pView->width());
    QCOMPARE(roPane.horizontalScrollBar()->maximum(), 0);
    const QImage oKeys = pView->grab().toImage().copy(0, 0, int(roPane.Layout().GetTimeLeft()), pView->height());

    // Ctrl+wheel, two notches, about the mouse: the tick there stays there.
    const QPoint oMouse(300, 100);
    const TTICK tAt = roPane.Layout().XToTick(roPane.ViewToLayout(oMouse).x());
    QWheelEvent oWheel(oMouse, pView->mapToGlobal(oMouse), {}, QPoint(0, 240), Qt::NoButton, Qt::ControlModifier,
                       Qt::NoScrollPhase, false);
    QApplication::sendEvent(pView, &oWheel);
    QCOMPARE(roPane.Zoom(), TQdRollPane::ZOOM_STEP * TQdRollPane::ZOOM_STEP);
    QVERIFY(roPane.horizontalScrollBar()->maximum() > 0);
    QVERIFY(std::abs(roPane.Layout().TickToX(tAt) - roPane.ViewToLayout(oMouse).x()) < 2);
    // The key column stays while the notes scroll under it.
    roPane.horizontalScrollBar()->setValue(roPane.horizontalScrollBar()->maximum());
    QCOMPARE(pView->grab().toImage().copy(oKeys.rect()), oKeys);

    roForm.Action("ActionZoomIn")->trigger();
    QCOMPARE(roPane.Zoom(), std::pow(TQdRollPane::ZOOM_STEP, 3));
    roForm.Action("ActionZoomOut")->trigger();
    roForm.Action("ActionFitRoll")->trigger();
    QCOMPARE(roPane.Zoom(), 1.0);
    QCOMPARE(int(roPane.Layout().GetWidth()), pView->width());
    QCOMPARE(roPane.horizontalScrollBar()->value(), 0);
}

QD_APP_TEST(RollPaneTest);
#include "RollPaneTest.moc"
