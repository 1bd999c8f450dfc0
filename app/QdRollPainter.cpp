// QdRollPainter.cpp -- the roll drawn back to front, as QdRollSvg writes
// it: background, key rows and lane boxes, grid, names, lanes, notes,
// legend.
#include "QdRollPainter.h"

#include "BankDoc/QdBankDoc.h"

#include <QPainter>
#include <QPolygonF>

#include <vector>

namespace
{
// The SVG's sizes: 9-pixel text, baselines 11 below the top of their line,
// 4 between a name and what it names, 10-pixel legend swatches.
constexpr int FONT_PIXELS = 9;
constexpr double TEXT_BASELINE = 11;
constexpr double TEXT_GAP = 4;
constexpr double SWATCH = 10;
// A measure number may begin this far left of the area and still reach into it.
constexpr double NUMBER_REACH = 40;

bool MeetsY(const QRectF& rkoArea, double dTop, double dHeight)
{
    return dTop < rkoArea.bottom() && dTop + dHeight > rkoArea.top();
}

QString Text(const std::string& rkstrText) { return QString::fromStdString(rkstrText); }

// PaintBackdrop -- every other key row striped across key column and time
// axis, and the lane boxes.
void PaintBackdrop(QPainter& roPainter, const CQdRollLayout& rkoLayout, const QRectF& rkoArea)
{
    const CQdRollLayoutOptions& rkoOptions = rkoLayout.GetOptions();
    const double dLeft = rkoOptions.m_iMargin;
    const double dWidth = rkoLayout.GetTimeRight() - dLeft;
    const QColor oStripe = QdColour(QdRollColours::ROW_STRIPE);
    const QColor oLane = QdColour(QdRollColours::LANE_BACKGROUND);
    for (const CQdRollBand& rkoBand : rkoLayout.GetBands())
    {
        if (!MeetsY(rkoArea, rkoBand.m_dTop, rkoBand.m_dBottom - rkoBand.m_dTop))
            continue;
        for (std::size_t uRow = 1; uRow < rkoBand.m_aoRows.size(); uRow += 2)
            if (MeetsY(rkoArea, rkoBand.m_aoRows[uRow].m_dTop, rkoOptions.m_iRowHeight))
                roPainter.fillRect(QRectF(dLeft, rkoBand.m_aoRows[uRow].m_dTop, dWidth, rkoOptions.m_iRowHeight),
                                   oStripe);
        for (const CQdRollLaneBox& rkoBox : rkoBand.m_aoLanes)
            roPainter.fillRect(QRectF(dLeft, rkoBox.m_dTop + 1, dWidth, rkoOptions.m_iLaneHeight - 2), oLane);
    }
}

// PaintGrid -- the lines through the bands, the measure numbers above.
void PaintGrid(QPainter& roPainter, const CQdRollLayout& rkoLayout, const QRectF& rkoArea)
{
    const double dTop = rkoLayout.GetRulerTop();
    const double dBottom = rkoLayout.GetBandsBottom();
    roPainter.setPen(QdColour(QdRollColours::TEXT));
    for (const CQdRollGridLine& rkoLine : rkoLayout.GetGridLines())
    {
        if (rkoLine.m_dX < rkoArea.left() - NUMBER_REACH || rkoLine.m_dX > rkoArea.right() + 1)
            continue;
        const bool bBeat = rkoLine.m_eKind == QD_LINE_BEAT;
        roPainter.setPen(QdColour(bBeat ? QdRollColours::BEAT_LINE : QdRollColours::MEASURE_LINE));
        roPainter.drawLine(QPointF(rkoLine.m_dX, bBeat ? rkoLayout.GetBandsTop() : dTop), QPointF(rkoLine.m_dX, dBottom));
        if (rkoLine.m_eKind == QD_LINE_MEASURE)
        {
            roPainter.setPen(QdColour(QdRollColours::TEXT));
            roPainter.drawText(QPointF(rkoLine.m_dX + 2, dTop + TEXT_BASELINE), QString::number(rkoLine.m_dwMeasure));
        }
    }
}

// PaintBand -- a band's track name, key names and lanes; a faint track's
// name and lanes faint too.
void PaintBand(QPainter& roPainter, const CQdRollLayout& rkoLayout, const CQdRollBand& rkoBand, const QRectF& rkoArea,
               const QFont& rkoBold)
{
    const CQdRollLayoutOptions& rkoOptions = rkoLayout.GetOptions();
    const QColor oColour = QdColour(QdRollShade(rkoBand.m_byTrack, rkoLayout.IsFaint(rkoBand.m_byTrack)));
    const double dNameLeft = rkoOptions.m_iMargin;
    const double dNameWidth = rkoLayout.GetTimeLeft() - TEXT_GAP - dNameLeft;
    const bool bNames = rkoArea.left() < rkoLayout.GetTimeLeft();
    if (MeetsY(rkoArea, rkoBand.m_dTop, rkoOptions.m_iBandHeader))
    {
        const QFont oFont = roPainter.font();
        roPainter.setFont(rkoBold);
        roPainter.setPen(oColour);
        roPainter.drawText(QPointF(dNameLeft, rkoBand.m_dTop + TEXT_BASELINE),
                           QString::fromLatin1(CQdBankDoc::TrackName(rkoBand.m_byTrack)));
        roPainter.setFont(oFont);
    }
    roPainter.setPen(QdColour(QdRollColours::TEXT));
    if (bNames)
        for (const CQdRollRow& rkoRow : rkoBand.m_aoRows)
            if (MeetsY(rkoArea, rkoRow.m_dTop, rkoOptions.m_iRowHeight))
                roPainter.drawText(QRectF(dNameLeft, rkoRow.m_dTop, dNameWidth, rkoOptions.m_iRowHeight),
                                   Qt::AlignRight | Qt::AlignVCenter,
                                   Text(QdRollKeyName(rkoBand.m_byTrack, rkoRow.m_byKey)));
    const CQdRoll& rkoRoll = rkoLayout.GetRoll();
    for (const CQdRollLaneBox& rkoBox : rkoBand.m_aoLanes)
    {
        if (!MeetsY(rkoArea, rkoBox.m_dTop, rkoOptions.m_iLaneHeight))
            continue;
        if (bNames)
        {
            roPainter.setPen(QdColour(QdRollColours::TEXT));
            roPainter.drawText(QRectF(dNameLeft, rkoBox.m_dTop, dNameWidth, TEXT_BASELINE + 3),
                               Qt::AlignRight | Qt::AlignBottom, Text(QdRollLaneName(rkoRoll.m_aoLanes[rkoBox.m_uLane])));
        }
        QPolygonF oPath;
        for (const CQdRollXY& rkoPoint : rkoLayout.LanePath(rkoBox))
            oPath << QPointF(rkoPoint.m_dX, rkoPoint.m_dY);
        roPainter.setPen(oColour);
        roPainter.drawPolyline(oPath);
    }
}

// PaintNotes -- each note in its track's colour shaded by its velocity, in
// the roll's order (a later note over an earlier one, as in the SVG).
void PaintNotes(QPainter& roPainter, const CQdRollLayout& rkoLayout, const QRectF& rkoArea)
{
    for (const CQdRollNote& rkoNote : rkoLayout.GetRoll().m_aoNotes)
    {
        const CQdRollRect oRect = rkoLayout.NoteRect(rkoNote);
        if (oRect.m_dWidth <= 0 || oRect.m_dX >= rkoArea.right() || oRect.m_dX + oRect.m_dWidth <= rkoArea.left() ||
            !MeetsY(rkoArea, oRect.m_dY, oRect.m_dHeight))
            continue;
        roPainter.fillRect(QRectF(oRect.m_dX, oRect.m_dY, oRect.m_dWidth, oRect.m_dHeight),
                           QdColour(QdRollNoteColour(rkoNote.m_byTrack, rkoNote.m_byVelocity,
                                                     rkoLayout.IsFaint(rkoNote.m_byTrack))));
    }
}

void PaintLegend(QPainter& roPainter, const CQdRollLayout& rkoLayout, const QRectF& rkoArea)
{
    const double dLine = rkoLayout.GetOptions().m_iLegendLine;
    const double dLeft = rkoLayout.GetTimeLeft();
    double dTop = rkoLayout.GetLegendTop();
    roPainter.setPen(QdColour(QdRollColours::TEXT));
    for (const CQdRollBand& rkoBand : rkoLayout.GetBands())
    {
        if (MeetsY(rkoArea, dTop, dLine))
        {
            roPainter.fillRect(QRectF(dLeft, dTop + 2, SWATCH, SWATCH),
                               QdColour(QdRollShade(rkoBand.m_byTrack, rkoLayout.IsFaint(rkoBand.m_byTrack))));
            roPainter.drawText(QPointF(dLeft + SWATCH + TEXT_GAP, dTop + TEXT_BASELINE),
                               Text(QdRollLegendText(rkoLayout.GetRoll(), rkoBand.m_byTrack)));
        }
        dTop += dLine;
    }
}
} // namespace

