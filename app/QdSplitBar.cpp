// QdSplitBar.cpp -- a bar between two panes.
#include "QdSplitBar.h"

#include <QMouseEvent>

TQdSplitBar::TQdSplitBar(QWidget* pParent, const char* pszName, const QString& rkstrHint) : QWidget(pParent)
{
    setObjectName(pszName);
    setCursor(Qt::SplitHCursor);
    setToolTip(rkstrHint);
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
