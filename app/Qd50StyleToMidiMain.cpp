// Qd50StyleToMidiMain.cpp -- the main window.
#include "Qd50StyleToMidiMain.h"

#include "QdElementTree.h"
#include "QdImages.h"
#include "QdPlayer.h"
#include "QdRollPane.h"
#include "QdSplitBar.h"
#include "QdWindowLayout.h"
#include "Splashscreen.h"

#include "Base/QdVersion.h"
#include "NlzdStyle/NstEditIfc.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QCheckBox>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace
{

// The info colour of the panels and the info line.
QPalette InfoPalette(const QWidget* pkWidget)
{
    QPalette oPalette = pkWidget->palette();
    oPalette.setColor(QPalette::Window, oPalette.color(QPalette::ToolTipBase));
    oPalette.setColor(QPalette::WindowText, oPalette.color(QPalette::ToolTipText));
    return oPalette;
}

QLabel* MakeLabel(QWidget* pParent, const char* pszName, const QString& rkstrText, const QRect& rkoGeometry,
                  int iPixelSize, bool bBold = false)
{
    auto* pLabel = new QLabel(rkstrText, pParent);
    pLabel->setObjectName(pszName);
    pLabel->setGeometry(rkoGeometry);
    pLabel->setWordWrap(true);
    QFont oFont = pLabel->font();
    oFont.setPixelSize(iPixelSize);
    oFont.setBold(bBold);
    pLabel->setFont(oFont);
    return pLabel;
}

QWidget* MakePanel(QWidget* pParent, const char* pszName, const QRect& rkoGeometry)
{
    auto* pPanel = new QFrame(pParent);
    pPanel->setObjectName(pszName);
    pPanel->setGeometry(rkoGeometry);
    pPanel->setFrameShape(QFrame::Panel);
    pPanel->setFrameShadow(QFrame::Raised);
    pPanel->setAutoFillBackground(true);
    pPanel->setPalette(InfoPalette(pPanel));
    pPanel->hide();
    return pPanel;
}

const QString SECTION_RULE(39, QChar('_'));

// DamagedText -- why a style is damaged, as the list and the info line say it.
QString DamagedText(const std::string& rkstrWhy)
{
    return "Damaged: " + QString::fromStdString(rkstrWhy);
}

template <typename TTree>
TTree* MakeTree(QWidget* pParent, const char* pszName, int iLeft, const QString& rkstrHint)
{
    auto* pTree = new TTree(pParent);
    pTree->setObjectName(pszName);
    pTree->setGeometry(iLeft, 40, iLeft == 8 ? 137 : 161, 281);
    pTree->setHeaderHidden(true);
    pTree->setColumnCount(1);
    pTree->setToolTip(rkstrHint);
    // Deep nodes ("Chord Var 6" under an element under the style) must stay
    // readable in the narrow tree: a small indentation, and a long text
    // scrolls sideways instead of being cut to "...".
    pTree->setIndentation(12);
    pTree->setTextElideMode(Qt::ElideNone);
    pTree->header()->setStretchLastSection(false);
    pTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return pTree;
}
} // namespace

