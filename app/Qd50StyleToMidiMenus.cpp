// Qd50StyleToMidiMenus.cpp -- the main window's menu bar: every tool
// button's command with the button's own handler (so the questions and
// texts are the same), the commands that have no button, their keyboard
// shortcuts and enabled states, and the recent files.
#include "Qd50StyleToMidiMain.h"

#include "QdElementTree.h"
#include "QdReportDlg.h"
#include "QdReportLog.h"

#include "Base/QdVersion.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTreeWidget>

QAction* TForm2::AddAction(QMenu* pMenu, const char* pszName, const QString& rkstrText, const QKeySequence& rkoKey,
                           void (TForm2::*pfnTriggered)())
{
    QAction* pAction = pMenu->addAction(rkstrText);
    pAction->setObjectName(pszName);
    pAction->setShortcut(rkoKey);
    // The shortcuts work wherever the focus is in the window (CreateMenus
    // adds every action to the window as well as to its menu).
    pAction->setShortcutContext(Qt::WindowShortcut);
    if (pfnTriggered)
        connect(pAction, &QAction::triggered, this, [this, pfnTriggered] { (this->*pfnTriggered)(); });
    m_apActions.push_back(pAction);
    return pAction;
}

QAction* TForm2::Action(const QString& rkstrName) const
{
    for (QAction* pAction : m_apActions)
        if (pAction->objectName() == rkstrName)
            return pAction;
    return nullptr;
}

