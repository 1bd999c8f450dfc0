// QdSplitBar.h -- a bar between two of the window's panes that divides the
// width between them: the style list and the element tree, and the tree
// and the piano roll.
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
    // The bar between list and tree unless told otherwise.
    explicit TQdSplitBar(QWidget* pParent, const char* pszName = "SplitBar",
                         const QString& rkstrHint = "Drag to share the width between the style list and the element tree.");

signals:
    // Dragged -- the bar's left edge would be at iLeft (parent coordinates).
    void Dragged(int iLeft);

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;

private:
    int m_iGrab = 0;
};
