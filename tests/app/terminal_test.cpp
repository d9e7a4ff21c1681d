// The program on a pseudo-terminal: keystrokes are read raw (no Enter, one
// echo), the terminal's mode comes back after every keystroke and when
// SIGINT or SIGTERM ends the program, and characters pending in the input
// stream stay there for the next word.

#include <gtest/gtest.h>

#include <fcntl.h>
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

#include "support/test_support.h"

using testing_support::readFile;
using testing_support::TempDir;

namespace {

constexpr int TimeoutMs = 20000;

class TerminalSession {
public:
    explicit TerminalSession(const std::filesystem::path& directory) {
        pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            std::signal(SIGINT, SIG_DFL);
            std::signal(SIGTERM, SIG_DFL);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            if (::chdir(directory.c_str()) != 0) ::_exit(126);
            const std::string program = testing_support::programPath();
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
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
    bool started() const { return pid_ > 0 && slave_ >= 0; }

    // Reads the program's output (line ends as "\n") until text appears
    // after everything matched before; with exact, text must come next.
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
                if (buffer[i] != '\r') output_.push_back(buffer[i]);
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

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override { dir.write("expr.txt", "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 6.5\n"); }
    TempDir dir;
};

const std::string AcceptPrompt = "Type Y or N or the number (0-9) to change the option:\n\n";

// The first pass up to the review screen with a scale of error of 0.1.
void answerFirstPass(TerminalSession& session) {
    ASSERT_TRUE(session.waitFor("Please input the name of expression file:\n"));
    session.send("expr.txt\n");
    ASSERT_TRUE(session.waitFor("otherwise type N or other keys:\n"));
    session.sendKey('n');
    ASSERT_TRUE(session.waitFor("n\n\nPlease input the scale of error:\n"));
    session.send("0.1\n");
    ASSERT_TRUE(session.waitFor("Please input the name of output file:\n"));
    session.send("out.txt\n");
    ASSERT_TRUE(session.waitFor(AcceptPrompt));
}

TEST_F(TerminalTest, KeysNeedNoEnterAndTheModeComesBack) {
    TerminalSession session(dir.path());
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.waitFor("Please input the name of expression file:\n"));
    EXPECT_TRUE(session.lineMode());
    session.send("expr.txt\n");
    ASSERT_TRUE(session.waitFor("expr.txt\n\nDo you have the error file?\n"));
    ASSERT_TRUE(session.waitFor("otherwise type N or other keys:\n"));
    // A single key without Enter answers the question; it is echoed once.
    session.sendKey('n');
    ASSERT_TRUE(session.waitFor("n\n\nPlease input the scale of error:\n", true)) << session.output();
    EXPECT_TRUE(session.lineMode());
    session.send("0.1\n");
    ASSERT_TRUE(session.waitFor("Please input the name of output file:\n"));
    session.send("out.txt\n");
    ASSERT_TRUE(session.waitFor(AcceptPrompt));
    session.sendKey('Y');
    ASSERT_TRUE(session.waitFor("Y\n\n\nNow program is running......", true)) << session.output();
    ASSERT_TRUE(session.waitFor("complete!\n")) << session.output();  // after any progress line
    const int status = session.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(session.lineMode());
    EXPECT_EQ(readFile(dir.file("out.txt")).rfind("Here are the settings:\n", 0), 0u);
}

class TerminalSignalTest : public TerminalTest, public ::testing::WithParamInterface<int> {};

TEST_P(TerminalSignalTest, SignalDuringAKeyRestoresTheMode) {
    TerminalSession session(dir.path());
    ASSERT_TRUE(session.started());
    ASSERT_TRUE(session.waitFor("Please input the name of expression file:\n"));
    const termios before = session.mode();
    session.send("expr.txt\n");
    ASSERT_TRUE(session.waitFor("otherwise type N or other keys:\n"));
    ASSERT_TRUE(session.waitForRawMode());
    if (GetParam() == SIGINT) session.send("\x03");  // Ctrl-C, through the line discipline
    else session.signal(GetParam());
    const int status = session.finish();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << status;
    EXPECT_EQ(session.mode().c_lflag, before.c_lflag);
    EXPECT_EQ(readFile(dir.file("expr.txt")), "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 6.5\n");
}

INSTANTIATE_TEST_SUITE_P(InterruptAndTerminate, TerminalSignalTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) { return info.param == SIGINT ? "Interrupt" : "Terminate"; });

TEST_F(TerminalTest, CharactersAfterTheDirectionStayForTheNextWord) {
    TerminalSession session(dir.path());
    ASSERT_TRUE(session.started());
    answerFirstPass(session);
    session.sendKey('4');
    ASSERT_TRUE(session.waitFor("(\"Y\" or \"N\") ?\n"));
    session.sendKey('y');
    ASSERT_TRUE(session.waitFor("\t2: by column\n"));
    // The direction is a character answer of the line "12": 1 is taken, and
    // the 2 waits in the stream while the method is a raw key.
    session.send("12\n");
    ASSERT_TRUE(session.waitFor("\t5: maximum normalization\n"));
    session.sendKey('3');
    ASSERT_TRUE(session.waitFor("(5) Preprocess data by             : row, meancenter\n"));
    ASSERT_TRUE(session.waitFor(AcceptPrompt));
    session.sendKey('3');
    ASSERT_TRUE(session.waitFor("Please input the sample size:\n"));
    ASSERT_TRUE(session.waitFor("(3) The sample size is             : 2\n")) << session.output();
    ASSERT_TRUE(session.waitFor(AcceptPrompt));
    session.sendKey('Y');
    ASSERT_TRUE(session.waitFor("complete!\n"));
    EXPECT_EQ(session.finish(), 0);
    EXPECT_NE(readFile(dir.file("out.txt")).find("The sample size is             : 2\n"), std::string::npos);
}

TEST_F(TerminalTest, ExpressionFileGoneBeforeTheRun) {
    TerminalSession session(dir.path());
    ASSERT_TRUE(session.started());
    answerFirstPass(session);
    std::filesystem::remove(dir.file("expr.txt"));
    session.sendKey('Y');
    ASSERT_TRUE(session.waitFor("Now program is running......Can not open the input data file!\n"))
        << session.output();
    const int status = session.finish();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(readFile(dir.file("out.txt")), "");
    EXPECT_TRUE(session.lineMode());
}

}  // namespace