void TForm2::CreateMenus()
{
    QMenu* pFile = menuBar()->addMenu("&File");
    AddAction(pFile, "ActionOpen", "&Open\u2026", QKeySequence::Open, &TForm2::OpenStyleClick);
    m_pRecentMenu = pFile->addMenu("Open &Recent");
    m_pRecentMenu->setObjectName("RecentMenu");
    connect(m_pRecentMenu, &QMenu::aboutToShow, this, &TForm2::RebuildRecentMenu);
    AddAction(pFile, "ActionSave", "&Save", QKeySequence("Ctrl+S"), &TForm2::SaveClick);
    AddAction(pFile, "ActionSaveAs", "Save &As\u2026", QKeySequence("Ctrl+Shift+S"), &TForm2::SaveStyleClick);
    pFile->addSeparator();
    AddAction(pFile, "ActionExportBank", "&Export Whole Bank\u2026", {}, &TForm2::ExportBankClick);
    AddAction(pFile, "ActionRescue", "Rescue St&yles\u2026", {}, &TForm2::RescueClick);
    pFile->addSeparator();
    QAction* pQuit = AddAction(pFile, "ActionQuit", "&Quit", QKeySequence("Ctrl+Q"), nullptr);
    connect(pQuit, &QAction::triggered, this, &QWidget::close);

    QMenu* pEdit = menuBar()->addMenu("&Edit");
    AddAction(pEdit, "ActionUndo", "&Undo Style Changes", QKeySequence("Ctrl+Z"), &TForm2::UndoStyleClick);
    pEdit->addSeparator();
    AddAction(pEdit, "ActionRename", "&Rename Style", QKeySequence(Qt::Key_F2), &TForm2::RenameClick);
    AddAction(pEdit, "ActionDelete", "&Delete Chord Variation", QKeySequence(Qt::Key_Delete), &TForm2::DeleteCVClick);
    pEdit->addSeparator();
    AddAction(pEdit, "ActionCopy", "&Copy", QKeySequence("Ctrl+C"), &TForm2::CopyClick);
    AddAction(pEdit, "ActionPaste", "&Paste", QKeySequence("Ctrl+V"), &TForm2::PasteClick);
    pEdit->addSeparator();
    AddAction(pEdit, "ActionTrackParams", "&Track Parameters\u2026", QKeySequence("Ctrl+T"),
              &TForm2::TrackParamsClick);

    // The piano roll beside the tree; its zoom also by Ctrl+wheel over it.
    QMenu* pView = menuBar()->addMenu("&View");
    QAction* pRoll = AddAction(pView, "ActionRoll", "Piano &Roll", QKeySequence("Ctrl+R"), nullptr);
    pRoll->setCheckable(true);
    connect(pRoll, &QAction::toggled, this, &TForm2::RollClick);
    pView->addSeparator();
    AddAction(pView, "ActionZoomIn", "Zoom &In", QKeySequence::ZoomIn, &TForm2::ZoomInClick)->setEnabled(false);
    AddAction(pView, "ActionZoomOut", "Zoom &Out", QKeySequence::ZoomOut, &TForm2::ZoomOutClick)->setEnabled(false);
    AddAction(pView, "ActionFitRoll", "&Fit to Window", QKeySequence("Ctrl+0"), &TForm2::FitRollClick)
        ->setEnabled(false);

    QMenu* pTransfer = menuBar()->addMenu("&Import/Export");
    AddAction(pTransfer, "ActionImportStyle", "Import &Style from SMFs with Standard Names\u2026",
              QKeySequence("Ctrl+Shift+I"), &TForm2::ImportAllSmfClick);
    AddAction(pTransfer, "ActionImportCv", "&Import Chord Variation from SMF\u2026", QKeySequence("Ctrl+I"),
              &TForm2::ImportSingleSmfClick);
    AddAction(pTransfer, "ActionExportCv", "&Export Chord Variation to SMF\u2026", QKeySequence("Ctrl+E"),
              &TForm2::ExportSingleSmfClick);
    pTransfer->addSeparator();
    AddAction(pTransfer, "ActionExportAudio", "Export &Audio\u2026", QKeySequence("Ctrl+Shift+E"),
              &TForm2::ExportAudioClick);

    QMenu* pPlay = menuBar()->addMenu("&Play");
    AddAction(pPlay, "ActionPlay", "&Play/Stop", QKeySequence(Qt::Key_Space), &TForm2::PlayStopClick);
    QAction* pLoop = AddAction(pPlay, "ActionLoop", "&Loop", QKeySequence("Ctrl+L"), nullptr);
    pLoop->setCheckable(true);
    pLoop->setChecked(m_pLoopBox->isChecked());
    connect(pLoop, &QAction::toggled, this, &TForm2::LoopClick);
    AddAction(pPlay, "ActionMute", "&Mute Track", QKeySequence(Qt::Key_M), &TForm2::MuteClick);
    AddAction(pPlay, "ActionTempo", "&Tempo\u2026", {}, &TForm2::TempoClick);

    QMenu* pHelp = menuBar()->addMenu("&Help");
    AddAction(pHelp, "ActionHelp", "&Help", QKeySequence(Qt::Key_F1), &TForm2::ButtonHelpClick);
    AddAction(pHelp, "ActionWeb", "&Visit Website", {}, &TForm2::GotoWebClick);
    AddAction(pHelp, "ActionReportLog", "Report &Log\u2026", {}, &TForm2::ReportLogClick);
    AddAction(pHelp, "ActionAbout", "&About", {}, &TForm2::AboutClick);
    for (QAction* pAction : m_apActions)
        addAction(pAction);
    RebuildRecentMenu();
    // Paste follows what the clipboard holds, whoever put it there.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TForm2::UpdateToolButtons);
}

// TForm2::UpdateActions -- the menu commands follow the tool buttons' rules
// (the document's tool state); those without a button have rules of their own.
void TForm2::UpdateActions(const CQdToolState& rkoState)
{
    const struct
    {
        const char* m_pszName;
        bool m_bEnabled;
    } akoStates[] = {
        {"ActionOpen", rkoState.m_bOpen},
        {"ActionSave", rkoState.m_bSave},
        {"ActionSaveAs", rkoState.m_bSave},
        {"ActionExportBank", rkoState.m_bExportBank},
        {"ActionUndo", rkoState.m_bUndo},
        {"ActionRename", rkoState.m_bRename},
        {"ActionDelete", rkoState.m_bDeleteCV},
        {"ActionCopy", rkoState.m_bCopy},
        {"ActionPaste", rkoState.m_bPasteTarget && ClipboardFits(SelectedTreeNode())},
        {"ActionTrackParams", rkoState.m_bTrackParams},
        {"ActionImportStyle", rkoState.m_bImportAll},
        {"ActionImportCv", rkoState.m_bImportSingle},
        {"ActionExportCv", rkoState.m_bExportSingle},
        {"ActionExportAudio", rkoState.m_bExportAudio},
        {"ActionPlay", rkoState.m_bPlay || m_poPlayback->IsPlaying()},
        {"ActionMute", rkoState.m_bPlay},
    };
    for (const auto& rkoEntry : akoStates)
        if (QAction* pAction = Action(rkoEntry.m_pszName))
            pAction->setEnabled(rkoEntry.m_bEnabled);
}

