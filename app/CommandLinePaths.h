// The command line after Qt has taken its own options: every argument is a
// path, kept in order and handed out one at a time.
//
// Threads: main thread only.
#pragma once

#include <string>
#include <vector>

namespace tessel {

class CCommandLinePaths {
  public:
    // Records `param` as the next path. Arguments that look like options are
    // paths too: the player has no switches of its own.
    void ParseParam(const std::string& param, bool isFlag, bool isLast);
    // Parses argv[1 .. argc-1].
    void ParseCommandLine(int argc, char** argv);

    bool HasParams() const { return m_hasParams; }

    // The next path; "" with `isLast` set when there are none. `isLast` is set
    // when the path handed out is the last one and is never cleared here.
    void GetNextParam(std::string& path, bool& isLast);

    // Every remaining path, in order.
    std::vector<std::string> TakeAll();

  private:
    size_t m_nextIndex = 0;
    std::vector<std::string> m_params;
    bool m_hasParams = false;
};

} // namespace tessel
