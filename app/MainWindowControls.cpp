#include "app/MainWindowControls.h"

#include "app/ControlIds.h"
#include "controls/PictureButton.h"
#include "controls/PictureSlider.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace tessel {

namespace {

CPictureButton* MakeButton(QWidget* parent, const char* id, ButtonRole role, const QString& tip,
                           const MessageSink& post) {
    auto* button = new CPictureButton(parent);
    button->setObjectName(QString::fromLatin1(id));
    button->SetRole(role);
    button->SetMessageSink(post);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFixedSize(button->sizeHint());
    // Reached with Tab, not taken by a click: a mouse user sees no focus
    // frame appear on the button just pressed.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QLabel* MakeTimeDisplay(QWidget* parent) {
    auto* time = new QLabel(QStringLiteral("00:00:00"), parent);
    time->setObjectName(QString::fromLatin1(ids::kTimeDisplay));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(font.pointSizeF() * 1.6);
    font.setBold(true);
    time->setFont(font);
    time->setAlignment(Qt::AlignCenter);
    time->setMinimumWidth(time->fontMetrics().horizontalAdvance(QStringLiteral("000:00:00")) + 16);
    time->setStyleSheet(QStringLiteral("QLabel { color: #9fe3ff; background: #1b2027;"
                                       " border: 1px solid #0f1215; border-radius: 5px;"
                                       " padding: 2px 6px; }"));
    time->setToolTip(QStringLiteral("Elapsed time"));
    return time;
}

} // namespace

MainWindowControls BuildMainWindowControls(QWidget* window, const MessageSink& post) {
    MainWindowControls c;

    c.trackGroup = new QGroupBox(QStringLiteral("Choose Track"), window);
    c.trackGroup->setObjectName(QString::fromLatin1(ids::kTrackGroup));
    c.trackCombo = new QComboBox(c.trackGroup);
    c.trackCombo->setObjectName(QString::fromLatin1(ids::kTrackCombo));
    c.trackCombo->setEditable(false);
    c.trackCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c.trackCombo->setMinimumContentsLength(24);
    c.menu = new QToolButton(c.trackGroup);
    c.menu->setObjectName(QStringLiteral("menu"));
    c.menu->setText(QStringLiteral("\u2630"));
    c.menu->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    c.menu->setToolTip(QStringLiteral("Menu"));
    c.menu->setPopupMode(QToolButton::InstantPopup);
    c.menu->setAutoRaise(true);
    c.menu->setFocusPolicy(Qt::TabFocus);
    auto* trackRow = new QHBoxLayout(c.trackGroup);
    trackRow->setContentsMargins(8, 4, 4, 6);
    trackRow->addWidget(c.trackCombo, 1);
    trackRow->addWidget(c.menu);

    c.previous = MakeButton(window, ids::kPrevious, ButtonRole::PreviousTrack,
                            QStringLiteral("Previous track"), post);
    c.rewind = MakeButton(window, ids::kRewind, ButtonRole::Rewind, QStringLiteral("Rewind"), post);
    c.play =
        MakeButton(window, ids::kPlay, ButtonRole::PlayPause, QStringLiteral("Play / Pause"), post);
    c.fastForward = MakeButton(window, ids::kFastForward, ButtonRole::FastForward,
                               QStringLiteral("Fast forward"), post);
    c.next =
        MakeButton(window, ids::kNext, ButtonRole::NextTrack, QStringLiteral("Next track"), post);
    c.playList =
        MakeButton(window, ids::kPlaylist, ButtonRole::Playlist, QStringLiteral("Play list"), post);
    c.equalizer = MakeButton(window, ids::kEqualizer, ButtonRole::Equalizer,
                             QStringLiteral("Equalizer"), post);
    c.devices = MakeButton(window, ids::kDevices, ButtonRole::Speaker,
                           QStringLiteral("Output device"), post);

    c.time = MakeTimeDisplay(window);

    c.position = new CPictureSlider(Qt::Horizontal, window);
    c.position->setObjectName(QString::fromLatin1(ids::kPositionSlider));
    c.position->setRange(0, 65535);
    c.position->setPageStep(65535 / 20);
    // A key press would move the thumb without a seek; the window's key
    // handling (KeyboardShortcuts) makes keys seek and lets it take the focus.
    c.position->setFocusPolicy(Qt::NoFocus);
    c.position->setToolTip(QStringLiteral("Position"));
    c.position->SetMessageSink(post);

    // Volume: 0 (full) is at the top, and up means louder for keys and wheel.
    c.volume = new QSlider(Qt::Vertical, window);
    c.volume->setObjectName(QString::fromLatin1(ids::kVolumeSlider));
    c.volume->setRange(0, 1000);
    c.volume->setPageStep(100);
    c.volume->setSingleStep(20);
    c.volume->setInvertedAppearance(true);
    c.volume->setInvertedControls(true);
    c.volume->setToolTip(QStringLiteral("Volume"));
    c.volume->setAccessibleName(QStringLiteral("Volume"));
    c.volume->setFocusPolicy(Qt::TabFocus);

    c.level = new QProgressBar(window);
    c.level->setObjectName(QString::fromLatin1(ids::kLevelMeter));
    c.level->setOrientation(Qt::Vertical);
    c.level->setRange(0, 100);
    c.level->setValue(0);
    c.level->setTextVisible(false);
    c.level->setFixedWidth(10);
    c.level->setToolTip(QStringLiteral("Level"));
    c.level->setStyleSheet(QStringLiteral(
        "QProgressBar { background: #1b2027; border: 1px solid #0f1215; border-radius: 3px; }"
        "QProgressBar::chunk { background: qlineargradient(x1:0, y1:1, x2:0, y2:0,"
        " stop:0 #3cc47c, stop:0.7 #e8d44d, stop:1 #e5533d); border-radius: 2px; }"));

    auto* transport = new QHBoxLayout;
    transport->setSpacing(4);
    for (QWidget* w : {static_cast<QWidget*>(c.previous), static_cast<QWidget*>(c.rewind),
                       static_cast<QWidget*>(c.play), static_cast<QWidget*>(c.fastForward),
                       static_cast<QWidget*>(c.next)})
        transport->addWidget(w);
    transport->addSpacing(8);
    transport->addWidget(c.time, 1);
    transport->addSpacing(8);
    for (QWidget* w : {static_cast<QWidget*>(c.playList), static_cast<QWidget*>(c.equalizer),
                       static_cast<QWidget*>(c.devices)})
        transport->addWidget(w);

    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    left->addWidget(c.trackGroup);
    left->addLayout(transport);
    left->addWidget(c.position);

    auto* right = new QHBoxLayout;
    right->setSpacing(4);
    right->addWidget(c.volume);
    right->addWidget(c.level);

    auto* root = new QHBoxLayout(window);
    root->setContentsMargins(8, 6, 8, 8);
    root->setSpacing(8);
    root->addLayout(left, 1);
    root->addLayout(right);
    root->setSizeConstraint(QLayout::SetFixedSize);
    return c;
}

} // namespace tessel
