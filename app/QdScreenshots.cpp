// QdScreenshots.cpp -- drives a main window through its usual states and
// grabs it after each: a style selected, a chord variation selected, the
// help panel, the media panel while playing, the piano roll, the question
// dialog, and the report after an import.
#include "QdScreenshots.h"

#include "Qd50StyleToMidiMain.h"
#include "QdGeneralDlg.h"
#include "QdReportDlg.h"
#include "QdRollPane.h"
#include "Splashscreen.h"

#include "NlzdStyle/NstEditIfc.h"

#include <QApplication>
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <memory>

namespace
{
// A player that accepts every file and plays nothing: the media panel shows
// as it does while playing, without a sound device or soundfont. Its tick
// is the one set (-1: it knows none), so that the roll shows a playhead.
class CSilentPlayer : public CQdMediaPlayer
{
public:
    bool Open(const std::string&) override { return true; }
    bool Play() override { return true; }
    bool Stop() override { return true; }
    bool Rewind() override { return true; }
    void Close() override {}
    long GetTick() const override { return m_lTick; }
    void GetLastError(int& riNumber, std::string& rstrText) const override
    {
        riNumber = 0;
        rstrText.clear();
    }
    long m_lTick = -1;
};

// Settle -- pending layouts and paints are done.
void Settle()
{
    for (int i = 0; i < 3; ++i)
    {
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QApplication::processEvents();
    }
}

// SettleFor -- events handled for iMs, timers among them.
void SettleFor(int iMs)
{
    QElapsedTimer oClock;
    oClock.start();
    while (oClock.elapsed() < iMs)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    Settle();
}

bool SavePicture(QWidget& rWidget, const QDir& rkoDir, const char* pszName, QString& rstrError)
{
    Settle();
    const QString strPath = rkoDir.filePath(pszName);
    const QPixmap oPicture = rWidget.grab();
    if (oPicture.isNull() || !oPicture.save(strPath, "PNG"))
    {
        rstrError = "Cannot write " + strPath;
        return false;
    }
    return true;
}

// The element tree's first chord-variation node (items are in the
// document's node order), and the node's data.
QTreeWidgetItem* FirstChordVarItem(TForm2& roForm, CQdTreeNode& roNode)
{
    const std::vector<CQdTreeNode> aoNodes = roForm.Doc().BuildElementTree();
    std::size_t uIndex = 0;
    for (QTreeWidgetItemIterator it(roForm.StyleTree()); *it && uIndex < aoNodes.size(); ++it, ++uIndex)
        if (aoNodes[uIndex].m_byKind == CQdTreeNode::KIND_CHORD_VAR)
        {
            roNode = aoNodes[uIndex];
            return *it;
        }
    return nullptr;
}

// SaveRollPictures -- the piano roll opened as View > Piano Roll opens it
// (a window narrower than the pane needs grows by it; a wide one has it open
// already): roll-<standard name>.png for every chord variation of the
// style, roll-track.png with the first chord variation's first track picked
// out, roll-playing.png with the playhead half way into its second measure;
// closed again after when it was closed before.
bool SaveRollPictures(TForm2& roForm, CSilentPlayer& roPlayer, const QDir& rkoDir, QString& rstrError)
{
    const bool bWasOpen = roForm.IsRollOpen();
    if (!bWasOpen)
        roForm.Action("ActionRoll")->trigger();
    Settle();
    const std::vector<CQdTreeNode> aoNodes = roForm.Doc().BuildElementTree();
    QTreeWidgetItem* pFirst = nullptr;
    std::size_t uIndex = 0;
    for (QTreeWidgetItemIterator it(roForm.StyleTree()); *it && uIndex < aoNodes.size(); ++it, ++uIndex)
    {
        const CQdTreeNode& rkoNode = aoNodes[uIndex];
        if (rkoNode.m_byKind != CQdTreeNode::KIND_CHORD_VAR)
            continue;
        pFirst = pFirst ? pFirst : *it;
        roForm.StyleTree()->setCurrentItem(*it);
        const QString strName = QString::fromLatin1(
            CQdBankDoc::StandardName(CQdBankDoc::StandardNameIndex(rkoNode.m_bySe, rkoNode.m_byCv)));
        if (!SavePicture(roForm, rkoDir, qPrintable("roll-" + strName + ".png"), rstrError))
            return false;
    }
    if (!pFirst || pFirst->childCount() == 0)
    {
        rstrError = "The style has no chord variation with tracks";
        return false;
    }
    roForm.StyleTree()->setCurrentItem(pFirst->child(0));
    if (!SavePicture(roForm, rkoDir, "roll-track.png", rstrError))
        return false;
    roForm.StyleTree()->setCurrentItem(pFirst);
    const TTICK tMeasure = roForm.RollPane()->Roll().m_oGrid.m_tTicksPerMeasure;
    roPlayer.m_lTick = long(tMeasure + tMeasure / 2);
    roForm.PlayButtonClick();
    // The position and the playhead follow the player on their timer.
    SettleFor(150);
    const bool bPlaying = SavePicture(roForm, rkoDir, "roll-playing.png", rstrError);
    roForm.StopPlayback();
    roPlayer.m_lTick = -1;
    if (!bWasOpen)
        roForm.Action("ActionRoll")->trigger();
    return bPlaying;
}

// SaveImportReport -- the chord variation exported and imported again, the
// report dialog grabbed as it opens; the style is back as it was after.
bool SaveImportReport(TForm2& roForm, const CQdTreeNode& rkoNode, const QDir& rkoDir, QString& rstrError)
{
    const QTemporaryDir oScratch;
    const std::string strFile = oScratch.filePath(
        QString::fromLatin1(CQdBankDoc::StandardName(CQdBankDoc::StandardNameIndex(rkoNode.m_bySe, rkoNode.m_byCv))) +
        ".mid").toStdString();
    if (!oScratch.isValid() ||
        !roForm.Doc().ExportChordVarFile(rkoNode.m_bySe, rkoNode.m_byCv, NST_ALL_TRACKS, strFile))
    {
        rstrError = "Cannot export the chord variation for the import report";
        return false;
    }
    bool bSaved = false;
    roForm.Prompt().Hooks().m_fnReportDlg = [&](TQdReportDlg& roDlg) {
        roDlg.setModal(false);
        roDlg.show();
        bSaved = SavePicture(roDlg, rkoDir, "report.png", rstrError);
        roDlg.hide();
        return int(QDialog::Accepted);
    };
    roForm.Doc().ImportChordVarFile(rkoNode.m_bySe, rkoNode.m_byCv, false, strFile);
    roForm.Prompt().Hooks().m_fnReportDlg = nullptr;
    roForm.UndoStyleClick();
    if (!bSaved && rstrError.isEmpty())
        rstrError = "The import showed no report";
    return bSaved;
}
} // namespace

