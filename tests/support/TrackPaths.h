// The rows of a track list as its tests compare them: the paths, in order.
#pragma once

#include "playlist/TrackList.h"

#include <string>
#include <vector>

namespace tessel::test {

inline std::vector<std::string> TrackPaths(const CTrackList& list) {
    std::vector<std::string> paths;
    for (int row = 0; row < list.GetCount(); ++row)
        paths.push_back(list.GetTrackPath(row));
    return paths;
}

} // namespace tessel::test
