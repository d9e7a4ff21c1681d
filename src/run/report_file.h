#pragma once
// The one output text file of a run. Text is buffered and written in large
// pieces; the first write error is remembered, later writes are dropped, and
// close() tells whether everything reached the file.

#include <optional>
#include <string>
#include <string_view>

class ReportFile {
public:
    ReportFile() = default;
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Creates the file, or empties it when it exists. False when it cannot be
    // opened for writing (a file already held is closed first either way).
    bool open(const std::string& fileName);
    // Writes into a descriptor opened elsewhere (a temporary file, standard
    // output); close() closes it only when owned.
    void attach(int fd, const std::string& fileName, bool owned);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& fileName() const { return fileName_; }

    void write(std::string_view text);
    // True once a write has failed; nothing more is written after that.
    bool failed() const { return errorNumber_ != 0; }

    // Writes what is buffered and closes the file. Returns the message that
    // describes a failure of any write or of the close, or nothing when the
    // whole report was written. Closing a file that is not open succeeds.
    std::optional<std::string> close();

private:
    void flushBuffer();

    int fd_ = -1;
    bool owned_ = true;
    std::string fileName_;
    std::string buffer_;
    int errorNumber_ = 0;
};
