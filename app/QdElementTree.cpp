// QdElementTree.cpp -- drags out of the element tree.
#include "QdElementTree.h"

QMimeData* TQdElementTree::mimeData(const QList<QTreeWidgetItem*>& rkapItems) const
{
    return m_fnMake && rkapItems.size() == 1 ? m_fnMake(rkapItems.front()) : nullptr;
}
