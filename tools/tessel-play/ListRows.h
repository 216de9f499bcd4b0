// tessel-play --list: the rows the inputs make, as the player would list
// them, without playing. One line per row, tab-separated:
//
//     number  length (s, three decimals)  title  path  [start-end frame]
//
// The range is given for a row that is a part of its file (a CUE sheet's
// track), as frames at the file's rate ("end" for the file's end). A row that
// will not open shows "-" for its length and "File Not Recognized" for its
// title. What was wrong with a damaged sheet (a track left out, and why)
// goes to standard error, a line each.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tessel {

// Returns the exit status: 0 when every row opens, 1 otherwise.
int ListRows(const std::vector<std::string>& inputs, std::FILE* out);

} // namespace tessel