TForm2::TForm2(QWidget* pParent)
    : QMainWindow(pParent), m_oPrompt(this), m_dListShare(QD_DESIGNED_LIST_SHARE), m_dRollShare(QD_DESIGNED_ROLL_SHARE)
{
    m_poDoc = std::make_unique<CQdBankDoc>(m_oPrompt);
    m_poDragFiles = std::make_unique<CQdDragFiles>(*m_poDoc, QDir::tempPath().toStdString());
    m_oPrompt.SetStopPlayback([this] { StopPlayback(); });
    m_fnOpenUrl = [](const QUrl& rkoUrl) { return QDesktopServices::openUrl(rkoUrl); };
    SetMediaPlayer(std::make_unique<CQdPlayer>());
    setWindowTitle("Qd50 Style Tool - v" QD_VERSION);
    setWindowIcon(QdProgramIcon());
    auto* pClient = new QWidget(this);
    pClient->setObjectName("Client");
    pClient->setMinimumSize(QD_DESIGNED_WIDTH, QD_DESIGNED_HEIGHT);
    m_pClient = pClient;
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
    m_pPlayButton = AddButton(8, "PlayButton", "Test play using the Mediaplayer", true, &TForm2::PlayButtonClick);
    m_pToolBar1->addSeparator();
    m_pButtonHelp = AddButton(7, "ButtonHelp", "Help on this program", true, &TForm2::ButtonHelpClick);

    m_pStyleList = MakeTree<QTreeWidget>(pClient, "StyleList", 8,
                                         "Select a Style, you can edit also the Style Name here.");
    m_pStyleList->setRootIsDecorated(false);
    m_pStyleList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_pStyleTree = MakeTree<TQdElementTree>(
        pClient, "StyleTree", 152, "Select a Chord Variation to enable Import/Export of a single Chord Variation.");
    m_pStyleTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Chord variations and tracks leave the window as MIDI files; drops are
    // the window's (dropEvent), which knows the node under them.
    m_pStyleTree->setDragEnabled(true);
    m_pStyleTree->setDragDropMode(QAbstractItemView::DragOnly);
    m_pStyleTree->SetMimeMaker([this](QTreeWidgetItem* pItem) { return DragMimeData(pItem); });
    m_pSplitBar = new TQdSplitBar(pClient);
    m_pSplitBar->setGeometry(145, 40, 7, 281);
    connect(m_pSplitBar, &TQdSplitBar::Dragged, this, [this](int iLeft) {
        SetListShare(QdListShareAt(iLeft, QdLayoutClient(m_pClient->size(), m_dListShare, m_dRollShare, m_bRollOpen)));
    });
    CreateRollPane(pClient);

    CreateNotice(pClient);
    m_pInfoText = new QLabel(pClient);
    m_pInfoText->setObjectName("InfoText");
    m_pInfoText->setGeometry(48, 328, 265, 32);
    m_pInfoText->setAutoFillBackground(true);
    QPalette oPalette = InfoPalette(m_pInfoText);
    oPalette.setColor(QPalette::WindowText, QColor(85, 85, 85));
    m_pInfoText->setPalette(oPalette);
    m_pInfoText->hide();
    CreateHelpPanel(pClient);
    CreateMediaPanel(pClient);

    m_pStyleList->installEventFilter(this);
    m_pStyleTree->installEventFilter(this);
    pClient->installEventFilter(this);

    connect(m_pStyleList, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* pCurrent, QTreeWidgetItem*) { StyleListChange(pCurrent); });
    connect(m_pStyleList, &QTreeWidget::itemChanged, this, &TForm2::StyleListEdited);
    connect(m_pStyleTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* pCurrent, QTreeWidgetItem*) { StyleTreeChange(pCurrent); });
    connect(m_pStyleTree, &QTreeWidget::itemChanged, this, &TForm2::StyleTreeItemChanged);

    // Keyboard: list, tree, then the media panel's controls.
    setTabOrder(m_pStyleList, m_pStyleTree);
    setTabOrder(m_pStyleTree, m_pLoopBox);
    setTabOrder(m_pLoopBox, m_pTempoEdit);
    setAcceptDrops(true);
    CreateMenus();
    resize(DefaultSize());
    if (const QScreen* pScreen = QApplication::primaryScreen())
        move(pScreen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    m_pSplash = new TForm3(this);
}

TForm2::~TForm2()
{
    // The temporary play file goes before the player and the document do,
    // and the dragged files before the document.
    m_poPlayback.reset();
    m_poDragFiles.reset();
}

QTreeWidget* TForm2::StyleTree() const { return m_pStyleTree; }

QWidget* TForm2::SplitBar() const { return m_pSplitBar; }

QSize TForm2::DefaultSize() const
{
    return QSize(QD_DESIGNED_WIDTH, QD_DESIGNED_HEIGHT + menuBar()->sizeHint().height());
}

