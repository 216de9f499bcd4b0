#include "app/PlayModeMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <array>
#include <utility>

namespace tessel {

namespace {

constexpr std::array kRepeatChoices{std::pair{RepeatMode::Off, "&Off"},
                                    std::pair{RepeatMode::Track, "&Track"},
                                    std::pair{RepeatMode::All, "&All"}};
constexpr std::array kShuffleChoices{std::pair{ShuffleMode::Off, "&Off"},
                                     std::pair{ShuffleMode::Tracks, "&Tracks"},
                                     std::pair{ShuffleMode::Albums, "A&lbums"}};

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// The action whose object name is `name` in the group; checks it alone.
void CheckOnly(QActionGroup& group, const QString& name) {
    for (QAction* action : group.actions())
        action->setChecked(action->objectName() == name);
}

} // namespace

QString CPlayModeMenu::NameOf(RepeatMode mode) {
    return QStringLiteral("repeat-") + Text(RepeatModeText(mode));
}

QString CPlayModeMenu::NameOf(ShuffleMode mode) {
    return QStringLiteral("shuffle-") + Text(ShuffleModeText(mode));
}

CPlayModeMenu::CPlayModeMenu(QMenu& menu, Hooks hooks) : QObject(&menu), m_hooks(std::move(hooks)) {
    // The key beside the title: each press steps to the next choice.
    QMenu* repeat = menu.addMenu(QStringLiteral("&Repeat\tR"));
    m_repeat = new QActionGroup(repeat);
    for (const auto& [mode, text] : kRepeatChoices) {
        QAction* action = repeat->addAction(QString::fromLatin1(text));
        action->setObjectName(NameOf(mode));
        action->setCheckable(true);
        m_repeat->addAction(action);
        connect(action, &QAction::triggered, this, [this, mode = mode] {
            if (m_hooks.setRepeat)
                m_hooks.setRepeat(mode);
        });
    }
    QMenu* shuffle = menu.addMenu(QStringLiteral("&Shuffle\tS"));
    m_shuffle = new QActionGroup(shuffle);
    for (const auto& [mode, text] : kShuffleChoices) {
        QAction* action = shuffle->addAction(QString::fromLatin1(text));
        action->setObjectName(NameOf(mode));
        action->setCheckable(true);
        m_shuffle->addAction(action);
        connect(action, &QAction::triggered, this, [this, mode = mode] {
            if (m_hooks.setShuffle)
                m_hooks.setShuffle(mode);
        });
    }
    m_stopAfterCurrent = menu.addAction(QStringLiteral("Stop &After Current"));
    m_stopAfterCurrent->setObjectName(QString::fromLatin1(kStopAfterCurrent));
    m_stopAfterCurrent->setCheckable(true);
    connect(m_stopAfterCurrent, &QAction::triggered, this, [this](bool on) {
        if (m_hooks.setStopAfterCurrent)
            m_hooks.setStopAfterCurrent(on);
    });
    m_resumePlaying = menu.addAction(QStringLiteral("Resume &Playing at Start"));
    m_resumePlaying->setObjectName(QString::fromLatin1(kResumePlaying));
    m_resumePlaying->setCheckable(true);
    connect(m_resumePlaying, &QAction::triggered, this, [this](bool on) {
        if (m_hooks.setResumePlaying)
            m_hooks.setResumePlaying(on);
    });
    Show(RepeatMode::Off, ShuffleMode::Off, false, false);
}

void CPlayModeMenu::Show(RepeatMode repeat, ShuffleMode shuffle, bool stopAfterCurrent,
                         bool resumePlaying) {
    CheckOnly(*m_repeat, NameOf(repeat));
    CheckOnly(*m_shuffle, NameOf(shuffle));
    m_stopAfterCurrent->setChecked(stopAfterCurrent);
    m_resumePlaying->setChecked(resumePlaying);
}

} // namespace tessel
