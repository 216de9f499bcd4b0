#include "app/CommandLinePaths.h"

namespace tessel {

void CCommandLinePaths::ParseParam(const std::string& param, bool /*isFlag*/, bool /*isLast*/) {
    m_params.push_back(param);
    m_hasParams = true;
}

void CCommandLinePaths::ParseCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        ParseParam(argv[i], false, i == argc - 1);
}

void CCommandLinePaths::GetNextParam(std::string& path, bool& isLast) {
    if (m_nextIndex >= m_params.size()) {
        // Past the end as well as empty: answering "" keeps a caller that
        // loops on isLast from reading beyond the list.
        path.clear();
        isLast = true;
        return;
    }
    path = m_params[m_nextIndex++];
    if (m_nextIndex == m_params.size())
        isLast = true;
}

std::vector<std::string> CCommandLinePaths::TakeAll() {
    std::vector<std::string> paths;
    bool isLast = false;
    while (m_nextIndex < m_params.size()) {
        std::string path;
        GetNextParam(path, isLast);
        paths.push_back(std::move(path));
    }
    return paths;
}

} // namespace tessel
