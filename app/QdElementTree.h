// QdElementTree.h -- the element tree's widget: a tree whose chord
// variation and track nodes can be dragged out of the window as MIDI files.
//
// The files themselves come from the window (the document writes them,
// CQdDragFiles); the tree only asks for them when a drag starts.
#pragma once

#include <QTreeWidget>

#include <functional>

class TQdElementTree : public QTreeWidget
{
    Q_OBJECT
public:
    using TMimeMaker = std::function<QMimeData*(QTreeWidgetItem*)>;

    explicit TQdElementTree(QWidget* pParent) : QTreeWidget(pParent) {}
    // SetMimeMaker -- what a drag of an item carries; null data: no drag.
    void SetMimeMaker(TMimeMaker fnMake) { m_fnMake = std::move(fnMake); }

protected:
    QStringList mimeTypes() const override { return {"text/uri-list"}; }
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& rkapItems) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

private:
    TMimeMaker m_fnMake;
};
