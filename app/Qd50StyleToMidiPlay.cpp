// Qd50StyleToMidiPlay.cpp -- the main window's test playback: the media
// panel with its tempo, loop and position, the tracks' mute boxes while a
// chord variation plays, and the audio export. What plays, the mutes and
// the position are the playback object's (BankDoc/QdPlayback.h); the window
// shows them.
#include "Qd50StyleToMidiMain.h"

#include "QdElementTree.h"
#include "QdRollPane.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace
{
// How often the position and the roll's playhead move on while playing:
// 25 times a second, so the playhead glides (it repaints a thin strip).
constexpr int POSITION_INTERVAL_MS = 40;
const char* const MUTE_HINT = "Tick to mute this track while the chord variation plays.";
} // namespace

// TForm2::CreatePlayControls -- the media panel's loop box and position,
// in the free room of the designed panel: the position on the close mark's
// line, the loop box above the tempo.
void TForm2::CreatePlayControls()
{
    m_pPositionLabel = new QLabel("1:1", m_pMediaPanel);
    m_pPositionLabel->setObjectName("PositionLabel");
    m_pPositionLabel->setGeometry(8, 4, 120, 16);
    QFont oFont = m_pPositionLabel->font();
    oFont.setPixelSize(12);
    oFont.setBold(true);
    m_pPositionLabel->setFont(oFont);
    m_pPositionLabel->setToolTip("Position while playing: bar:beat");
    m_pLoopBox = new QCheckBox("Loop", m_pMediaPanel);
    m_pLoopBox->setObjectName("LoopBox");
    m_pLoopBox->setGeometry(8, 182, 153, 18);
    QFont oLoopFont = m_pLoopBox->font();
    oLoopFont.setPixelSize(11);
    m_pLoopBox->setFont(oLoopFont);
    m_pLoopBox->setChecked(true);
    m_pLoopBox->setToolTip("Repeat the pattern until stopped, as the keyboard does.");
    connect(m_pLoopBox, &QCheckBox::toggled, this, &TForm2::LoopClick);
    m_pPositionTimer = new QTimer(this);
    m_pPositionTimer->setInterval(POSITION_INTERVAL_MS);
    connect(m_pPositionTimer, &QTimer::timeout, this, &TForm2::ShowPosition);
}

void TForm2::SetMediaPlayer(std::unique_ptr<CQdMediaPlayer> poPlayer)
{
    if (m_poPlayback)
        StopPlayback();
    m_poPlayback.reset();
    m_poPlayer = std::move(poPlayer);
    m_poPlayback =
        std::make_unique<CQdPlayback>(*m_poDoc, m_oPrompt, *m_poPlayer, QDir::tempPath().toStdString());
    m_poPlayback->SetLoop(!m_pLoopBox || m_pLoopBox->isChecked());
}

void TForm2::StopPlayback()
{
    m_pMediaPanel->hide();
    if (m_pPositionTimer)
        m_pPositionTimer->stop();
    if (m_poPlayback)
        m_poPlayback->Stop();
    ShowMuteBoxes(false);
    if (m_pRollPane)
        m_pRollPane->SetPlayhead(false, 0);
}

void TForm2::PlayButtonClick()
{
    m_pHelpPanel->hide();
    m_pInfoText->hide();
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (!m_poDoc->GetEditIfc() || !pkoNode)
        return;
    const CQdTreeNode oNode = *pkoNode;
    m_pStyleTree->setFocus();
    m_pTempoEdit->interpretText();
    const int iTempo = m_pTempoEdit->value();
    StopPlayback();
    m_oPrompt.BeginWait();
    const bool bPlaying = m_poPlayback->PlayNode(oNode, iTempo);
    m_oPrompt.EndWait();
    if (bPlaying)
    {
        m_pMediaPanel->show();
        m_pMediaPanel->raise();
        m_pPositionLabel->setText("1:1");
        m_pPositionTimer->start();
        ShowMuteBoxes(oNode.m_byKind == CQdTreeNode::KIND_CHORD_VAR);
    }
}

void TForm2::PlayStopClick()
{
    if (m_poPlayback->IsPlaying())
    {
        StopPlayback();
        m_pStyleTree->setFocus();
    }
    else
        PlayButtonClick();
}

void TForm2::Image2Click()
{
    StopPlayback();
    m_pStyleTree->setFocus();
}

