// Splashscreen.cpp -- the start-up picture.
#include "Splashscreen.h"

#include "Base/QdVersion.h"

#include <QPainter>

TForm3::TForm3(QWidget* pOwner)
    : QWidget(pOwner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setFixedSize(240, 169);
    m_oTimer1.setSingleShot(true);
    m_oTimer1.setInterval(SHOW_MS);
    connect(&m_oTimer1, &QTimer::timeout, this, &QWidget::hide);
}

void TForm3::showEvent(QShowEvent* pEvent)
{
    QWidget::showEvent(pEvent);
    if (parentWidget())
        move(parentWidget()->geometry().center() - rect().center());
    m_oTimer1.start();
}

void TForm3::paintEvent(QPaintEvent*)
{
    QPainter oPainter(this);
    oPainter.fillRect(rect(), Qt::black);
    const QRect oPicture(1, 1, 238, 167);
    QLinearGradient oGradient(oPicture.topLeft(), oPicture.bottomRight());
    oGradient.setColorAt(0, QColor(20, 40, 110));
    oGradient.setColorAt(1, QColor(0, 120, 150));
    oPainter.fillRect(oPicture, oGradient);
    oPainter.setPen(Qt::white);
    QFont oFont = font();
    oFont.setPixelSize(20);
    oFont.setBold(true);
    oPainter.setFont(oFont);
    oPainter.drawText(oPicture.adjusted(0, 0, 0, -40), Qt::AlignCenter, "Qd50 Style Tool");
    oFont.setPixelSize(12);
    oFont.setBold(false);
    oPainter.setFont(oFont);
    oPainter.drawText(oPicture.adjusted(0, 50, 0, 0), Qt::AlignCenter, "v" QD_VERSION);
}
