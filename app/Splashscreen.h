// Splashscreen.h -- the borderless start-up picture, closed by a one-shot timer.
#pragma once

#include <QTimer>
#include <QWidget>

class TForm3 : public QWidget
{
    Q_OBJECT
public:
    static constexpr int SHOW_MS = 2500;
    explicit TForm3(QWidget* pOwner = nullptr);
    QTimer* Timer1() { return &m_oTimer1; }
protected:
    void showEvent(QShowEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
private:
    QTimer m_oTimer1;
};