void TForm2::LoopClick(bool bLoop)
{
    if (m_pLoopBox->isChecked() != bLoop)
        m_pLoopBox->setChecked(bLoop);
    if (QAction* pAction = Action("ActionLoop"); pAction && pAction->isChecked() != bLoop)
        pAction->setChecked(bLoop);
    // A pattern playing now goes on as it was started; the next play loops or not.
    m_poPlayback->SetLoop(bLoop);
}

void TForm2::TempoClick()
{
    bool bOk = false;
    const int iTempo = QInputDialog::getInt(this, "Tempo", "Tempo for Player:", m_pTempoEdit->value(),
                                            CQdPlayback::MIN_TEMPO, CQdPlayback::MAX_TEMPO, 1, &bOk);
    if (bOk)
        m_pTempoEdit->setValue(iTempo);
}

bool TForm2::IsNodeOfPlayingChordVar(const CQdTreeNode& rkoNode) const
{
    BYTE bySe = 0;
    BYTE byCv = 0;
    return m_poPlayback && m_poPlayback->GetPlayingChordVar(bySe, byCv) &&
           (rkoNode.m_byKind == CQdTreeNode::KIND_CHORD_VAR || rkoNode.m_byKind == CQdTreeNode::KIND_TRACK) &&
           rkoNode.m_bySe == bySe && rkoNode.m_byCv == byCv;
}

// TForm2::ShowMuteBoxes -- the track nodes of the chord variation playing
// get a check box each (ticked: muted); they go when playback stops.
void TForm2::ShowMuteBoxes(bool bShow)
{
    const bool bWasUpdating = m_bUpdating;
    m_bUpdating = true;
    for (QTreeWidgetItemIterator it(m_pStyleTree); *it; ++it)
    {
        const CQdTreeNode* pkoNode = NodeOfItem(*it);
        if (!pkoNode || pkoNode->m_byKind != CQdTreeNode::KIND_TRACK)
            continue;
        if (bShow && IsNodeOfPlayingChordVar(*pkoNode))
        {
            (*it)->setFlags((*it)->flags() | Qt::ItemIsUserCheckable);
            (*it)->setCheckState(0, m_poPlayback->IsTrackMuted(pkoNode->m_byTrack) ? Qt::Checked : Qt::Unchecked);
            (*it)->setStatusTip(0, MUTE_HINT);
        }
        else if ((*it)->data(0, Qt::CheckStateRole).isValid())
        {
            (*it)->setData(0, Qt::CheckStateRole, QVariant());
            (*it)->setFlags((*it)->flags() & ~Qt::ItemIsUserCheckable);
        }
    }
    m_bUpdating = bWasUpdating;
}

void TForm2::StyleTreeItemChanged(QTreeWidgetItem* pItem)
{
    const CQdTreeNode* pkoNode = NodeOfItem(pItem);
    if (m_bUpdating || !pkoNode || pkoNode->m_byKind != CQdTreeNode::KIND_TRACK ||
        !pItem->data(0, Qt::CheckStateRole).isValid() || !IsNodeOfPlayingChordVar(*pkoNode))
        return;
    m_poPlayback->SetTrackMuted(pkoNode->m_byTrack, pItem->checkState(0) == Qt::Checked);
}

// TForm2::MuteClick -- the keyboard's way to a mute box: the selected track.
void TForm2::MuteClick()
{
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    QTreeWidgetItem* pItem = m_pStyleTree->currentItem();
    if (!pkoNode || !pItem || pkoNode->m_byKind != CQdTreeNode::KIND_TRACK || !IsNodeOfPlayingChordVar(*pkoNode))
        return;
    pItem->setCheckState(0, m_poPlayback->IsTrackMuted(pkoNode->m_byTrack) ? Qt::Unchecked : Qt::Checked);
}

void TForm2::ShowPosition()
{
    CQdPlayPosition oPosition;
    if (m_poPlayback->GetPosition(oPosition))
        m_pPositionLabel->setText(QString("%1:%2").arg(oPosition.m_iBar).arg(oPosition.m_iBeat));
    ShowPlayhead();
}

void TForm2::ExportAudioClick()
{
    BeginCommand();
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (!pkoNode)
        return;
    const CQdTreeNode oNode = *pkoNode;
    m_pTempoEdit->interpretText();
    m_poPlayback->ExportAudio(oNode, m_pTempoEdit->value());
    m_pStyleTree->setFocus();
}
