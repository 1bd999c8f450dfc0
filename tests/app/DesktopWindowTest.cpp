// DesktopWindowTest.cpp -- what the window adds to the designed one: its
// sizes, the menu commands and their shortcuts, the recent files and the
// settings, drops of banks and MIDI files, drags out of the tree, the track
// parameters' dialog, and copy and paste between two windows.
#include "AppTestSupport.h"
#include "QdTrackParamsDlg.h"
#include "QdWindowLayout.h"

#include "BankDoc/QdClipPart.h"
#include "NlzdStyle/NstEditIfc.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

using namespace AppTest;

namespace {

const QStringList POP_CHORD_VAR = {"Pop 8Beat", "Variation 1", "Chord Var 1"};

// A player that plays nothing and never fails.
class CSilentPlayer : public CQdMediaPlayer
{
public:
    bool Open(const std::string&) override { return true; }
    bool Play() override { return true; }
    bool Stop() override { return true; }
    bool Rewind() override { return true; }
    void Close() override {}
    void GetLastError(int& riNumber, std::string& rstrText) const override
    {
        riNumber = 0;
        rstrText.clear();
    }
};

// Trace -- what a command showed and left: questions, file dialogs,
// messages, the panels, the tree and whether the style changed.
QStringList Trace(TForm2& roForm, const CScript& rkoScript)
{
    QStringList astrTrace = rkoScript.Asked() + rkoScript.Told();
    for (const CQdFileRequest& rkoRequest : rkoScript.m_aoRequests)
        astrTrace << "dialog " + QString::fromStdString(rkoRequest.m_strTitle);
    astrTrace << QString("help %1 media %2 modified %3")
                     .arg(IsShown(roForm, roForm.HelpPanel()))
                     .arg(IsShown(roForm, roForm.MediaPanel()))
                     .arg(roForm.Doc().IsStyleModified());
    return astrTrace + ShownTree(roForm.StyleTree());
}

// A window over the demo bank with a style and a node selected.
struct CDemoWindow
{
    explicit CDemoWindow(const QStringList& rkastrNode = POP_CHORD_VAR)
    {
        m_oForm.OpenBankPath(QD_DEMO_BANK);
        Select(m_oForm.StyleList(), {"demo.sty", rkastrNode.front()});
        if (rkastrNode.size() > 1)
            Select(m_oForm.StyleTree(), rkastrNode);
    }
    TForm2 m_oForm;
    CScript m_oScript{m_oForm};
};

// DropOn -- a drop of the files on the item of a tree (nullptr: the window's middle).
bool DropOn(TForm2& roForm, const QStringList& rkastrPaths, QTreeWidget* pTree, QTreeWidgetItem* pItem)
{
    QMimeData oData;
    QList<QUrl> aoUrls;
    for (const QString& rkstrPath : rkastrPaths)
        aoUrls << QUrl::fromLocalFile(rkstrPath);
    oData.setUrls(aoUrls);
    const QPoint oAt = pItem ? pTree->viewport()->mapTo(&roForm, pTree->visualItemRect(pItem).center())
                             : QPoint(roForm.width() / 2, roForm.height() / 2);
    QDropEvent oEvent(QPointF(oAt), Qt::CopyAction, &oData, Qt::LeftButton, Qt::NoModifier);
    // Straight to the window: the application hands a drop only to the
    // target of a drag in progress, and no drag is.
    static_cast<QObject&>(roForm).event(&oEvent);
    return oEvent.isAccepted();
}

// A copy of the demo bank in the folder; its path.
QString DemoCopy(const QTemporaryDir& rkoDir, const QString& rkstrName)
{
    const QString strPath = rkoDir.filePath(rkstrName);
    QFile::copy(QD_DEMO_BANK, strPath);
    QFile::setPermissions(strPath, QFile::ReadOwner | QFile::WriteOwner);
    return strPath;
}

} // namespace

class DesktopWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void LargerWindowGrowsListAndTree();
    void EveryMenuCommandRunsItsButtonsHandler();
    void ShortcutsReachTheCommands();
    void RecentFilesAndSettingsAreKept();
    void DroppedBankAndMidiFilesOpenAndImport();
    void DroppedFileOnATrackReplacesThatTrack();
    void DraggedNodeBecomesAFileRemovedWithTheWindow();
    void TrackParametersAreEditedAndUndone();
    void CopyAndPasteBetweenTwoWindows();
    void PasteTellsWhatAnElementCannotKeep();
};

