// QdRollPane.cpp -- the piano roll pane: zoom, scroll, the playhead, the
// tool tips and clicks of notes.
#include "QdRollPane.h"

#include "QdRollPainter.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace
{
// The playhead is this wide; its strip repainted as it moves is wider by
// what rounding may add on either side.
constexpr double PLAYHEAD_WIDTH = 2.0;
constexpr int PLAYHEAD_STRIP = 6;
constexpr int SCROLL_STEP = 20;
const char* const HINT = "Select a chord variation or a track to see its notes.";

// PaneOptions -- the layout's sizes in the pane: no title line (the tree
// says what is selected), the width for the view at the zoom.
CQdRollLayoutOptions PaneOptions(int iView, double dZoom)
{
    CQdRollLayoutOptions oOptions;
    oOptions.m_iTitleHeight = 0;
    const int iFixed = 2 * oOptions.m_iMargin + oOptions.m_iKeyColumn;
    oOptions.m_iWidth = int(std::lround(iFixed + std::max(iView - iFixed, 1) * dZoom));
    return oOptions;
}
} // namespace

TQdRollPane::TQdRollPane(QWidget* pParent) : QAbstractScrollArea(pParent)
{
    setObjectName("RollPane");
    viewport()->setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(SCROLL_STEP);
    verticalScrollBar()->setSingleStep(SCROLL_STEP);
    m_poLayout = std::make_unique<CQdRollLayout>(m_oRoll, PaneOptions(viewport()->width(), m_dZoom));
}

TQdRollPane::~TQdRollPane() = default;

void TQdRollPane::SetRoll(const CQdRoll& rkoRoll)
{
    m_oRoll = rkoRoll;
    m_bHasRoll = true;
    Relayout();
    // A track picked out: its band in view, right under the ruler when it
    // was not.
    if (const CQdRollBand* pkoBand = m_poLayout->FindBand(m_oRoll.m_byHighlight))
    {
        const double dRuler = m_poLayout->GetBandsTop();
        const double dTop = pkoBand->m_dTop - dRuler;
        const double dShown = viewport()->height() - dRuler;
        const double dScroll = verticalScrollBar()->value();
        if (dTop < dScroll || pkoBand->m_dBottom - dRuler > dScroll + dShown)
            verticalScrollBar()->setValue(int(std::lround(dTop)));
    }
}

void TQdRollPane::ClearRoll()
{
    m_oRoll = CQdRoll();
    m_bHasRoll = false;
    m_bPlayhead = false;
    Relayout();
}

void TQdRollPane::SetZoom(double dZoom, int iAnchor)
{
    // The widest picture the layout makes is as far as zoom goes.
    const int iFixed = 2 * CQdRollLayoutOptions().m_iMargin + CQdRollLayoutOptions().m_iKeyColumn;
    const double dWidest = double(CQdRollLayoutOptions::MAX_WIDTH - iFixed) / std::max(viewport()->width() - iFixed, 1);
    const double dNew = std::clamp(dZoom, 1.0, std::max(1.0, std::min(MAX_ZOOM, dWidest)));
    const double dLeft = m_poLayout->GetTimeLeft();
    const double dSpan = std::max(m_poLayout->GetTimeRight() - dLeft, 1.0);
    const double dAt = (iAnchor + horizontalScrollBar()->value() - dLeft) / dSpan;
    m_dZoom = dNew;
    Relayout();
    const double dNewSpan = m_poLayout->GetTimeRight() - m_poLayout->GetTimeLeft();
    horizontalScrollBar()->setValue(int(std::lround(m_poLayout->GetTimeLeft() + dAt * dNewSpan - iAnchor)));
}

void TQdRollPane::ZoomIn() { SetZoom(m_dZoom * ZOOM_STEP, viewport()->width() / 2); }

void TQdRollPane::ZoomOut() { SetZoom(m_dZoom / ZOOM_STEP, viewport()->width() / 2); }

void TQdRollPane::FitToWindow()
{
    m_dZoom = 1.0;
    Relayout();
    horizontalScrollBar()->setValue(0);
}

void TQdRollPane::SetPlayhead(bool bShown, TTICK tTick)
{
    const QRect oBefore = PlayheadStrip();
    m_bPlayhead = bShown && m_bHasRoll;
    m_tPlayhead = tTick;
    if (m_bPlayhead)
    {
        // Followed page by page when zoomed: out of view, the view scrolls
        // to put it at the left of the notes.
        const double dX = PlayheadX();
        const double dLeft = horizontalScrollBar()->value() + m_poLayout->GetTimeLeft();
        if (dX < dLeft || dX >= horizontalScrollBar()->value() + viewport()->width())
            horizontalScrollBar()->setValue(int(std::lround(dX - m_poLayout->GetTimeLeft())));
    }
    viewport()->update(oBefore);
    viewport()->update(PlayheadStrip());
}

double TQdRollPane::PlayheadX() const { return m_poLayout->TickToX(m_tPlayhead); }