bool QdSaveScreenshots(const QString& rkstrBankPath, const QString& rkstrDir, QString& rstrError,
                       const QSize& rkoSize)
{
    const QDir oDir(rkstrDir);
    if (!oDir.mkpath("."))
    {
        rstrError = "Cannot create " + rkstrDir;
        return false;
    }

    TForm2 oForm;
    // The splash screen would open on the window's first activation; it is
    // no part of the pictures and must not flash up on a desktop either.
    if (auto* pSplash = oForm.findChild<TForm3*>())
        pSplash->setAttribute(Qt::WA_DontShowOnScreen);
    // Nobody is there to answer: questions get Cancel, a message ends the run.
    QString strTold;
    CQdPromptHooks& roHooks = oForm.Prompt().Hooks();
    roHooks.m_fnAsk = [](const CQdQuestion&) { return int(QD_ANSWER_CANCEL); };
    roHooks.m_fnTell = [&strTold](const std::string& rkstrCaption, const std::string& rkstrText) {
        if (strTold.isEmpty())
            strTold = QString::fromStdString(rkstrCaption + ": " + rkstrText);
    };
    roHooks.m_fnChooseOpenFile = [](const CQdFileRequest&, std::string&) { return false; };
    roHooks.m_fnChooseOpenFiles = [](const CQdFileRequest&, std::vector<std::string>&) { return false; };
    roHooks.m_fnChooseSaveFile = [](const CQdFileRequest&, std::string&) { return false; };
    auto poPlayer = std::make_unique<CSilentPlayer>();
    CSilentPlayer& roPlayer = *poPlayer;
    oForm.SetMediaPlayer(std::move(poPlayer));
    if (rkoSize.isValid())
        oForm.resize(rkoSize.expandedTo(oForm.DefaultSize()));
    oForm.show();
    Settle();

    oForm.OpenBankPath(rkstrBankPath);
    QTreeWidgetItem* pListRoot = oForm.StyleList()->topLevelItem(0);
    if (!strTold.isEmpty() || !pListRoot || pListRoot->childCount() < 2)
    {
        rstrError = strTold.isEmpty() ? rkstrBankPath + " holds fewer than two styles" : strTold;
        return false;
    }
    oForm.StyleList()->setCurrentItem(pListRoot->child(1));
    if (!SavePicture(oForm, oDir, "main-style.png", rstrError))
        return false;

    CQdTreeNode oChordVar;
    QTreeWidgetItem* pChordVar = FirstChordVarItem(oForm, oChordVar);
    if (!pChordVar)
    {
        rstrError = "The second style has no chord variation";
        return false;
    }
    // As after a click on the node: the tree has the focus.
    oForm.StyleTree()->setFocus(Qt::MouseFocusReason);
    oForm.StyleTree()->setCurrentItem(pChordVar);
    if (!SavePicture(oForm, oDir, "main-chordvar.png", rstrError))
        return false;

    oForm.ButtonHelpClick();
    if (!SavePicture(oForm, oDir, "help.png", rstrError))
        return false;
    oForm.HelpPanelClick();

    oForm.StyleTree()->setCurrentItem(pChordVar);
    oForm.PlayButtonClick();
    if (!strTold.isEmpty())
    {
        rstrError = strTold;
        return false;
    }
    const bool bMedia = SavePicture(oForm, oDir, "media.png", rstrError);
    oForm.StopPlayback();
    if (!bMedia || !SaveRollPictures(oForm, roPlayer, oDir, rstrError))
        return false;

    TQdGeneralDlg oQuestion(&oForm, "Style modified", "Confirm changes ?", "Yes", "", "No");
    oQuestion.setModal(false);
    oQuestion.show();
    const bool bQuestion = SavePicture(oQuestion, oDir, "question.png", rstrError);
    oQuestion.hide();
    return bQuestion && SaveImportReport(oForm, oChordVar, oDir, rstrError);
}
