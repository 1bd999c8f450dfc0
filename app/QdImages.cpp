// QdImages.cpp -- the program's pictures. Each is painted on a 16-unit grid
// and rendered at 16, 32 and 48 pixels, so Qt picks a sharp one at any
// device pixel ratio.
#include "QdImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace
{
using FnPaint = std::function<void(QPainter&)>;

QIcon MakeIcon(const FnPaint& rkfnPaint, int iGrid = 16)
{
    QIcon oIcon;
    for (const int iSize : {iGrid, iGrid * 2, iGrid * 3})
    {
        QPixmap oPixmap(iSize, iSize);
        oPixmap.fill(Qt::transparent);
        QPainter oPainter(&oPixmap);
        oPainter.setRenderHint(QPainter::Antialiasing);
        oPainter.scale(double(iSize) / 16.0, double(iSize) / 16.0);
        rkfnPaint(oPainter);
        oPainter.end();
        oIcon.addPixmap(oPixmap);
    }
    return oIcon;
}

QPen Outline(const QColor& rkoColour, double dWidth = 1.0)
{
    return QPen(rkoColour, dWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet of paper with a folded corner, the base of the file pictures.
void PaintSheet(QPainter& roPainter, double dLeft)
{
    QPainterPath oSheet;
    oSheet.moveTo(dLeft, 1.5);
    oSheet.lineTo(dLeft + 6.5, 1.5);
    oSheet.lineTo(dLeft + 9.5, 4.5);
    oSheet.lineTo(dLeft + 9.5, 14.5);
    oSheet.lineTo(dLeft, 14.5);
    oSheet.closeSubpath();
    roPainter.setPen(Outline(QColor(90, 90, 100)));
    roPainter.setBrush(Qt::white);
    roPainter.drawPath(oSheet);
}

// A small note head with its stem, the mark of MIDI data.
void PaintNote(QPainter& roPainter, double dX, double dY, const QColor& rkoColour)
{
    roPainter.setPen(Outline(rkoColour, 1.2));
    roPainter.drawLine(QPointF(dX + 1.6, dY), QPointF(dX + 1.6, dY - 5.5));
    roPainter.setPen(Qt::NoPen);
    roPainter.setBrush(rkoColour);
    roPainter.drawEllipse(QPointF(dX, dY), 1.9, 1.4);
}

void PaintArrow(QPainter& roPainter, QPointF oFrom, QPointF oTo, const QColor& rkoColour)
{
    roPainter.setPen(Outline(rkoColour, 1.8));
    roPainter.drawLine(oFrom, oTo);
    const QPointF oDir = (oTo - oFrom) / std::max(1e-6, std::hypot(oTo.x() - oFrom.x(), oTo.y() - oFrom.y()));
    const QPointF oSide(-oDir.y(), oDir.x());
    roPainter.drawLine(oTo, oTo - oDir * 3.0 + oSide * 2.5);
    roPainter.drawLine(oTo, oTo - oDir * 3.0 - oSide * 2.5);
}

void PaintFloppy(QPainter& roPainter, const QColor& rkoBody)
{
    roPainter.setPen(Outline(rkoBody.darker(150)));
    roPainter.setBrush(rkoBody);
    roPainter.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
    roPainter.setBrush(QColor(230, 230, 235));
    roPainter.drawRect(QRectF(4, 1.5, 8, 5));
    roPainter.setBrush(Qt::white);
    roPainter.drawRect(QRectF(3.5, 9, 9, 5.5));
}

void PaintBadge(QPainter& roPainter, const QColor& rkoColour, const char* pszMark)
{
    roPainter.setPen(Outline(rkoColour.darker(140)));
    roPainter.setBrush(rkoColour);
    roPainter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QFont oFont = roPainter.font();
    oFont.setPixelSize(11);
    oFont.setBold(true);
    roPainter.setFont(oFont);
    roPainter.setPen(Qt::white);
    roPainter.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, pszMark);
}

const QColor BLUE(40, 90, 180);
const QColor GREEN(30, 140, 70);
const QColor ORANGE(200, 110, 20);
const QColor RED(190, 35, 35);
const QColor TEAL(0, 120, 140);
} // namespace

QIcon QdToolImage(int iIndex)
{
    switch (iIndex)
    {
    case 0: // open: a folder
        return MakeIcon([](QPainter& p) {
            p.setPen(Outline(QColor(150, 110, 20)));
            p.setBrush(QColor(235, 190, 70));
            p.drawRect(QRectF(1.5, 3.5, 5, 2));
            p.drawRect(QRectF(1.5, 5, 13, 9.5));
            p.setBrush(QColor(250, 215, 110));
            p.drawPolygon(QPolygonF({QPointF(3, 7.5), QPointF(15, 7.5), QPointF(13.5, 14.5), QPointF(1.5, 14.5)}));
        });
    case 1: // save: a floppy disk
        return MakeIcon([](QPainter& p) { PaintFloppy(p, BLUE); });
    case 2: // import a whole style: a stack of MIDI files with an arrow in
        return MakeIcon([](QPainter& p) {
            p.translate(2.5, -1);
            PaintSheet(p, 2);
            p.translate(-2, 2);
            PaintSheet(p, 2);
            PaintNote(p, 6, 12, BLUE);
            p.translate(-0.5, -1);
            PaintArrow(p, QPointF(0.5, 4), QPointF(6, 4), GREEN);
        });
    case 3: // import a chord variation: a MIDI file with an arrow in
        return MakeIcon([](QPainter& p) {
            PaintSheet(p, 5.5);
            PaintNote(p, 9.5, 12, BLUE);
            PaintArrow(p, QPointF(0.5, 5.5), QPointF(7, 5.5), GREEN);
        });
    case 5: // export a chord variation: a MIDI file with an arrow out
        return MakeIcon([](QPainter& p) {
            PaintSheet(p, 1);
            PaintNote(p, 4.5, 12, BLUE);
            PaintArrow(p, QPointF(7, 6), QPointF(15, 6), ORANGE);
        });
    case 6: // undo: a curved arrow back
        return MakeIcon([](QPainter& p) {
            p.setPen(Outline(BLUE, 1.8));
            p.setBrush(Qt::NoBrush);
            QPainterPath oPath;
            oPath.moveTo(3, 6);
            oPath.cubicTo(9, 1, 16, 5, 13, 11);
            oPath.lineTo(9, 13.5);
            p.drawPath(oPath);
            p.drawLine(QPointF(3, 6), QPointF(3.5, 1.5));
            p.drawLine(QPointF(3, 6), QPointF(7.5, 6.5));
        });
    case 7: // help
        return MakeIcon([](QPainter& p) { PaintBadge(p, BLUE, "?"); });
    case 8: // play: a triangle
        return MakeIcon([](QPainter& p) {
            p.setPen(Outline(GREEN.darker(140)));
            p.setBrush(GREEN);
            p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(14, 8), QPointF(4, 14)}));
        });
    case 9: // delete: a red cross
        return MakeIcon([](QPainter& p) {
            p.setPen(Outline(RED, 2.6));
            p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
            p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
        });
    default:
        return {};
    }
}

