// KeyboardAndReportsTest.cpp -- the question dialog on the keyboard (Escape,
// Tab, Return and Space, access letters) with its look kept until the
// keyboard is used; Save with Cancel and onto a read-only bank; the core's
// reports kept in the report log instead of shown as dialogs.
#include "AppTestSupport.h"
#include "QdGeneralDlg.h"
#include "QdReportDlg.h"
#include "QdReportLog.h"

#include "BankDoc/QdDocText.h"
#include "Base/Report.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

using namespace AppTest;

namespace {

struct CKey
{
    Qt::Key m_eKey;
    Qt::KeyboardModifiers m_eModifiers = Qt::NoModifier;
};

// The old button: a plain label as the dialog always had it.
QImage PlainButtonLook(const TQdClickLabel& rkoButton)
{
    QLabel oLabel(rkoButton.text(), rkoButton.parentWidget());
    oLabel.setFrameStyle(QFrame::Box | QFrame::Plain);
    oLabel.setAlignment(Qt::AlignCenter);
    oLabel.setAutoFillBackground(true);
    oLabel.setGeometry(rkoButton.geometry());
    oLabel.show();
    return oLabel.grab().toImage();
}

} // namespace

class KeyboardAndReportsTest : public QObject
{
    Q_OBJECT
private slots:
    void QuestionDialogAnswersTheKeyboard();
    void SaveOffersAnotherNameForAReadOnlyBank();
    void ReportsGoToTheLogNotToADialog();
};

void KeyboardAndReportsTest::QuestionDialogAnswersTheKeyboard()
{
    constexpr int OPEN = 0; // no result: the dialog is still open
    const struct
    {
        QStringList m_astrButtons; // Yes, No, Cancel position
        bool m_bEscapeCancels;
        QList<CKey> m_aoKeys;
        int m_iResult;
    } akoCases[] = {
        {{"Replace", "Merge", "Cancel"}, true, {{Qt::Key_Escape}}, 2},
        {{"Initialize", "Keep", "Cancel"}, true, {{Qt::Key_Escape}}, 2},
        {{"Import", "", "Cancel"}, true, {{Qt::Key_Escape}}, 2},
        // Leaving a changed style: "No" drops the changes, Escape is no answer.
        {{"Yes", "", "No"}, false, {{Qt::Key_Escape}}, OPEN},
        {{"Yes", "No", "Cancel"}, true, {{Qt::Key_Escape}}, 2},
        // A message: Escape and Return acknowledge it.
        {{"", "OK", ""}, true, {{Qt::Key_Escape}}, 7},
        {{"", "OK", ""}, true, {{Qt::Key_Return}}, 7},
        // A question has no default: Return answers only a focused button.
        {{"Yes", "No", "Cancel"}, true, {{Qt::Key_Return}, {Qt::Key_Space}}, OPEN},
        {{"Yes", "No", "Cancel"}, true, {{Qt::Key_Tab}, {Qt::Key_Return}}, 6},
        {{"Yes", "No", "Cancel"}, true, {{Qt::Key_Tab}, {Qt::Key_Tab}, {Qt::Key_Space}}, 7},
        {{"Yes", "", "No"}, false, {{Qt::Key_Tab}, {Qt::Key_Tab}, {Qt::Key_Enter}}, 2},
        {{"Yes", "No", "Cancel"}, true, {{Qt::Key_Backtab, Qt::ShiftModifier}, {Qt::Key_Return}}, 2},
        // Access letters: the first free letter of each text, Alt or not.
        {{"Initialize", "Keep", "Skip CV"}, true, {{Qt::Key_K}}, 7},
        {{"Initialize", "Keep", "Skip CV"}, true, {{Qt::Key_S, Qt::AltModifier}}, 2},
        {{"Yes", "", "No"}, false, {{Qt::Key_N}}, 2},
        {{"Save", "Skip", "Sort"}, true, {{Qt::Key_O}}, 2},
        {{"Yes", "No", "Cancel"}, true, {{Qt::Key_Q}, {Qt::Key_Y, Qt::ControlModifier}}, OPEN},
    };
    for (const auto& rkoCase : akoCases)
    {
        const QString strCase = rkoCase.m_astrButtons.join('/');
        TQdGeneralDlg oDlg(nullptr, "Caption", "Text", rkoCase.m_astrButtons[0], rkoCase.m_astrButtons[1],
                           rkoCase.m_astrButtons[2], rkoCase.m_bEscapeCancels);
        oDlg.show();
        QApplication::setActiveWindow(&oDlg);
        QVERIFY(QTest::qWaitForWindowActive(&oDlg));
        // Before the keyboard is used, each button looks as it always did.
        for (TQdClickLabel* pButton : {oDlg.ButtonYes(), oDlg.ButtonNo(), oDlg.ButtonCancel()})
            if (!pButton->isHidden())
                QVERIFY2(pButton->grab().toImage() == PlainButtonLook(*pButton), qPrintable(strCase));
        for (const CKey& rkoKey : rkoCase.m_aoKeys)
        {
            QWidget* pTarget = QApplication::focusWidget() ? QApplication::focusWidget() : &oDlg;
            QTest::keyClick(pTarget, rkoKey.m_eKey, rkoKey.m_eModifiers);
        }
        QVERIFY2(oDlg.isVisible() == (rkoCase.m_iResult == OPEN), qPrintable(strCase));
        QVERIFY2(oDlg.result() == rkoCase.m_iResult, qPrintable(strCase + " " + QString::number(oDlg.result())));
    }

    // Tab shows where the focus is: the focused button no longer looks plain.
    TQdGeneralDlg oDlg(nullptr, "Caption", "Text", "Yes", "No", "Cancel");
    oDlg.show();
    QApplication::setActiveWindow(&oDlg);
    QVERIFY(QTest::qWaitForWindowActive(&oDlg));
    QTest::keyClick(&oDlg, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), oDlg.ButtonYes());
    QVERIFY(oDlg.ButtonYes()->AreKeyboardCuesShown());
    QVERIFY(oDlg.ButtonYes()->grab().toImage() != PlainButtonLook(*oDlg.ButtonYes()));
    QCOMPARE(oDlg.ButtonNo()->AccessLetter(), QChar('n'));
}

