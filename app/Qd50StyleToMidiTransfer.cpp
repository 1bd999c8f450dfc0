// Qd50StyleToMidiTransfer.cpp -- what comes into and leaves the main window
// other than through its file dialogs: files dropped on it, nodes dragged
// out of the element tree as MIDI files, copy and paste through the
// clipboard, and the track parameters' dialog. The document does the work
// (opening, importing, the drag files, the clipboard's payload, the
// parameters); the window finds the node under a drop and moves the data.
#include "Qd50StyleToMidiMain.h"

#include "QdElementTree.h"

#include "BankDoc/QdClipPart.h"
#include "BankDoc/QdTrackParams.h"
#include "NlzdStyle/NstEditIfc.h"
#include "QdTrackParamsDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

namespace
{
// The MIME type under which other programs find the copied chord variation.
const char* const MIDI_MIME_TYPE = "audio/midi";

enum EFileKind
{
    FILE_OTHER,
    FILE_BANK,
    FILE_MIDI,
};

EFileKind KindOf(const QString& rkstrPath)
{
    const QString strSuffix = QFileInfo(rkstrPath).suffix().toLower();
    if (strSuffix == "sty")
        return FILE_BANK;
    if (strSuffix == "mid" || strSuffix == "midi" || strSuffix == "smf")
        return FILE_MIDI;
    return FILE_OTHER;
}

// LocalFiles -- the local files a drag carries.
QStringList LocalFiles(const QMimeData* pkData)
{
    QStringList astrPaths;
    if (pkData && pkData->hasUrls())
        for (const QUrl& rkoUrl : pkData->urls())
            if (rkoUrl.isLocalFile())
                astrPaths << rkoUrl.toLocalFile();
    return astrPaths;
}

// What a drop of files does where it lands.
enum EDrop
{
    DROP_NONE,
    DROP_OPEN_BANK,
    DROP_IMPORT_CHORD_VAR,
    DROP_IMPORT_TRACK,      // one file on a track node: that track only
    DROP_IMPORT_STYLE_TREE, // on the element tree's style node
    DROP_IMPORT_STYLE_LIST, // on a style of the list
};
} // namespace

// TForm2::ItemAt -- the item of the style list or the element tree under a
// point of the window, with its tree; nullptr where there is none (a panel
// in front of them takes no drop).
QTreeWidgetItem* TForm2::ItemAt(const QPoint& rkoPos, const QTreeWidget*& rpkTree) const
{
    rpkTree = nullptr;
    if (m_pHelpPanel->isVisible() || (m_pMediaPanel->isVisible() &&
                                      m_pMediaPanel->rect().contains(m_pMediaPanel->mapFrom(this, rkoPos))))
        return nullptr;
    for (const QTreeWidget* pkTree : {static_cast<const QTreeWidget*>(m_pStyleList), static_cast<const QTreeWidget*>(StyleTree())})
    {
        const QPoint oAt = pkTree->viewport()->mapFrom(this, rkoPos);
        if (pkTree->viewport()->rect().contains(oAt))
        {
            rpkTree = pkTree;
            return pkTree->itemAt(oAt);
        }
    }
    return nullptr;
}

namespace
{
EDrop DropOf(const QStringList& rkastrPaths, const QTreeWidget* pkTree, const QTreeWidgetItem* pkItem,
             const CQdTreeNode* pkoNode, const QTreeWidget* pkStyleList)
{
    int iBanks = 0;
    int iMidis = 0;
    for (const QString& rkstrPath : rkastrPaths)
    {
        const EFileKind eKind = KindOf(rkstrPath);
        iBanks += eKind == FILE_BANK;
        iMidis += eKind == FILE_MIDI;
    }
    if (iBanks + iMidis != rkastrPaths.size() || rkastrPaths.isEmpty())
        return DROP_NONE;
    if (iBanks == 1 && iMidis == 0)
        return DROP_OPEN_BANK;
    if (iBanks != 0 || !pkItem)
        return DROP_NONE;
    if (pkTree == pkStyleList)
        return pkItem->parent() ? DROP_IMPORT_STYLE_LIST : DROP_NONE;
    if (pkoNode && pkoNode->m_byKind == CQdTreeNode::KIND_CHORD_VAR && iMidis == 1)
        return DROP_IMPORT_CHORD_VAR;
    if (pkoNode && pkoNode->m_byKind == CQdTreeNode::KIND_TRACK && iMidis == 1)
        return DROP_IMPORT_TRACK;
    if (pkoNode && pkoNode->m_byKind == CQdTreeNode::KIND_STYLE)
        return DROP_IMPORT_STYLE_TREE;
    return DROP_NONE;
}
} // namespace

