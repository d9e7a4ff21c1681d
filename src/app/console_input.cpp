#include "app/console_input.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>

namespace {

// The mode of the terminal while a raw keystroke read is in progress, so that
// a signal handler can put it back. Written only outside of the raw window.
termios savedTerminalMode;
int rawTerminalFd = -1;
volatile std::sig_atomic_t rawModeActive = 0;

extern "C" void restoreTerminalAndReraise(int signalNumber) {
    if (rawModeActive) {
        ::tcsetattr(rawTerminalFd, TCSANOW, &savedTerminalMode);
        rawModeActive = 0;
    }
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

constexpr char EndOfTransmission = 4;  // Ctrl-D, which raw mode delivers as a key

std::optional<char> readRawKey(int fd) {
    termios mode;
    if (::tcgetattr(fd, &mode) != 0) return std::nullopt;
    savedTerminalMode = mode;
    rawTerminalFd = fd;
    termios raw = mode;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    rawModeActive = 1;
    if (::tcsetattr(fd, TCSANOW, &raw) != 0) {
        rawModeActive = 0;
        return std::nullopt;
    }
    char key = 0;
    ssize_t n;
    do {
        n = ::read(fd, &key, 1);
    } while (n < 0 && errno == EINTR);
    ::tcsetattr(fd, TCSANOW, &savedTerminalMode);
    rawModeActive = 0;
    if (n != 1 || key == EndOfTransmission) return std::nullopt;
    return key;
}

}  // namespace

Console standardConsole() {
    return Console{std::cin, std::cout, ::isatty(STDIN_FILENO) ? STDIN_FILENO : -1};
}

void installTerminalRestore() {
    for (int signalNumber : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
        struct sigaction previous {};
        if (::sigaction(signalNumber, nullptr, &previous) != 0) continue;
        if (previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = restoreTerminalAndReraise;
        sigemptyset(&action.sa_mask);
        ::sigaction(signalNumber, &action, nullptr);
    }
}

std::optional<char> readKeystroke(Console& console) {
    std::optional<char> key;
    if (console.terminalFd >= 0) {
        console.out.flush();
        key = readRawKey(console.terminalFd);
    } else {
        char c;
        if (console.in >> c) key = c;
    }
    if (key) console.out << *key << '\n';
    console.out.flush();
    return key;
}

std::optional<std::string> readWord(Console& console) {
    console.out.flush();
    std::string word;
    if (console.in >> word) return word;
    return std::nullopt;
}

std::optional<char> readCharacter(Console& console) {
    console.out.flush();
    char c;
    if (console.in >> c) return c;
    return std::nullopt;
}
