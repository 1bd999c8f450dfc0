// MainWindowTest.cpp -- what the main window shows: its frame and tool bar,
// the style list and the element tree of the demo bank, the info line and
// the tool buttons for each kind of node; the question dialog and the splash.
#include "AppTestSupport.h"
#include "QdGeneralDlg.h"
#include "Splashscreen.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryFile>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

using namespace AppTest;

namespace {
const QString ROOT_BUTTONS = "OpenStyle SaveStyle ImportAllSmf ButtonHelp";
const QString CHORD_VAR_BUTTONS =
    "OpenStyle SaveStyle ImportAllSmf ImportSingleSmf ExportSingleSmf DeleteCV PlayButton ButtonHelp";
const QString TRACK_BUTTONS = "OpenStyle SaveStyle ImportAllSmf PlayButton ButtonHelp";

// Counts the show events of the watched widget (a slow machine may not poll
// while a short-lived window is up).
class CShowCounter : public QObject
{
public:
    int m_iShown = 0;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Show)
            ++m_iShown;
        return QObject::eventFilter(pWatched, pEvent);
    }
};
} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void FrameToolBarAndInitialState();
    void OpenDemoBankShowsStylesAndBankSize();
    void ElementTreeMirrorsTheDocumentForEveryStyle();
    void InfoLineAndButtonsFollowTheSelectedNode();
    void NonBankFileIsRefused();
    void QuestionDialogButtonsAndResults();
    void SplashShowsOnFirstActivationOnlyAndHidesByItsTimer();
};

void MainWindowTest::FrameToolBarAndInitialState()
{
    TForm2 oForm;
    oForm.show();
    QCOMPARE(oForm.windowTitle(), QString("Qd50 Style Tool - v1.0.6"));
    // The designed client of 320 x 366 below the menu bar: the window's
    // default size, and its smallest.
    QCOMPARE(oForm.centralWidget()->size(), QSize(320, 366));
    QCOMPARE(oForm.size(), QSize(320, 366 + oForm.menuBar()->height()));
    QCOMPARE(oForm.centralWidget()->y(), oForm.menuBar()->height());
    QCOMPARE(oForm.minimumSize(), oForm.size());
    QCOMPARE(oForm.StyleList()->geometry(), QRect(8, 40, 137, 281));
    QCOMPARE(oForm.StyleTree()->geometry(), QRect(152, 40, 161, 281));
    QCOMPARE(oForm.InfoText()->geometry(), QRect(48, 328, 265, 32));

    const struct
    {
        QToolButton* m_pButton;
        const char* m_pszName;
        int m_iImage;
        const char* m_pszHint;
    } akoButtons[] = {
        {oForm.OpenStyle(), "OpenStyle", 0, "Open Style Bank"},
        {oForm.SaveStyle(), "SaveStyle", 1, "Save Style Bank"},
        {oForm.ImportAllSmf(), "ImportAllSmf", 2, "Import Style from SMFs with Standard Names"},
        {oForm.ImportSingleSmf(), "ImportSingleSmf", 3, "Import Chord Variation from SMF"},
        {oForm.ExportSingleSmf(), "ExportSingleSmf", 5, "Export Chord Variation to SMF"},
        {oForm.DeleteCV(), "DeleteCV", 9, "Delete Chord Variation"},
        {oForm.UndoStyle(), "UndoStyle", 6, "Undo current Style Modifications"},
        {oForm.PlayButton(), "PlayButton", 8, "Test play using the Mediaplayer"},
        {oForm.ButtonHelp(), "ButtonHelp", 7, "Help on this program"},
    };
    int iLeft = -1;
    for (const auto& rkoButton : akoButtons)
    {
        QCOMPARE(rkoButton.m_pButton->objectName(), QString(rkoButton.m_pszName));
        QCOMPARE(ToolImageOf(rkoButton.m_pButton->icon()), rkoButton.m_iImage);
        QCOMPARE(rkoButton.m_pButton->toolTip(), QString(rkoButton.m_pszHint));
        QCOMPARE(rkoButton.m_pButton->parentWidget(), static_cast<QWidget*>(oForm.ToolBar1()));
        // In tool-bar order, left to right.
        QVERIFY2(rkoButton.m_pButton->x() > iLeft, rkoButton.m_pszName);
        iLeft = rkoButton.m_pButton->x();
    }

    // Nothing open: no info line, no panel. The buttons start as the window
    // was designed (undo and play enabled, both doing nothing without a
    // style); the first command sets them from the document.
    QVERIFY(!IsShown(oForm, oForm.InfoText()));
    QVERIFY(!IsShown(oForm, oForm.HelpPanel()));
    QVERIFY(!IsShown(oForm, oForm.MediaPanel()));
    QCOMPARE(oForm.StyleList()->topLevelItemCount(), 0);
    QCOMPARE(EnabledButtons(oForm), QString("OpenStyle UndoStyle PlayButton ButtonHelp"));
    oForm.UndoStyle()->click();
    oForm.PlayButton()->click();
    QCOMPARE(EnabledButtons(oForm), QString("OpenStyle ButtonHelp"));
}

