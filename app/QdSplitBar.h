// QdSplitBar.h -- the bar between the style list and the element tree that
// divides the window's width between them.
//
// Not a QSplitter: list and tree stay children of the client area at their
// designed places (a splitter would become their parent and lay them out
// itself), and the bar only reports where the mouse drags it; the window
// lays out.
#pragma once

#include <QWidget>

class TQdSplitBar : public QWidget
{
    Q_OBJECT
public:
    explicit TQdSplitBar(QWidget* pParent);

signals:
    // Dragged -- the bar's left edge would be at iLeft (parent coordinates).
    void Dragged(int iLeft);

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;

private:
    int m_iGrab = 0;
};