void TForm2::SetListShare(double dShare)
{
    m_dListShare = std::clamp(dShare, 0.0, 1.0);
    LayoutClient();
}

// TForm2::LayoutClient -- every control of the client where the layout puts
// it for the client's size; at the designed size that is the designed place.
void TForm2::LayoutClient()
{
    const CQdClientLayout oLayout = QdLayoutClient(m_pClient->size(), m_dListShare, m_dRollShare, m_bRollOpen);
    m_pToolBar1->setGeometry(oLayout.m_oToolBar);
    m_pStyleList->setGeometry(oLayout.m_oList);
    m_pSplitBar->setGeometry(oLayout.m_oSplitBar);
    m_pStyleTree->setGeometry(oLayout.m_oTree);
    m_pRollBar->setVisible(m_bRollOpen);
    m_pRollPane->setVisible(m_bRollOpen);
    if (m_bRollOpen)
    {
        m_pRollBar->setGeometry(oLayout.m_oRollBar);
        m_pRollPane->setGeometry(oLayout.m_oRoll);
    }
    m_pNoticeIcon->setGeometry(oLayout.m_oIcon);
    m_pNoticeLabel->setGeometry(oLayout.m_oNotice);
    m_pInfoText->setGeometry(oLayout.m_oInfo);
    m_pHelpPanel->setGeometry(oLayout.m_oHelpPanel);
    m_pStaticText1->setGeometry(QdHelpTitleRect(oLayout.m_oHelpPanel.size()));
    m_pMemo1->setGeometry(QdHelpTextRect(oLayout.m_oHelpPanel.size()));
    m_pGotoWeb->setGeometry(QdHelpLinkRect(oLayout.m_oHelpPanel.size()));
    m_pMediaPanel->setGeometry(oLayout.m_oMediaPanel);
}

void TForm2::CreateNotice(QWidget* pClient)
{
    auto* pIcon = new QLabel(pClient);
    m_pNoticeIcon = pIcon;
    pIcon->setObjectName("Image1");
    pIcon->setGeometry(8, 328, 32, 32);
    pIcon->setPixmap(QdProgramIcon().pixmap(32, 32));
    m_pNoticeLabel = MakeLabel(pClient, "NoticeLabel", "Freeware - use it at your own risk.", QRect(48, 336, 265, 17), 11);
    m_pNoticeLabel->setToolTip("Free Software. No Warranty of any kind, no support.");
    pIcon->setToolTip(m_pNoticeLabel->toolTip());
}

QString TForm2::HelpText()
{
    const QStringList astrSections = {
        "General:\n"
        "This utility imports and exports the tracks of chord variations as Standard MIDI Files (SMF). "
        "It loads and saves the style bank files of the Qd50 (on floppy disk). "
        "Style names may be modified in the style list (left) window.",

        "One Standard MIDI File (format 0) per chord variation, with the tracks on these channels:\n"
        "9 = Bass\n10 = Drum\n11 = Percussion\n12 = ACC. 1\n13 = ACC. 2\n14 = ACC. 3\n15 = ACC. 4\n"
        "16 = ACC. 5",

        "The file naming convention is:\n"
        "TnCVn\n"
        "T = Style element: V = Variation, I = Intro, F = Fill, E = Ending\n"
        "n = Element number: 1..4 for Variations, 1..2 for the others\n"
        "CV = Chord Variation\n"
        "n = Chord Variation number: 1..6 for Variations, 1..2 for the others\n"
        "Example: i1cv2 is Intro 1, Chord Variation 2.\n"
        "The name must appear in the file name at any position before the dot "
        "(ABCi1cv2.mid and i1cv2DE.mid are valid).\n"
        "The import of a whole style needs these names and uses the multiple selection of the open dialog; "
        "the import and export of a single chord variation accept any file name.",

        "Conversion conventions:\n"
        "Supported events (all others are ignored):\n"
        "- Time signature meta event (tick 0 only)\n"
        "- Notes\n"
        "- Pitch bend\n"
        "- Program change (tick 0 only)\n"
        "- Controllers 0/32 Bank select MSB/LSB (tick 0 only)\n"
        "- Controllers 1 Modulation, 2 Joystick Y, 10 Pan, 11 Expression, 12 and 13 Effect control 1 and 2, "
        "64 Damper, 71 Filter resonance, 74 Filter cutoff, 80, 81, 82\n"
        "Inserted at tick 0 on export and stripped on import (moved into the style element when it is new or "
        "empty): time signature, program change, bank select MSB/LSB, expression.",

        "The Mediaplayer should work on most computers, depending on the system configuration.",

        "No parameter editing is provided: use the style editing of the Qd50 itself (operating system 2.0 or "
        "later). Only existing styles in style bank files can be modified or overwritten; new styles are created "
        "on the Qd50, saved to floppy disk and then worked on with this program.",

        "This program is Freeware and is provided as is! \n"
        "No Warranty of any kind, no support is provided.",
    };
    return astrSections.join("\n" + SECTION_RULE + "\n");
}

