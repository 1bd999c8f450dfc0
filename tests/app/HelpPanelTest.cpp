// HelpPanelTest.cpp -- the help panel: shown and hidden by the help button,
// closed by a click on it or on its title, its text, and the web link.
#include "AppTestSupport.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

using namespace AppTest;

class HelpPanelTest : public QObject
{
    Q_OBJECT
private slots:
    void HelpButtonTogglesThePanelAndClicksCloseIt();
    void HelpTextIsReadOnlyInRuledSections();
    void WebLinkOpensTheAddressOrTellsIt();
};

void HelpPanelTest::HelpButtonTogglesThePanelAndClicksCloseIt()
{
    TForm2 oForm;
    CScript oScript(oForm);
    oForm.show();
    QWidget* pHelp = oForm.HelpPanel();
    QVERIFY(!IsShown(oForm, pHelp));

    oForm.ButtonHelp()->click();
    QVERIFY(IsShown(oForm, pHelp));
    oForm.ButtonHelp()->click();
    QVERIFY(!IsShown(oForm, pHelp));

    oForm.ButtonHelp()->click();
    QTest::mouseClick(pHelp, Qt::LeftButton, {}, QPoint(4, 4));
    QVERIFY(!IsShown(oForm, pHelp));

    oForm.ButtonHelp()->click();
    QTest::mouseClick(oForm.StaticText1(), Qt::LeftButton);
    QVERIFY(!IsShown(oForm, pHelp));

    // Clicks into the text read it; they do not close the panel.
    oForm.ButtonHelp()->click();
    QTest::mouseClick(oForm.Memo1()->viewport(), Qt::LeftButton);
    QVERIFY(IsShown(oForm, pHelp));

    // Any command closes it (here a cancelled open).
    oForm.OpenStyle()->click();
    QVERIFY(!IsShown(oForm, pHelp));
    QCOMPARE(oScript.m_aoRequests.size(), std::size_t(1));
}

void HelpPanelTest::HelpTextIsReadOnlyInRuledSections()
{
    TForm2 oForm;
    QVERIFY(oForm.Memo1()->isReadOnly());
    QVERIFY(oForm.HelpPanel()->isAncestorOf(oForm.Memo1()));
    const QString strText = oForm.Memo1()->toPlainText();
    QCOMPARE(strText, TForm2::HelpText());

    const QString strRule(39, '_');
    const QStringList astrLines = strText.split('\n');
    QVERIFY(astrLines.contains(strRule));
    for (const QString& rkstrLine : astrLines)
        QVERIFY2(!rkstrLine.contains('_') || rkstrLine == strRule, qPrintable(rkstrLine));

    // Each of these opens a section of its own, in this order.
    const QStringList astrHeads = {"General:", "The file naming convention is:", "Conversion conventions:",
                                   "This program is Freeware and is provided as is! "};
    int iLast = -1;
    for (const QString& rkstrHead : astrHeads)
    {
        const int iLine = int(astrLines.indexOf(rkstrHead));
        QVERIFY2(iLine > iLast, qPrintable(rkstrHead));
        QVERIFY2(iLine == 0 || astrLines[iLine - 1] == strRule, qPrintable(rkstrHead));
        iLast = iLine;
    }
}

void HelpPanelTest::WebLinkOpensTheAddressOrTellsIt()
{
    TForm2 oForm;
    CScript oScript(oForm);
    oForm.show();
    QList<QUrl> aoOpened;
    bool bOpens = false;
    oForm.SetUrlOpener([&](const QUrl& rkoUrl) {
        aoOpened << rkoUrl;
        return bOpens;
    });
    oForm.ButtonHelp()->click();

    QTest::mouseClick(oForm.GotoWeb(), Qt::LeftButton);
    QCOMPARE(aoOpened, QList<QUrl>({QUrl(TForm2::WEB_ADDRESS)}));
    QCOMPARE(oScript.Told(),
             QStringList({"Web Link | Cannot launch Web Browser! Visit: '" + QString(TForm2::WEB_ADDRESS) + "'."}));

    oScript.Clear();
    bOpens = true;
    QTest::mouseClick(oForm.GotoWeb(), Qt::LeftButton);
    QCOMPARE(aoOpened.size(), 2);
    QCOMPARE(aoOpened.back(), QUrl(TForm2::WEB_ADDRESS));
    QVERIFY(oScript.Told().isEmpty());
}

QD_APP_TEST(HelpPanelTest);
#include "HelpPanelTest.moc"
