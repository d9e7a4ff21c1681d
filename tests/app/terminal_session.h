#pragma once
// The program on a pseudo-terminal: starts it, reads what it writes, sends
// lines and raw keys, and tells the terminal's mode.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace terminal_session {

constexpr int TimeoutMs = 20000;

class TerminalSession {
public:
    // Starts the program in `directory` with `arguments` on a new pseudo-terminal.
    explicit TerminalSession(const std::filesystem::path& directory,
                             const std::vector<std::string>& arguments = {}) {
        const std::string program = testing_support::programPath();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            if (::chdir(directory.c_str()) != 0) ::_exit(126);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        if (pid_ > 0) slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    }
    ~TerminalSession() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
    }
    bool keepReturns = false;  // keep the "\r" of the output

    bool started() const { return pid_ > 0 && slave_ >= 0; }

    // Reads the program's output (line ends as "\n", or kept as written with
    // keepReturns) until text appears after everything matched before; with
    // exact, text must come next.
    bool waitFor(const std::string& text, bool exact = false) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
        for (;;) {
            if (exact && output_.size() >= matched_ + text.size()) {
                if (output_.compare(matched_, text.size(), text) != 0) return false;
                matched_ += text.size();
                return true;
            }
            const auto found = exact ? std::string::npos : output_.find(text, matched_);
            if (found != std::string::npos) {
                matched_ = found + text.size();
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) return false;
            for (ssize_t i = 0; i < n; ++i)
                if (keepReturns || buffer[i] != '\r') output_.push_back(buffer[i]);
        }
    }

    termios mode() const {
        termios t{};
        ::tcgetattr(slave_, &t);
        return t;
    }
    bool lineMode() const { return (mode().c_lflag & (ICANON | ECHO)) == (ICANON | ECHO); }

    // Waits until the program has put the terminal into raw mode for a key.
    bool waitForRawMode() const {
        for (int waited = 0; waited < TimeoutMs; waited += 5) {
            const termios t = mode();
            if (!(t.c_lflag & ICANON) && !(t.c_lflag & ECHO)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    void send(const std::string& text) const {
        ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void sendKey(char key) const {
        ASSERT_TRUE(waitForRawMode()) << output_;
        send(std::string(1, key));
    }
    void signal(int signalNumber) const { ::kill(pid_, signalNumber); }
    // The wait status of the program.
    int finish() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        exited_ = true;
        return status;
    }
    const std::string& output() const { return output_; }

private:
    pid_t pid_ = -1;
    int master_ = -1;
    int slave_ = -1;
    bool exited_ = false;
    std::string output_;
    std::size_t matched_ = 0;
};

}  // namespace terminal_session
