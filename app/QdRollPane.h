// QdRollPane.h -- the window's piano roll pane: the roll the document built
// for the selected node (CQdBankDoc::BuildNodeRoll), drawn by QdRollPainter
// as its layout places it, with zoom, scrolling, the playhead, a tool tip
// per note and a signal for a clicked note.
//
// Zoom stretches the time axis only: 1 fits the pattern into the pane's
// width (the layout's width is the view's), more makes it that many times
// wider (Ctrl+wheel, about the mouse; the layout's widest picture is the
// limit). Rows keep the layout's height, so names stay readable; the bands
// scroll up and down under the fixed ruler. What the view shows is drawn
// once into a picture of the view's size and drawn again only when the
// roll, zoom, size or scroll change: the playhead moving over it repaints
// two thin strips.
#pragma once

#include "BankDoc/QdRoll.h"
#include "BankDoc/QdRollLayout.h"

#include <QAbstractScrollArea>
#include <QPixmap>

#include <memory>

class TQdRollPane : public QAbstractScrollArea
{
    Q_OBJECT
public:
    static constexpr double MAX_ZOOM = 64.0;
    // A wheel notch or a Zoom In or Out command changes the zoom by this factor.
    static constexpr double ZOOM_STEP = 1.25;

    explicit TQdRollPane(QWidget* pParent);
    ~TQdRollPane() override;

    // SetRoll -- shows a copy of the roll with the zoom and the scroll as
    // they were; a highlighted track's band is scrolled into view.
    void SetRoll(const CQdRoll& rkoRoll);
    // ClearRoll -- shows nothing but the hint to select a chord variation.
    void ClearRoll();
    bool HasRoll() const { return m_bHasRoll; }
    const CQdRoll& Roll() const { return m_oRoll; }
    const CQdRollLayout& Layout() const { return *m_poLayout; }

    double Zoom() const { return m_dZoom; }
    // SetZoom -- the zoom held within 1 and MAX_ZOOM, the tick at iAnchor
    // (view x) kept where it is.
    void SetZoom(double dZoom, int iAnchor);
    void ZoomIn();
    void ZoomOut();
    void FitToWindow();

    // SetPlayhead -- the playhead at the tick of the roll (bShown false:
    // none); a playhead outside the view scrolls the view to it.
    void SetPlayhead(bool bShown, TTICK tTick);
    bool HasPlayhead() const { return m_bPlayhead; }
    // PlayheadX -- the playhead's x in layout coordinates.
    double PlayheadX() const;

    // ViewToLayout, LayoutToView -- between the view's pixels and the
    // layout's coordinates, where the notes scroll.
    QPointF ViewToLayout(const QPoint& rkoView) const;
    QPoint LayoutToView(const QPointF& rkoLayout) const;
    // NoteAt -- the index of the note under the view's point; -1 for none
    // (also under the fixed key column and ruler).
    int NoteAt(const QPoint& rkoView) const;
    // NoteTextAt -- the tool tip there: key, velocity, start and length
    // (QdRollNoteText); empty where there is no note.
    QString NoteTextAt(const QPoint& rkoView) const;

signals:
    // NoteClicked -- the note of that index of Roll() was clicked.
    void NoteClicked(int iNote);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void scrollContentsBy(int iDx, int iDy) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    bool viewportEvent(QEvent* pEvent) override;

private:
    // Relayout -- the layout at the zoom for the view's width, the scroll
    // bars' ranges for it, the picture to be drawn again.
    void Relayout();
    void RenderView();
    QPointF Scroll() const;
    QRect PlayheadStrip() const;

    CQdRoll m_oRoll;
    bool m_bHasRoll = false;
    std::unique_ptr<CQdRollLayout> m_poLayout;
    double m_dZoom = 1.0;
    QPixmap m_oView;
    bool m_bViewValid = false;
    bool m_bPlayhead = false;
    TTICK m_tPlayhead = 0;
};