void TForm2::CreateHelpPanel(QWidget* pClient)
{
    m_pHelpPanel = MakePanel(pClient, "HelpPanel", QRect(8, 40, 305, 321));
    m_pStaticText1 = MakeLabel(m_pHelpPanel, "StaticText1", "Qd50 Style to Midi / Midi to Style Conversion Tool",
                               QRect(8, 4, 289, 34), 13, true);
    m_pStaticText1->setAlignment(Qt::AlignCenter);
    m_pMemo1 = new QPlainTextEdit(HelpText(), m_pHelpPanel);
    m_pMemo1->setObjectName("Memo1");
    m_pMemo1->setGeometry(8, 40, 289, 250);
    m_pMemo1->setReadOnly(true);
    m_pMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont oFont = m_pMemo1->font();
    oFont.setPixelSize(11);
    m_pMemo1->setFont(oFont);
    m_pGotoWeb = MakeLabel(m_pHelpPanel, "GotoWeb", "Visit the Velmar Qd Website", QRect(8, 294, 289, 19), 12);
    m_pGotoWeb->setAlignment(Qt::AlignCenter);
    QFont oLinkFont = m_pGotoWeb->font();
    oLinkFont.setUnderline(true);
    m_pGotoWeb->setFont(oLinkFont);
    QPalette oLinkPalette = m_pGotoWeb->palette();
    oLinkPalette.setColor(QPalette::WindowText, oLinkPalette.color(QPalette::Link));
    m_pGotoWeb->setPalette(oLinkPalette);
    m_pGotoWeb->setCursor(Qt::PointingHandCursor);
    m_pHelpPanel->installEventFilter(this);
    m_pStaticText1->installEventFilter(this);
    m_pGotoWeb->installEventFilter(this);
}

void TForm2::CreateMediaPanel(QWidget* pClient)
{
    m_pMediaPanel = MakePanel(pClient, "MediaPanel", QRect(8, 32, 169, 241));
    MakeLabel(m_pMediaPanel, "Label1",
              "The Mediaplayer is using your sound card resources. Sound will not be the same as on the Qd50. "
              "Inaccurate reproduction may occur also on the Percussion track and on tracks with different "
              "settings on Key or Chord properties!",
              QRect(8, 24, 153, 160), 12);
    m_pImage2 = new QLabel(m_pMediaPanel);
    m_pImage2->setObjectName("Image2");
    m_pImage2->setGeometry(145, 4, 16, 16);
    m_pImage2->setPixmap(QdCloseImage().pixmap(16, 16));
    m_pImage2->setCursor(Qt::PointingHandCursor);
    m_pImage2->installEventFilter(this);
    QLabel* pTempoLabel = MakeLabel(m_pMediaPanel, "Label2", "Tempo for Player:", QRect(8, 204, 102, 21), 11);
    pTempoLabel->setWordWrap(false);
    m_pTempoEdit = new QSpinBox(m_pMediaPanel);
    m_pTempoEdit->setObjectName("TempoEdit");
    m_pTempoEdit->setGeometry(112, 202, 49, 25);
    m_pTempoEdit->setRange(CQdPlayback::MIN_TEMPO, CQdPlayback::MAX_TEMPO);
    m_pTempoEdit->setValue(NST_DEFAULT_TEMPO);
    m_pTempoEdit->setButtonSymbols(QAbstractSpinBox::NoButtons);
    m_pTempoEdit->setToolTip("Tempo in beats per minute (40 to 300); the next play and the audio export use it.");
    CreatePlayControls();
}

