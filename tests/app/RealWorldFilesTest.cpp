// RealWorldFilesTest.cpp -- files from elsewhere through the real window:
// a MIDI file on channel 1 mapped in the channel dialog, a damaged MIDI file
// imported in part only when asked, the import report and its "Don't show
// again", a damaged style marked in the list and kept from being written
// back, and a corrupt bank rescued into a folder. Every message and question
// on the way must fit its dialog.
#include "AppTestSupport.h"
#include "QdGeneralDlg.h"

#include "BankDoc/QdDocText.h"
#include "BankDoc/QdReportRecorder.h"

#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using namespace AppTest;

namespace {

QString Q(const std::string& rkstr) { return QString::fromStdString(rkstr); }

// CWindow -- a window over a bank (the demo bank unless said otherwise), a
// scripted prompt and a scratch folder for the files of a case.
struct CWindow
{
    explicit CWindow(const QString& rkstrBank = QD_DEMO_BANK)
    {
        if (!rkstrBank.isEmpty())
            m_oForm.OpenBankPath(rkstrBank);
    }
    QString Path(const QString& rkstrName) const { return m_oDir.filePath(rkstrName); }
    QString Write(const QString& rkstrName, const QByteArray& rkabyData) const
    {
        return WriteAll(Path(rkstrName), rkabyData) ? Path(rkstrName) : QString();
    }
    QTreeWidgetItem* ListItem(int iStyle) const { return m_oForm.StyleList()->topLevelItem(0)->child(iStyle); }
    void SelectStyle(int iStyle) { m_oForm.StyleList()->setCurrentItem(ListItem(iStyle)); }
    // ImportInto -- Import Chord Variation from SMF into the node, with
    // Initialize and the file.
    void ImportInto(const QStringList& rkastrNode, const QString& rkstrFile)
    {
        QVERIFY(Select(m_oForm.StyleTree(), rkastrNode));
        m_oScript.m_aiAnswers.push_front(QD_ANSWER_YES);
        m_oScript.m_astrOpenFiles = {rkstrFile.toStdString()};
        m_oForm.ImportSingleSmf()->click();
    }

    QTemporaryDir m_oDir;
    TForm2 m_oForm;
    CScript m_oScript{m_oForm};
};

// FitsItsDialog -- the question dialog shows the whole text: the label is
// as tall as the wrapped text, no line is wider than the label, and the
// visible buttons lie below it, inside the dialog, apart.
void FitsItsDialog(const CQdQuestion& rkoQuestion)
{
    TQdGeneralDlg oDlg(nullptr, Q(rkoQuestion.m_strCaption), Q(rkoQuestion.m_strText), Q(rkoQuestion.m_strYes),
                       Q(rkoQuestion.m_strNo), Q(rkoQuestion.m_strCancel));
    const QLabel* pkLabel = oDlg.TextLabel();
    QVERIFY2(pkLabel->heightForWidth(pkLabel->width()) <= pkLabel->height(), rkoQuestion.m_strText.c_str());
    const QRect oNeeded = QFontMetrics(pkLabel->font())
                              .boundingRect(QRect(0, 0, pkLabel->width(), 10000), Qt::TextWordWrap, pkLabel->text());
    QVERIFY2(oNeeded.width() <= pkLabel->width(), rkoQuestion.m_strText.c_str());
    int iRight = 0;
    for (const TQdClickLabel* pkButton : {oDlg.ButtonYes(), oDlg.ButtonNo(), oDlg.ButtonCancel()})
    {
        if (pkButton->isHidden())
            continue;
        QVERIFY(pkButton->geometry().top() >= pkLabel->geometry().bottom());
        QVERIFY(pkButton->geometry().bottom() < oDlg.height());
        QVERIFY(pkButton->geometry().left() > iRight);
        QVERIFY(pkButton->fontMetrics().horizontalAdvance(pkButton->text()) < pkButton->width());
        iRight = pkButton->geometry().right();
    }
    QVERIFY(iRight < oDlg.width());
}

// A message as the window shows it (TellFile's second line included).
void FitsItsDialog(const std::pair<std::string, std::string>& rkoTold)
{
    FitsItsDialog(CQdQuestion(rkoTold.first, rkoTold.second, "", "OK", ""));
}

// The demo bank's first style slot (Pop 8Beat), its compressed stream
// changed: one bit leaves it readable with a pattern reference beyond the
// table (the style loads damaged), garbled bytes leave it undecodable (the
// bank is refused as corrupt).
QByteArray DemoBankWithFirstSlot(bool bCorrupt, int* piSlot = nullptr)
{
    QByteArray abyBank = ReadAll(QD_DEMO_BANK);
    const int iSlot = int(abyBank.indexOf(QByteArray("\x06\x00\x00\x30", 4)));
    if (piSlot)
        *piSlot = iSlot;
    if (bCorrupt)
        for (int i = iSlot + 40; i < iSlot + 80; ++i)
            abyBank[i] = char(abyBank[i] ^ 0x5A);
    else
        abyBank[iSlot + 8 + 11] = char(abyBank[iSlot + 8 + 11] ^ 0x01);
    return abyBank;
}

// Pop 8Beat is in 4/4, as the files below.
const QStringList POP_CV1 = {"Pop 8Beat", "Variation 1", "Chord Var 1"};

} // namespace

