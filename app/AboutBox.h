// The About box: product name, version and maker.
#pragma once

class QWidget;

namespace tessel {

inline constexpr const char* kProductName = "Tessel Audio Player";
inline constexpr const char* kMakerName = "Tessel Programs";
inline constexpr const char* kAboutCommand = "&About Audio Player...";

// The version number the box shows.
const char* AboutVersion();

void ShowAboutBox(QWidget* parent);

} // namespace tessel
