#include "controls/PlaylistView.h"

#include "core/AppMessages.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace tessel {

namespace {

QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace

CPlaylistView::CPlaylistView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    // A stretched last section would change with the window, not with the
    // width the owner chose.
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionCountChanged, this, &CPlaylistView::ApplyColumnWidths);
}

void CPlaylistView::SetFixedColumnWidth(int column, int width) {
    if (column < 0)
        return;
    m_fixedWidths[column] = std::max(0, width);
    ApplyColumnWidths();
}

void CPlaylistView::setModel(QAbstractItemModel* model) {
    QTreeView::setModel(model);
    ApplyColumnWidths();
}

void CPlaylistView::ApplyColumnWidths() {
    QHeaderView* head = header();
    for (auto it = m_fixedWidths.cbegin(); it != m_fixedWidths.cend(); ++it) {
        if (it.key() >= head->count())
            continue;
        head->setSectionResizeMode(it.key(), QHeaderView::Fixed);
        head->resizeSection(it.key(), it.value());
    }
}

void CPlaylistView::dragEnterEvent(QDragEnterEvent* event) {
    // Only files from this machine can be added; anything else is refused
    // at the door so the cursor says so.
    if (LocalPaths(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void CPlaylistView::dragMoveEvent(QDragMoveEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void CPlaylistView::dropEvent(QDropEvent* event) {
    QStringList paths = LocalPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    m_dropped = std::move(paths);
    event->acceptProposedAction();
    if (m_notify)
        m_notify(AppMessage::FilesDropped);
}

} // namespace tessel