class RealWorldFilesTest : public QObject
{
    Q_OBJECT
private slots:
    void ChannelDialogMapsChannelOneToTheBass();
    void DamagedMidiFileGoesInOnlyWhenAskedAndTheReportCanBeTurnedOff();
    void DamagedStyleIsMarkedAndNotWrittenBackUnconfirmed();
    void CorruptBankIsOfferedToTheRescue();
};

void RealWorldFilesTest::ChannelDialogMapsChannelOneToTheBass()
{
    // Cancel keeps the file as it is, which then holds nothing for the tracks.
    const struct
    {
        bool m_bMapped;
        int m_iToldMessages;
    } akoCases[] = {{false, 1}, {true, 0}};
    for (const auto& rkoCase : akoCases)
    {
        CWindow oWin;
        CScript& roScript = oWin.m_oScript;
        oWin.SelectStyle(0);
        const QString strFile = oWin.Write("channel1.mid", NotesSmf(0, 0, 2));
        if (rkoCase.m_bMapped)
        {
            CQdTrackMap oMap;
            oMap.m_abyTrack[0] = 2; // Bass
            roScript.m_aoMaps = {oMap};
        }
        oWin.ImportInto(POP_CV1, strFile);

        QCOMPARE(roScript.m_aaiChannelBoxes, std::vector<QList<int>>{{1}});
        QCOMPARE(roScript.m_astrChannelTexts,
                 QStringList({"'channel1.mid' has notes on channel 1, which no track takes. Choose a track for a "
                              "channel, or keep it as it is (its notes are then left out); the tracks take channels "
                              "9-16. Cancel imports nothing."}));
        QCOMPARE(int(roScript.m_aoTold.size()), rkoCase.m_iToldMessages);
        QCOMPARE(oWin.m_oForm.Doc().IsStyleModified(), rkoCase.m_bMapped);
        if (!rkoCase.m_bMapped)
        {
            QCOMPARE(roScript.Told(),
                     QStringList({"Import Chord Variation from SMF | SMF holds no notes on the track channels 9-16!\n" +
                                  strFile + ": notes only on channel 1; the tracks take channels 9-16"}));
            FitsItsDialog(roScript.m_aoTold.front());
            QVERIFY(roScript.m_astrReports.isEmpty());
            continue;
        }
        QVERIFY(Node(oWin.m_oForm.StyleTree(), POP_CV1 + QStringList({"Bass"})));
        QVERIFY(!Node(oWin.m_oForm.StyleTree(), POP_CV1 + QStringList({"Drum"})));
        QCOMPARE(roScript.m_astrReports,
                 QStringList({"Import Report | channel1.mid: v1cv1, 2 measures, notes: Bass 8; left out: the tick-0 "
                              "parameters of Bass (the element keeps its own)"}));
    }
}

