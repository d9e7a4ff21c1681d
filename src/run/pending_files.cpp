#include "run/pending_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "data/safe_text.h"

namespace {

std::string failure(const PendingFile& file, const char* what, int errorNumber) {
    return "cannot " + std::string(what) + " the " + file.role + " " + printable(file.target) +
           ": " + std::strerror(errorNumber);
}

// The file the target finally names: a symbolic link is followed, so that
// the rename replaces the file it points to, not the link.
std::string resolved(const std::string& target) {
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error)) return target;
    const auto real = std::filesystem::weakly_canonical(target, error);
    return error ? target : real.string();
}

int closeFile(int& fd) {
    if (fd < 0) return 0;
    const int status = ::close(fd);
    fd = -1;
    return status;
}

}  // namespace

std::optional<std::string> createPendingFile(PendingFile& file) {
    const std::string target = resolved(file.target);
    struct stat status {};
    if (::stat(target.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        do file.fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        while (file.fd < 0 && errno == EINTR);
        if (file.fd < 0) return failure(file, "open", errno);
        return std::nullopt;
    }
    const std::filesystem::path path(target);
    const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    std::string pattern = folder + "/." + path.filename().string() + ".XXXXXX";
    file.fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (file.fd < 0) return failure(file, "create a file beside", errno);
    file.temporary = pattern;
    // mkstemp makes the file private; give it the mode a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file.fd, 0666 & ~mask);
    return std::nullopt;
}

std::optional<std::string> writePendingFile(PendingFile& file, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(file.fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failure(file, "write", n < 0 ? errno : EIO);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return std::nullopt;
}

std::optional<std::string> commitPendingFiles(std::vector<PendingFile>& files) {
    for (PendingFile& file : files)
        if (closeFile(file.fd) != 0 && errno != EINTR) return failure(file, "write", errno);
    for (PendingFile& file : files) {
        if (file.temporary.empty()) continue;
        if (::rename(file.temporary.c_str(), resolved(file.target).c_str()) != 0)
            return failure(file, "write", errno);
        file.temporary.clear();
    }
    return std::nullopt;
}

void discardPendingFiles(std::vector<PendingFile>& files) noexcept {
    for (PendingFile& file : files) {
        closeFile(file.fd);
        if (!file.temporary.empty()) ::unlink(file.temporary.c_str());
        file.temporary.clear();
    }
}
