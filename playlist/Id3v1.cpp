#include "playlist/Id3v1.h"

#include "core/TextEncoding.h"
#include "playlist/TrackText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessel {

namespace {

constexpr off_t kBlockSize = 128;
constexpr size_t kTitleOffset = 3;
constexpr size_t kTitleSize = 30;

class FileHandle {
  public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int Get() const { return m_fd; }

  private:
    int m_fd;
};

} // namespace

std::optional<std::string> ReadId3v1Title(const std::string& path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= kBlockSize)
        return std::nullopt;

    char block[kBlockSize] = {};
    const ssize_t got = ::pread(file.Get(), block, sizeof block, info.st_size - kBlockSize);
    if (got != kBlockSize)
        return std::nullopt;
    // The marker is case-sensitive: "tag" in lower case is not a block.
    if (block[0] != 'T' || block[1] != 'A' || block[2] != 'G')
        return std::nullopt;

    std::string_view title(block + kTitleOffset, kTitleSize);
    const size_t nul = title.find('\0');
    if (nul != std::string_view::npos)
        title = title.substr(0, nul);
    const size_t last = title.find_last_not_of(' ');
    title = last == std::string_view::npos ? std::string_view{} : title.substr(0, last + 1);
    if (title.empty())
        return std::nullopt;
    // ID3v1 text is Latin-1 by definition.
    return Latin1ToUtf8(title);
}

} // namespace tessel