QPointF TQdRollPane::Scroll() const { return QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()); }

QPointF TQdRollPane::ViewToLayout(const QPoint& rkoView) const { return QPointF(rkoView) + Scroll(); }

QPoint TQdRollPane::LayoutToView(const QPointF& rkoLayout) const { return (rkoLayout - Scroll()).toPoint(); }

int TQdRollPane::NoteAt(const QPoint& rkoView) const
{
    if (!m_bHasRoll || rkoView.x() < m_poLayout->GetTimeLeft() || rkoView.y() < m_poLayout->GetBandsTop())
        return -1;
    const QPointF oAt = ViewToLayout(rkoView);
    return m_poLayout->NoteAt(oAt.x(), oAt.y());
}

QString TQdRollPane::NoteTextAt(const QPoint& rkoView) const
{
    const int iNote = NoteAt(rkoView);
    return iNote < 0 ? QString()
                     : QString::fromStdString(QdRollNoteText(m_oRoll.m_oGrid, m_oRoll.m_aoNotes[std::size_t(iNote)]));
}

QRect TQdRollPane::PlayheadStrip() const
{
    if (!m_bPlayhead)
        return QRect();
    const int iX = int(std::lround(PlayheadX() - horizontalScrollBar()->value()));
    return QRect(iX - PLAYHEAD_STRIP / 2, 0, PLAYHEAD_STRIP, viewport()->height());
}

void TQdRollPane::Relayout()
{
    m_poLayout = std::make_unique<CQdRollLayout>(m_oRoll, PaneOptions(viewport()->width(), m_dZoom));
    const QSize oView = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(m_poLayout->GetWidth())) - oView.width()));
    horizontalScrollBar()->setPageStep(oView.width());
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(m_poLayout->GetHeight())) - oView.height()));
    verticalScrollBar()->setPageStep(oView.height());
    m_bViewValid = false;
    viewport()->update();
}

// TQdRollPane::RenderView -- the view's picture at the screen's pixel ratio.
void TQdRollPane::RenderView()
{
    const qreal dRatio = viewport()->devicePixelRatioF();
    m_oView = QPixmap(viewport()->size() * dRatio);
    m_oView.setDevicePixelRatio(dRatio);
    QPainter oPainter(&m_oView);
    if (m_bHasRoll)
        QdPaintRollView(oPainter, *m_poLayout, viewport()->size(), Scroll());
    else
    {
        oPainter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
        oPainter.setPen(palette().color(QPalette::PlaceholderText));
        oPainter.drawText(viewport()->rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, HINT);
    }
    m_bViewValid = true;
}

void TQdRollPane::paintEvent(QPaintEvent* /*pEvent*/)
{
    if (!m_bViewValid || m_oView.size() != viewport()->size() * viewport()->devicePixelRatioF())
        RenderView();
    QPainter oPainter(viewport());
    oPainter.drawPixmap(0, 0, m_oView);
    if (!m_bPlayhead)
        return;
    const double dX = PlayheadX() - horizontalScrollBar()->value();
    if (dX < m_poLayout->GetTimeLeft() - 1)
        return; // scrolled under the key column
    const double dBottom = std::min<double>(viewport()->height(), m_poLayout->GetBandsBottom() - verticalScrollBar()->value());
    oPainter.fillRect(QRectF(dX - PLAYHEAD_WIDTH / 2, m_poLayout->GetRulerTop(), PLAYHEAD_WIDTH,
                             std::max(dBottom, m_poLayout->GetBandsTop()) - m_poLayout->GetRulerTop()),
                      QdColour(QdRollColours::PLAYHEAD));
}

void TQdRollPane::resizeEvent(QResizeEvent* /*pEvent*/) { Relayout(); }

void TQdRollPane::scrollContentsBy(int /*iDx*/, int /*iDy*/)
{
    m_bViewValid = false;
    viewport()->update();
}

void TQdRollPane::wheelEvent(QWheelEvent* pEvent)
{
    if (!(pEvent->modifiers() & Qt::ControlModifier))
        return QAbstractScrollArea::wheelEvent(pEvent);
    const double dNotches = pEvent->angleDelta().y() / 120.0;
    SetZoom(m_dZoom * std::pow(ZOOM_STEP, dNotches), int(pEvent->position().x()));
    pEvent->accept();
}

void TQdRollPane::mousePressEvent(QMouseEvent* pEvent)
{
    const int iNote = pEvent->button() == Qt::LeftButton ? NoteAt(pEvent->position().toPoint()) : -1;
    if (iNote >= 0)
        emit NoteClicked(iNote);
    pEvent->accept();
}

bool TQdRollPane::viewportEvent(QEvent* pEvent)
{
    if (pEvent->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(pEvent);
    const auto* pkHelp = static_cast<QHelpEvent*>(pEvent);
    const QString strText = NoteTextAt(pkHelp->pos());
    if (strText.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(pkHelp->globalPos(), strText, viewport());
    return true;
}
