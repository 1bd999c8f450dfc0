// Qd50StyleToMidiMain.cpp -- the main window.
#include "Qd50StyleToMidiMain.h"

#include "QdImages.h"
#include "Splashscreen.h"

#include <QApplication>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <QCloseEvent>
#include <QLayout>
#include <QLabel>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

namespace
{
constexpr int ROLE_NODE = Qt::UserRole;

QTreeWidget* MakeTree(QWidget* pParent, const char* pszName, int iLeft, const QString& rkstrHint)
{
    auto* pTree = new QTreeWidget(pParent);
    pTree->setObjectName(pszName);
    pTree->setGeometry(iLeft, 40, iLeft == 8 ? 137 : 161, 281);
    pTree->setHeaderHidden(true);
    pTree->setColumnCount(1);
    pTree->setToolTip(rkstrHint);
    return pTree;
}
} // namespace

TForm2::TForm2(QWidget* pParent) : QMainWindow(pParent), m_oPrompt(this)
{
    m_poDoc = std::make_unique<CQdBankDoc>(m_oPrompt);
    setWindowTitle("Qd50 Style Tool - v1.0.6");
    auto* pClient = new QWidget(this);
    pClient->setFixedSize(320, 366);
    setCentralWidget(pClient);

    m_pToolBar1 = new QToolBar(pClient);
    m_pToolBar1->setObjectName("ToolBar1");
    m_pToolBar1->setGeometry(0, 0, 320, 33);
    m_pToolBar1->setIconSize(QSize(16, 16));
    m_pOpenStyle = AddButton(0, "OpenStyle", "Open Style Bank", true, &TForm2::OpenStyleClick);
    m_pSaveStyle = AddButton(1, "SaveStyle", "Save Style Bank", false, &TForm2::SaveStyleClick);
    m_pToolBar1->addSeparator();
    m_pImportAllSmf = AddButton(2, "ImportAllSmf", "Import Style from SMFs with Standard Names", false,
                                &TForm2::ImportAllSmfClick);
    m_pImportSingleSmf =
        AddButton(3, "ImportSingleSmf", "Import Chord Variation from SMF", false, &TForm2::ImportSingleSmfClick);
    m_pExportSingleSmf =
        AddButton(5, "ExportSingleSmf", "Export Chord Variation to SMF", false, &TForm2::ExportSingleSmfClick);
    m_pToolBar1->addSeparator();
    m_pDeleteCV = AddButton(9, "DeleteCV", "Delete Chord Variation", false, &TForm2::DeleteCVClick);
    m_pToolBar1->addSeparator();
    m_pUndoStyle = AddButton(6, "UndoStyle", "Undo current Style Modifications", true, &TForm2::UndoStyleClick);
    m_pToolBar1->addSeparator();
    // Playback is not wired yet.
    m_pPlayButton = AddButton(8, "PlayButton", "Test play using the Mediaplayer", true, nullptr);
    m_pToolBar1->addSeparator();
    m_pButtonHelp = AddButton(7, "ButtonHelp", "Help on this program", true, &TForm2::ButtonHelpClick);

    m_pStyleList = MakeTree(pClient, "StyleList", 8, "Select a Style, you can edit also the Style Name here.");
    m_pStyleList->setRootIsDecorated(false);
    m_pStyleList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_pStyleTree = MakeTree(pClient, "StyleTree", 152,
                            "Select a Chord Variation to enable Import/Export of a single Chord Variation.");
    m_pStyleTree->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_pInfoText = new QLabel(pClient);
    m_pInfoText->setObjectName("InfoText");
    m_pInfoText->setGeometry(48, 328, 265, 32);
    m_pInfoText->setAutoFillBackground(true);
    QPalette oPalette = m_pInfoText->palette();
    oPalette.setColor(QPalette::Window, oPalette.color(QPalette::ToolTipBase));
    oPalette.setColor(QPalette::WindowText, Qt::gray);
    m_pInfoText->setPalette(oPalette);
    m_pInfoText->hide();

    connect(m_pStyleList, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* pCurrent, QTreeWidgetItem*) { StyleListChange(pCurrent); });
    connect(m_pStyleList, &QTreeWidget::itemChanged, this, &TForm2::StyleListEdited);
    connect(m_pStyleTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* pCurrent, QTreeWidgetItem*) { StyleTreeChange(pCurrent); });

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    if (const QScreen* pScreen = QApplication::primaryScreen())
        move(pScreen->availableGeometry().center() - QPoint(160, 183));
    m_pSplash = new TForm3(this);
}

TForm2::~TForm2() = default;

QToolButton* TForm2::AddButton(int iImage, const QString& rkstrName, const QString& rkstrHint, bool bEnabled,
                               void (TForm2::*pfnClick)())
{
    auto* pButton = new QToolButton(m_pToolBar1);
    pButton->setObjectName(rkstrName);
    pButton->setIcon(QdImage(iImage));
    pButton->setToolTip(rkstrHint);
    pButton->setAutoRaise(true);
    pButton->setFixedSize(28, 25);
    pButton->setEnabled(bEnabled);
    if (pfnClick)
        connect(pButton, &QToolButton::clicked, this, pfnClick);
    m_pToolBar1->addWidget(pButton);
    return pButton;
}

