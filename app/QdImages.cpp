// QdImages.cpp -- simple pictures drawn in code.
#include "QdImages.h"

#include <QPainter>
#include <QPixmap>

QIcon QdImage(int iIndex)
{
    // Colour and letter per index: open, save, import all, import one,
    // bank, export, modified/undo, help, play, delete.
    static const struct { QColor oColour; const char* pszMark; } s_akoImages[] = {
        {QColor(200, 160, 40), "O"}, {QColor(40, 90, 180), "S"},  {QColor(40, 150, 60), "A"},
        {QColor(60, 170, 90), "I"},  {QColor(120, 80, 40), "B"},  {QColor(170, 90, 30), "E"},
        {QColor(200, 40, 40), "*"},  {QColor(90, 90, 200), "?"},  {QColor(30, 140, 140), ">"},
        {QColor(150, 30, 30), "X"},
    };
    if (iIndex < 0 || iIndex >= int(std::size(s_akoImages)))
        return {};
    QPixmap oPixmap(16, 16);
    oPixmap.fill(Qt::transparent);
    QPainter oPainter(&oPixmap);
    oPainter.setRenderHint(QPainter::Antialiasing);
    oPainter.setBrush(s_akoImages[iIndex].oColour);
    oPainter.setPen(s_akoImages[iIndex].oColour.darker());
    oPainter.drawRoundedRect(QRectF(1, 1, 14, 14), 3, 3);
    oPainter.setPen(Qt::white);
    QFont oFont = oPainter.font();
    oFont.setPixelSize(11);
    oFont.setBold(true);
    oPainter.setFont(oFont);
    oPainter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, s_akoImages[iIndex].pszMark);
    oPainter.end();
    return QIcon(oPixmap);
}
