// QdSplitBar.cpp -- the bar between style list and element tree.
#include "QdSplitBar.h"

#include <QMouseEvent>

TQdSplitBar::TQdSplitBar(QWidget* pParent) : QWidget(pParent)
{
    setObjectName("SplitBar");
    setCursor(Qt::SplitHCursor);
    setToolTip("Drag to share the width between the style list and the element tree.");
}

void TQdSplitBar::mousePressEvent(QMouseEvent* pEvent)
{
    m_iGrab = pEvent->position().toPoint().x();
    pEvent->accept();
}

void TQdSplitBar::mouseMoveEvent(QMouseEvent* pEvent)
{
    if (pEvent->buttons() & Qt::LeftButton)
        emit Dragged(mapToParent(pEvent->position().toPoint()).x() - m_iGrab);
    pEvent->accept();
}
