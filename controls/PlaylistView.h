// The playlist's report-style list. Files dropped on it are kept for the
// playlist window, which is told by a message and then reads them; its
// columns keep the widths the window gives them.
#pragma once

#include "controls/MessageSink.h"

#include <QMap>
#include <QStringList>
#include <QTreeView>

namespace tessel {

class CPlaylistView : public QTreeView {
    Q_OBJECT

  public:
    explicit CPlaylistView(QWidget* parent = nullptr);

    // Where the files-dropped message goes (the playlist window).
    void SetNotifyWindow(MessageSink post) { m_notify = std::move(post); }

    // Gives `column` this width and keeps it there: the user cannot drag its
    // divider. Holds for columns the model adds later and across resets.
    void SetFixedColumnWidth(int column, int width);

    // The local paths of the last drop, in the order they were dropped.
    const QStringList& GetDropHandle() const { return m_dropped; }

    void setModel(QAbstractItemModel* model) override;

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void ApplyColumnWidths();

    MessageSink m_notify;
    QMap<int, int> m_fixedWidths;
    QStringList m_dropped;
};

} // namespace tessel
