// The parts an image button can play, the messages each one posts and the
// picture each state shows. Picture names are the program's own: the build
// renders files of exactly these names beside the executable.
#pragma once

#include "core/AppMessages.h"

#include <optional>

#include <QSize>
#include <QString>

#include <array>
#include <cstdint>

namespace tessel {

enum class ButtonRole {
    None, // not yet set: the button shows only its face colour
    AddFile,
    AddFolder,
    Delete,
    DeleteAll,
    Equalizer,
    FastForward,
    Playlist,
    MoveDown,
    MoveUp,
    NextTrack,
    PlayPause,
    Power,
    PreviousTrack,
    Rewind,
    Save,
    Speaker,
};

inline constexpr std::array<ButtonRole, 16> kAllButtonRoles = {
    ButtonRole::AddFile,       ButtonRole::AddFolder, ButtonRole::Delete,
    ButtonRole::DeleteAll,     ButtonRole::Equalizer, ButtonRole::FastForward,
    ButtonRole::Playlist,      ButtonRole::MoveDown,  ButtonRole::MoveUp,
    ButtonRole::NextTrack,     ButtonRole::PlayPause, ButtonRole::Power,
    ButtonRole::PreviousTrack, ButtonRole::Rewind,    ButtonRole::Save,
    ButtonRole::Speaker,
};

// Message ids a role posts; 0 where it posts nothing.
struct RoleMessages {
    std::optional<AppMessage> press;
    std::optional<AppMessage> release;
    std::optional<AppMessage> doubleClick;
};

RoleMessages MessagesFor(ButtonRole role);

// Whether the role has a separate picture for "not enabled".
bool HasDisabledPicture(ButtonRole role);

// The picture file name (no folder) a button shows in the given state, or an
// empty string for a role that has none.
QString PictureFileFor(ButtonRole role, bool pressed, bool enabledLook, bool powerOn);

// The size the role's pictures are drawn at; the natural size of its button.
QSize NaturalPictureSize(ButtonRole role);

} // namespace tessel
