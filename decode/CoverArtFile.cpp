#include "decode/CoverArtFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace tessel {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "cover-";

fs::path FromVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {};
    return fs::path(value);
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

// The process id in "cover-<pid>-<n>.<ext>" (or its ".cover-...tmp" while
// written); 0 when the name is not ours.
pid_t OwnerOf(std::string name) {
    if (!name.empty() && name.front() == '.')
        name.erase(0, 1);
    if (name.compare(0, kPrefix.size(), kPrefix) != 0)
        return 0;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + kPrefix.size(), &end, 10);
    return end != nullptr && *end == '-' && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

} // namespace

fs::path DefaultCoverFolder() {
    fs::path base = FromVariable("XDG_RUNTIME_DIR");
    if (base.empty())
        base = FromVariable("XDG_CACHE_HOME");
    if (base.empty()) {
        const fs::path home = FromVariable("HOME");
        base = home.empty() ? fs::temp_directory_path() : home / ".cache";
    }
    return base / "tessel-audio-player";
}

std::string FileUrl(const fs::path& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : path.string()) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '/' || byte == '-' ||
                           byte == '_' || byte == '.' || byte == '~';
        if (plain) {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0x0F];
        }
    }
    return url;
}

CCoverArtFile::CCoverArtFile(fs::path folder) : m_folder(std::move(folder)) {
    RemoveLeftovers();
}

CCoverArtFile::~CCoverArtFile() {
    Clear();
}

void CCoverArtFile::RemoveLeftovers() const {
    std::error_code error;
    for (fs::directory_iterator it(m_folder, error), end; !error && it != end;
         it.increment(error)) {
        const pid_t owner = OwnerOf(it->path().filename().string());
        // Another running player's cover stays; a gone one's goes.
        if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
            fs::remove(it->path(), error);
    }
}

void CCoverArtFile::Clear() {
    if (m_current.empty())
        return;
    std::error_code error;
    fs::remove(m_current, error);
    m_current.clear();
}

std::string CCoverArtFile::Publish(const CoverPicture& picture) {
    Clear();
    if (picture.Empty())
        return {};
    std::error_code error;
    fs::create_directories(m_folder, error);
    if (error)
        return {};
    // Private to the user, as the runtime folder itself is.
    ::chmod(m_folder.c_str(), 0700);

    const std::string extension = picture.mimeType == "image/png" ? ".png" : ".jpg";
    const std::string stem =
        std::string(kPrefix) + std::to_string(::getpid()) + "-" + std::to_string(++m_serial);
    const fs::path target = m_folder / (stem + extension);
    const fs::path temp = m_folder / ("." + stem + ".tmp");
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return {};
    const bool written = WriteAll(fd, picture.bytes.data(), picture.bytes.size());
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), target.c_str()) != 0) {
        fs::remove(temp, error);
        return {};
    }
    m_current = target;
    return FileUrl(target);
}

} // namespace tessel