void MainWindowTest::OpenDemoBankShowsStylesAndBankSize()
{
    TForm2 oForm;
    CScript oScript(oForm);
    oScript.m_astrOpenFiles = {QD_DEMO_BANK};
    oForm.OpenStyle()->click();
    QCOMPARE(oScript.m_aoRequests.size(), std::size_t(1));
    QCOMPARE(oScript.m_aoRequests[0].m_strTitle, std::string("Open Style Bank File"));
    QVERIFY(oScript.Asked().isEmpty());

    QTreeWidgetItem* pRoot = oForm.StyleList()->topLevelItem(0);
    QVERIFY(pRoot);
    QCOMPARE(pRoot->text(0), QString("demo.sty"));
    QCOMPARE(TreeImageOf(pRoot->icon(0)), 4);
    QCOMPARE(ListedStyles(oForm),
             QStringList({"Pop 8Beat", "Slow Waltz", "Bossa Nova", "Rock Beat", "Jazz Swing"}));
    QCOMPARE(ListedImages(oForm), QList<int>({0, 0, 0, 0, 0}));
    QCOMPARE(EnabledButtons(oForm), QString("OpenStyle SaveStyle ButtonHelp"));

    oForm.StyleList()->setCurrentItem(pRoot);
    QVERIFY(IsShown(oForm, oForm.InfoText()));
    QCOMPARE(oForm.InfoText()->text(), " Uncompressed Size: " + QString::number(oForm.Doc().GetUsedSize()));
    QCOMPARE(oForm.StyleTree()->topLevelItemCount(), 0);

    oForm.StyleList()->setCurrentItem(pRoot->child(1));
    QCOMPARE(oForm.InfoText()->text(), QString(" Uncompressed Size: 2029"));
    QCOMPARE(ListedImages(oForm), QList<int>({0, 5, 0, 0, 0}));
    QCOMPARE(EnabledButtons(oForm), ROOT_BUTTONS);

    // Back to the root: no style open, no tree.
    oForm.StyleList()->setCurrentItem(pRoot);
    QCOMPARE(ListedImages(oForm), QList<int>({0, 0, 0, 0, 0}));
    QCOMPARE(oForm.StyleTree()->topLevelItemCount(), 0);
    QCOMPARE(EnabledButtons(oForm), QString("OpenStyle SaveStyle ButtonHelp"));
    QVERIFY(oScript.Told().isEmpty());
}

