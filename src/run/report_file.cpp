#include "run/report_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "data/safe_text.h"

namespace {
constexpr std::size_t FlushThreshold = 1 << 16;
}

ReportFile::~ReportFile() { close(); }

bool ReportFile::open(const std::string& fileName) {
    close();
    errorNumber_ = 0;
    buffer_.clear();
    fileName_ = fileName;
    owned_ = true;
    if (fileName.find('\0') != std::string::npos) return false;
    do {
        fd_ = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    return fd_ >= 0;
}

void ReportFile::attach(int fd, const std::string& fileName, bool owned) {
    close();
    errorNumber_ = 0;
    buffer_.clear();
    fileName_ = fileName;
    fd_ = fd;
    owned_ = owned;
}

void ReportFile::write(std::string_view text) {
    if (fd_ < 0 || failed()) return;
    buffer_.append(text);
    if (buffer_.size() >= FlushThreshold) flushBuffer();
}

void ReportFile::flushBuffer() {
    std::size_t done = 0;
    while (done < buffer_.size() && !failed()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n > 0) done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR) continue;
        else errorNumber_ = n < 0 ? errno : EIO;
    }
    buffer_.clear();
}

std::optional<std::string> ReportFile::close() {
    if (fd_ < 0) return std::nullopt;
    flushBuffer();
    if (owned_ && ::close(fd_) != 0 && !failed() && errno != EINTR) errorNumber_ = errno;
    fd_ = -1;
    if (!failed()) return std::nullopt;
    return "Can not write the output file " + printable(fileName_) + ": " + std::strerror(errorNumber_) +
           "\n";
}
