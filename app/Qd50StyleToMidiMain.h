// Qd50StyleToMidiMain.h -- the main window: shows the bank document's state
// (style list, element tree, info line, tool buttons) and starts its commands.
//
// The designed window is a client area of 320 x 366 with a tool bar; its
// controls sit there pixel for pixel at the default size. The window adds
// a menu bar above it (every tool button's command, with the same handler,
// and the commands that have no button), keyboard shortcuts, drag and drop
// of banks and MIDI files, and a client that can grow (QdWindowLayout.h).
// Its sources: this file's .cpp (the designed controls and the tool bar's
// commands), Qd50StyleToMidiMenus.cpp (menus, shortcuts, recent files,
// settings), Qd50StyleToMidiTransfer.cpp (drag and drop, clipboard, track
// parameters), Qd50StyleToMidiPlay.cpp (test playback, audio export) and
// Qd50StyleToMidiRoll.cpp (the piano roll pane beside the tree, closed at
// the designed size).
#pragma once

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdDragFiles.h"
#include "BankDoc/QdPlayback.h"
#include "BankDoc/QdRecentFiles.h"
#include "QdQtPrompt.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QMimeData;
class QPlainTextEdit;
class QSettings;
class QSpinBox;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TForm3;
class TQdElementTree;
class TQdRollPane;
class TQdSplitBar;

class TForm2 : public QMainWindow
{
    Q_OBJECT
public:
    // The maker's web site, opened by the help panel's link.
    static constexpr const char* WEB_ADDRESS = "https://www.velmar.com/qd50";
    // Item data of both trees: the image index the node shows (an int), and
    // for the element tree the info text last shown for the node.
    static constexpr int ROLE_NODE = Qt::UserRole; // element tree: the node's index in the document's tree
    static constexpr int ROLE_IMAGE = Qt::UserRole + 1;
    static constexpr int ROLE_INFO = Qt::UserRole + 2;

    explicit TForm2(QWidget* pParent = nullptr);
    ~TForm2() override;

    CQdBankDoc& Doc() { return *m_poDoc; }
    CQdQtPrompt& Prompt() { return m_oPrompt; }
    QTreeWidget* StyleList() const { return m_pStyleList; }
    QTreeWidget* StyleTree() const;
    QLabel* InfoText() const { return m_pInfoText; }
    QToolBar* ToolBar1() const { return m_pToolBar1; }
    QToolButton* OpenStyle() const { return m_pOpenStyle; }
    QToolButton* SaveStyle() const { return m_pSaveStyle; }
    QToolButton* ImportAllSmf() const { return m_pImportAllSmf; }
    QToolButton* ImportSingleSmf() const { return m_pImportSingleSmf; }
    QToolButton* ExportSingleSmf() const { return m_pExportSingleSmf; }
    QToolButton* DeleteCV() const { return m_pDeleteCV; }
    QToolButton* UndoStyle() const { return m_pUndoStyle; }
    QToolButton* PlayButton() const { return m_pPlayButton; }
    QToolButton* ButtonHelp() const { return m_pButtonHelp; }
    QWidget* HelpPanel() const { return m_pHelpPanel; }
    QLabel* StaticText1() const { return m_pStaticText1; }
    QPlainTextEdit* Memo1() const { return m_pMemo1; }
    QLabel* GotoWeb() const { return m_pGotoWeb; }
    QWidget* MediaPanel() const { return m_pMediaPanel; }
    QLabel* Image2() const { return m_pImage2; }
    QSpinBox* TempoEdit() const { return m_pTempoEdit; }
    QCheckBox* LoopBox() const { return m_pLoopBox; }
    QLabel* PositionLabel() const { return m_pPositionLabel; }
    QLabel* NoticeLabel() const { return m_pNoticeLabel; }
    QWidget* SplitBar() const;
    CQdPlayback& Playback() { return *m_poPlayback; }
    // Action -- the menu command of that object name ("ActionOpen" ...); nullptr when none.
    QAction* Action(const QString& rkstrName) const;
    QMenu* RecentMenu() const { return m_pRecentMenu; }
    CQdRecentFiles& RecentFiles() { return m_oRecentFiles; }
    CQdDragFiles& DragFiles() { return *m_poDragFiles; }
    // The list's share of the width of list and tree (the split bar's place).
    double ListShare() const { return m_dListShare; }
    void SetListShare(double dShare);
    // The piano roll pane, its bar, whether it is open (View > Piano Roll)
    // and its share of the width of list, tree and roll.
    TQdRollPane* RollPane() const { return m_pRollPane; }
    QWidget* RollBar() const;
    bool IsRollOpen() const { return m_bRollOpen; }
    double RollShare() const { return m_dRollShare; }
    void SetRollShare(double dShare);