bool TForm2::CanDropFiles(const QStringList& rkastrPaths, const QPoint& rkoPos) const
{
    const QTreeWidget* pkTree = nullptr;
    const QTreeWidgetItem* pkItem = ItemAt(rkoPos, pkTree);
    const CQdTreeNode* pkoNode = pkTree == StyleTree() ? NodeOfItem(pkItem) : nullptr;
    return DropOf(rkastrPaths, pkTree, pkItem, pkoNode, m_pStyleList) != DROP_NONE;
}

bool TForm2::DropFiles(const QStringList& rkastrPaths, const QPoint& rkoPos)
{
    const QTreeWidget* pkTree = nullptr;
    QTreeWidgetItem* pItem = ItemAt(rkoPos, pkTree);
    const CQdTreeNode* pkoNode = pkTree == StyleTree() ? NodeOfItem(pItem) : nullptr;
    const EDrop eDrop = DropOf(rkastrPaths, pkTree, pItem, pkoNode, m_pStyleList);
    std::vector<std::string> astrPaths;
    for (const QString& rkstrPath : rkastrPaths)
        astrPaths.push_back(rkstrPath.toStdString());
    switch (eDrop)
    {
    case DROP_NONE:
        return false;
    case DROP_OPEN_BANK:
        OpenRecentFile(rkastrPaths.front());
        return true;
    case DROP_IMPORT_STYLE_LIST:
        // The style first, as a click on it selects it (asking about the
        // style open before); the import when it is open.
        m_pStyleList->setCurrentItem(pItem);
        if (m_poDoc->GetSelectedStyle() != pItem->parent()->indexOfChild(pItem))
            return true;
        [[fallthrough]];
    case DROP_IMPORT_STYLE_TREE:
        BeginCommand();
        m_poDoc->ImportAllSmfFiles(astrPaths);
        ShowDocument(false);
        m_pStyleTree->setFocus();
        return true;
    case DROP_IMPORT_CHORD_VAR:
    case DROP_IMPORT_TRACK:
    {
        const CQdTreeNode oNode = *pkoNode;
        const int iRow = pItem->data(0, ROLE_NODE).toInt();
        m_pStyleTree->setCurrentItem(pItem);
        BeginCommand();
        m_poDoc->ImportSingleSmfFile(oNode.m_bySe, oNode.m_byCv, astrPaths.front(),
                                     eDrop == DROP_IMPORT_TRACK ? oNode.m_byTrack : NST_ALL_TRACKS);
        ShowDocument(false);
        SelectTreeRow(iRow);
        m_pStyleTree->setFocus();
        return true;
    }
    }
    return false;
}

void TForm2::dragEnterEvent(QDragEnterEvent* pEvent)
{
    // A node dragged out of this window's own tree is no drop on it.
    if (pEvent->source() == nullptr && !LocalFiles(pEvent->mimeData()).isEmpty())
        pEvent->acceptProposedAction();
}

void TForm2::dragMoveEvent(QDragMoveEvent* pEvent)
{
    if (pEvent->source() == nullptr &&
        CanDropFiles(LocalFiles(pEvent->mimeData()), pEvent->position().toPoint()))
        pEvent->acceptProposedAction();
    else
        pEvent->ignore();
}

void TForm2::dropEvent(QDropEvent* pEvent)
{
    if (pEvent->source() == nullptr && DropFiles(LocalFiles(pEvent->mimeData()), pEvent->position().toPoint()))
        pEvent->acceptProposedAction();
    else
        pEvent->ignore();
}

