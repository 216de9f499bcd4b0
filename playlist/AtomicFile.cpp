#include "playlist/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tessel {

namespace {

std::string Reason(const char* what, int code) {
    return std::string(what) + ": " + std::strerror(code);
}

std::string FollowLinks(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error))
        return path;
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, error);
    return error ? path : real.string();
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t done = ::write(fd, data.data(), data.size());
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data.remove_prefix(static_cast<size_t>(done));
    }
    return true;
}

} // namespace

AtomicWriteStatus WriteFileAtomically(const std::string& path, std::string_view data,
                                      std::string& error) {
    const std::string target = FollowLinks(path);
    const std::filesystem::path targetPath(target);
    const std::string prefix =
        (targetPath.parent_path() / ("." + targetPath.filename().string() + ".tmp-")).string();

    // O_EXCL with a fresh name per try, so a stale or hostile file of the
    // same name is never written through.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = prefix + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            error = Reason("cannot create the file", errno);
            return AtomicWriteStatus::CannotCreate;
        }
    }
    if (fd < 0) {
        error = "cannot create the file: no free temporary name";
        return AtomicWriteStatus::CannotCreate;
    }

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        (void)::fchmod(fd, old.st_mode & 07777);

    bool ok = WriteAll(fd, data);
    int code = errno;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        code = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        error = Reason("cannot write the file", code);
        return AtomicWriteStatus::WriteFailed;
    }
    return AtomicWriteStatus::Ok;
}

} // namespace tessel