    // RestoreSettings -- size and place, split bar, recent files and the
    // dialogs' folders from the settings; the window then saves them there
    // when it closes. Without it (tests, screenshots) nothing is kept.
    void RestoreSettings(QSettings& roSettings);
    void SaveSettings(QSettings& roSettings) const;
    // DefaultSize -- the designed client below the menu bar.
    QSize DefaultSize() const;

    // DropFiles -- what a drop of the files at rkoPos (window coordinates)
    // does: a bank opens, one MIDI file on a chord variation is imported
    // into it, MIDI files on a style are imported as a whole style. False
    // (nothing done) when the files do not fit the place.
    bool DropFiles(const QStringList& rkastrPaths, const QPoint& rkoPos);
    // CanDropFiles -- DropFiles would do something there.
    bool CanDropFiles(const QStringList& rkastrPaths, const QPoint& rkoPos) const;
    // DragMimeData -- what a drag of the tree item carries: the node's MIDI
    // file, written into the drag folder; nullptr for other nodes.
    QMimeData* DragMimeData(QTreeWidgetItem* pItem);

    // SetMediaPlayer -- replaces the FluidSynth player (tests, screenshots);
    // playback stops first.
    void SetMediaPlayer(std::unique_ptr<CQdMediaPlayer> poPlayer);
    // SetUrlOpener -- replaces QDesktopServices::openUrl for the web link.
    void SetUrlOpener(std::function<bool(const QUrl&)> fnOpenUrl) { m_fnOpenUrl = std::move(fnOpenUrl); }
    // The help panel's text.
    static QString HelpText();