void QdPaintRoll(QPainter& roPainter, const CQdRollLayout& rkoLayout, const QRectF& rkoArea)
{
    roPainter.save();
    roPainter.setRenderHint(QPainter::Antialiasing, false);
    roPainter.fillRect(rkoArea, QdColour(QdRollColours::BACKGROUND));
    QFont oFont = roPainter.font();
    oFont.setPixelSize(FONT_PIXELS);
    oFont.setBold(false);
    roPainter.setFont(oFont);
    QFont oBold = oFont;
    oBold.setBold(true);
    PaintBackdrop(roPainter, rkoLayout, rkoArea);
    PaintGrid(roPainter, rkoLayout, rkoArea);
    for (const CQdRollBand& rkoBand : rkoLayout.GetBands())
        if (MeetsY(rkoArea, rkoBand.m_dTop, rkoBand.m_dBottom - rkoBand.m_dTop))
            PaintBand(roPainter, rkoLayout, rkoBand, rkoArea, oBold);
    PaintNotes(roPainter, rkoLayout, rkoArea);
    PaintLegend(roPainter, rkoLayout, rkoArea);
    roPainter.restore();
}

// QdPaintRollView -- four parts of the view, each the roll seen through it
// with its own offset: the notes scrolled both ways, the key column only up
// and down, the ruler only sideways, the corner not at all.
void QdPaintRollView(QPainter& roPainter, const CQdRollLayout& rkoLayout, const QSize& rkoView,
                     const QPointF& rkoScroll)
{
    const double dKeys = rkoLayout.GetTimeLeft();
    const double dRuler = rkoLayout.GetBandsTop();
    const double dWidth = rkoView.width();
    const double dHeight = rkoView.height();
    const struct
    {
        QRectF m_oView;
        QPointF m_oOffset;
    } akoParts[] = {
        {QRectF(dKeys, dRuler, dWidth - dKeys, dHeight - dRuler), rkoScroll},
        {QRectF(0, dRuler, dKeys, dHeight - dRuler), QPointF(0, rkoScroll.y())},
        {QRectF(dKeys, 0, dWidth - dKeys, dRuler), QPointF(rkoScroll.x(), 0)},
        {QRectF(0, 0, dKeys, dRuler), QPointF(0, 0)},
    };
    for (const auto& rkoPart : akoParts)
    {
        if (rkoPart.m_oView.isEmpty())
            continue;
        roPainter.save();
        roPainter.setClipRect(rkoPart.m_oView);
        roPainter.translate(-rkoPart.m_oOffset);
        QdPaintRoll(roPainter, rkoLayout, rkoPart.m_oView.translated(rkoPart.m_oOffset));
        roPainter.restore();
    }
}
