#include "support/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto candidate = base / ("noiseclust-test-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter++) + "-" + std::to_string(rd() % 100000));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::write(const std::string& name, const std::string& text) const {
    const auto p = path_ / name;
    std::ofstream out(p, std::ios::binary);
    out << text;
    return p;
}

std::string programPath() { return NOISECLUST_BINARY; }
std::filesystem::path sourceDir() { return NOISECLUST_SOURCE_DIR; }

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

ProcessResult runProgram(const std::vector<std::string>& arguments, const std::string& input,
                         const std::filesystem::path& workingDirectory) {
    int toChild[2], fromChild[2], errChild[2];
    if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0 || ::pipe(errChild) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(toChild[0], 0);
        ::dup2(fromChild[1], 1);
        ::dup2(errChild[1], 2);
        for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1], errChild[0], errChild[1]})
            ::close(fd);
        if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) ::_exit(126);
        std::vector<char*> argv;
        std::string program = programPath();
        argv.push_back(program.data());
        std::vector<std::string> args = arguments;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    ::close(errChild[1]);
    std::signal(SIGPIPE, SIG_IGN);

    ProcessResult result;
    std::size_t written = 0;
    int inFd = toChild[1];
    if (input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    bool outOpen = true, errOpen = true;
    char buffer[65536];
    while (outOpen || errOpen) {
        pollfd fds[3];
        int count = 0;
        int outIdx = -1, errIdx = -1, inIdx = -1;
        if (outOpen) { fds[count] = {fromChild[0], POLLIN, 0}; outIdx = count++; }
        if (errOpen) { fds[count] = {errChild[0], POLLIN, 0}; errIdx = count++; }
        if (inFd >= 0) { fds[count] = {inFd, POLLOUT, 0}; inIdx = count++; }
        if (::poll(fds, static_cast<nfds_t>(count), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        auto drain = [&](int idx, int fd, std::string& sink, bool& open) {
            if (idx >= 0 && (fds[idx].revents & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0) open = false;
                else sink.append(buffer, static_cast<std::size_t>(n));
            }
        };
        drain(outIdx, fromChild[0], result.standardOutput, outOpen);
        drain(errIdx, errChild[0], result.standardError, errOpen);
        if (inIdx >= 0 && (fds[inIdx].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t n = (fds[inIdx].revents & POLLOUT)
                                  ? ::write(inFd, input.data() + written, input.size() - written)
                                  : -1;
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n <= 0 || written == input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0) ::close(inFd);
    ::close(fromChild[0]);
    ::close(errChild[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status)) result.exitStatus = 128 + WTERMSIG(status);
    return result;
}

}  // namespace testing_support
