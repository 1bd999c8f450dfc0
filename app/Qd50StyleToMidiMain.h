// Qd50StyleToMidiMain.h -- the main window: shows the bank document's state
// (style list, element tree, info line, tool buttons) and starts its commands.
#pragma once

#include "BankDoc/QdBankDoc.h"
#include "BankDoc/QdPlayback.h"
#include "QdQtPrompt.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TForm3;

class TForm2 : public QMainWindow
{
    Q_OBJECT
public:
    // The maker's web site, opened by the help panel's link.
    static constexpr const char* WEB_ADDRESS = "https://www.velmar.com/qd50";
    // Item data of both trees: the image index the node shows (an int), and
    // for the element tree the info text last shown for the node.
    static constexpr int ROLE_IMAGE = Qt::UserRole + 1;
    static constexpr int ROLE_INFO = Qt::UserRole + 2;

    explicit TForm2(QWidget* pParent = nullptr);
    ~TForm2() override;

    CQdBankDoc& Doc() { return *m_poDoc; }
    CQdQtPrompt& Prompt() { return m_oPrompt; }
    QTreeWidget* StyleList() const { return m_pStyleList; }
    QTreeWidget* StyleTree() const { return m_pStyleTree; }
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
    QLineEdit* TempoEdit() const { return m_pTempoEdit; }
    QLabel* NoticeLabel() const { return m_pNoticeLabel; }
    CQdPlayback& Playback() { return *m_poPlayback; }

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
    // StopPlayback -- hides the media panel and stops a test playback
    // (deleting its temporary file); every command starts with it.
    void StopPlayback();

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    bool event(QEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

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
    // After every command: the list, the tree and the buttons show the document.
    void ShowDocument(bool bRebuildList);
    // Start of every command: no playback, no help panel, no info line.
    void BeginCommand();
    void CreateHelpPanel(QWidget* pClient);
    void CreateMediaPanel(QWidget* pClient);
    void CreateNotice(QWidget* pClient);

    CQdQtPrompt m_oPrompt;
    std::unique_ptr<CQdBankDoc> m_poDoc;
    std::unique_ptr<CQdMediaPlayer> m_poPlayer;
    std::unique_ptr<CQdPlayback> m_poPlayback;
    std::function<bool(const QUrl&)> m_fnOpenUrl;
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
    QTreeWidget* m_pStyleList = nullptr;
    QTreeWidget* m_pStyleTree = nullptr;
    QLabel* m_pInfoText = nullptr;
    QWidget* m_pHelpPanel = nullptr;
    QLabel* m_pStaticText1 = nullptr;
    QPlainTextEdit* m_pMemo1 = nullptr;
    QLabel* m_pGotoWeb = nullptr;
    QWidget* m_pMediaPanel = nullptr;
    QLabel* m_pImage2 = nullptr;
    QLineEdit* m_pTempoEdit = nullptr;
    QLabel* m_pNoticeLabel = nullptr;
    TForm3* m_pSplash = nullptr;
};
