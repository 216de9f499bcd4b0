// Text compared as a person reading the list would: without regard to letter
// case or accents, so "beyonce" finds "Beyoncé" and "ANGSTROM" finds
// "Ångström".
//
// Folding covers ASCII, Latin-1 Supplement and Latin Extended-A (each
// accented letter becomes its base letters: "é" -> "e", "Æ" -> "ae",
// "ß" -> "ss"), drops combining accents (file names written decomposed), and
// lower-cases Greek and Cyrillic capitals. Everything else, and bytes that
// are not UTF-8, compare as they are.
//
// Threads: a CSearchText belongs to one thread at a time (it reuses a buffer).
#pragma once

#include <string>
#include <string_view>

namespace tessel {

// The folded form of UTF-8 text.
std::string FoldForSearch(std::string_view text);

// Appends the folded form of text to out.
void AppendFolded(std::string_view text, std::string& out);

class CSearchText {
  public:
    explicit CSearchText(std::string_view wanted);

    // Whether text holds the wanted text; empty wanted text is in everything.
    bool FoundIn(std::string_view text) const;
    bool Empty() const { return m_wanted.empty(); }

  private:
    std::string m_wanted;         // folded
    mutable std::string m_folded; // the text being searched, folded
};

} // namespace tessel
