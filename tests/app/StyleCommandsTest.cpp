// StyleCommandsTest.cpp -- the commands started from the window's tool
// buttons and style list over the demo bank, with the questions and file
// choices answered through the prompt hooks: what the window shows after
// each (list, tree, selection, info line, buttons).
#include "AppTestSupport.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

using namespace AppTest;

namespace {
const QStringList DEMO_STYLES = {"Pop 8Beat", "Slow Waltz", "Bossa Nova", "Rock Beat", "Jazz Swing"};
const QString CONFIRM_CHANGES = "Style modified | Confirm changes ?";
const QString IGNORE_CHANGES = "Some Style modified | Ignore changes ?";
// "No" of the Yes / - / No questions sits in the Cancel position.
constexpr int ANSWER_NO_AT_CANCEL = QD_ANSWER_CANCEL;

// CDemoWindow -- a window with the demo bank open, a scripted prompt and a
// scratch folder.
struct CDemoWindow
{
    CDemoWindow() { m_oForm.OpenBankPath(QD_DEMO_BANK); }
    std::string Path(const QString& rkstrName) const { return m_oDir.filePath(rkstrName).toStdString(); }
    QTreeWidgetItem* ListItem(int iStyle) const { return m_oForm.StyleList()->topLevelItem(0)->child(iStyle); }
    bool SelectStyle(int iStyle)
    {
        QTreeWidgetItem* pItem = ListItem(iStyle);
        m_oForm.StyleList()->setCurrentItem(pItem);
        return m_oForm.StyleList()->currentItem() == pItem;
    }
    QString TreeRoot() const
    {
        const QTreeWidgetItem* pRoot = m_oForm.StyleTree()->topLevelItem(0);
        return pRoot ? pRoot->text(0) : QString();
    }

    TForm2 m_oForm;
    CScript m_oScript{m_oForm};
    QTemporaryDir m_oDir;
};
} // namespace

class StyleCommandsTest : public QObject
{
    Q_OBJECT
private slots:
    void ExportImportDeleteAndUndoThroughTheToolButtons();
    void RenameInTheListAndLeavingTheModifiedStyle();
    void UnsavedChangesAreAskedAboutOnOpenAndClose();
    void SaveRebuildsTheListAndTheSavedBankReopens();
    void WholeStyleImportByStandardNames();
};