void DesktopWindowTest::LargerWindowGrowsListAndTree()
{
    CDemoWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    roForm.show();
    const QRect oList = roForm.StyleList()->geometry();
    const QRect oTree = roForm.StyleTree()->geometry();
    QCOMPARE(roForm.SplitBar()->geometry(), QRect(145, 40, 7, 281));

    roForm.resize(roForm.DefaultSize() + QSize(300, 200));
    QTRY_COMPARE(roForm.centralWidget()->size(), QSize(620, 566));
    // List and tree grow side by side, in the designed shares; the split bar between them.
    QCOMPARE(roForm.StyleList()->height(), 481);
    QCOMPARE(roForm.StyleTree()->height(), 481);
    QVERIFY(roForm.StyleList()->width() > oList.width() && roForm.StyleTree()->width() > oTree.width());
    QCOMPARE(roForm.SplitBar()->x(), roForm.StyleList()->geometry().right() + 1);
    QCOMPARE(roForm.StyleTree()->x(), roForm.SplitBar()->geometry().right() + 1);
    QCOMPARE(roForm.StyleTree()->geometry().right(), 620 - 8);
    // Info line and notice at the bottom, the help panel over both panes, the
    // media panel as far from the bottom as designed.
    QCOMPARE(roForm.InfoText()->geometry(), QRect(48, 528, 565, 32));
    QCOMPARE(roForm.NoticeLabel()->geometry(), QRect(48, 536, 565, 17));
    QCOMPARE(roForm.HelpPanel()->geometry(), QRect(8, 40, 605, 521));
    QCOMPARE(roForm.Memo1()->geometry(), QRect(8, 40, 589, 450));
    QCOMPARE(roForm.MediaPanel()->geometry(), QRect(8, 232, 169, 241));

    // The split bar moves the share; the panes keep their minimum.
    QTest::mousePress(roForm.SplitBar(), Qt::LeftButton, {}, QPoint(3, 100));
    QTest::mouseMove(roForm.SplitBar(), QPoint(3 + 100, 100));
    QTest::mouseRelease(roForm.SplitBar(), Qt::LeftButton, {}, QPoint(3 + 100, 100));
    roForm.SetListShare(0.7);
    QCOMPARE(roForm.StyleList()->width(), 419);
    roForm.SetListShare(0.99);
    QCOMPARE(roForm.StyleTree()->width(), QD_MIN_PANE_WIDTH);

    // Back at the default size with the designed share: the designed layout.
    roForm.SetListShare(QD_DESIGNED_LIST_SHARE);
    roForm.resize(roForm.DefaultSize());
    QTRY_COMPARE(roForm.StyleList()->geometry(), oList);
    QCOMPARE(roForm.StyleTree()->geometry(), oTree);
    QCOMPARE(roForm.InfoText()->geometry(), QRect(48, 328, 265, 32));
    QCOMPARE(roForm.MediaPanel()->geometry(), QRect(8, 32, 169, 241));
}

// The menu command and its tool button, each in a window of its own in the
// same state, show and leave the same; both are enabled alike for each kind
// of node.
void DesktopWindowTest::EveryMenuCommandRunsItsButtonsHandler()
{
    const struct
    {
        const char* m_pszAction;
        QToolButton* (TForm2::*m_pfnButton)() const;
    } akoPairs[] = {
        {"ActionOpen", &TForm2::OpenStyle},         {"ActionSaveAs", &TForm2::SaveStyle},
        {"ActionImportStyle", &TForm2::ImportAllSmf}, {"ActionImportCv", &TForm2::ImportSingleSmf},
        {"ActionExportCv", &TForm2::ExportSingleSmf}, {"ActionDelete", &TForm2::DeleteCV},
        {"ActionUndo", &TForm2::UndoStyle},          {"ActionPlay", &TForm2::PlayButton},
        {"ActionHelp", &TForm2::ButtonHelp},
    };
    const QList<QStringList> aastrNodes = {{"Pop 8Beat"}, POP_CHORD_VAR, POP_CHORD_VAR + QStringList{"Drum"}};
    for (const auto& rkoPair : akoPairs)
        for (const QStringList& rkastrNode : aastrNodes)
        {
            const QByteArray abyCase = QByteArray(rkoPair.m_pszAction) + " on " + rkastrNode.join('/').toUtf8();
            CDemoWindow oByButton(rkastrNode);
            CDemoWindow oByMenu(rkastrNode);
            for (CDemoWindow* pWin : {&oByButton, &oByMenu})
            {
                pWin->m_oForm.SetMediaPlayer(std::make_unique<CSilentPlayer>());
                pWin->m_oForm.Doc().RenameStyle("Changed");
                pWin->m_oScript.Clear();
            }
            QToolButton* pButton = (oByButton.m_oForm.*rkoPair.m_pfnButton)();
            QAction* pAction = oByMenu.m_oForm.Action(rkoPair.m_pszAction);
            QVERIFY2(pAction, abyCase.constData());
            QCOMPARE(pAction->isEnabled(), pButton->isEnabled());
            if (!pButton->isEnabled())
                continue;
            pButton->click();
            pAction->trigger();
            QCOMPARE(Trace(oByMenu.m_oForm, oByMenu.m_oScript), Trace(oByButton.m_oForm, oByButton.m_oScript));
        }
}