void MainWindowTest::ElementTreeMirrorsTheDocumentForEveryStyle()
{
    TForm2 oForm;
    CScript oScript(oForm);
    oForm.OpenBankPath(QD_DEMO_BANK);
    const QStringList astrStyles = ListedStyles(oForm);
    QCOMPARE(astrStyles.size(), 5);
    for (const QString& rkstrStyle : astrStyles)
    {
        QVERIFY(Select(oForm.StyleList(), {"demo.sty", rkstrStyle}));
        const QStringList astrShown = ShownTree(oForm.StyleTree());
        QCOMPARE(astrShown, DocTree(oForm.Doc().BuildElementTree()));
        // Style (5), element (1), chord variation (2), track (3), every branch open.
        QVERIFY(astrShown.size() > 3);
        QCOMPARE(astrShown[0], "0 5 " + rkstrStyle);
        QCOMPARE(astrShown[1], QString("1 1 Variation 1"));
        QCOMPARE(astrShown[2], QString("2 2 Chord Var 1"));
        QVERIFY2(astrShown[3].startsWith("3 3 "), qPrintable(astrShown[3]));
        for (QTreeWidgetItemIterator it(oForm.StyleTree()); *it; ++it)
            QVERIFY((*it)->childCount() == 0 || (*it)->isExpanded());
    }
    QVERIFY(oScript.Asked().isEmpty());
}

void MainWindowTest::InfoLineAndButtonsFollowTheSelectedNode()
{
    TForm2 oForm;
    CScript oScript(oForm);
    oForm.OpenBankPath(QD_DEMO_BANK);
    QVERIFY(Select(oForm.StyleList(), {"demo.sty", "Pop 8Beat"}));
    // The selected style shows the size of its slot until a tree node is chosen.
    QVERIFY(oForm.InfoText()->text().startsWith(" Uncompressed Size: "));
    QTreeWidgetItem* pChordVar = Node(oForm.StyleTree(), {"Pop 8Beat", "Variation 1", "Chord Var 1"});
    QVERIFY(pChordVar && pChordVar->childCount() > 0);
    const QString strTrack = pChordVar->child(0)->text(0);

    const struct
    {
        QStringList m_astrPath;
        const char* m_pszInfo; // nullptr: the line is hidden
        QString m_strButtons;
    } akoCases[] = {
        {{"Pop 8Beat"}, nullptr, ROOT_BUTTONS},
        {{"Pop 8Beat", "Variation 1"}, " Signature: 4 / 4", ROOT_BUTTONS},
        {{"Pop 8Beat", "Variation 1", "Chord Var 1"}, " Length in measures: 4", CHORD_VAR_BUTTONS},
        {{"Pop 8Beat", "Variation 1", "Chord Var 1", strTrack}, nullptr, TRACK_BUTTONS},
        {{"Pop 8Beat", "Intro 1", "Chord Var 2"}, " Length in measures: 2", CHORD_VAR_BUTTONS},
        {{"Pop 8Beat", "Variation 2"}, " Signature: 4 / 4", ROOT_BUTTONS},
    };
    for (const auto& rkoCase : akoCases)
    {
        const QByteArray abyPath = rkoCase.m_astrPath.join('/').toUtf8();
        QVERIFY2(Select(oForm.StyleTree(), rkoCase.m_astrPath), abyPath.constData());
        QCOMPARE(IsShown(oForm, oForm.InfoText()), rkoCase.m_pszInfo != nullptr);
        if (rkoCase.m_pszInfo)
            QCOMPARE(oForm.InfoText()->text(), QString(rkoCase.m_pszInfo));
        QCOMPARE(EnabledButtons(oForm), rkoCase.m_strButtons);
    }

    // The signature is the style's own: the waltz is in 3/4.
    QVERIFY(Select(oForm.StyleList(), {"demo.sty", "Slow Waltz"}));
    QVERIFY(Select(oForm.StyleTree(), {"Slow Waltz", "Variation 1"}));
    QCOMPARE(oForm.InfoText()->text(), QString(" Signature: 3 / 4"));
    QVERIFY(oScript.Asked().isEmpty());
    QVERIFY(!oForm.Doc().IsStyleModified());
}

