#pragma once
// Answers typed at the console: single keystrokes, whitespace-delimited words
// and single characters. Every read reports the end of the input as an empty
// optional instead of looping on it.
//
// When standard input is a terminal, a keystroke is read in raw mode (one key,
// no Enter) straight from the terminal, so that characters still pending in
// the stream after a word or character answer stay there for the next word.
// Otherwise (a pipe or a file) a keystroke is the next character that is not
// whitespace. Either way the key is echoed and followed by "\n".

#include <iosfwd>
#include <optional>
#include <string>

struct Console {
    std::istream& in;
    std::ostream& out;
    int terminalFd = -1;  // descriptor of the terminal behind `in`, or -1
};

// The process's console: standard input and output, with the terminal used
// for keystrokes when standard input is one.
Console standardConsole();

// Makes SIGINT, SIGTERM, SIGQUIT and SIGHUP put a terminal in raw mode back
// into the mode it had before they end the process. Signals that the process
// inherited as ignored stay ignored.
void installTerminalRestore();

// One key, echoed and followed by "\n". On a terminal, Ctrl-D (which raw mode
// delivers as a key) counts as the end of the input.
std::optional<char> readKeystroke(Console& console);

// The next whitespace-delimited word of the input stream, kept whole.
std::optional<std::string> readWord(Console& console);

// The next non-whitespace character of the input stream; nothing is echoed,
// the rest of its line stays pending.
std::optional<char> readCharacter(Console& console);