    // OpenBankPath -- opens the given bank without asking (start-up argument).
    void OpenBankPath(const QString& rkstrPath);

public slots:
    void OpenStyleClick();
    void SaveStyleClick();
    void ImportAllSmfClick();
    void ImportSingleSmfClick();
    void ExportSingleSmfClick();
    void DeleteCVClick();
    void UndoStyleClick();
    void ButtonHelpClick();
    void HelpPanelClick();
    void StaticText1Click();
    void GotoWebClick();
    void PlayButtonClick();
    void Image2Click();
    void StyleListChange(QTreeWidgetItem* pCurrent);
    void StyleListEnter();
    void StyleListEdited(QTreeWidgetItem* pItem, int iColumn);
    void StyleTreeChange(QTreeWidgetItem* pCurrent);
    void StyleTreeEnter();
    // The menu commands without a tool button.
    void SaveClick();
    void ExportBankClick();
    void RescueClick();
    void RenameClick();
    void CopyClick();
    void PasteClick();
    void TrackParamsClick();
    void ExportAudioClick();
    void PlayStopClick();
    void LoopClick(bool bLoop);
    void MuteClick();
    void TempoClick();
    void AboutClick();
    // ReportLogClick -- Help > Report Log: the core's reports of this run
    // (QdReportLog.h), which the window shows nowhere else.
    void ReportLogClick();
    // RollClick -- View > Piano Roll: opens the pane (a window narrower than
    // the designed one with the pane grows by the pane) or closes it.
    void RollClick(bool bOpen);
    void ZoomInClick();
    void ZoomOutClick();
    void FitRollClick();
    void OpenRecentFile(const QString& rkstrPath);
    // StopPlayback -- hides the media panel and stops a test playback
    // (deleting its temporary file); every command starts with it.
    void StopPlayback();

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    bool event(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    QToolButton* AddButton(int iImage, const QString& rkstrName, const QString& rkstrHint, bool bEnabled,
                           void (TForm2::*pfnClick)());
    void RebuildStyleList();
    void RefreshStyleNodes();
    void RebuildElementTree();
    void UpdateToolButtons();
    void ShowInfo(const std::string& rkstrText);
    void ShowListInfo(const std::string& rkstrText);
    const CQdTreeNode* SelectedTreeNode() const;
    const CQdTreeNode* NodeOfItem(const QTreeWidgetItem* pItem) const;
    // After every command: the list, the tree and the buttons show the document.
    void ShowDocument(bool bRebuildList);
    // Start of every command: no playback, no help panel, no info line.
    void BeginCommand();
    void CreateHelpPanel(QWidget* pClient);
    void CreateMediaPanel(QWidget* pClient);
    void CreateNotice(QWidget* pClient);
    void LayoutClient();
    // Menus (Qd50StyleToMidiMenus.cpp).
    QAction* AddAction(QMenu* pMenu, const char* pszName, const QString& rkstrText, const QKeySequence& rkoKey,
                       void (TForm2::*pfnTriggered)());
    void CreateMenus();
    void RebuildRecentMenu();
    void NoteOpenedBank();
    void UpdateActions(const CQdToolState& rkoState);
    // Transfer (Qd50StyleToMidiTransfer.cpp).
    bool ClipboardFits(const CQdTreeNode* pkoNode) const;
    QTreeWidgetItem* ItemAt(const QPoint& rkoPos, const QTreeWidget*& rpkTree) const;
    void SelectTreeRow(int iRow);
    // Playback (Qd50StyleToMidiPlay.cpp).
    void CreatePlayControls();
    void ShowMuteBoxes(bool bShow);
    void StyleTreeItemChanged(QTreeWidgetItem* pItem);
    void ShowPosition();
    bool IsNodeOfPlayingChordVar(const CQdTreeNode& rkoNode) const;
    // Piano roll (Qd50StyleToMidiRoll.cpp).
    void CreateRollPane(QWidget* pClient);
    void SetRollOpen(bool bOpen);
    // ShowRoll -- the open pane shows the selected node's roll.
    void ShowRoll();
    // ShowPlayhead -- the pane's playhead where the player is.
    void ShowPlayhead();
    void RollNoteClick(int iNote);

    CQdQtPrompt m_oPrompt;
    std::unique_ptr<CQdBankDoc> m_poDoc;
    std::unique_ptr<CQdMediaPlayer> m_poPlayer;
    std::unique_ptr<CQdPlayback> m_poPlayback;
    std::function<bool(const QUrl&)> m_fnOpenUrl;
    std::unique_ptr<CQdDragFiles> m_poDragFiles;
    CQdRecentFiles m_oRecentFiles;
    double m_dListShare;
    double m_dRollShare;
    bool m_bRollOpen = false;
    QSettings* m_pSettings = nullptr;
    std::vector<CQdTreeNode> m_aoTreeNodes;
    bool m_bUpdating = false;
    bool m_bFirstActivation = true;
    std::string m_strListedBank;

    QToolBar* m_pToolBar1 = nullptr;
    QToolButton* m_pOpenStyle = nullptr;
    QToolButton* m_pSaveStyle = nullptr;
    QToolButton* m_pImportAllSmf = nullptr;
    QToolButton* m_pImportSingleSmf = nullptr;
    QToolButton* m_pExportSingleSmf = nullptr;
    QToolButton* m_pDeleteCV = nullptr;
    QToolButton* m_pUndoStyle = nullptr;
    QToolButton* m_pPlayButton = nullptr;
    QToolButton* m_pButtonHelp = nullptr;
    QWidget* m_pClient = nullptr;
    QTreeWidget* m_pStyleList = nullptr;
    TQdElementTree* m_pStyleTree = nullptr;
    TQdSplitBar* m_pSplitBar = nullptr;
    TQdSplitBar* m_pRollBar = nullptr;
    TQdRollPane* m_pRollPane = nullptr;
    QLabel* m_pNoticeIcon = nullptr;
    QLabel* m_pInfoText = nullptr;
    QWidget* m_pHelpPanel = nullptr;
    QLabel* m_pStaticText1 = nullptr;
    QPlainTextEdit* m_pMemo1 = nullptr;
    QLabel* m_pGotoWeb = nullptr;
    QWidget* m_pMediaPanel = nullptr;
    QLabel* m_pImage2 = nullptr;
    QSpinBox* m_pTempoEdit = nullptr;
    QCheckBox* m_pLoopBox = nullptr;
    QLabel* m_pPositionLabel = nullptr;
    QTimer* m_pPositionTimer = nullptr;
    QMenu* m_pRecentMenu = nullptr;
    std::vector<QAction*> m_apActions;
    QLabel* m_pNoticeLabel = nullptr;
    TForm3* m_pSplash = nullptr;
};
