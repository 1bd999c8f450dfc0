// Qd50StyleToMidiMain.h -- the main window: shows the bank document's state
// (style list, element tree, info line, tool buttons) and starts its commands.
#pragma once

#include "BankDoc/QdBankDoc.h"
#include "QdQtPrompt.h"

#include <QMainWindow>

#include <memory>
#include <vector>

class QLabel;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TForm3;

class TForm2 : public QMainWindow
{
    Q_OBJECT
public:
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
    void StyleListChange(QTreeWidgetItem* pCurrent);
    void StyleListEdited(QTreeWidgetItem* pItem, int iColumn);
    void StyleTreeChange(QTreeWidgetItem* pCurrent);

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    bool event(QEvent* pEvent) override;

private:
    QToolButton* AddButton(int iImage, const QString& rkstrName, const QString& rkstrHint, bool bEnabled,
                           void (TForm2::*pfnClick)());
    void RebuildStyleList();
    void RefreshStyleNodes();
    void RebuildElementTree();
    void UpdateToolButtons();
    void ShowInfo(const std::string& rkstrText);
    const CQdTreeNode* SelectedTreeNode() const;
    // After every command: the list, the tree and the buttons show the document.
    void ShowDocument(bool bRebuildList);

    CQdQtPrompt m_oPrompt;
    std::unique_ptr<CQdBankDoc> m_poDoc;
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
    TForm3* m_pSplash = nullptr;
};
