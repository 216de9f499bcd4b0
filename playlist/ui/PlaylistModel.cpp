#include "playlist/ui/PlaylistModel.h"

#include "controls/PictureFolder.h"
#include "playlist/CueSheet.h"
#include "playlist/PlaylistFiles.h"

#include <QFile>
#include <QPixmap>

#include <algorithm>

namespace tessel {

namespace {

QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The row images in the order of the list's image list.
constexpr std::array<RowIcon, 5> kRowIcons = {RowIcon::Loaded, RowIcon::Normal, RowIcon::Spare,
                                              RowIcon::Selected, RowIcon::Unreadable};
enum RowImage { kImageLoaded = 0, kImageNormal = 1, kImageSelected = 3, kImageUnreadable = 4 };

int RowImageOf(const TrackRecord& record, bool playingMarkShown) {
    if (record.unreadable)
        return kImageUnreadable;
    if (record.loaded && playingMarkShown)
        return kImageLoaded;
    return record.selected ? kImageSelected : kImageNormal;
}

} // namespace

CPlaylistModel::CPlaylistModel(CPlaylist& playlist, QObject* parent)
    : QAbstractTableModel(parent), m_playlist(playlist), m_rows(playlist.GetRowCount()) {
    for (size_t i = 0; i < kRowIcons.size(); ++i)
        m_icons[i] = QIcon(QPixmap::fromImage(LoadPicture(PicturePath(RowIconFile(kRowIcons[i])))));
    m_playlist.onListChanged = [this] { Publish(); };
    m_playlist.onRowChanged = [this](int row) { OnRowChanged(row); };
}

CPlaylistModel::~CPlaylistModel() {
    m_playlist.onListChanged = nullptr;
    m_playlist.onRowChanged = nullptr;
}

int CPlaylistModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int CPlaylistModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString CPlaylistModel::DisplayText(int row) const {
    const TrackRecord* record = Tracks().GetRecord(row);
    if (!record || row >= m_rows)
        return {};
    switch (m_mode) {
    case ShowMode::Path:
        return FromPath(record->trackPath);
    case ShowMode::Tag:
        if (!record->id3Tag.empty())
            return FromUtf8(Tracks().GetTagLine(row));
        break;
    case ShowMode::FileName:
        break;
    }
    return FromPath(Tracks().GetTrackName(row));
}

QVariant CPlaylistModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    const TrackRecord* record = Tracks().GetRecord(index.row());
    if (!record)
        return {};
    const bool files = index.column() == kFilesColumn;
    switch (role) {
    case Qt::DisplayRole:
        if (files)
            return DisplayText(index.row());
        return record->unreadable ? QStringLiteral("???")
                                  : FromUtf8(Tracks().GetLengthText(index.row()));
    case Qt::DecorationRole:
        return files
                   ? QVariant(m_icons[static_cast<size_t>(RowImageOf(*record, m_playingMarkShown))])
                   : QVariant();
    case Qt::TextAlignmentRole:
        return files ? QVariant() : QVariant(int(Qt::AlignRight | Qt::AlignVCenter));
    case Qt::ToolTipRole: {
        QString tip = FromPath(record->trackPath);
        if (!record->id3Tag.empty())
            tip = FromUtf8(record->id3Tag) + QLatin1Char('\n') + tip;
        if (record->unreadable)
            tip += QStringLiteral("\nCannot be read");
        else if (record->lengthOrigin == LengthOrigin::Estimated && record->length >= 0.0)
            tip += QStringLiteral("\nLength estimated from the bitrate; exact once played");
        return tip;
    }
    default:
        return {};
    }
}

QVariant CPlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == kFilesColumn)
        return QStringLiteral("Files");
    if (section == kTimeColumn)
        return QStringLiteral("Time");
    return {};
}

Qt::ItemFlags CPlaylistModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void CPlaylistModel::SetShowMode(ShowMode mode) {
    if (mode == m_mode)
        return;
    m_mode = mode;
    if (m_rows > 0)
        emit dataChanged(index(0, kFilesColumn), index(m_rows - 1, kFilesColumn),
                         {Qt::DisplayRole});
}

