// Qd50StyleToMidiRoll.cpp -- the main window's piano roll pane: opened and
// closed by View > Piano Roll and by the window's width (QdWindowLayout.h),
// the selected node's roll from the document (CQdBankDoc::BuildNodeRoll),
// the playhead where the player is and a clicked note played, both through
// the playback object (BankDoc/QdPlayback.h).
#include "Qd50StyleToMidiMain.h"

#include "QdRollPane.h"
#include "QdSplitBar.h"
#include "QdWindowLayout.h"

#include "BankDoc/QdRoll.h"

#include <QAction>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>

void TForm2::CreateRollPane(QWidget* pClient)
{
    m_pRollBar = new TQdSplitBar(pClient, "RollBar", "Drag to share the width between the element tree and the piano roll.");
    m_pRollBar->hide();
    connect(m_pRollBar, &TQdSplitBar::Dragged, this, [this](int iLeft) {
        SetRollShare(QdRollShareAt(iLeft, QdLayoutClient(m_pClient->size(), m_dListShare, m_dRollShare, m_bRollOpen)));
    });
    m_pRollPane = new TQdRollPane(pClient);
    // Tab keeps going from the list to the tree to the media panel, and the
    // tree keeps the focus when a note is clicked: the tree is where the
    // keyboard works, and leaving it and coming back would stop a playback.
    m_pRollPane->setFocusPolicy(Qt::NoFocus);
    m_pRollPane->hide();
    connect(m_pRollPane, &TQdRollPane::NoteClicked, this, &TForm2::RollNoteClick);
}

QWidget* TForm2::RollBar() const { return m_pRollBar; }

void TForm2::SetRollShare(double dShare)
{
    m_dRollShare = std::clamp(dShare, 0.0, 1.0);
    LayoutClient();
}

void TForm2::RollClick(bool bOpen)
{
    // Opened in a window too narrow for it, the window grows by the pane:
    // at the designed size list and tree stay where they are.
    if (bOpen && !m_bRollOpen && m_pClient->width() < QD_ROLL_OPEN_WIDTH)
        resize(width() + QD_ROLL_OPEN_WIDTH - m_pClient->width(), height());
    SetRollOpen(bOpen);
}

void TForm2::SetRollOpen(bool bOpen)
{
    m_bRollOpen = bOpen;
    if (QAction* pAction = Action("ActionRoll"))
    {
        const QSignalBlocker oBlock(pAction);
        pAction->setChecked(bOpen);
    }
    for (const char* pszName : {"ActionZoomIn", "ActionZoomOut", "ActionFitRoll"})
        if (QAction* pAction = Action(pszName))
            pAction->setEnabled(bOpen);
    LayoutClient();
    ShowRoll();
}

// TForm2::ShowRoll -- a closed pane builds nothing: the roll is made when
// it is seen.
void TForm2::ShowRoll()
{
    if (!m_pRollPane)
        return;
    CQdRoll oRoll;
    const CQdTreeNode* pkoNode = SelectedTreeNode();
    if (m_bRollOpen && pkoNode && m_poDoc->BuildNodeRoll(*pkoNode, oRoll))
        m_pRollPane->SetRoll(oRoll);
    else
        m_pRollPane->ClearRoll();
    ShowPlayhead();
}

void TForm2::ShowPlayhead()
{
    TTICK tTick = 0;
    const bool bShown = m_pRollPane->HasRoll() && m_poPlayback->GetPlayheadTick(m_pRollPane->Roll(), tTick);
    m_pRollPane->SetPlayhead(bShown, tTick);
}

void TForm2::RollNoteClick(int iNote)
{
    const CQdRoll& rkoRoll = m_pRollPane->Roll();
    if (iNote < 0 || std::size_t(iNote) >= rkoRoll.m_aoNotes.size())
        return;
    m_pTempoEdit->interpretText();
    m_poPlayback->PlayRollNote(rkoRoll, rkoRoll.m_aoNotes[std::size_t(iNote)], m_pTempoEdit->value());
}

void TForm2::ZoomInClick() { m_pRollPane->ZoomIn(); }

void TForm2::ZoomOutClick() { m_pRollPane->ZoomOut(); }

void TForm2::FitRollClick() { m_pRollPane->FitToWindow(); }