QToolButton* TForm2::AddButton(int iImage, const QString& rkstrName, const QString& rkstrHint, bool bEnabled,
                               void (TForm2::*pfnClick)())
{
    auto* pButton = new QToolButton(m_pToolBar1);
    pButton->setObjectName(rkstrName);
    pButton->setIcon(QdToolImage(iImage));
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

bool TForm2::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pClient && pEvent->type() == QEvent::Resize)
    {
        // Widened to where the roll fits beside the designed list and tree
        // the window opens the roll, narrowed below what it needs closes it
        // (QdWindowLayout.h).
        const auto* pkResize = static_cast<QResizeEvent*>(pEvent);
        const bool bOpen = QdRollOpenAfterResize(m_bRollOpen, pkResize->oldSize().width(), pkResize->size().width());
        if (bOpen != m_bRollOpen)
            SetRollOpen(bOpen);
        else
            LayoutClient();
    }
    else if (pWatched == m_pStyleTree && pEvent->type() == QEvent::KeyPress)
    {
        // Enter on a chord variation (or a track) plays it, as the play button does.
        const int iKey = static_cast<QKeyEvent*>(pEvent)->key();
        const CQdTreeNode* pkoNode = SelectedTreeNode();
        if ((iKey == Qt::Key_Return || iKey == Qt::Key_Enter) && pkoNode &&
            m_poDoc->GetToolState(pkoNode).m_bPlay)
        {
            PlayButtonClick();
            return true;
        }
    }
    else if (pEvent->type() == QEvent::FocusIn)
    {
        // Entering a tree from another control of this window; getting the
        // focus back with the window (another program was active, a message
        // was closed) is no entering and must not stop a playback.
        const Qt::FocusReason eReason = static_cast<QFocusEvent*>(pEvent)->reason();
        if (eReason != Qt::ActiveWindowFocusReason && eReason != Qt::PopupFocusReason)
        {
            if (pWatched == m_pStyleList)
                StyleListEnter();
            else if (pWatched == m_pStyleTree)
                StyleTreeEnter();
        }
    }
    else if (pEvent->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent*>(pEvent)->button() == Qt::LeftButton)
    {
        if (pWatched == m_pHelpPanel)
            HelpPanelClick();
        else if (pWatched == m_pStaticText1)
            StaticText1Click();
        else if (pWatched == m_pGotoWeb)
            GotoWebClick();
        else if (pWatched == m_pImage2)
            Image2Click();
    }
    return QMainWindow::eventFilter(pWatched, pEvent);
}

void TForm2::closeEvent(QCloseEvent* pEvent)
{
    if (m_poDoc->CanClose())
    {
        StopPlayback();
        if (m_pSettings)
            SaveSettings(*m_pSettings);
        m_poDragFiles->RemoveAll();
        pEvent->accept();
    }
    else
        pEvent->ignore();
}

void TForm2::ShowInfo(const std::string& rkstrText)
{
    m_pInfoText->setText(QString::fromStdString(rkstrText));
    m_pInfoText->setVisible(!rkstrText.empty());
}