QMimeData* TForm2::DragMimeData(QTreeWidgetItem* pItem)
{
    const CQdTreeNode* pkoNode = NodeOfItem(pItem);
    std::string strPath;
    if (!pkoNode || !m_poDragFiles->WriteNode(*pkoNode, strPath))
        return nullptr;
    auto* pData = new QMimeData;
    pData->setUrls({QUrl::fromLocalFile(QString::fromStdString(strPath))});
    return pData;
}

// --- Clipboard ---------------------------------------------------------------

bool TForm2::ClipboardFits(const CQdTreeNode* pkoNode) const
{
    const QMimeData* pkData = QApplication::clipboard()->mimeData();
    if (!pkoNode || !pkData || !pkData->hasFormat(QD_CLIP_MIME_TYPE))
        return false;
    const QByteArray abyPayload = pkData->data(QD_CLIP_MIME_TYPE);
    CQdClipPart oPart;
    return QdReadClipPart(reinterpret_cast<const BYTE*>(abyPayload.constData()), std::size_t(abyPayload.size()),
                          oPart) &&
           CQdBankDoc::CanPasteOn(*pkoNode, oPart);
}

void TForm2::CopyClick()
{
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    std::vector<BYTE> abyPayload;
    std::vector<BYTE> abyMidi;
    if (!pkoNode || !m_poDoc->CopyToClip(*pkoNode, abyPayload, abyMidi))
        return;
    auto* pData = new QMimeData;
    pData->setData(QD_CLIP_MIME_TYPE,
                   QByteArray(reinterpret_cast<const char*>(abyPayload.data()), qsizetype(abyPayload.size())));
    if (!abyMidi.empty())
        pData->setData(MIDI_MIME_TYPE,
                       QByteArray(reinterpret_cast<const char*>(abyMidi.data()), qsizetype(abyMidi.size())));
    QApplication::clipboard()->setMimeData(pData);
    UpdateToolButtons();
}

void TForm2::PasteClick()
{
    BeginCommand();
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (!pkoNode)
        return;
    const CQdTreeNode oNode = *pkoNode;
    const int iRow = m_pStyleTree->currentItem()->data(0, ROLE_NODE).toInt();
    const QMimeData* pkData = QApplication::clipboard()->mimeData();
    const QByteArray abyPayload = pkData ? pkData->data(QD_CLIP_MIME_TYPE) : QByteArray();
    m_poDoc->PasteFromClip(oNode, reinterpret_cast<const BYTE*>(abyPayload.constData()),
                           std::size_t(abyPayload.size()));
    ShowDocument(false);
    SelectTreeRow(iRow);
    m_pStyleTree->setFocus();
}

// --- Track parameters ------------------------------------------------------------

void TForm2::TrackParamsClick()
{
    BeginCommand();
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (!pkoNode || !m_poDoc->GetToolState(pkoNode).m_bTrackParams)
        return;
    const CQdTreeNode oNode = *pkoNode;
    const int iRow = m_pStyleTree->currentItem()->data(0, ROLE_NODE).toInt();
    std::array<CNstTrackParam, NST_NR_TRK> aoBefore{};
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
        m_poDoc->GetTrackParams(oNode.m_bySe, byTrack, aoBefore[byTrack]);
    TQdTrackParamsDlg oDlg(this, QString::fromLatin1(CQdBankDoc::ElementName(oNode.m_bySe)), aoBefore,
                           oNode.m_byKind == CQdTreeNode::KIND_TRACK ? oNode.m_byTrack : 0);
    if (m_oPrompt.ExecDialog(oDlg) != QDialog::Accepted)
        return;
    for (BYTE byTrack = 0; byTrack < NST_NR_TRK; ++byTrack)
    {
        const CQdTrackParamChange oChange = CQdTrackParamChange::Between(aoBefore[byTrack], oDlg.Params()[byTrack]);
        if (!oChange.IsEmpty())
            m_poDoc->SetTrackParams(oNode.m_bySe, byTrack, oChange);
    }
    ShowDocument(false);
    SelectTreeRow(iRow);
    m_pStyleTree->setFocus();
}