void StyleCommandsTest::ExportImportDeleteAndUndoThroughTheToolButtons()
{
    CDemoWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    CScript& roScript = oWin.m_oScript;
    QVERIFY(oWin.SelectStyle(0));
    const QStringList astrOriginalTree = ShownTree(roForm.StyleTree());

    // Export Variation 1 / Chord Var 1.
    QVERIFY(Select(roForm.StyleTree(), {"Pop 8Beat", "Variation 1", "Chord Var 1"}));
    const std::string strExport = oWin.Path("exported.mid");
    roScript.m_astrSaveFiles = {strExport};
    roForm.ExportSingleSmf()->click();
    QCOMPARE(roScript.m_aoRequests.size(), std::size_t(1));
    QVERIFY(ReadAll(QString::fromStdString(strExport)).startsWith("MThd"));
    QVERIFY(!roForm.Doc().IsStyleModified());
    QVERIFY(!roForm.UndoStyle()->isEnabled());

    // Import it into Intro 1 / Chord Var 1 (2 measures, then 4).
    QVERIFY(Select(roForm.StyleTree(), {"Pop 8Beat", "Intro 1", "Chord Var 1"}));
    QCOMPARE(roForm.InfoText()->text(), QString(" Length in measures: 2"));
    roScript.m_aiAnswers = {QD_ANSWER_YES};
    roScript.m_astrOpenFiles = {strExport};
    roForm.ImportSingleSmf()->click();
    QCOMPARE(roScript.Asked(), QStringList({"Import Chord Variation from SMF | Initialize/Keep Track Parameters?"}));
    QVERIFY(roForm.Doc().IsStyleModified());
    QVERIFY(roForm.UndoStyle()->isEnabled());
    QCOMPARE(ShownTree(roForm.StyleTree()), DocTree(roForm.Doc().BuildElementTree()));
    // The imported node stays selected and shows its new length.
    QCOMPARE(roForm.StyleTree()->currentItem(), Node(roForm.StyleTree(), {"Pop 8Beat", "Intro 1", "Chord Var 1"}));
    QVERIFY(IsShown(roForm, roForm.InfoText()));
    QCOMPARE(roForm.InfoText()->text(), QString(" Length in measures: 4"));
    QVERIFY(roForm.ExportSingleSmf()->isEnabled());

    // Delete Variation 1 / Chord Var 2: the tree is rebuilt, its root selected.
    QVERIFY(Select(roForm.StyleTree(), {"Pop 8Beat", "Variation 1", "Chord Var 2"}));
    roForm.DeleteCV()->click();
    QVERIFY(!Node(roForm.StyleTree(), {"Pop 8Beat", "Variation 1", "Chord Var 2"}));
    QVERIFY(Node(roForm.StyleTree(), {"Pop 8Beat", "Variation 1", "Chord Var 3"}));
    QCOMPARE(ShownTree(roForm.StyleTree()), DocTree(roForm.Doc().BuildElementTree()));
    QCOMPARE(roForm.StyleTree()->currentItem(), roForm.StyleTree()->topLevelItem(0));
    QCOMPARE(EnabledButtons(roForm), QString("OpenStyle SaveStyle ImportAllSmf UndoStyle ButtonHelp"));

    // A rename, then Undo drops every change since the style was selected.
    oWin.ListItem(0)->setText(0, "Pop Remix");
    QCOMPARE(oWin.TreeRoot(), QString("Pop Remix"));
    roForm.UndoStyle()->click();
    QVERIFY(!roForm.Doc().IsStyleModified());
    QVERIFY(!roForm.UndoStyle()->isEnabled());
    QCOMPARE(ListedStyles(roForm), DEMO_STYLES);
    QCOMPARE(ListedImages(roForm), QList<int>({5, 0, 0, 0, 0}));
    QCOMPARE(ShownTree(roForm.StyleTree()), astrOriginalTree);
    QVERIFY(IsShown(roForm, roForm.InfoText()));
    QCOMPARE(roForm.InfoText()->text(), QString::fromStdString(roForm.Doc().GetListInfoText()));
    QCOMPARE(roScript.Asked().size(), 1);
    QVERIFY(roScript.Told().isEmpty());
}

void StyleCommandsTest::RenameInTheListAndLeavingTheModifiedStyle()
{
    CDemoWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    CScript& roScript = oWin.m_oScript;
    QVERIFY(oWin.SelectStyle(2));
    QTreeWidgetItem* pItem = oWin.ListItem(2);

    // Editing the item's text renames the style: empty keeps the name,
    // longer names are cut to 11 characters.
    pItem->setText(0, "");
    QCOMPARE(pItem->text(0), QString("Bossa Nova"));
    pItem->setText(0, "ABCDEFGHIJKLMNO");
    QCOMPARE(pItem->text(0), QString("ABCDEFGHIJK"));
    QCOMPARE(oWin.TreeRoot(), QString("ABCDEFGHIJK"));
    QVERIFY(roForm.Doc().IsStyleModified());
    QVERIFY(roForm.UndoStyle()->isEnabled());
    // Only the open style can be renamed.
    oWin.ListItem(0)->setText(0, "Other");
    QCOMPARE(oWin.ListItem(0)->text(0), QString("Pop 8Beat"));

    // Leaving it with No: the changes and the new name are dropped.
    roScript.m_aiAnswers = {ANSWER_NO_AT_CANCEL};
    QVERIFY(oWin.SelectStyle(4));
    QCOMPARE(roScript.Asked(), QStringList({CONFIRM_CHANGES}));
    const CQdQuestion& rkoQuestion = roScript.m_aoAsked.front();
    QCOMPARE(rkoQuestion.m_strYes + "/" + rkoQuestion.m_strNo + "/" + rkoQuestion.m_strCancel, std::string("Yes//No"));
    QCOMPARE(ListedStyles(roForm), DEMO_STYLES);
    QCOMPARE(ListedImages(roForm), QList<int>({0, 0, 0, 0, 5}));
    QCOMPARE(oWin.TreeRoot(), QString("Jazz Swing"));
    QVERIFY(!roForm.UndoStyle()->isEnabled());

    // Leaving it with Yes: written back into the bank, marked with image 6.
    QVERIFY(oWin.SelectStyle(2));
    pItem->setText(0, "Bossa Two");
    roScript.Clear();
    roScript.m_aiAnswers = {QD_ANSWER_YES};
    QVERIFY(oWin.SelectStyle(3));
    QCOMPARE(roScript.Asked(), QStringList({CONFIRM_CHANGES}));
    QCOMPARE(ListedStyles(roForm), QStringList({"Pop 8Beat", "Slow Waltz", "Bossa Two", "Rock Beat", "Jazz Swing"}));
    QCOMPARE(ListedImages(roForm), QList<int>({0, 0, 6, 5, 0}));
    QCOMPARE(oWin.TreeRoot(), QString("Rock Beat"));
    QVERIFY(oWin.SelectStyle(2));
    QCOMPARE(oWin.TreeRoot(), QString("Bossa Two"));
    QCOMPARE(roScript.Asked().size(), 1);
}