void DesktopWindowTest::ShortcutsReachTheCommands()
{
    const struct
    {
        const char* m_pszAction;
        QKeySequence m_oKey;
    } akoKeys[] = {
        {"ActionOpen", QKeySequence("Ctrl+O")},      {"ActionSave", QKeySequence("Ctrl+S")},
        {"ActionSaveAs", QKeySequence("Ctrl+Shift+S")}, {"ActionQuit", QKeySequence("Ctrl+Q")},
        {"ActionUndo", QKeySequence("Ctrl+Z")},      {"ActionRename", QKeySequence("F2")},
        {"ActionDelete", QKeySequence("Del")},       {"ActionCopy", QKeySequence("Ctrl+C")},
        {"ActionPaste", QKeySequence("Ctrl+V")},     {"ActionPlay", QKeySequence("Space")},
        {"ActionHelp", QKeySequence("F1")},
    };
    CDemoWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    for (const auto& rkoKey : akoKeys)
        QCOMPARE(roForm.Action(rkoKey.m_pszAction)->shortcut(), rkoKey.m_oKey);

    // Typed into the active window.
    ShowActive(roForm);
    roForm.StyleTree()->setFocus();
    QTest::keyClick(roForm.StyleTree(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(oWin.m_oScript.m_aoRequests.size(), std::size_t(1));
    QCOMPARE(oWin.m_oScript.m_aoRequests[0].m_strTitle, std::string("Open Style Bank File"));
    QTest::keyClick(roForm.StyleTree(), Qt::Key_F1);
    QVERIFY(IsShown(roForm, roForm.HelpPanel()));
    // F2 edits the selected style's name in the list.
    QTest::keyClick(roForm.StyleTree(), Qt::Key_F2);
    const QLineEdit* pkEditor = roForm.StyleList()->findChild<QLineEdit*>();
    QVERIFY(pkEditor && pkEditor->isVisible());
    QCOMPARE(pkEditor->text(), QString("Pop 8Beat"));
    // Del on a chord variation deletes it.
    QTest::keyClick(roForm.StyleList(), Qt::Key_Escape);
    QVERIFY(Select(roForm.StyleTree(), POP_CHORD_VAR));
    roForm.StyleTree()->setFocus();
    QTest::keyClick(roForm.StyleTree(), Qt::Key_Delete);
    QVERIFY(roForm.Doc().IsStyleModified());
}

void DesktopWindowTest::RecentFilesAndSettingsAreKept()
{
    QTemporaryDir oDir;
    const QString strFirst = DemoCopy(oDir, "first.sty");
    const QString strSecond = DemoCopy(oDir, "second.sty");
    const QString strIni = oDir.filePath("settings.ini");
    {
        TForm2 oForm;
        CScript oScript(oForm);
        oForm.OpenBankPath(strFirst);
        oScript.m_astrOpenFiles = {strSecond.toStdString()};
        oForm.Action("ActionOpen")->trigger();
        QCOMPARE(oForm.RecentMenu()->actions().size(), 2);
        QCOMPARE(oForm.RecentMenu()->actions()[0]->data().toString(), strSecond);
        QCOMPARE(oForm.RecentMenu()->actions()[1]->data().toString(), strFirst);
        // A recent file opens as Open does.
        oForm.RecentMenu()->actions()[1]->trigger();
        QCOMPARE(oForm.StyleList()->topLevelItem(0)->text(0), QString("first.sty"));
        QCOMPARE(QString::fromStdString(oForm.RecentFiles().Files().front()), strFirst);
        oForm.SetListShare(0.6);
        QSettings oSettings(strIni, QSettings::IniFormat);
        oForm.SaveSettings(oSettings);
    }
    // A missing file is pruned when the menu shows.
    QVERIFY(QFile::remove(strSecond));
    TForm2 oForm;
    QSettings oSettings(strIni, QSettings::IniFormat);
    oForm.RestoreSettings(oSettings);
    QVERIFY(qAbs(oForm.ListShare() - 0.6) < 1e-6);
    QCOMPARE(oForm.RecentMenu()->actions().size(), 1);
    QCOMPARE(oForm.RecentMenu()->actions()[0]->data().toString(), strFirst);
    // The open dialog starts in the folder it used last.
    CScript oScript(oForm);
    oForm.Action("ActionOpen")->trigger();
    QCOMPARE(QString::fromStdString(oScript.m_aoRequests.at(0).m_strInitialDir), oDir.path());
}

void DesktopWindowTest::DroppedBankAndMidiFilesOpenAndImport()
{
    QTemporaryDir oDir;
    const QString strBank = DemoCopy(oDir, "dropped.sty");
    CDemoWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    CScript& roScript = oWin.m_oScript;
    roForm.show();

    // One MIDI file on a chord variation: Initialize/Keep, then imported there.
    const QString strCv = oDir.filePath("any name.mid");
    QVERIFY(WriteAll(strCv, NotesSmf(9, 35, 2)));
    roScript.m_aiAnswers = {QD_ANSWER_NO};
    QVERIFY(DropOn(roForm, {strCv}, roForm.StyleTree(), Node(roForm.StyleTree(), POP_CHORD_VAR)));
    QCOMPARE(roScript.Asked(), QStringList({"Import Chord Variation from SMF | Initialize/Keep Track Parameters?"}));
    QVERIFY(roScript.m_aoRequests.empty());
    QVERIFY(roForm.Doc().IsStyleModified());
    QCOMPARE(roForm.StyleTree()->currentItem()->text(0), QString("Chord Var 1"));

    // MIDI files on the style: the whole-style import by standard names.
    roScript.Clear();
    const QString strNamed = oDir.filePath("v2cv2.mid");
    QVERIFY(WriteAll(strNamed, NotesSmf(9, 35, 1)));
    roScript.m_aiAnswers = {QD_ANSWER_NO};
    QVERIFY(DropOn(roForm, {strCv, strNamed}, roForm.StyleTree(), Node(roForm.StyleTree(), {"Pop 8Beat"})));
    QCOMPARE(roScript.Asked().value(0), QString("Import Style from SMF | Replace current style or merge with SMF files?"));
    QVERIFY(Node(roForm.StyleTree(), {"Pop 8Beat", "Variation 2", "Chord Var 2"}));
    // Two files on one chord variation, or a file of another kind, are no drop.
    QVERIFY(!DropOn(roForm, {strCv, strNamed}, roForm.StyleTree(), Node(roForm.StyleTree(), POP_CHORD_VAR)));
    QVERIFY(!DropOn(roForm, {oDir.filePath("notes.txt")}, nullptr, nullptr));

    // A bank anywhere: "Ignore changes ?" first, as Open asks.
    roScript.Clear();
    roScript.m_aiAnswers = {QD_ANSWER_CANCEL};
    QVERIFY(DropOn(roForm, {strBank}, nullptr, nullptr));
    QCOMPARE(roScript.Asked(), QStringList({"Some Style modified | Ignore changes ?"}));
    QCOMPARE(roForm.StyleList()->topLevelItem(0)->text(0), QString("demo.sty"));
    roScript.m_aiAnswers = {QD_ANSWER_YES};
    QVERIFY(DropOn(roForm, {strBank}, nullptr, nullptr));
    QCOMPARE(roForm.StyleList()->topLevelItem(0)->text(0), QString("dropped.sty"));
    QCOMPARE(QString::fromStdString(roForm.RecentFiles().Files().front()), strBank);
}

void DesktopWindowTest::DroppedFileOnATrackReplacesThatTrack()
{
    QTemporaryDir oDir;
    CDemoWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    CScript& roScript = oWin.m_oScript;
    roForm.show();
    const QString strBass = oDir.filePath("bass line.mid");
    QVERIFY(WriteAll(strBass, NotesSmf(8, 35, 2)));

    // On the Bass node: Initialize/Keep, then the bass alone; the other tracks stay.
    roScript.m_aiAnswers = {QD_ANSWER_NO};
    QVERIFY(DropOn(roForm, {strBass}, roForm.StyleTree(), Node(roForm.StyleTree(), POP_CHORD_VAR + QStringList{"Bass"})));
    QCOMPARE(roScript.Asked(), QStringList({"Import Chord Variation from SMF | Initialize/Keep Track Parameters?"}));
    QVERIFY(roForm.Doc().IsStyleModified());
    QCOMPARE(roForm.StyleTree()->currentItem()->text(0), QString("Bass"));
    for (const char* pszTrack : {"Drum", "Acc. 1"})
        QVERIFY(Node(roForm.StyleTree(), POP_CHORD_VAR + QStringList{pszTrack}));
}

void DesktopWindowTest::DraggedNodeBecomesAFileRemovedWithTheWindow()
{
    QString strFile;
    {
        CDemoWindow oWin;
        TForm2& roForm = oWin.m_oForm;
        QTreeWidgetItem* pChordVar = Node(roForm.StyleTree(), POP_CHORD_VAR);
        QVERIFY(pChordVar && pChordVar->childCount() > 2);
        for (QTreeWidgetItem* pItem : {pChordVar, Node(roForm.StyleTree(), POP_CHORD_VAR + QStringList{"Bass"})})
        {
            const std::unique_ptr<QMimeData> poData(roForm.DragMimeData(pItem));
            QVERIFY(poData && poData->urls().size() == 1);
            strFile = poData->urls().front().toLocalFile();
            QVERIFY(QFile::exists(strFile));
            QVERIFY(SummariseSmf(ReadAll(strFile)).m_bValid);
        }
        QCOMPARE(QFileInfo(roForm.DragFiles().GetFiles().front().c_str()).fileName(), QString("v1cv1.mid"));
        QCOMPARE(QFileInfo(strFile).fileName(), QString("v1cv1-bass.mid"));
        QVERIFY(!roForm.DragMimeData(Node(roForm.StyleTree(), {"Pop 8Beat", "Variation 1"})));
    }
    QVERIFY(!QFile::exists(strFile));
    QVERIFY(!QFileInfo::exists(QFileInfo(strFile).path()));
}

void DesktopWindowTest::TrackParametersAreEditedAndUndone()
{
    CDemoWindow oWin(POP_CHORD_VAR + QStringList{"Bass"});
    TForm2& roForm = oWin.m_oForm;
    CNstTrackParam oBefore;
    QVERIFY(roForm.Doc().GetTrackParams(0, 2, oBefore));
    QVERIFY(Node(roForm.StyleTree(), POP_CHORD_VAR + QStringList{"Bass"})->toolTip(0).contains("program"));
    QStringList astrShown;
    roForm.Prompt().Hooks().m_fnTrackParamsDlg = [&](TQdTrackParamsDlg& roDlg) {
        astrShown << roDlg.TrackBox()->currentText();
        // The search narrows the 128 names; the first left is chosen.
        roDlg.ProgramFilter()->setText("fretless");
        int iShown = 0;
        for (int i = 0; i < roDlg.ProgramList()->count(); ++i)
            iShown += !roDlg.ProgramList()->item(i)->isHidden();
        astrShown << QString::number(iShown) << roDlg.ProgramList()->currentItem()->text().trimmed();
        roDlg.Expression()->setValue(77);
        return int(QDialog::Accepted);
    };
    roForm.Action("ActionTrackParams")->trigger();
    QCOMPARE(astrShown, QStringList({"Bass", "1", "35  Fretless Bass"}));
    CNstTrackParam oAfter;
    QVERIFY(roForm.Doc().GetTrackParams(0, 2, oAfter));
    QCOMPARE(int(oAfter.m_byProgram), 35);
    QCOMPARE(int(oAfter.m_byExpression), 77);
    QCOMPARE(oAfter.m_byBankMsb, oBefore.m_byBankMsb);
    QVERIFY(roForm.Doc().IsStyleModified());
    QVERIFY(roForm.StyleTree()->currentItem()->toolTip(0).startsWith("Fretless Bass - program 35"));
    QVERIFY(roForm.UndoStyle()->isEnabled());

    roForm.Action("ActionUndo")->trigger();
    QVERIFY(roForm.Doc().GetTrackParams(0, 2, oAfter));
    QCOMPARE(oAfter, oBefore);
    QVERIFY(!roForm.Doc().IsStyleModified());
}

void DesktopWindowTest::CopyAndPasteBetweenTwoWindows()
{
    CDemoWindow oFrom({"Pop 8Beat", "Variation 1", "Chord Var 2"});
    CDemoWindow oTo({"Rock Beat", "Variation 1", "Chord Var 1"});
    QVERIFY(!oTo.m_oForm.Action("ActionPaste")->isEnabled() ||
            QApplication::clipboard()->mimeData()->hasFormat(QD_CLIP_MIME_TYPE));
    oFrom.m_oForm.Action("ActionCopy")->trigger();
    const QMimeData* pkData = QApplication::clipboard()->mimeData();
    QVERIFY(pkData->hasFormat(QD_CLIP_MIME_TYPE));
    QVERIFY(SummariseSmf(pkData->data("audio/midi")).m_bValid);
    // Paste fits chord variations only.
    QVERIFY(oTo.m_oForm.Action("ActionPaste")->isEnabled());
    QVERIFY(Select(oTo.m_oForm.StyleTree(), {"Rock Beat", "Variation 1"}));
    QVERIFY(!oTo.m_oForm.Action("ActionPaste")->isEnabled());
    QVERIFY(Select(oTo.m_oForm.StyleTree(), {"Rock Beat", "Variation 1", "Chord Var 1"}));

    oTo.m_oScript.m_aiAnswers = {QD_ANSWER_YES};
    oTo.m_oForm.Action("ActionPaste")->trigger();
    QCOMPARE(oTo.m_oScript.Asked(), QStringList({"Paste | Paste the chord variation v1cv2 of 'Pop 8Beat' over the "
                                                 "chord variation v1cv1?"}));
    QVERIFY(oTo.m_oForm.Doc().IsStyleModified());
    QCOMPARE(oTo.m_oForm.StyleTree()->currentItem()->text(0), QString("Chord Var 1"));
    QByteArray abyExported;
    {
        DWORD dwSize = 0;
        const std::unique_ptr<BYTE[]> pbyFile = oTo.m_oForm.Doc().GetEditIfc()->ExportToSmf(0, 0, NST_ALL_TRACKS, dwSize);
        abyExported = QByteArray(reinterpret_cast<const char*>(pbyFile.get()), qsizetype(dwSize));
    }
    // The notes came; the element kept its own voices (it held events).
    QCOMPARE(abyExported.size(), pkData->data("audio/midi").size());
    QCOMPARE(SummariseSmf(abyExported).m_aiNoteChannels, SummariseSmf(pkData->data("audio/midi")).m_aiNoteChannels);

    // A waltz's chord variation does not go into a 4/4 element.
    CDemoWindow oWaltz({"Slow Waltz", "Variation 1", "Chord Var 1"});
    oWaltz.m_oForm.Action("ActionCopy")->trigger();
    oTo.m_oScript.Clear();
    oTo.m_oScript.m_aiAnswers = {QD_ANSWER_YES};
    QVERIFY(Select(oTo.m_oForm.StyleTree(), {"Rock Beat", "Variation 1", "Chord Var 1"}));
    oTo.m_oForm.Action("ActionUndo")->trigger();
    QVERIFY(Select(oTo.m_oForm.StyleTree(), {"Rock Beat", "Variation 1", "Chord Var 1"}));
    oTo.m_oForm.Action("ActionPaste")->trigger();
    QCOMPARE(oTo.m_oScript.Told().size(), 1);
    QVERIFY2(oTo.m_oScript.Told()[0].startsWith("Copy | Time signatures differ"), qPrintable(oTo.m_oScript.Told()[0]));
    QVERIFY(!oTo.m_oForm.Doc().IsStyleModified());
}

// Variation 1's three chord variations over Ending 1, which keeps two: the
// third is named after the paste.
void DesktopWindowTest::PasteTellsWhatAnElementCannotKeep()
{
    CDemoWindow oWin({"Pop 8Beat", "Variation 1"});
    oWin.m_oForm.Action("ActionCopy")->trigger();
    QVERIFY(Select(oWin.m_oForm.StyleTree(), {"Pop 8Beat", "Ending 1"}));
    oWin.m_oScript.m_aiAnswers = {QD_ANSWER_YES};
    oWin.m_oForm.Action("ActionPaste")->trigger();
    QCOMPARE(oWin.m_oScript.Told(), QStringList({"Paste | left out: v1cv3 (Ending 1 holds 2)"}));
    QVERIFY(oWin.m_oForm.Doc().IsStyleModified());
}

QD_APP_TEST(DesktopWindowTest);
#include "DesktopWindowTest.moc"
