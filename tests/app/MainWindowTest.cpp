// MainWindowTest.cpp -- the main window over the demo bank, offscreen.
#include "Qd50StyleToMidiMain.h"
#include "QdGeneralDlg.h"

#include <QLabel>
#include <QTemporaryFile>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void LayoutAndInitialState();
    void OpenDemoBankAndSelectStyle();
    void NonBankFileIsRefused();
    void QuestionDialogResults();
    void QuestionDialogHidesEmptyButton();
};

void MainWindowTest::LayoutAndInitialState()
{
    TForm2 oForm;
    QCOMPARE(oForm.windowTitle(), QString("Qd50 Style Tool - v1.0.6"));
    QCOMPARE(oForm.StyleList()->geometry(), QRect(8, 40, 137, 281));
    QCOMPARE(oForm.StyleTree()->geometry(), QRect(152, 40, 161, 281));
    QCOMPARE(oForm.InfoText()->geometry(), QRect(48, 328, 265, 32));
    QVERIFY(oForm.InfoText()->isHidden());
    QVERIFY(oForm.OpenStyle()->isEnabled());
    QVERIFY(!oForm.SaveStyle()->isEnabled());
    QVERIFY(!oForm.ImportSingleSmf()->isEnabled());
    QCOMPARE(oForm.OpenStyle()->toolTip(), QString("Open Style Bank"));
    QCOMPARE(oForm.DeleteCV()->toolTip(), QString("Delete Chord Variation"));
}

void MainWindowTest::OpenDemoBankAndSelectStyle()
{
    TForm2 oForm;
    std::string strTitle;
    oForm.Prompt().Hooks().m_fnChooseOpenFile = [&](const CQdFileRequest& rkoRequest, std::string& rstrPath) {
        strTitle = rkoRequest.m_strTitle;
        rstrPath = QD_DEMO_BANK;
        return true;
    };
    oForm.OpenStyle()->click();
    QCOMPARE(strTitle, std::string("Open Style Bank File"));

    QTreeWidgetItem* pRoot = oForm.StyleList()->topLevelItem(0);
    QVERIFY(pRoot);
    QCOMPARE(pRoot->text(0), QString("demo.sty"));
    const QStringList astrExpected = {"Pop 8Beat", "Slow Waltz", "Bossa Nova", "Rock Beat", "Jazz Swing"};
    QCOMPARE(pRoot->childCount(), int(astrExpected.size()));
    for (int i = 0; i < astrExpected.size(); ++i)
        QCOMPARE(pRoot->child(i)->text(0), astrExpected[i]);
    QVERIFY(oForm.SaveStyle()->isEnabled());

    oForm.StyleList()->setCurrentItem(pRoot->child(1));
    QTreeWidgetItem* pTreeRoot = oForm.StyleTree()->topLevelItem(0);
    QVERIFY(pTreeRoot);
    QCOMPARE(pTreeRoot->text(0), QString("Slow Waltz"));
    QVERIFY(!oForm.InfoText()->isHidden());
    QCOMPARE(oForm.InfoText()->text(), QString(" Uncompressed Size: 2029"));
    QVERIFY(oForm.ImportAllSmf()->isEnabled());
}

void MainWindowTest::NonBankFileIsRefused()
{
    QTemporaryFile oFile;
    QVERIFY(oFile.open());
    oFile.write(QByteArray(64, 'x'));
    oFile.close();

    TForm2 oForm;
    std::string strCaption, strText;
    oForm.Prompt().Hooks().m_fnChooseOpenFile = [&](const CQdFileRequest&, std::string& rstrPath) {
        rstrPath = oFile.fileName().toStdString();
        return true;
    };
    oForm.Prompt().Hooks().m_fnTell = [&](const std::string& rkstrCaption, const std::string& rkstrText) {
        strCaption = rkstrCaption;
        strText = rkstrText;
    };
    oForm.OpenStyleClick();
    QCOMPARE(strText, std::string("File read error - File in use - or not a Velmar Qd50 Style File!"));
    QCOMPARE(strCaption, std::string("Open Style Bank"));
    QCOMPARE(oForm.StyleList()->topLevelItemCount(), 0);
}

void MainWindowTest::QuestionDialogResults()
{
    const struct { int iPosition; int iResult; } akoCases[] = {{0, 6}, {1, 7}, {2, 2}};
    for (const auto& rkoCase : akoCases)
    {
        TQdGeneralDlg oDlg(nullptr, "Caption", "Text", "Yes", "No", "Skip CV");
        oDlg.show();
        TQdClickLabel* apButtons[] = {oDlg.ButtonYes(), oDlg.ButtonNo(), oDlg.ButtonCancel()};
        QTest::mouseClick(apButtons[rkoCase.iPosition], Qt::LeftButton);
        QCOMPARE(oDlg.result(), rkoCase.iResult);
    }
}

void MainWindowTest::QuestionDialogHidesEmptyButton()
{
    TQdGeneralDlg oDlg(nullptr, "Open Style Bank", "Message", "", "OK", "");
    QCOMPARE(oDlg.CaptionLabel()->text(), QString("Open Style Bank"));
    QVERIFY(oDlg.ButtonYes()->isHidden());
    QVERIFY(!oDlg.ButtonNo()->isHidden());
    QVERIFY(oDlg.ButtonCancel()->isHidden());
    QCOMPARE(oDlg.ButtonNo()->geometry(), QRect(104, 104, 73, 19));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