void RealWorldFilesTest::DamagedMidiFileGoesInOnlyWhenAskedAndTheReportCanBeTurnedOff()
{
    CWindow oWin;
    CScript& roScript = oWin.m_oScript;
    TForm2& roForm = oWin.m_oForm;
    oWin.SelectStyle(0);
    // Two measures of bass notes, cut 10 bytes before their end.
    const QByteArray abyWhole = NotesSmf(8, 0, 2);
    const QString strFile = oWin.Write("cut.mid", abyWhole.left(abyWhole.size() - 10));

    // "Import what could be read?": Cancel leaves the style as it was (and
    // no report: nothing went in); Import takes the part before the damage.
    for (const int iAnswer : {int(QD_ANSWER_CANCEL), int(QD_ANSWER_YES)})
    {
        roScript.Clear();
        roScript.m_aiAnswers = {iAnswer};
        roScript.m_bDontShowAgain = true;
        {
            // Reading up to the damage reports it as the decoder always
            // has (the window shows each as a message); kept here.
            CQdReportRecorder oReports(false);
            oWin.ImportInto(POP_CV1, strFile);
        }
        QCOMPARE(roScript.m_aoAsked.size(), std::size_t(2));
        const CQdQuestion& rkoQuestion = roScript.m_aoAsked.back();
        QCOMPARE(Q(rkoQuestion.m_strCaption), QString("Import Chord Variation from SMF"));
        QVERIFY(Q(rkoQuestion.m_strText).startsWith("SMF read error or wrong SMF Format!\n" + strFile + ": "));
        QVERIFY(Q(rkoQuestion.m_strText).endsWith("\nImport what could be read?"));
        QCOMPARE(Q(rkoQuestion.m_strYes + "/" + rkoQuestion.m_strNo + "/" + rkoQuestion.m_strCancel),
                 QString("Import//Cancel"));
        FitsItsDialog(rkoQuestion);
        QVERIFY(roScript.m_aoTold.empty());
        QCOMPARE(roForm.Doc().IsStyleModified(), iAnswer == QD_ANSWER_YES);
        QCOMPARE(roScript.m_astrReports.size(), iAnswer == QD_ANSWER_YES ? 1 : 0);
    }
    QCOMPARE(roScript.m_astrReports,
             QStringList({"Import Report | cut.mid: v1cv1, 2 measures, notes: Bass 8; left out: the tick-0 parameters "
                          "of Bass (the element keeps its own), whatever the damage cut off (the file is cut short at "
                          "byte " +
                          QString::number(abyWhole.size() - 10) + ")"}));
    QVERIFY(Node(roForm.StyleTree(), POP_CV1 + QStringList({"Bass"})));

    // "Don't show again" was ticked: the next import shows no report, for
    // as long as the window is open.
    QVERIFY(!roForm.Prompt().AreImportReportsShown());
    roScript.Clear();
    oWin.ImportInto(POP_CV1, oWin.Write("whole.mid", abyWhole));
    QCOMPARE(roScript.m_aoAsked.size(), std::size_t(1));
    QVERIFY(roScript.m_astrReports.isEmpty());
    QVERIFY(CWindow().m_oForm.Prompt().AreImportReportsShown());
}

void RealWorldFilesTest::DamagedStyleIsMarkedAndNotWrittenBackUnconfirmed()
{
    QTemporaryDir oDir;
    const QString strBank = oDir.filePath("damaged.sty");
    QVERIFY(WriteAll(strBank, DemoBankWithFirstSlot(false)));
    // Opening loads every style aside: the damage is known, and the reports
    // wait for the style to be selected.
    CWindow oWin(strBank);
    TForm2& roForm = oWin.m_oForm;
    CScript& roScript = oWin.m_oScript;
    QCOMPARE(ListedImages(roForm), QList<int>({7, 0, 0, 0, 0}));
    const QString strWhy = "Damaged: " + Q(roForm.Doc().GetStyleDamageText(0));
    QVERIFY(strWhy.startsWith("Damaged: Assert wRef >= 1"));
    QCOMPARE(oWin.ListItem(0)->toolTip(0), strWhy);
    QVERIFY(oWin.ListItem(1)->toolTip(0).isEmpty());
    const QByteArray abyBlock(reinterpret_cast<const char*>(roForm.Doc().GetBankBlock()),
                              qsizetype(roForm.Doc().GetUsedSize()));

    {
        // The window shows each report as a message; here they are kept.
        CQdReportRecorder oReports(false);
        oWin.SelectStyle(0);
        QCOMPARE(oReports.Texts(), roForm.Doc().GetStyleDamage(0));
    }
    QCOMPARE(ListedImages(roForm), QList<int>({8, 0, 0, 0, 0}));
    const QStringList astrInfo = roForm.InfoText()->text().split('\n');
    QCOMPARE(astrInfo.size(), 2);
    QVERIFY(astrInfo[0].startsWith(" Uncompressed Size: "));
    QVERIFY(astrInfo[1].startsWith(" Damaged: Assert wRef"));
    QVERIFY(roForm.InfoText()->fontMetrics().horizontalAdvance(astrInfo[1]) <= roForm.InfoText()->width());
    QVERIFY(roForm.InfoText()->fontMetrics().lineSpacing() * 2 <= roForm.InfoText()->height());

    // Renamed, then left: "Confirm changes ?" Yes, "Damaged Style" No.
    oWin.ListItem(0)->setText(0, "Pop Two");
    roScript.m_aiAnswers = {QD_ANSWER_YES, QD_ANSWER_CANCEL};
    oWin.SelectStyle(1);
    QCOMPARE(roScript.Asked(), QStringList({"Style modified | Confirm changes ?",
                                            "Damaged Style | Style 'Pop 8Beat' was damaged when loaded; writing it "
                                            "back keeps only what could be read."}));
    const CQdQuestion& rkoQuestion = roScript.m_aoAsked.back();
    QCOMPARE(Q(rkoQuestion.m_strYes + "/" + rkoQuestion.m_strNo + "/" + rkoQuestion.m_strCancel), QString("Yes//No"));
    FitsItsDialog(rkoQuestion);
    QCOMPARE(roScript.Told(), QStringList({"Style modified | Damaged style - changes not written back!"}));
    // Nothing written back: the style stays open, changed and damaged.
    QCOMPARE(roForm.Doc().GetSelectedStyle(), 0);
    QVERIFY(roForm.Doc().IsStyleModified());
    QVERIFY(!roForm.Doc().IsWrittenBack(0));
    QCOMPARE(ListedImages(roForm), QList<int>({8, 0, 0, 0, 0}));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(roForm.Doc().GetBankBlock()),
                        qsizetype(roForm.Doc().GetUsedSize())),
             abyBlock);
}

