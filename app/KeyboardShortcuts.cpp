#include "app/KeyboardShortcuts.h"

#include "app/MainWindow.h"
#include "controls/FocusRing.h"
#include "controls/PictureSlider.h"
#include "engine/Deck.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>
#include <QToolButton>
#include <QWheelEvent>

namespace tessel {

namespace {

struct Binding {
    QKeyCombination keys;
    UserCommand command;
    double value;
    bool repeats; // held down, the key acts again and again
};

const Binding kBindings[] = {
    {QKeyCombination(Qt::Key_Space), UserCommand::PlayPause, 0, false},
    {QKeyCombination(Qt::Key_Left), UserCommand::SeekBy, -kSeekStepSeconds, true},
    {QKeyCombination(Qt::Key_Right), UserCommand::SeekBy, kSeekStepSeconds, true},
    {Qt::CTRL | Qt::Key_Left, UserCommand::Previous, 0, false},
    {Qt::CTRL | Qt::Key_Right, UserCommand::Next, 0, false},
    {QKeyCombination(Qt::Key_Up), UserCommand::VolumeStep, 1, true},
    {QKeyCombination(Qt::Key_Down), UserCommand::VolumeStep, -1, true},
    {Qt::CTRL | Qt::Key_O, UserCommand::OpenFiles, 0, false},
    {Qt::CTRL | Qt::Key_L, UserCommand::ShowPlaylist, 0, false},
    {Qt::CTRL | Qt::Key_E, UserCommand::ShowEqualizer, 0, false},
    {Qt::CTRL | Qt::Key_Comma, UserCommand::ShowLoudness, 0, false},
    {Qt::CTRL | Qt::Key_I, UserCommand::ShowTrackInfo, 0, false},
    {Qt::CTRL | Qt::Key_Q, UserCommand::Quit, 0, false},
};

// Plain letters: they also work in the play list window, and never while a
// text field takes typing (the play list's Find box).
const Binding kLetterBindings[] = {
    {QKeyCombination(Qt::Key_R), UserCommand::CycleRepeat, 0, false},
    {QKeyCombination(Qt::Key_S), UserCommand::CycleShuffle, 0, false},
};

// A text field takes its letters before any shortcut (Qt asks it first);
// this is the guard for a field that would not claim them.
bool TextFieldHasFocus() {
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return false;
    if (auto* combo = qobject_cast<QComboBox*>(focus))
        return combo->isEditable();
    return qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) ||
           qobject_cast<QPlainTextEdit*>(focus) || qobject_cast<QAbstractSpinBox*>(focus);
}

// The keys that belong to a focused control rather than to the window, and
// the position slider's own keys and wheel, which must seek rather than move
// its thumb behind the deck's back.
class CKeyFilter : public QObject {
  public:
    // The watched objects are kept as plain objects: the window sends events
    // while it is being destroyed, when it is no longer a CMainWindow.
    explicit CKeyFilter(CMainWindow& window)
        : QObject(&window), m_window(window), m_windowObject(&window),
          m_menu(window.Controls().menu), m_position(window.Controls().position) {
        for (QObject* watched : {m_windowObject, m_menu, m_position})
            watched->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Space works a focused button; the menu button is one.
            if (watched == m_menu && static_cast<QKeyEvent*>(event)->keyCombination() ==
                                         QKeyCombination(Qt::Key_Space)) {
                event->accept();
                return true;
            }
            return false;
        case QEvent::KeyPress:
            if (watched == m_windowObject)
                return static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
            if (watched == m_position)
                return SliderKey(*static_cast<QKeyEvent*>(event));
            return false;
        case QEvent::Wheel:
            if (watched == m_position)
                return SliderWheel(*static_cast<QWheelEvent*>(event));
            return false;
        default:
            return false;
        }
    }

  private:
    bool SliderKey(const QKeyEvent& key) {
        if (key.modifiers() != Qt::NoModifier)
            return false;
        const double length = m_window.Deck().TrackLength();
        switch (key.key()) {
        case Qt::Key_PageUp:
            m_window.OnUserCommand(UserCommand::SeekBy, length / 20.0);
            return true;
        case Qt::Key_PageDown:
            m_window.OnUserCommand(UserCommand::SeekBy, -length / 20.0);
            return true;
        case Qt::Key_Home:
            m_window.OnUserCommand(UserCommand::SeekTo, 0.0);
            return true;
        case Qt::Key_End:
            m_window.OnUserCommand(UserCommand::SeekTo, length);
            return true;
        default:
            return false;
        }
    }

    bool SliderWheel(const QWheelEvent& wheel) {
        // Only whole notches seek; a touchpad's many small steps add up.
        m_wheelDelta +=
            wheel.angleDelta().y() != 0 ? wheel.angleDelta().y() : wheel.angleDelta().x();
        const int notches = m_wheelDelta / QWheelEvent::DefaultDeltasPerStep;
        if (notches != 0) {
            m_wheelDelta -= notches * QWheelEvent::DefaultDeltasPerStep;
            m_window.OnUserCommand(UserCommand::SeekBy, notches * kSeekStepSeconds);
        }
        return true;
    }

    CMainWindow& m_window;
    QObject* m_windowObject;
    QObject* m_menu;
    QObject* m_position;
    int m_wheelDelta = 0;
};

} // namespace

void InstallKeyboardShortcuts(CMainWindow& window) {
    for (const Binding& binding : kBindings) {
        auto* shortcut = new QShortcut(QKeySequence(binding.keys), &window);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(binding.repeats);
        QObject::connect(shortcut, &QShortcut::activated, &window, [&window, binding] {
            window.OnUserCommand(binding.command, binding.value);
        });
    }
    // The play list window is a tool window of this one: its keys reach
    // these shortcuts too.
    for (const Binding& binding : kLetterBindings) {
        auto* shortcut = new QShortcut(QKeySequence(binding.keys), &window);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        QObject::connect(shortcut, &QShortcut::activated, &window, [&window, binding] {
            if (!TextFieldHasFocus())
                window.OnUserCommand(binding.command, binding.value);
        });
    }
    const MainWindowControls& c = window.Controls();
    // The slider's keys seek through the filter, so it can take the focus.
    c.position->setFocusPolicy(Qt::TabFocus);
    // The style marks a focused slider faintly.
    CFocusRing::Attach(c.position);
    CFocusRing::Attach(c.volume);
    new CKeyFilter(window);
}

} // namespace tessel
