// The audio file types the player offers in its file dialogs and takes from
// a folder: the formats the decoder plays.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessel {

inline constexpr std::string_view kAudioTypeList =
    "*.mp3; *.ogg; *.wav; *.wma; *.flac; *.opus; *.m4a; *.aac; *.aif; *.aiff; *.ape; *.wv; "
    "*.mka; *.m4b";

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

// A file-dialog filter in Qt's syntax: the audio types and CUE sheets (an
// album as one file), then all files.
inline std::string AudioFileDialogFilter() {
    std::string spaced;
    for (const std::string& pattern : AudioTypePatterns())
        spaced += pattern + " ";
    return "Files (" + spaced + "*.cue);;All Files (*)";
}

// The playlist window's "+ File" filter: the audio types and the playlist
// types it reads, then all files.
inline std::string AudioAndPlaylistDialogFilter() {
    std::string spaced;
    for (const std::string& pattern : AudioTypePatterns())
        spaced += pattern + " ";
    return "Files (" + spaced + "*.cue *.m3u *.m3u8 *.pls);;All Files (*)";
}

// True when the file name ends in one of the audio types, in any case. A
// whole extension must match: "song.mp" and names without one are not audio.
inline bool IsAudioFileName(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size())
        return false;
    const std::string_view ext = name.substr(dot);
    static const std::vector<std::string> patterns = AudioTypePatterns();
    for (const std::string& pattern : patterns) {
        const std::string_view known = std::string_view(pattern).substr(1); // drop the "*"
        if (known.size() != ext.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < ext.size() && same; ++i) {
            char c = ext[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            same = c == known[i];
        }
        if (same)
            return true;
    }
    return false;
}

} // namespace tessel
