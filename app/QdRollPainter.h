// QdRollPainter.h -- a piano roll drawn with QPainter as its layout
// (BankDoc/QdRollLayout.h) places it: the window's twin of the SVG of
// `qdstyle roll`, with the same parts in the same order and colours, a note
// in the opaque colour that the SVG's opacity gives on white.
//
// Drawing is clipped to an area: only the parts that meet it are drawn, so
// that a frame of a zoomed roll costs what the frame shows, not the roll.
#pragma once

#include "BankDoc/QdRollLayout.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSize>

class QPainter;

inline QColor QdColour(const CQdRgb& rkoRgb) { return QColor(rkoRgb.m_byRed, rkoRgb.m_byGreen, rkoRgb.m_byBlue); }

// QdPaintRoll -- the parts of the roll that meet rkoArea (layout
// coordinates, as the painter's transformation maps them), the area's
// background first.
void QdPaintRoll(QPainter& roPainter, const CQdRollLayout& rkoLayout, const QRectF& rkoArea);

// QdPaintRollView -- what a view of rkoView pixels shows of the roll
// scrolled by rkoScroll (layout coordinates at the view's top left): the
// key column stays at the left and the ruler at the top while the notes
// scroll under them, so that names and measures are always in sight.
void QdPaintRollView(QPainter& roPainter, const CQdRollLayout& rkoLayout, const QSize& rkoView,
                     const QPointF& rkoScroll);
