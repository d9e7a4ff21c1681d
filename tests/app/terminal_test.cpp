// The program on a pseudo-terminal: keystrokes are read raw (no Enter, one
// echo), the terminal's mode comes back after every keystroke and when
// SIGINT or SIGTERM ends the program, and characters pending in the input
// stream stay there for the next word.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "terminal_session.h"

using terminal_session::TerminalSession;
using testing_support::readFile;
using testing_support::TempDir;

namespace {

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override { dir.write("expr.txt", "3 2\nc1 c2\nr1 1 2\nr2 3 4\nr3 5 6.5\n"); }
    TempDir dir;
};

const std::string AcceptPrompt = "Type Y or N or the number (0-9) to change the option:\n\n";

// The first pass up to the review screen with a scale of error of 0.1: lines
// are read in line mode, the single key without Enter is echoed once.
void answerFirstPass(TerminalSession& session) {
    ASSERT_TRUE(session.waitFor("Please input the name of expression file:\n"));
    EXPECT_TRUE(session.lineMode());
    session.send("expr.txt\n");
    ASSERT_TRUE(session.waitFor("expr.txt\n\nDo you have the error file?\n"));
    ASSERT_TRUE(session.waitFor("otherwise type N or other keys:\n"));
    session.sendKey('n');
    ASSERT_TRUE(session.waitFor("n\n\nPlease input the scale of error:\n", true)) << session.output();
    EXPECT_TRUE(session.lineMode());
    session.send("0.1\n");
    ASSERT_TRUE(session.waitFor("Please input the name of output file:\n"));
    session.send("out.txt\n");
    ASSERT_TRUE(session.waitFor(AcceptPrompt));
}

TEST_F(TerminalTest, KeysNeedNoEnterAndTheModeComesBack) {
    TerminalSession session(dir.path());
    ASSERT_TRUE(session.started());
    answerFirstPass(session);
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
