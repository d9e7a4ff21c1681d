#pragma once
// Files that appear complete or not at all: each is written under a
// temporary name beside its target (so the same file system, and an
// unwritable place is found when it is created) and renamed into place once
// everything is written. Until then an existing target stays as it was.
// A target that exists and is not a regular file (a device such as
// /dev/null, a FIFO) is written in place instead.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct PendingFile {
    std::string role;       // "report", "picture", ...; named in messages
    std::string target;     // the name given
    std::string temporary;  // where it is written; empty when written in place
    int fd = -1;            // open for writing until committed or discarded
};

// Creates the file's temporary (or opens a target that is written in place);
// the message names the role, the file and the reason.
std::optional<std::string> createPendingFile(PendingFile& file);

// Writes all the bytes; the message names the file and the reason.
std::optional<std::string> writePendingFile(PendingFile& file, std::string_view bytes);

// Closes every file and renames each temporary into place, in order.
std::optional<std::string> commitPendingFiles(std::vector<PendingFile>& files);

// Closes every file and removes every temporary; the targets stay as they
// were. Safe to call more than once.
void discardPendingFiles(std::vector<PendingFile>& files) noexcept;
