#include "controls/ButtonRole.h"

#include "core/AppMessages.h"

namespace tessel {

namespace {

// The playlist's buttons are small and wide; the transport and window
// buttons are squarer.
constexpr QSize kTransportSize(40, 32);
constexpr QSize kListSize(48, 24);

const char* BaseName(ButtonRole role, bool powerOn) {
    switch (role) {
    case ButtonRole::None:
        return nullptr;
    case ButtonRole::AddFile:
        return "addFile";
    case ButtonRole::AddFolder:
        return "addFolder";
    case ButtonRole::Delete:
        return "delete";
    case ButtonRole::DeleteAll:
        return "deleteAll";
    case ButtonRole::Equalizer:
        return "eq";
    case ButtonRole::FastForward:
        return "fastForward";
    case ButtonRole::Playlist:
        return "list";
    case ButtonRole::MoveDown:
        return "moveDown";
    case ButtonRole::MoveUp:
        return "moveUp";
    case ButtonRole::NextTrack:
        return "nextTrack";
    case ButtonRole::PlayPause:
        return "playPause";
    case ButtonRole::Power:
        return powerOn ? "powerOn" : "powerOff";
    case ButtonRole::PreviousTrack:
        return "previousTrack";
    case ButtonRole::Rewind:
        return "rewind";
    case ButtonRole::Save:
        return "save";
    case ButtonRole::Speaker:
        return "speaker";
    }
    return nullptr;
}

} // namespace

RoleMessages MessagesFor(ButtonRole role) {
    switch (role) {
    case ButtonRole::Delete:
        return {AppMessage::DeleteSelected, std::nullopt, AppMessage::DeleteSelected};
    case ButtonRole::MoveDown:
        return {AppMessage::MoveSelectedDown, std::nullopt, AppMessage::MoveSelectedDown};
    case ButtonRole::MoveUp:
        return {AppMessage::MoveSelectedUp, std::nullopt, AppMessage::MoveSelectedUp};
    case ButtonRole::FastForward:
        return {AppMessage::FfwdPressed, AppMessage::FfwdReleased, std::nullopt};
    case ButtonRole::Rewind:
        return {AppMessage::RwndPressed, AppMessage::RwndReleased, std::nullopt};
    default:
        return {};
    }
}

bool HasDisabledPicture(ButtonRole role) {
    return role == ButtonRole::FastForward || role == ButtonRole::PlayPause ||
           role == ButtonRole::Rewind;
}

QString PictureFileFor(ButtonRole role, bool pressed, bool enabledLook, bool powerOn) {
    const char* base = BaseName(role, powerOn);
    if (!base)
        return {};
    QString name = QString::fromLatin1(base);
    // The disabled look wins over pressed: a held button that loses its
    // transport keeps showing that it cannot act.
    if (HasDisabledPicture(role) && !enabledLook)
        return name + QStringLiteral("Disabled.png");
    if (pressed)
        return name + QStringLiteral("Selected.png");
    return name + QStringLiteral(".png");
}

QSize NaturalPictureSize(ButtonRole role) {
    switch (role) {
    case ButtonRole::AddFile:
    case ButtonRole::AddFolder:
    case ButtonRole::Delete:
    case ButtonRole::DeleteAll:
    case ButtonRole::MoveDown:
    case ButtonRole::MoveUp:
    case ButtonRole::Save:
        return kListSize;
    default:
        return kTransportSize;
    }
}

} // namespace tessel
