#include "playlist/ui/PlaylistWindow.h"

#include "controls/FindBox.h"
#include "controls/PictureButton.h"
#include "controls/PlaylistView.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>

#include <algorithm>

namespace tessel {

CPlaylistWindow::CPlaylistWindow(CPlaylist& playlist, MessageSink post, QWidget* owner)
    : QWidget(owner, Qt::Tool), m_playlist(playlist), m_post(std::move(post)), m_model(playlist),
      m_adder(m_model), m_controls(BuildPlaylistControls(this, m_post)),
      m_dialogs(StandardPlaylistDialogs()) {
    setWindowTitle(QStringLiteral("Play List"));
    setMinimumHeight(kMinimumHeight);
    m_controls.list->setModel(&m_model);
    m_controls.list->SetNotifyWindow(m_post);
    m_controls.list->viewport()->installEventFilter(this);
    resize(width(), kStartHeight);
    ConnectControls();
    ApplyColumnWidths();
}

CPlaylistWindow::~CPlaylistWindow() {
    // The view goes with the window's children, after the model it shows:
    // detach it first so it never asks a destroyed model.
    m_controls.list->setModel(nullptr);
    m_adder.Cancel();
}

void CPlaylistWindow::ConnectControls() {
    const PlaylistControls& c = m_controls;
    connect(c.addFile, &QAbstractButton::clicked, this, [this] { AddFiles(); });
    connect(c.addFolder, &QAbstractButton::clicked, this, [this] { AddFolder(); });
    connect(c.deleteAll, &QAbstractButton::clicked, this, [this] { DeleteAll(); });
    connect(c.save, &QAbstractButton::clicked, this, [this] { SavePlayList(); });
    // Delete, Up and Down post their messages on press, through the sink.
    connect(c.findNext, &QPushButton::clicked, this, [this] {
        if (m_post)
            m_post(AppMessage::FindNext);
    });
    connect(c.showFileName, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            SetShowMode(ShowMode::FileName);
    });
    connect(c.showPath, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            SetShowMode(ShowMode::Path);
    });
    connect(c.showTag, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            SetShowMode(ShowMode::Tag);
    });
    // The Delete key on the list does what its button does.
    auto* deleteKey = new QShortcut(QKeySequence::Delete, c.list);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] { DeleteSelected(); });
    connect(c.list, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { PlayRow(index.row()); });
    c.list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(c.list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = m_controls.list->indexAt(at).row();
        if (QMenu* menu = RowMenu(row))
            menu->popup(m_controls.list->viewport()->mapToGlobal(at));
    });
    connect(c.list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { OnCurrentRowChanged(current.row()); });
    connect(&m_adder, &CPlaylistAdder::busyChanged, this,
            [this](bool busy) { OnBusyChanged(busy); });
    connect(&m_adder, &CPlaylistAdder::progress, this,
            [this](int inserted, int total) { OnProgress(inserted, total); });
}

QMenu* CPlaylistWindow::RowMenu(int row) {
    if (row < 0 || row >= m_playlist.GetRowCount())
        return nullptr;
    SelectRow(row);
    // The last one may still be closing.
    if (m_rowMenu)
        m_rowMenu->deleteLater();
    m_rowMenu = new QMenu(this);
    // The row is looked up again when chosen: the list may change while the
    // menu is open.
    const EntryId entry = m_playlist.Tracks().GetId(row);
    const auto rowNow = [this, entry] { return m_playlist.Tracks().FindRow(entry); };
    m_rowMenu->addAction(QStringLiteral("&Play"), this, [this, rowNow] {
        if (const int r = rowNow(); r >= 0)
            PlayRow(r);
    });
    if (m_trackInfoShower) {
        m_rowMenu
            ->addAction(QStringLiteral("Track &Info..."), this,
                        [this, rowNow] {
                            if (const int r = rowNow(); r >= 0 && m_trackInfoShower)
                                m_trackInfoShower(r);
                        })
            ->setObjectName(QStringLiteral("trackInfo"));
    }
    return m_rowMenu;
}

bool CPlaylistWindow::HandleMessage(const Message& message) {
    switch (message.kind) {
    case AppMessage::DeleteSelected:
        DeleteSelected();
        return true;
    case AppMessage::MoveSelectedUp:
        MoveSelectedUp();
        return true;
    case AppMessage::MoveSelectedDown:
        MoveSelectedDown();
        return true;
    case AppMessage::FindNext:
        FindNext();
        return true;
    case AppMessage::FilesDropped:
        OnFilesDropped();
        return true;
    default:
        return false;
    }
}

void CPlaylistWindow::SetWindowWidth(int width) {
    m_windowWidth = std::max(width, 0);
    // The width asked for is the outer one; the frame, once there is one,
    // takes its share.
    const int frame = isVisible() ? frameGeometry().width() - geometry().width() : 0;
    setFixedWidth(std::max(m_windowWidth - frame, minimumSizeHint().width()));
}

void CPlaylistWindow::PlaceBelow(const QWidget& owner) {
    const QRect frame = owner.frameGeometry();
    move(frame.left(), frame.bottom() + 1);
}

void CPlaylistWindow::ApplyColumnWidths() {
    const QFontMetrics metrics = m_controls.list->fontMetrics();
    const int time =
        std::max(kTimeColumnMinWidth, metrics.horizontalAdvance(QStringLiteral("~000:00")) + 14);
    const int files = std::max(0, m_controls.list->viewport()->width() - time);
    m_controls.list->SetFixedColumnWidth(CPlaylistModel::kFilesColumn, files);
    m_controls.list->SetFixedColumnWidth(CPlaylistModel::kTimeColumn, time);
}

bool CPlaylistWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_controls.list->viewport() && event->type() == QEvent::Resize)
        ApplyColumnWidths();
    return QWidget::eventFilter(watched, event);
}

void CPlaylistWindow::closeEvent(QCloseEvent* event) {
    if (m_post)
        m_post(AppMessage::ChildWindowClosed);
    QWidget::closeEvent(event);
}

void CPlaylistWindow::OnBusyChanged(bool busy) {
    m_controls.bottom->setCurrentIndex(busy ? 1 : 0);
    if (busy)
        setFocus();
}

void CPlaylistWindow::OnProgress(int inserted, int total) {
    QProgressBar* bar = m_controls.progress;
    if (total <= 0) {
        // Still collecting: how many, not how far.
        bar->setRange(0, 0);
        bar->setFormat(QStringLiteral("Collecting: %1 files").arg(inserted));
        return;
    }
    bar->setRange(0, total);
    bar->setValue(inserted);
    bar->setFormat(QStringLiteral("%v of %m files"));
}

void CPlaylistWindow::SetShowMode(ShowMode mode) {
    m_model.SetShowMode(mode);
    // A long path says the most at its end: the file and its folders.
    m_controls.list->setTextElideMode(mode == ShowMode::Path ? Qt::ElideLeft : Qt::ElideRight);
    QRadioButton* radio = mode == ShowMode::Path  ? m_controls.showPath
                          : mode == ShowMode::Tag ? m_controls.showTag
                                                  : m_controls.showFileName;
    if (!radio->isChecked())
        radio->setChecked(true);
}

} // namespace tessel