void KeyboardAndReportsTest::SaveOffersAnotherNameForAReadOnlyBank()
{
    QTemporaryDir oDir;
    const QString strBank = oDir.filePath("bank.sty");
    const QString strCopy = oDir.filePath("copy.sty");
    QVERIFY(WriteAll(strBank, ReadAll(QD_DEMO_BANK)));
    const QByteArray abyOriginal = ReadAll(strBank);
    TForm2 oForm;
    CScript oScript(oForm);
    oForm.OpenBankPath(strBank);
    QVERIFY(Select(oForm.StyleList(), {"bank.sty", "Pop 8Beat"}));
    oForm.StyleList()->currentItem()->setText(0, "Renamed");
    QVERIFY(oForm.Doc().IsStyleModified());

    // Ctrl+S on a read-only bank: refused before anything is asked or
    // changed, another name offered; Cancel keeps the change in the open style.
    QVERIFY(::chmod(QFile::encodeName(strBank).constData(), 0444) == 0);
    oScript.m_aiAnswers = {QD_ANSWER_CANCEL};
    oForm.Action("ActionSave")->trigger();
    const QString strReadOnly = QString("Save Style Bank | ") + QdDocText::READ_ONLY_BANK + "\n" + strBank +
                                ": the file is read-only\n" + QdDocText::SAVE_ELSEWHERE;
    QCOMPARE(oScript.Asked(), QStringList({strReadOnly}));
    QVERIFY(oForm.Doc().IsStyleModified());

    // Taken, the bank goes there, with the change confirmed, and the window
    // shows the new file.
    oScript.Clear();
    oScript.m_aiAnswers = {QD_ANSWER_YES, QD_ANSWER_YES};
    oScript.m_astrSaveFiles = {strCopy.toStdString()};
    oForm.Action("ActionSave")->trigger();
    QCOMPARE(oScript.Asked(), QStringList({strReadOnly, "Style modified | Confirm changes ?"}));
    QCOMPARE(ReadAll(strBank), abyOriginal);
    QVERIFY(QFile::exists(strCopy));
    QCOMPARE(oForm.StyleList()->topLevelItem(0)->text(0), QString("copy.sty"));
    QCOMPARE(ListedStyles(oForm).value(0), QString("Renamed"));
    ::chmod(QFile::encodeName(strBank).constData(), 0644);
}

void KeyboardAndReportsTest::ReportsGoToTheLogNotToADialog()
{
    CQdReportLog& roLog = CQdReportLog::Instance();
    roLog.Clear();
    const QdReportSink fnTests = QdSetReportSink(nullptr);
    QdInstallGuiReportSink(false);
    TForm2 oForm;
    CScript oScript(oForm);
    oForm.OpenBankPath(QD_DEMO_BANK);
    // A dialog would wait here for its OK; the log takes the report at once.
    QdReport("CDecSMF0::OnExtract() - Unexpected end of file reached");
    QdReport("Assert %s File:%s Line:%d", "byCvNr < NST_NR_CV", "NlzdStyle/NlzdStyle", 42);
    QdSetReportSink(fnTests);
    QCOMPARE(roLog.Lines().size(), std::size_t(2));

    oForm.Action("ActionReportLog")->trigger();
    QCOMPARE(oScript.m_astrReports,
             QStringList({"Report Log | CDecSMF0::OnExtract() - Unexpected end of file reached\n"
                          "Assert byCvNr < NST_NR_CV File:NlzdStyle/NlzdStyle Line:42"}));

    // The log keeps the latest reports only.
    for (std::size_t i = 0; i < CQdReportLog::MAX_LINES + 3; ++i)
        roLog.Add("report " + std::to_string(i));
    QCOMPARE(roLog.Lines().size(), CQdReportLog::MAX_LINES);
    QCOMPARE(roLog.Lines().back(), "report " + std::to_string(CQdReportLog::MAX_LINES + 2));
    QVERIFY(roLog.Text().rfind("(5 earlier reports no longer kept)\n", 0) == 0);
    roLog.Clear();
    oScript.m_astrReports.clear();
    oForm.Action("ActionReportLog")->trigger();
    QCOMPARE(oScript.m_astrReports, QStringList({"Report Log | No reports."}));
}

QD_APP_TEST(KeyboardAndReportsTest);
#include "KeyboardAndReportsTest.moc"
