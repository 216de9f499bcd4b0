// The audio file types the player offers in its file dialogs and, later, in
// the folder scan: the formats the decoder plays.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessel {

inline constexpr std::string_view kAudioTypeList =
    "*.mp3; *.ogg; *.wav; *.wma; *.flac; *.opus; *.m4a; *.aac; *.aif; *.aiff";

// The list as single patterns: "*.mp3", "*.ogg", ...
inline std::vector<std::string> AudioTypePatterns() {
    std::vector<std::string> patterns;
    std::string current;
    for (char c : kAudioTypeList) {
        if (c == ';' || c == ' ') {
            if (!current.empty())
                patterns.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        patterns.push_back(current);
    return patterns;
}

// A file-dialog filter in Qt's syntax: the audio types first, then all files.
inline std::string AudioFileDialogFilter() {
    std::string spaced;
    for (const std::string& pattern : AudioTypePatterns())
        spaced += (spaced.empty() ? "" : " ") + pattern;
    return "Files (" + spaced + ");;All Files (*)";
}

} // namespace tessel