// TForm2::RebuildRecentMenu -- the files that still exist, newest first,
// numbered for the keyboard.
void TForm2::RebuildRecentMenu()
{
    m_oRecentFiles.Prune();
    m_pRecentMenu->clear();
    int iNumber = 0;
    for (const std::string& rkstrPath : m_oRecentFiles.Files())
    {
        const QString strPath = QString::fromStdString(rkstrPath);
        QAction* pAction = m_pRecentMenu->addAction(QString("&%1 %2").arg(++iNumber).arg(strPath));
        pAction->setData(strPath);
        connect(pAction, &QAction::triggered, this, [this, strPath] { OpenRecentFile(strPath); });
    }
    m_pRecentMenu->setEnabled(iNumber > 0);
}

// TForm2::NoteOpenedBank -- after a command that may have opened or saved a
// bank under a new name: the bank goes to the front of the recent files.
void TForm2::NoteOpenedBank()
{
    const std::string strPath = m_poDoc->GetBankPath();
    if (strPath.empty())
        return;
    m_oRecentFiles.Add(QFileInfo(QString::fromStdString(strPath)).absoluteFilePath().toStdString());
    RebuildRecentMenu();
}

void TForm2::OpenRecentFile(const QString& rkstrPath)
{
    BeginCommand();
    m_poDoc->OpenBankAsking(rkstrPath.toStdString());
    ShowDocument(true);
    NoteOpenedBank();
    m_pStyleList->setFocus();
}

// TForm2::SaveClick -- Save: into the open bank's own file, with the
// questions of Save Style Bank but without its file dialog, unless the file
// is read-only and the user takes the offer to save under another name.
void TForm2::SaveClick()
{
    BeginCommand();
    const bool bSaved = m_poDoc->SaveBankAsking(m_poDoc->GetBankPath());
    ShowDocument(bSaved);
    if (bSaved)
        NoteOpenedBank();
    m_pStyleList->setFocus();
}

void TForm2::ExportBankClick()
{
    BeginCommand();
    m_poDoc->ExportWholeBank();
    m_pStyleList->setFocus();
}

void TForm2::RescueClick()
{
    BeginCommand();
    m_poDoc->RescueBank();
}

// TForm2::RenameClick -- F2 as the list has always taken it: the selected
// style's name in its editor.
void TForm2::RenameClick()
{
    BeginCommand();
    QTreeWidgetItem* pRoot = m_pStyleList->topLevelItem(0);
    const int iStyle = m_poDoc->GetSelectedStyle();
    if (!pRoot || iStyle < 0 || iStyle >= pRoot->childCount())
        return;
    m_pStyleList->setFocus();
    m_pStyleList->setCurrentItem(pRoot->child(iStyle));
    m_pStyleList->editItem(pRoot->child(iStyle), 0);
}

void TForm2::ReportLogClick()
{
    const std::string strLog = CQdReportLog::Instance().Text();
    TQdReportDlg oDlg(this, "Report Log", strLog.empty() ? QString("No reports.") : QString::fromStdString(strLog),
                      false);
    m_oPrompt.ExecDialog(oDlg);
}

void TForm2::AboutClick()
{
    QMessageBox::about(this, "About",
                       "Qd50 Style Tool - v" QD_VERSION "\n\n"
                       "Converts the chord variations of Qd50 style banks to and from Standard MIDI Files.\n\n"
                       "Freeware - use it at your own risk.");
}