void RealWorldFilesTest::CorruptBankIsOfferedToTheRescue()
{
    // From the Open button, rescued; from the start-up argument, declined.
    for (const bool bRescue : {true, false})
    {
        CWindow oWin("");
        TForm2& roForm = oWin.m_oForm;
        CScript& roScript = oWin.m_oScript;
        int iSlot = 0;
        const QString strBank = oWin.Write("corrupt.sty", DemoBankWithFirstSlot(true, &iSlot));
        const QString strOut = oWin.Path("rescued");
        roScript.m_aiAnswers = {bRescue ? int(QD_ANSWER_YES) : int(QD_ANSWER_CANCEL)};
        roScript.m_astrFolders = {strOut.toStdString()};
        if (bRescue)
        {
            roScript.m_astrOpenFiles = {strBank.toStdString()};
            roForm.OpenStyle()->click();
        }
        else
            roForm.OpenBankPath(strBank);

        QCOMPARE(roScript.Told(), QStringList({"Open Style Bank | File corrupt - Error!\n" + strBank +
                                               ": the style slot at byte " + QString::number(iSlot) +
                                               " does not decompress"}));
        FitsItsDialog(roScript.m_aoTold.front());
        QCOMPARE(roScript.Asked(), QStringList({"Rescue Styles | " + QString(QdDocText::RESCUE_OFFER)}));
        const CQdQuestion& rkoOffer = roScript.m_aoAsked.front();
        QCOMPARE(Q(rkoOffer.m_strYes + "/" + rkoOffer.m_strNo + "/" + rkoOffer.m_strCancel),
                 QString::fromUtf8("Rescue styles\u2026//Cancel"));
        FitsItsDialog(rkoOffer);
        QCOMPARE(roForm.StyleList()->topLevelItemCount(), 0);
        if (!bRescue)
        {
            QCOMPARE(roScript.m_aoRequests.size(), std::size_t(0));
            QVERIFY(!QDir(strOut).exists());
            continue;
        }
        // The folder dialog starts beside the bank.
        QCOMPARE(roScript.m_aoRequests.size(), std::size_t(2));
        QCOMPARE(Q(roScript.m_aoRequests.back().m_strTitle), QString("Rescue Styles into Folder"));
        QCOMPARE(Q(roScript.m_aoRequests.back().m_strInitialDir), oWin.m_oDir.path());
        QCOMPARE(QDir(strOut).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList({"02-Slow Waltz", "03-Bossa Nova", "04-Rock Beat", "05-Jazz Swing"}));
        QVERIFY(QFile::exists(strOut + "/02-Slow Waltz/v1cv1.mid"));
        QCOMPARE(roScript.m_astrReports.size(), 1);
        const QStringList astrLines = roScript.m_astrReports.front().split('\n');
        QCOMPARE(astrLines.size(), 6);
        QCOMPARE(astrLines[0], QString("Rescue Styles | 1 Pop 8Beat: unreadable: the slot does not decompress"));
        QVERIFY(astrLines[1].startsWith("2 Slow Waltz: complete: "));
        QCOMPARE(astrLines[5], QString("5 styles: 4 complete, 0 damaged, 1 unreadable"));
    }
}

QD_APP_TEST(RealWorldFilesTest);
#include "RealWorldFilesTest.moc"