// TForm2::ShowListInfo -- a style-list node's info line; for a damaged
// style a second line says why, cut to the line's width (the node's tool
// tip holds all of it).
void TForm2::ShowListInfo(const std::string& rkstrText)
{
    const int iStyle = m_poDoc->GetSelectedStyle();
    if (rkstrText.empty() || !m_poDoc->IsStyleDamaged(iStyle))
        return ShowInfo(rkstrText);
    const QString strWhy = m_pInfoText->fontMetrics().elidedText(
        " " + DamagedText(m_poDoc->GetStyleDamageText(iStyle)), Qt::ElideRight, m_pInfoText->width() - 4);
    m_pInfoText->setText(QString::fromStdString(rkstrText) + "\n" + strWhy);
    m_pInfoText->show();
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
        pRoot->setIcon(0, QdTreeImage(4));
        pRoot->setData(0, ROLE_IMAGE, 4);
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
        const bool bSelected = i == m_poDoc->GetSelectedStyle();
        const bool bDamaged = m_poDoc->IsStyleDamaged(i);
        int iImage = bSelected ? 5 : 0;
        if (m_poDoc->IsWrittenBack(i))
            iImage = 6;
        else if (bDamaged)
            iImage = bSelected ? 8 : 7;
        pItem->setIcon(0, QdTreeImage(iImage));
        pItem->setData(0, ROLE_IMAGE, iImage);
        // The whole of why, where the info line has room for its start only.
        pItem->setToolTip(0, bDamaged ? DamagedText(m_poDoc->GetStyleDamageText(i)) : QString());
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
        pItem->setIcon(0, QdTreeImage(rkoNode.m_iImage));
        pItem->setData(0, ROLE_IMAGE, rkoNode.m_iImage);
        pItem->setData(0, ROLE_NODE, int(i));
        // A track's voice: the tree is too narrow for a second column.
        if (rkoNode.m_byKind == CQdTreeNode::KIND_TRACK)
            pItem->setToolTip(0, QString::fromStdString(m_poDoc->GetTrackVoiceText(rkoNode)));
        apParents[size_t(iLevel)] = pItem;
    }
    m_pStyleTree->expandAll();
    m_bUpdating = false;
    ShowRoll();
}

const CQdTreeNode* TForm2::SelectedTreeNode() const { return NodeOfItem(m_pStyleTree->currentItem()); }