void CPlaylistModel::OnRowChanged(int row) {
    if (row < 0 || row >= m_rows)
        return; // not announced yet: its data is read when it is
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

void CPlaylistModel::SetPlayingMarkShown(bool shown) {
    if (m_playingMarkShown == shown)
        return;
    m_playingMarkShown = shown;
    const int row = m_playlist.GetLoadedIndex();
    if (row >= 0 && row < m_rows)
        emit dataChanged(index(row, kFilesColumn), index(row, kFilesColumn), {Qt::DecorationRole});
}

void CPlaylistModel::Publish() {
    const int count = m_playlist.GetRowCount();
    if (count > m_rows) {
        // The list only ever grows behind the adapter's back by appending.
        beginInsertRows(QModelIndex(), m_rows, count - 1);
        m_rows = count;
        endInsertRows();
    } else if (count < m_rows) {
        beginResetModel();
        m_rows = count;
        endResetModel();
    }
}

void CPlaylistModel::AppendTrack(const std::string& path, double length, const std::string& tag) {
    Publish();
    beginInsertRows(QModelIndex(), m_rows, m_rows);
    m_playlist.Tracks().AddTrack(tag, length, path, -1);
    ++m_rows;
    endInsertRows();
}

void CPlaylistModel::AppendEntries(const std::vector<PlaylistEntry>& entries) {
    Publish();
    if (entries.empty())
        return;
    beginInsertRows(QModelIndex(), m_rows, m_rows + static_cast<int>(entries.size()) - 1);
    for (const PlaylistEntry& entry : entries)
        AppendEntry(m_playlist.Tracks(), entry);
    m_rows = m_playlist.GetRowCount();
    endInsertRows();
}

void CPlaylistModel::InsertSorted(const std::vector<std::string>& paths, size_t& next,
                                  int& startIndex, std::chrono::steady_clock::time_point until) {
    Publish();
    CTrackList& tracks = m_playlist.Tracks();
    // Checking the clock for every path would cost more than inserting it.
    constexpr size_t kPathsPerClockCheck = 64;
    size_t sinceCheck = 0;
    while (next < paths.size()) {
        startIndex = std::clamp(startIndex, 0, tracks.GetCount());
        const int at = tracks.SortedPosition(paths[next], startIndex);
        if (IsCueSheetName(paths[next])) {
            // A sheet goes in as its rows, where its path sorts; reading it
            // probes its audio, so the clock is looked at after each.
            const PlaylistReadResult read = LoadPlayList(paths[next], m_playlist.cueFileProbe);
            m_playlist.ReportProblems(read);
            const std::vector<PlaylistEntry>& rows = read.entries;
            const int count = static_cast<int>(rows.size());
            if (count > 0) {
                beginInsertRows(QModelIndex(), at, at + count - 1);
                for (int i = 0; i < count; ++i)
                    AppendEntry(tracks, rows[static_cast<size_t>(i)], at + i);
                m_rows += count;
                endInsertRows();
            }
            ++next;
            startIndex = at + count;
            if (std::chrono::steady_clock::now() >= until)
                return;
            continue;
        }
        // Every later path that sorts before the same row goes in right after
        // the previous one, so the block is one insertion for the view.
        size_t end = next + 1;
        while (end < paths.size() && end - next < kPathsPerClockCheck &&
               !IsCueSheetName(paths[end]) && tracks.SortedPosition(paths[end], at) == at)
            ++end;
        const int count = static_cast<int>(end - next);
        beginInsertRows(QModelIndex(), at, at + count - 1);
        for (int i = 0; i < count; ++i)
            tracks.AddTrack(std::string(), -1.0, paths[next + static_cast<size_t>(i)], at + i);
        m_rows += count;
        endInsertRows();
        next = end;
        startIndex = at + count;
        sinceCheck += static_cast<size_t>(count);
        if (sinceCheck >= kPathsPerClockCheck) {
            sinceCheck = 0;
            if (std::chrono::steady_clock::now() >= until)
                return;
        }
    }
}

void CPlaylistModel::RemoveRow(int row) {
    Publish();
    if (row < 0 || row >= m_rows)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_playlist.Tracks().RemoveTrack(row);
    --m_rows;
    endRemoveRows();
}

void CPlaylistModel::RemoveAll() {
    Publish();
    if (m_rows == 0)
        return;
    beginRemoveRows(QModelIndex(), 0, m_rows - 1);
    m_playlist.Tracks().RemoveAll();
    m_rows = 0;
    endRemoveRows();
}

void CPlaylistModel::MoveUp(int row) {
    Publish();
    if (row < 1 || row >= m_rows)
        return;
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), row - 1);
    m_playlist.Tracks().MoveUp(row);
    endMoveRows();
}

void CPlaylistModel::MoveDown(int row) {
    Publish();
    if (row < 0 || row + 1 >= m_rows)
        return;
    // Qt names the destination as the row the moved one goes before.
    beginMoveRows(QModelIndex(), row, row, QModelIndex(), row + 2);
    m_playlist.Tracks().MoveDown(row);
    endMoveRows();
}

} // namespace tessel
