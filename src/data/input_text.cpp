#include "data/input_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "data/safe_text.h"

namespace {

constexpr std::size_t ChunkBytes = 1 << 16;

bool isSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isControl(unsigned char c) { return (c < 0x20 && !isSpace(c)) || c == 0x7F; }

// Checks the bytes as they arrive: where they stand (line, offset), the
// length of the word in progress, and the first byte that is not text.
struct TextCheck {
    std::size_t offset = 0;  // of the next byte, counted in the file
    long long line = 1;
    std::size_t wordLength = 0;
    std::size_t wordStart = 0;
    long long wordLine = 1;

    // Empty, or what is wrong with the byte at bytes[i].
    std::string take(const std::string& bytes, std::size_t i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::string problem;
        if (isControl(c)) {
            problem = "line " + std::to_string(line) + ", byte offset " + std::to_string(offset) +
                      " holds the byte " + printable(std::string_view(&bytes[i], 1)) +
                      ", which a text file does not hold";
        } else if (isSpace(c)) {
            wordLength = 0;
            if (c == '\n') ++line;
        } else {
            if (wordLength == 0) wordStart = offset, wordLine = line;
            if (++wordLength > LongestWord)
                problem = "the word at line " + std::to_string(wordLine) + ", byte offset " +
                          std::to_string(wordStart) + " (" +
                          printable(std::string_view(bytes).substr(i + 1 - wordLength)) +
                          ") is longer than " + std::to_string(LongestWord) + " bytes";
        }
        ++offset;
        return problem;
    }
};

int openInput(const std::string& fileName, bool dashIsStandardInput, bool& owned) {
    owned = false;
    if (dashIsStandardInput && fileName == "-") return STDIN_FILENO;
    if (fileName.find('\0') != std::string::npos) {
        errno = ENOENT;
        return -1;
    }
    int fd;
    do fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    owned = fd >= 0;
    return fd;
}

}  // namespace

InputText readInputText(const std::string& fileName, bool dashIsStandardInput) {
    InputText input;
    const std::string shownName = printable(fileName);
    auto fail = [&](std::string detail, const char* verb) {
        input.bytes.clear();
        input.bytes.shrink_to_fit();
        input.problem = std::string(verb) + " " + shownName + ": " + detail;
        input.detail = std::move(detail);
        return input;
    };
    bool owned = false;
    const int fd = openInput(fileName, dashIsStandardInput, owned);
    if (fd < 0) return fail(std::strerror(errno), "cannot open");
    input.opened = true;
    struct Closer {
        int fd;
        bool owned;
        ~Closer() { if (owned) ::close(fd); }
    } closer{fd, owned};

    TextCheck check;
    bool atStart = true;    // the byte order mark is not decided yet
    std::size_t checked = 0;  // bytes of input.bytes already checked
    try {
        for (;;) {
            const std::size_t before = input.bytes.size();
            input.bytes.resize(before + ChunkBytes);
            const ssize_t n = ::read(fd, input.bytes.data() + before, ChunkBytes);
            input.bytes.resize(before + static_cast<std::size_t>(n > 0 ? n : 0));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return fail(std::strerror(errno), "cannot read");
            const bool atEnd = n == 0;
            if (atStart && (input.bytes.size() >= 3 || atEnd)) {
                atStart = false;
                if (input.bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
                    input.bytes.erase(0, 3);
                    check.offset = 3;
                }
            }
            if (!atStart) {
                for (std::size_t i = checked; i < input.bytes.size(); ++i)
                    if (auto problem = check.take(input.bytes, i); !problem.empty())
                        return fail(std::move(problem), "cannot read");
                checked = input.bytes.size();
            }
            if (atEnd) break;
        }
    } catch (const std::bad_alloc&) {
        return fail("there is not enough memory to hold it", "cannot read");
    } catch (const std::length_error&) {
        return fail("there is not enough memory to hold it", "cannot read");
    }
    input.bytes.shrink_to_fit();
    return input;
}
