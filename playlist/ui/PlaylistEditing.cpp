// Selecting, finding, playing, deleting and reordering rows.
#include "playlist/ui/PlaylistWindow.h"

#include "controls/FindBox.h"
#include "controls/PlaylistView.h"

namespace tessel {

int CPlaylistWindow::SelectionMark() const {
    const QModelIndex current = m_controls.list->currentIndex();
    return current.isValid() && current.row() < m_model.rowCount() ? current.row() : -1;
}

void CPlaylistWindow::SelectRow(int row) {
    if (row < 0 || row >= m_model.rowCount())
        return;
    CTrackList& tracks = m_playlist.Tracks();
    for (int i = 0; i < tracks.GetCount(); ++i) {
        if (i != row && tracks.IsSelected(i)) {
            tracks.ClearSelected(i);
            emit m_model.dataChanged(m_model.index(i, 0), m_model.index(i, 0));
        }
    }
    if (!tracks.IsSelected(row)) {
        tracks.SetSelected(row);
        emit m_model.dataChanged(m_model.index(row, 0), m_model.index(row, 0));
    }
    const QModelIndex index = m_model.index(row, 0);
    if (m_controls.list->currentIndex() != index)
        m_controls.list->setCurrentIndex(index);
    m_controls.list->scrollTo(index);
}

void CPlaylistWindow::OnCurrentRowChanged(int row) {
    // A click or a key moved the view's cursor: the entry follows.
    if (row >= 0 && !m_playlist.Tracks().IsSelected(row))
        SelectRow(row);
}

void CPlaylistWindow::PlayRow(int row) {
    if (row < 0 || row >= m_model.rowCount())
        return;
    SelectRow(row);
    if (m_rowPlayer)
        m_rowPlayer(row);
    else
        m_playlist.PlayEntry(row);
}

void CPlaylistWindow::FindNext() {
    // Title, artist, album and path count whichever view is shown. No match
    // after the mark changes nothing: the search does not wrap.
    const int row = m_playlist.FindRow(m_controls.findEdit->text().toStdString(),
                                       SelectionMark() + 1, m_model.rowCount());
    if (row >= 0)
        SelectRow(row);
}

void CPlaylistWindow::DeleteSelected() {
    // While a folder goes in, rows must stay where the insertion expects them.
    const int row = SelectionMark();
    if (row < 0 || m_adder.IsBusy())
        return;
    m_model.RemoveRow(row);
    // The row that took its place carries the cursor, so Delete can be pressed again.
    if (m_model.rowCount() > 0)
        SelectRow(std::min(row, m_model.rowCount() - 1));
}

void CPlaylistWindow::DeleteAll() {
    if (m_adder.IsBusy() || !m_dialogs.confirmDeleteAll || !m_dialogs.confirmDeleteAll(this))
        return;
    m_model.RemoveAll();
}

void CPlaylistWindow::MoveSelectedUp() {
    const int row = SelectionMark();
    if (row < 1 || m_adder.IsBusy())
        return;
    m_model.MoveUp(row);
    SelectRow(row - 1);
}

void CPlaylistWindow::MoveSelectedDown() {
    const int row = SelectionMark();
    if (row < 0 || row + 1 >= m_model.rowCount() || m_adder.IsBusy())
        return;
    m_model.MoveDown(row);
    SelectRow(row + 1);
}

} // namespace tessel