void StyleCommandsTest::UnsavedChangesAreAskedAboutOnOpenAndClose()
{
    CDemoWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    CScript& roScript = oWin.m_oScript;
    roForm.show();
    QVERIFY(oWin.SelectStyle(1));
    oWin.ListItem(1)->setText(0, "Waltz Two");
    roScript.m_aiAnswers = {QD_ANSWER_YES};
    roForm.StyleList()->setCurrentItem(roForm.StyleList()->topLevelItem(0));
    QCOMPARE(ListedImages(roForm), QList<int>({0, 6, 0, 0, 0}));

    // Opening another bank: No keeps the bank, no file dialog.
    roScript.Clear();
    roScript.m_aiAnswers = {ANSWER_NO_AT_CANCEL};
    roForm.OpenStyle()->click();
    QCOMPARE(roScript.Asked(), QStringList({IGNORE_CHANGES}));
    QVERIFY(roScript.m_aoRequests.empty());
    QCOMPARE(ListedStyles(roForm)[1], QString("Waltz Two"));
    QCOMPARE(ListedImages(roForm), QList<int>({0, 6, 0, 0, 0}));

    // Closing: No keeps the window open.
    roScript.Clear();
    roScript.m_aiAnswers = {ANSWER_NO_AT_CANCEL};
    QVERIFY(!roForm.close());
    QVERIFY(roForm.isVisible());
    QCOMPARE(roScript.Asked(), QStringList({IGNORE_CHANGES}));

    // Yes gives the changes up: the bank is read again.
    roScript.Clear();
    roScript.m_aiAnswers = {QD_ANSWER_YES};
    roScript.m_astrOpenFiles = {QD_DEMO_BANK};
    roForm.OpenStyle()->click();
    QCOMPARE(roScript.Asked(), QStringList({IGNORE_CHANGES}));
    QCOMPARE(ListedStyles(roForm), DEMO_STYLES);
    QCOMPARE(ListedImages(roForm), QList<int>({0, 0, 0, 0, 0}));

    // A modified style not yet written back counts as well.
    QVERIFY(oWin.SelectStyle(0));
    oWin.ListItem(0)->setText(0, "Pop Two");
    roScript.Clear();
    roScript.m_aiAnswers = {ANSWER_NO_AT_CANCEL, QD_ANSWER_YES};
    QVERIFY(!roForm.close());
    QVERIFY(roForm.close());
    QCOMPARE(roScript.Asked(), QStringList({IGNORE_CHANGES, IGNORE_CHANGES}));
}