QIcon QdTreeImage(int iIndex)
{
    switch (iIndex)
    {
    case 0: // style
    case 5: // selected or open style
        return MakeIcon([iIndex](QPainter& p) {
            const QColor oColour = iIndex == 5 ? ORANGE : TEAL;
            p.setPen(Outline(oColour.darker(140)));
            p.setBrush(oColour.lighter(170));
            p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
            PaintNote(p, 6.5, 11.5, oColour.darker(130));
            PaintNote(p, 10.5, 10, oColour.darker(130));
        });
    case 7: // style damaged when loaded
    case 8: // the same, selected or open
        return MakeIcon([iIndex](QPainter& p) {
            const QColor oColour = iIndex == 8 ? ORANGE : TEAL;
            p.setPen(Outline(oColour.darker(140)));
            p.setBrush(oColour.lighter(170));
            p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
            PaintNote(p, 5.5, 11.5, oColour.darker(130));
            // A warning triangle with its mark over the style's corner.
            p.setPen(Outline(RED.darker(130), 0.8));
            p.setBrush(QColor(255, 215, 0));
            p.drawPolygon(QPolygonF({QPointF(11, 1.2), QPointF(15.4, 9.6), QPointF(6.6, 9.6)}));
            p.setPen(Outline(Qt::black, 1.4));
            p.drawLine(QPointF(11, 4), QPointF(11, 6.4));
            p.drawPoint(QPointF(11, 8.2));
        });
    case 1: // style element: a bar of music
        return MakeIcon([](QPainter& p) {
            p.setPen(Outline(QColor(90, 90, 110), 0.8));
            for (double dY : {4.0, 6.5, 9.0, 11.5})
                p.drawLine(QPointF(1, dY), QPointF(15, dY));
            p.drawLine(QPointF(1, 4), QPointF(1, 11.5));
            p.drawLine(QPointF(15, 4), QPointF(15, 11.5));
            PaintNote(p, 6, 10.2, BLUE);
            PaintNote(p, 11, 7.7, BLUE);
        });
    case 2: // chord variation: three stacked note heads
        return MakeIcon([](QPainter& p) {
            p.setPen(Outline(GREEN.darker(130), 1.2));
            p.drawLine(QPointF(10.5, 13), QPointF(10.5, 2));
            p.setPen(Qt::NoPen);
            p.setBrush(GREEN);
            for (double dY : {12.5, 9.0, 5.5})
                p.drawEllipse(QPointF(8, dY), 2.6, 1.8);
        });
    case 3: // track: a single note
        return MakeIcon([](QPainter& p) { PaintNote(p, 7, 12, QColor(60, 60, 70)); });
    case 4: // style bank: a floppy disk
        return MakeIcon([](QPainter& p) { PaintFloppy(p, QColor(70, 70, 80)); });
    case 6: // changed and written back: the style with a red star
        return MakeIcon([](QPainter& p) {
            p.setPen(Outline(RED.darker(140)));
            p.setBrush(QColor(250, 210, 200));
            p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2, 2);
            p.setPen(Outline(RED, 2.0));
            for (int i = 0; i < 3; ++i)
            {
                const double dAngle = i * 3.14159265 / 3.0;
                p.drawLine(QPointF(8 - 4.5 * std::cos(dAngle), 8 - 4.5 * std::sin(dAngle)),
                           QPointF(8 + 4.5 * std::cos(dAngle), 8 + 4.5 * std::sin(dAngle)));
            }
        });
    default:
        return {};
    }
}

QIcon QdProgramIcon()
{
    return MakeIcon(
        [](QPainter& p) {
            p.setPen(Qt::NoPen);
            QLinearGradient oGradient(0, 0, 16, 16);
            oGradient.setColorAt(0, QColor(20, 50, 120));
            oGradient.setColorAt(1, QColor(0, 130, 150));
            p.setBrush(oGradient);
            p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
            // A keyboard: white keys with black keys over them.
            p.setBrush(Qt::white);
            p.drawRect(QRectF(2, 9, 12, 5));
            p.setPen(QPen(QColor(20, 50, 120), 0.4));
            for (double dX = 4; dX < 14; dX += 2)
                p.drawLine(QPointF(dX, 9), QPointF(dX, 14));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(20, 20, 30));
            for (double dX : {3.3, 5.3, 9.3, 11.3})
                p.drawRect(QRectF(dX, 9, 1.4, 3));
            PaintNote(p, 8, 6.5, Qt::white);
        },
        32);
}

QIcon QdCloseImage()
{
    return MakeIcon([](QPainter& p) {
        p.setPen(Outline(QColor(80, 80, 90), 1.6));
        p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    });
}