const CQdTreeNode* TForm2::NodeOfItem(const QTreeWidgetItem* pItem) const
{
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
    UpdateActions(oState);
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

void TForm2::BeginCommand()
{
    StopPlayback();
    m_pHelpPanel->hide();
    m_pInfoText->hide();
}

void TForm2::OpenStyleClick()
{
    BeginCommand();
    m_poDoc->OpenBank();
    ShowDocument(true);
    NoteOpenedBank();
    m_pStyleList->setFocus();
}

void TForm2::OpenBankPath(const QString& rkstrPath)
{
    BeginCommand();
    // As the Open command does: a bank refused as corrupt is offered to the rescue.
    if (!m_poDoc->OpenBankFile(rkstrPath.toStdString()))
        m_poDoc->OfferRescue();
    ShowDocument(true);
    NoteOpenedBank();
    m_pStyleList->setFocus();
}

void TForm2::SaveStyleClick()
{
    BeginCommand();
    const bool bSaved = m_poDoc->SaveBank();
    ShowDocument(bSaved);
    if (bSaved)
        NoteOpenedBank();
    m_pStyleList->setFocus();
}

void TForm2::ImportAllSmfClick()
{
    BeginCommand();
    m_poDoc->ImportAllSmf();
    ShowDocument(false);
    m_pStyleTree->setFocus();
}

void TForm2::ImportSingleSmfClick()
{
    BeginCommand();
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (!pkoNode)
        return;
    const CQdTreeNode oNode = *pkoNode;
    const int iRow = m_pStyleTree->currentItem()->data(0, ROLE_NODE).toInt();
    m_poDoc->ImportSingleSmf(oNode.m_bySe, oNode.m_byCv);
    ShowDocument(false);
    SelectTreeRow(iRow);
    m_pStyleTree->setFocus();
}

// TForm2::SelectTreeRow -- after a command that rebuilt the tree, the node at
// the same position as before.
void TForm2::SelectTreeRow(int iRow)
{
    for (QTreeWidgetItemIterator it(m_pStyleTree); *it; ++it)
        if ((*it)->data(0, ROLE_NODE).toInt() == iRow)
        {
            m_pStyleTree->setCurrentItem(*it);
            break;
        }
    UpdateToolButtons();
}

void TForm2::ExportSingleSmfClick()
{
    BeginCommand();
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (!pkoNode)
        return;
    m_poDoc->ExportSingleSmf(pkoNode->m_bySe, pkoNode->m_byCv);
    m_pStyleTree->setFocus();
}

void TForm2::DeleteCVClick()
{
    BeginCommand();
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
    BeginCommand();
    const bool bUndone = m_poDoc->UndoStyle();
    ShowDocument(false);
    if (bUndone)
        ShowListInfo(m_poDoc->GetListInfoText());
    m_pStyleList->setFocus();
}

// --- Help panel and web link --------------------------------------------------

void TForm2::ButtonHelpClick()
{
    StopPlayback();
    m_pHelpPanel->setVisible(m_pHelpPanel->isHidden());
    if (m_pHelpPanel->isVisible())
        m_pHelpPanel->raise();
}

void TForm2::HelpPanelClick() { m_pHelpPanel->hide(); }

void TForm2::StaticText1Click() { m_pHelpPanel->hide(); }

void TForm2::GotoWebClick()
{
    if (!m_fnOpenUrl || !m_fnOpenUrl(QUrl(QString::fromLatin1(WEB_ADDRESS))))
        m_oPrompt.Tell("Web Link", std::string("Cannot launch Web Browser! Visit: '") + WEB_ADDRESS + "'.");
}

// --- Selection in the trees -------------------------------------------------------

void TForm2::StyleListChange(QTreeWidgetItem* pCurrent)
{
    if (m_bUpdating || !pCurrent)
        return;
    StopPlayback();
    QTreeWidgetItem* pRoot = m_pStyleList->topLevelItem(0);
    const int iStyle = pCurrent == pRoot || !pRoot ? -1 : pRoot->indexOfChild(pCurrent);
    const std::string strInfo = m_poDoc->SelectStyle(iStyle);
    ShowDocument(false);
    ShowListInfo(m_poDoc->GetSelectedStyle() == iStyle ? strInfo : m_poDoc->GetListInfoText());
}

void TForm2::StyleListEnter()
{
    StopPlayback();
    m_pInfoText->hide();
    if (m_poDoc->IsBankOpen() && m_pStyleList->currentItem())
        ShowListInfo(m_poDoc->GetListInfoText());
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
    // Moving among the tracks of the chord variation that plays (to mute
    // them) keeps it playing; any other node stops it.
    const CQdTreeNode* pkoCurrent = pCurrent ? SelectedTreeNode() : nullptr;
    if (!pkoCurrent || !IsNodeOfPlayingChordVar(*pkoCurrent))
        StopPlayback();
    m_pInfoText->hide();
    if (const CQdTreeNode* pkoNode = pCurrent ? SelectedTreeNode() : nullptr)
    {
        const std::string strInfo = m_poDoc->GetTreeInfoText(*pkoNode);
        if (!strInfo.empty())
        {
            pCurrent->setData(0, ROLE_INFO, QString::fromStdString(strInfo));
            ShowInfo(strInfo);
        }
    }
    UpdateToolButtons();
    ShowRoll();
}

void TForm2::StyleTreeEnter()
{
    StopPlayback();
    m_pInfoText->hide();
    const QTreeWidgetItem* pkItem = m_pStyleTree->currentItem();
    if (m_poDoc->GetEditIfc() && pkItem)
        ShowInfo(pkItem->data(0, ROLE_INFO).toString().toStdString());
}