bool TForm2::event(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::WindowActivate && m_bFirstActivation)
    {
        m_bFirstActivation = false;
        m_pSplash->show();
    }
    return QMainWindow::event(pEvent);
}

void TForm2::closeEvent(QCloseEvent* pEvent)
{
    if (m_poDoc->CanClose())
        pEvent->accept();
    else
        pEvent->ignore();
}

void TForm2::ShowInfo(const std::string& rkstrText)
{
    m_pInfoText->setText(QString::fromStdString(rkstrText));
    m_pInfoText->setVisible(!rkstrText.empty());
}

// --- Showing the document ----------------------------------------------------

void TForm2::RebuildStyleList()
{
    m_bUpdating = true;
    m_pStyleList->clear();
    m_strListedBank = m_poDoc->GetBankFileName();
    if (m_poDoc->IsBankOpen() && !m_poDoc->GetStyleNames().empty())
    {
        auto* pRoot = new QTreeWidgetItem(m_pStyleList, {QString::fromStdString(m_poDoc->GetBankFileName())});
        pRoot->setIcon(0, QdImage(4));
        for (const std::string& rkstrName : m_poDoc->GetStyleNames())
        {
            auto* pItem = new QTreeWidgetItem(pRoot, {QString::fromStdString(rkstrName)});
            pItem->setFlags(pItem->flags() | Qt::ItemIsEditable);
        }
        m_pStyleList->expandAll();
    }
    m_bUpdating = false;
    RefreshStyleNodes();
}

void TForm2::RefreshStyleNodes()
{
    QTreeWidgetItem* pRoot = m_pStyleList->topLevelItem(0);
    if (!pRoot)
        return;
    m_bUpdating = true;
    const auto& rkastrNames = m_poDoc->GetStyleNames();
    for (int i = 0; i < pRoot->childCount() && i < int(rkastrNames.size()); ++i)
    {
        QTreeWidgetItem* pItem = pRoot->child(i);
        pItem->setText(0, QString::fromStdString(rkastrNames[size_t(i)]));
        pItem->setIcon(0, QdImage(m_poDoc->IsWrittenBack(i) ? 6 : (pItem->isSelected() ? 5 : 0)));
    }
    // The selection follows the document (a style that could not be left stays selected).
    const int iSelected = m_poDoc->GetSelectedStyle();
    QTreeWidgetItem* pWanted = iSelected >= 0 && iSelected < pRoot->childCount() ? pRoot->child(iSelected) : nullptr;
    if (pWanted && m_pStyleList->currentItem() != pWanted)
        m_pStyleList->setCurrentItem(pWanted);
    m_bUpdating = false;
}

void TForm2::RebuildElementTree()
{
    m_bUpdating = true;
    m_pStyleTree->clear();
    m_aoTreeNodes = m_poDoc->BuildElementTree();
    std::vector<QTreeWidgetItem*> apParents(4, nullptr);
    for (size_t i = 0; i < m_aoTreeNodes.size(); ++i)
    {
        const CQdTreeNode& rkoNode = m_aoTreeNodes[i];
        const int iLevel = std::clamp(rkoNode.m_iLevel, 0, 3);
        QTreeWidgetItem* pParent = iLevel > 0 ? apParents[size_t(iLevel - 1)] : nullptr;
        auto* pItem = pParent ? new QTreeWidgetItem(pParent) : new QTreeWidgetItem(m_pStyleTree);
        pItem->setText(0, QString::fromStdString(rkoNode.m_strText));
        pItem->setIcon(0, QdImage(rkoNode.m_iImage));
        pItem->setData(0, ROLE_NODE, int(i));
        apParents[size_t(iLevel)] = pItem;
    }
    m_pStyleTree->expandAll();
    m_bUpdating = false;
}

const CQdTreeNode* TForm2::SelectedTreeNode() const
{
    const QTreeWidgetItem* pItem = m_pStyleTree->currentItem();
    if (!pItem)
        return nullptr;
    const int iIndex = pItem->data(0, ROLE_NODE).toInt();
    return iIndex >= 0 && iIndex < int(m_aoTreeNodes.size()) ? &m_aoTreeNodes[size_t(iIndex)] : nullptr;
}

void TForm2::UpdateToolButtons()
{
    const CQdToolState oState = m_poDoc->GetToolState(SelectedTreeNode());
    m_pOpenStyle->setEnabled(oState.m_bOpen);
    m_pSaveStyle->setEnabled(oState.m_bSave);
    m_pImportAllSmf->setEnabled(oState.m_bImportAll);
    m_pImportSingleSmf->setEnabled(oState.m_bImportSingle);
    m_pExportSingleSmf->setEnabled(oState.m_bExportSingle);
    m_pDeleteCV->setEnabled(oState.m_bDeleteCV);
    m_pUndoStyle->setEnabled(oState.m_bUndo);
    m_pPlayButton->setEnabled(oState.m_bPlay);
}

