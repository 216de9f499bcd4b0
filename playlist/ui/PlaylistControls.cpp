#include "playlist/ui/PlaylistControls.h"

#include "controls/FindBox.h"
#include "controls/PictureButton.h"
#include "controls/PlaylistView.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tessel {

namespace {

CPictureButton* MakeButton(QWidget* parent, const char* id, ButtonRole role, const QString& text,
                           const QString& tip, const MessageSink& post) {
    auto* button = new CPictureButton(parent);
    button->setObjectName(QString::fromLatin1(id));
    button->SetRole(role);
    button->SetMessageSink(post);
    // The face is a picture; the text names the button for tests and
    // screen readers.
    button->setText(text);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFixedSize(button->sizeHint());
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QRadioButton* MakeRadio(QWidget* parent, const char* id, const QString& text) {
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(QString::fromLatin1(id));
    return radio;
}

} // namespace

PlaylistControls BuildPlaylistControls(QWidget* window, const MessageSink& post) {
    PlaylistControls c;

    c.showGroup = new QGroupBox(QStringLiteral("Show"), window);
    c.showGroup->setObjectName(QString::fromLatin1(ids::kShowGroup));
    c.showFileName = MakeRadio(c.showGroup, ids::kShowFileName, QStringLiteral("File Name"));
    c.showPath = MakeRadio(c.showGroup, ids::kShowPath, QStringLiteral("Path"));
    c.showTag = MakeRadio(c.showGroup, ids::kShowTag, QStringLiteral("Tag"));
    c.showFileName->setChecked(true);
    auto* showRow = new QHBoxLayout(c.showGroup);
    showRow->setContentsMargins(8, 2, 8, 4);
    for (QRadioButton* radio : {c.showFileName, c.showPath, c.showTag})
        showRow->addWidget(radio);

    c.findGroup = new QGroupBox(QStringLiteral("Find"), window);
    c.findGroup->setObjectName(QString::fromLatin1(ids::kFindGroup));
    c.findEdit = new CFindBox(c.findGroup);
    c.findEdit->setObjectName(QString::fromLatin1(ids::kFindEdit));
    c.findEdit->SetMessageSink(post);
    c.findEdit->setClearButtonEnabled(true);
    c.findNext = new QPushButton(QStringLiteral("Next"), c.findGroup);
    c.findNext->setObjectName(QString::fromLatin1(ids::kFindNext));
    c.findNext->setAutoDefault(false);
    c.findNext->setToolTip(QStringLiteral("Find the next entry holding this text"));
    auto* findRow = new QHBoxLayout(c.findGroup);
    findRow->setContentsMargins(8, 2, 8, 4);
    findRow->addWidget(c.findEdit, 1);
    findRow->addWidget(c.findNext);

    c.list = new CPlaylistView(window);
    c.list->setObjectName(QString::fromLatin1(ids::kTrackList));
    c.list->setSelectionMode(QAbstractItemView::SingleSelection);
    c.list->setSelectionBehavior(QAbstractItemView::SelectRows);
    c.list->setAllColumnsShowFocus(true);
    c.list->setIconSize(QSize(16, 16));
    c.list->setTextElideMode(Qt::ElideRight);
    c.list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    c.list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    QWidget* buttons = new QWidget(window);
    c.addFile = MakeButton(buttons, ids::kAddFile, ButtonRole::AddFile, QStringLiteral("+ File"),
                           QStringLiteral("Add File"), post);
    c.addFolder = MakeButton(buttons, ids::kAddFolder, ButtonRole::AddFolder,
                             QStringLiteral("+ Folder"), QStringLiteral("Add Folder"), post);
    c.moveUp = MakeButton(buttons, ids::kMoveUp, ButtonRole::MoveUp, QStringLiteral("Up"),
                          QStringLiteral("Move Up"), post);
    c.moveDown = MakeButton(buttons, ids::kMoveDown, ButtonRole::MoveDown, QStringLiteral("Down"),
                            QStringLiteral("Move Down"), post);
    c.deleteOne = MakeButton(buttons, ids::kDelete, ButtonRole::Delete, QStringLiteral("Delete"),
                             QStringLiteral("Remove From Playlist"), post);
    c.deleteAll = MakeButton(buttons, ids::kDeleteAll, ButtonRole::DeleteAll,
                             QStringLiteral("Delete All"), QStringLiteral("Clear Playlist"), post);
    c.save = MakeButton(buttons, ids::kSave, ButtonRole::Save, QStringLiteral("Save"),
                        QStringLiteral("Save"), post);
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonRow->addStretch(1);
    for (CPictureButton* button : c.Buttons()) {
        buttonRow->addWidget(button);
        buttonRow->addStretch(1);
    }

    c.progress = new QProgressBar(window);
    c.progress->setObjectName(QString::fromLatin1(ids::kAddProgress));
    c.progress->setTextVisible(true);
    c.bottom = new QStackedWidget(window);
    c.bottom->addWidget(buttons);
    c.bottom->addWidget(c.progress);
    c.bottom->setFixedHeight(c.addFile->height());

    auto* top = new QHBoxLayout;
    top->addWidget(c.showGroup);
    top->addWidget(c.findGroup, 1);
    auto* root = new QVBoxLayout(window);
    root->setContentsMargins(10, 8, 10, 10);
    root->setSpacing(8);
    root->addLayout(top);
    root->addWidget(c.list, 1);
    root->addWidget(c.bottom);
    return c;
}

} // namespace tessel
