// The program on a pseudo-terminal: keys are read raw (no Enter, one echo),
// and the terminal's mode comes back after the dialogue and when a signal
// ends the program during a key.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace {

// The program started on a new pseudo-terminal in a folder holding expr.txt.
struct Session {
    Session() {
        dir.write("expr.txt", "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 6.5\n");
        std::string program = testing_support::programPath();
        char* argv[] = {program.data(), nullptr};
        pid = ::forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            if (::chdir(dir.path().c_str()) == 0) ::execv(argv[0], argv);
            ::_exit(127);
        }
    }
    ~Session() {
        if (status < 0) ::kill(pid, SIGKILL), finish();
        ::close(master);
    }
    // Reads until text appears after everything matched before; with exact,
    // text must come next. Line ends "\r\n" are kept.
    bool waitFor(const std::string& text, bool exact = false) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            const auto found = output.find(text, matched);
            if (found != std::string::npos && (!exact || found == matched)) return matched = found + text.size(), true;
            if (exact && output.size() >= matched + text.size()) return false;
            pollfd p{master, POLLIN, 0};
            if (std::chrono::steady_clock::now() > deadline || ::poll(&p, 1, 100) < 0) return false;
            char buffer[4096];
            const ssize_t n = (p.revents & POLLIN) ? ::read(master, buffer, sizeof buffer) : 0;
            if (n < 0) return false;
            output.append(buffer, static_cast<std::size_t>(n));
        }
    }
    tcflag_t localModes() const {
        termios t{};
        ::tcgetattr(master, &t);
        return t.c_lflag;
    }
    bool rawMode() const { return !(localModes() & (ICANON | ECHO)); }
    // Waits until the program has put the terminal into raw mode for a key.
    bool waitForRawMode() const {
        for (int waited = 0; !rawMode() && waited < 20000; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return rawMode();
    }
    void send(const std::string& text) { ASSERT_GT(::write(master, text.data(), text.size()), 0); }
    int finish() { return ::waitpid(pid, &status, 0), status; }

    testing_support::TempDir dir;
    pid_t pid = -1;
    int master = -1, status = -1;
    std::string output;
    std::size_t matched = 0;
};

// Words in line mode, keys without Enter and echoed once, and the terminal's
// mode back after a run that fails (the expression file is removed between
// the dialogue and the run) or after SIGINT or SIGTERM during a key.
TEST(Terminal, KeysNeedNoEnterAndTheModeComesBack) {
    for (const int signal : {0, SIGINT, SIGTERM}) {
        Session session;
        ASSERT_TRUE(session.waitFor("Please input the name of expression file:\r\n"));
        const tcflag_t lineMode = session.localModes();
        EXPECT_FALSE(session.rawMode());
        session.send("expr.txt\n");
        ASSERT_TRUE(session.waitFor("otherwise type N or other keys:\r\n") && session.waitForRawMode());
        if (signal == SIGINT) session.send("\x03");  // Ctrl-C, through the line discipline
        if (signal == SIGTERM) ::kill(session.pid, SIGTERM);
        if (signal == 0) {
            session.send("n");
            ASSERT_TRUE(session.waitFor("n\r\n\r\nPlease input the scale of error:\r\n", true)) << session.output;
            session.send("0.1\nout.txt\n");
            ASSERT_TRUE(session.waitFor("Type Y or N or the number (0-9) to change the option:\r\n\r\n"));
            std::filesystem::remove(session.dir.file("expr.txt"));
            ASSERT_TRUE(session.waitForRawMode());
            session.send("Y");
            ASSERT_TRUE(session.waitFor(
                "Y\r\n\r\n\r\nNow program is running......Can not open the input data file!\r\n", true))
                << session.output;
        }
        const int status = session.finish();
        EXPECT_TRUE(signal ? WIFSIGNALED(status) && WTERMSIG(status) == signal
                           : WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(session.localModes(), lineMode);
        EXPECT_EQ(testing_support::readFile(session.dir.file("out.txt")), "");  // none, or left empty
    }
}

}  // namespace
