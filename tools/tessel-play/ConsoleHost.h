// The deck's host in the console player: prints one line per track as it
// becomes current, and keeps the sliders a window would have.
#pragma once

#include "engine/DeckHost.h"

#include <cstdio>
#include <string>

namespace tessel {

class CConsoleHost : public CBlindDeckHost {
  public:
    void OnTrackChanged(const std::string& path, const std::string& title, double length) override {
        std::printf("track\t%s\t%.3f\t%s\n", path.c_str(), length, title.c_str());
        std::fflush(stdout);
    }
    // A starved output is never silent about it.
    void OnUnderrun(double atSeconds, double starvedSeconds) override {
        std::fprintf(stderr, "Underrun at %.3f s: output starved for %.3f s\n", atSeconds,
                     starvedSeconds);
    }
};

} // namespace tessel