void StyleCommandsTest::SaveRebuildsTheListAndTheSavedBankReopens()
{
    CDemoWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    CScript& roScript = oWin.m_oScript;
    QVERIFY(oWin.SelectStyle(3));
    oWin.ListItem(3)->setText(0, "Rock Two");
    roScript.m_aiAnswers = {QD_ANSWER_YES};
    QVERIFY(oWin.SelectStyle(4));
    QCOMPARE(ListedImages(roForm), QList<int>({0, 0, 0, 6, 5}));

    const std::string strSaved = oWin.Path("saved.sty");
    roScript.m_astrSaveFiles = {strSaved};
    roForm.SaveStyle()->click();
    QVERIFY(QFile::exists(QString::fromStdString(strSaved)));
    const QStringList astrSavedStyles = {"Pop 8Beat", "Slow Waltz", "Bossa Nova", "Rock Two", "Jazz Swing"};
    QCOMPARE(roForm.StyleList()->topLevelItem(0)->text(0), QString("saved.sty"));
    QCOMPARE(ListedStyles(roForm), astrSavedStyles);
    QCOMPARE(ListedImages(roForm), QList<int>({0, 0, 0, 0, 0}));
    QCOMPARE(roForm.StyleTree()->topLevelItemCount(), 0);
    QVERIFY(roForm.SaveStyle()->isEnabled());
    QVERIFY(!roForm.UndoStyle()->isEnabled());

    // Nothing left to ask about: the saved file opens straight away.
    roScript.Clear();
    roScript.m_astrOpenFiles = {strSaved};
    roForm.OpenStyle()->click();
    QVERIFY(roScript.Asked().isEmpty());
    QCOMPARE(roForm.StyleList()->topLevelItem(0)->text(0), QString("saved.sty"));
    QCOMPARE(ListedStyles(roForm), astrSavedStyles);
    QVERIFY(oWin.SelectStyle(3));
    QCOMPARE(oWin.TreeRoot(), QString("Rock Two"));
    QVERIFY(roScript.Told().isEmpty());
}

void StyleCommandsTest::WholeStyleImportByStandardNames()
{
    CDemoWindow oWin;
    TForm2& roForm = oWin.m_oForm;
    CScript& roScript = oWin.m_oScript;
    QVERIFY(oWin.SelectStyle(1));
    QVERIFY(!Node(roForm.StyleTree(), {"Slow Waltz", "Intro 1"}));
    const std::string strIntro = oWin.Path("ABCi1cv2.mid");
    const std::string strBogus = oWin.Path("bogus.mid");
    QVERIFY(WriteAll(QString::fromStdString(strIntro), NotesSmf(9, 0, 2)));
    QVERIFY(WriteAll(QString::fromStdString(strBogus), NotesSmf(9, 0, 2)));

    // Merge: the standard name places the file, the other one is refused.
    roScript.m_aiAnswers = {QD_ANSWER_NO};
    roScript.m_aastrOpenFileSets = {{strIntro, strBogus}};
    roForm.ImportAllSmf()->click();
    QCOMPARE(roScript.Asked(), QStringList({"Import Style from SMF | Replace current style or merge with SMF files?"}));
    // The classic message, and the file with the cause on a second line.
    QCOMPARE(roScript.Told(), QStringList({"Import Style from SMF | 'bogus.mid'  is not a valid standard name!\n" +
                                           QString::fromStdString(strBogus) +
                                           ": no standard name (v1cv1 ... e2cv2) in the file name"}));
    QCOMPARE(ShownTree(roForm.StyleTree()), DocTree(roForm.Doc().BuildElementTree()));
    QVERIFY(!Node(roForm.StyleTree(), {"Slow Waltz", "Intro 1", "Chord Var 1"}));
    QVERIFY(Select(roForm.StyleTree(), {"Slow Waltz", "Intro 1", "Chord Var 2"}));
    QCOMPARE(roForm.InfoText()->text(), QString(" Length in measures: 2"));
    QVERIFY(Node(roForm.StyleTree(), {"Slow Waltz", "Variation 2"}));
    QVERIFY(roForm.UndoStyle()->isEnabled());

    // Replace: a new style takes the old one's place in the list and the tree.
    roForm.UndoStyle()->click();
    roScript.Clear();
    roScript.m_aiAnswers = {QD_ANSWER_YES};
    roScript.m_aastrOpenFileSets = {{strIntro}};
    roForm.ImportAllSmf()->click();
    QCOMPARE(ListedStyles(roForm)[1], QString("New Style"));
    QCOMPARE(oWin.TreeRoot(), QString("New Style"));
    QVERIFY(Node(roForm.StyleTree(), {"New Style", "Intro 1", "Chord Var 2"}));
    QVERIFY(!Node(roForm.StyleTree(), {"New Style", "Variation 2"}));
    QCOMPARE(ShownTree(roForm.StyleTree()), DocTree(roForm.Doc().BuildElementTree()));
    QVERIFY(roForm.UndoStyle()->isEnabled());
}

QD_APP_TEST(StyleCommandsTest);
#include "StyleCommandsTest.moc"