void TForm2::ShowDocument(bool bRebuildList)
{
    if (bRebuildList)
        RebuildStyleList();
    else
        RefreshStyleNodes();
    RebuildElementTree();
    UpdateToolButtons();
}

// --- Commands ---------------------------------------------------------------

void TForm2::OpenStyleClick()
{
    m_pInfoText->hide();
    m_poDoc->OpenBank();
    ShowDocument(true);
    m_pStyleList->setFocus();
}

void TForm2::OpenBankPath(const QString& rkstrPath)
{
    m_pInfoText->hide();
    m_poDoc->OpenBankFile(rkstrPath.toStdString());
    ShowDocument(true);
}

void TForm2::SaveStyleClick()
{
    m_pInfoText->hide();
    const bool bSaved = m_poDoc->SaveBank();
    ShowDocument(bSaved);
}

void TForm2::ImportAllSmfClick()
{
    m_pInfoText->hide();
    m_poDoc->ImportAllSmf();
    ShowDocument(false);
    m_pStyleTree->setFocus();
}

void TForm2::ImportSingleSmfClick()
{
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (!pkoNode)
        return;
    const CQdTreeNode oNode = *pkoNode;
    const int iRow = m_pStyleTree->currentItem()->data(0, ROLE_NODE).toInt();
    m_pInfoText->hide();
    m_poDoc->ImportSingleSmf(oNode.m_bySe, oNode.m_byCv);
    ShowDocument(false);
    // The node at the same position as before.
    QTreeWidgetItemIterator it(m_pStyleTree);
    for (; *it; ++it)
        if ((*it)->data(0, ROLE_NODE).toInt() == iRow)
        {
            m_pStyleTree->setCurrentItem(*it);
            break;
        }
    UpdateToolButtons();
    m_pStyleTree->setFocus();
}

void TForm2::ExportSingleSmfClick()
{
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (!pkoNode)
        return;
    m_pInfoText->hide();
    m_poDoc->ExportSingleSmf(pkoNode->m_bySe, pkoNode->m_byCv);
    m_pStyleTree->setFocus();
}

void TForm2::DeleteCVClick()
{
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (!pkoNode)
        return;
    m_poDoc->DeleteCV(pkoNode->m_bySe, pkoNode->m_byCv);
    ShowDocument(false);
    if (QTreeWidgetItem* pRoot = m_pStyleTree->topLevelItem(0))
        m_pStyleTree->setCurrentItem(pRoot);
    UpdateToolButtons();
    m_pStyleTree->setFocus();
}

void TForm2::UndoStyleClick()
{
    m_pInfoText->hide();
    const bool bUndone = m_poDoc->UndoStyle();
    ShowDocument(false);
    if (bUndone)
        ShowInfo(m_poDoc->GetListInfoText());
    m_pStyleList->setFocus();
}

void TForm2::ButtonHelpClick()
{
    m_oPrompt.Tell("Qd50 Style Tool - v1.0.6",
                   "Open a style bank, select a style, then import or export chord variations as MIDI files.");
}

void TForm2::StyleListChange(QTreeWidgetItem* pCurrent)
{
    if (m_bUpdating || !pCurrent)
        return;
    QTreeWidgetItem* pRoot = m_pStyleList->topLevelItem(0);
    const int iStyle = pCurrent == pRoot || !pRoot ? -1 : pRoot->indexOfChild(pCurrent);
    const std::string strInfo = m_poDoc->SelectStyle(iStyle);
    ShowDocument(false);
    ShowInfo(m_poDoc->GetSelectedStyle() == iStyle ? strInfo : m_poDoc->GetListInfoText());
}

void TForm2::StyleListEdited(QTreeWidgetItem* pItem, int /*iColumn*/)
{
    if (m_bUpdating || !pItem || !pItem->parent())
        return;
    const int iStyle = pItem->parent()->indexOfChild(pItem);
    if (iStyle != m_poDoc->GetSelectedStyle())
    {
        RefreshStyleNodes();
        return;
    }
    const std::string strApplied = m_poDoc->RenameStyle(pItem->text(0).toStdString());
    m_bUpdating = true;
    if (!strApplied.empty())
        pItem->setText(0, QString::fromStdString(strApplied));
    m_bUpdating = false;
    RebuildElementTree();
    UpdateToolButtons();
    m_pStyleTree->setFocus();
}

void TForm2::StyleTreeChange(QTreeWidgetItem* pCurrent)
{
    if (m_bUpdating)
        return;
    m_pInfoText->hide();
    if (const CQdTreeNode* pkoNode = pCurrent ? SelectedTreeNode() : nullptr)
    {
        const std::string strInfo = m_poDoc->GetTreeInfoText(*pkoNode);
        if (!strInfo.empty())
            ShowInfo(strInfo);
    }
    UpdateToolButtons();
}