void MainWindowTest::NonBankFileIsRefused()
{
    QTemporaryFile oFile;
    QVERIFY(oFile.open());
    oFile.write(QByteArray(64, 'x'));
    oFile.close();

    TForm2 oForm;
    CScript oScript(oForm);
    oForm.OpenBankPath(QD_DEMO_BANK);
    oScript.m_astrOpenFiles = {oFile.fileName().toStdString()};
    oForm.OpenStyle()->click();
    QCOMPARE(oScript.Told(), QStringList({"Open Style Bank | File read error - File in use - or not a Velmar Qd50 "
                                          "Style File!\n" +
                                          oFile.fileName() + ": it does not start as a Qd50 style bank"}));
    // The bank open before is given up: nothing listed, nothing to save.
    QCOMPARE(oForm.StyleList()->topLevelItemCount(), 0);
    QCOMPARE(oForm.StyleTree()->topLevelItemCount(), 0);
    QCOMPARE(EnabledButtons(oForm), QString("OpenStyle ButtonHelp"));
}

void MainWindowTest::QuestionDialogButtonsAndResults()
{
    const struct
    {
        int m_iPosition;
        int m_iLeft;
        int m_iResult;
    } akoCases[] = {{0, 16, 6}, {1, 104, 7}, {2, 192, 2}};
    for (const auto& rkoCase : akoCases)
    {
        TQdGeneralDlg oDlg(nullptr, "Caption", "Text", "Yes", "No", "Skip CV");
        oDlg.show();
        TQdClickLabel* apButtons[] = {oDlg.ButtonYes(), oDlg.ButtonNo(), oDlg.ButtonCancel()};
        QCOMPARE(apButtons[rkoCase.m_iPosition]->geometry(), QRect(rkoCase.m_iLeft, 104, 73, 19));
        QTest::mouseClick(apButtons[rkoCase.m_iPosition], Qt::LeftButton);
        QCOMPARE(oDlg.result(), rkoCase.m_iResult);
    }

    // A message: one OK in the middle position, the others hidden.
    TQdGeneralDlg oDlg(nullptr, "Open Style Bank", "Message", "", "OK", "");
    QCOMPARE(oDlg.CaptionLabel()->text(), QString("Open Style Bank"));
    QCOMPARE(oDlg.TextLabel()->text(), QString("Message"));
    QVERIFY(oDlg.ButtonYes()->isHidden());
    QVERIFY(!oDlg.ButtonNo()->isHidden());
    QVERIFY(oDlg.ButtonCancel()->isHidden());
}

void MainWindowTest::SplashShowsOnFirstActivationOnlyAndHidesByItsTimer()
{
    TForm2 oForm;
    auto* pSplash = oForm.findChild<TForm3*>();
    QVERIFY(pSplash);
    QVERIFY(!pSplash->isVisible());
    QVERIFY(pSplash->Timer1()->isSingleShot());
    QCOMPARE(pSplash->Timer1()->interval(), 2500);

    CShowCounter oCounter;
    pSplash->installEventFilter(&oCounter);
    QElapsedTimer oClock;
    oClock.start();
    oForm.show();
    QApplication::setActiveWindow(&oForm);
    QTRY_COMPARE(oCounter.m_iShown, 1);
    // Generous: a loaded machine may run the timer late.
    QTRY_VERIFY_WITH_TIMEOUT(!pSplash->isVisible(), 20000);
    // Not before its time (a coarse timer may fire up to 5 % early).
    QVERIFY2(oClock.elapsed() >= 2300, qPrintable(QString::number(oClock.elapsed())));

    // Activated again (another window was in front): no splash.
    QEvent oActivate(QEvent::WindowActivate);
    QApplication::sendEvent(&oForm, &oActivate);
    QApplication::processEvents();
    QCOMPARE(oCounter.m_iShown, 1);
    QVERIFY(!pSplash->isVisible());
}

QD_APP_TEST(MainWindowTest);
#include "MainWindowTest.moc"
