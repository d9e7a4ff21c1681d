// The program on a pseudo-terminal: keys are read raw (no Enter, one echo),
// and the terminal's mode comes back after a run that fails and when SIGINT
// or SIGTERM ends the program during a key.

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

tcflag_t localModes(int terminal) {
    termios t{};
    ::tcgetattr(terminal, &t);
    return t.c_lflag;
}

TEST(Terminal, KeysNeedNoEnterAndTheModeComesBack) {
    for (const int signal : {0, SIGINT, SIGTERM}) {
        testing_support::TempDir dir;
        dir.write("expr.txt", "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 6.5\n");
        std::string program = testing_support::programPath();
        char* argv[] = {program.data(), nullptr};
        int master = -1;
        const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            if (::chdir(dir.path().c_str()) == 0) ::execv(argv[0], argv);
            ::_exit(127);
        }
        std::string output;
        std::size_t matched = 0;
        // Reads until text comes next (exact) or anywhere after what was matched.
        const auto waitFor = [&](const std::string& text, bool exact = false) {
            for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);;) {
                const auto found = output.find(text, matched);
                if (found != std::string::npos && (!exact || found == matched)) return matched = found + text.size(), true;
                pollfd p{master, POLLIN, 0};
                if ((exact && output.size() >= matched + text.size()) ||
                    std::chrono::steady_clock::now() > deadline || ::poll(&p, 1, 100) < 0)
                    return false;
                char buffer[4096];
                const ssize_t n = (p.revents & POLLIN) ? ::read(master, buffer, sizeof buffer) : 0;
                if (n < 0) return false;
                output.append(buffer, static_cast<std::size_t>(n));
            }
        };
        const auto waitForRawMode = [&] {
            for (int waited = 0; (localModes(master) & (ICANON | ECHO)) && waited < 20000; waited += 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return !(localModes(master) & (ICANON | ECHO));
        };
        const auto send = [&](const std::string& text) { return ::write(master, text.data(), text.size()) > 0; };

        bool ok = waitFor("Please input the name of expression file:\r\n");
        const tcflag_t lineMode = localModes(master);
        EXPECT_EQ(lineMode & (ICANON | ECHO), tcflag_t{ICANON | ECHO});  // words in line mode
        ok = ok && send("expr.txt\n") && waitFor("otherwise type N or other keys:\r\n") && waitForRawMode();
        if (signal == SIGINT) ok = ok && send("\x03");  // Ctrl-C, through the line discipline
        if (signal == SIGTERM) ::kill(pid, SIGTERM);
        if (signal == 0) {  // the expression file goes between the dialogue and the run
            ok = ok && send("n") && waitFor("n\r\n\r\nPlease input the scale of error:\r\n", true) &&
                 send("0.1\nout.txt\n") && waitFor("Type Y or N or the number (0-9) to change the option:\r\n\r\n") &&
                 std::filesystem::remove(dir.file("expr.txt")) && waitForRawMode() && send("Y") &&
                 waitFor("Y\r\n\r\n\r\nNow program is running......Can not open the input data file!\r\n", true);
        }
        EXPECT_TRUE(ok) << "signal " << signal << ": " << output;
        if (!ok) ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(signal ? WIFSIGNALED(status) && WTERMSIG(status) == signal
                           : WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(localModes(master), lineMode);
        EXPECT_EQ(testing_support::readFile(dir.file("out.txt")), "");  // none, or left empty
        ::close(master);
    }
}

}  // namespace
