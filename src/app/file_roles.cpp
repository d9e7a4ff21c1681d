#include "app/file_roles.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "data/safe_text.h"
#include "run/guarded_run.h"
#include "run/side_outputs.h"

namespace {

// A name cut short by a zero byte would name another file: it names nothing.
bool usable(const std::string& name) { return name.find('\0') == std::string::npos; }

bool isFolder(const std::string& name) {
    std::error_code error;
    return usable(name) && std::filesystem::is_directory(name, error);
}

// One file the command line names, with the option that names it and its role.
struct NamedFile {
    std::string option;
    std::string role;
    std::string name;
    bool written = false;
    std::string text() const { return option + " " + printable(name); }
};

// Where a name leads: its folder made canonical plus its own name, and the
// device and inode when the file exists, so that two names of one file are
// found whether or not it exists yet.
struct FileIdentity {
    std::string place;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
};

FileIdentity identityOf(const std::string& name) {
    namespace fs = std::filesystem;
    FileIdentity identity;
    const fs::path path(name);
    std::error_code error;
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    fs::path canonical = fs::canonical(folder, error);
    if (error) canonical = fs::absolute(folder, error).lexically_normal();
    identity.place = (canonical / path.filename()).string();
    struct stat status {};
    if (usable(name) && ::stat(name.c_str(), &status) == 0)
        identity = {identity.place, true, status.st_dev, status.st_ino};
    return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.place == b.place || (a.exists && b.exists && a.device == b.device && a.inode == b.inode);
}

// The dialogue's texts for two of its own files named for one; the roles
// otherwise.
std::string sameFileText(const NamedFile& earlier, const NamedFile& later) {
    const std::string roles = earlier.option + later.option;
    if (roles == "--expression--error") return "The error file cannot be same as expression file!";
    if (roles == "--expression--output") return "The expression file cannot be same as output file!";
    if (roles == "--error--output") return "The error file cannot be same as output file!";
    return "the " + later.role + " is the same file as the " + earlier.role + " (" +
           earlier.text() + ")";
}

// A file that the run reads: it exists and is not a folder. It is not opened
// here: a FIFO or a pipe can be read only once, by the run.
std::optional<std::string> checkReadFile(const NamedFile& file, const char* cannotOpen) {
    if (file.name == "-") return std::nullopt;
    struct stat status {};
    if (!usable(file.name) || ::stat(file.name.c_str(), &status) != 0)
        return file.text() + ": " + cannotOpen + " (" + std::strerror(errno) + ")";
    if (S_ISDIR(status.st_mode)) return file.text() + ": " + cannotOpen + " (it is a folder)";
    return std::nullopt;
}

// A file that the run writes: not a folder, in a folder that exists, and
// replaced only when that was asked for.
std::optional<std::string> checkWrittenFile(const NamedFile& file, bool replaceExisting) {
    const std::string& name = file.name;
    const std::filesystem::path path(name);
    const auto own = path.filename().string();
    if (isFolder(name) || own.empty() || own == "." || own == "..")
        return file.text() + ": this is a folder, not a file";
    const auto folder = path.parent_path();
    if (!folder.empty() && !isFolder(folder.string()))
        return file.text() + ": the folder " + printable(folder.string()) + " does not exist";
    std::error_code error;
    if (!replaceExisting && usable(name) &&
        std::filesystem::exists(std::filesystem::symlink_status(name, error)))
        return file.text() + ": the file exists already; add --force to replace it";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> checkFiles(const RunSettings& settings, bool replaceExisting) {
    std::vector<NamedFile> files{{"--expression", "expression file", settings.expressionFileName}};
    if (settings.withErrorFile) files.push_back({"--error", "error file", settings.errorFileName});
    if (settings.expressionFileName == "-" && settings.withErrorFile && settings.errorFileName == "-")
        return std::string("--error -: standard input can feed only one of the input files");
    if (!reportToStandardOutput(settings))
        files.push_back({"--output", "report", settings.outputFileName, true});
    for (const SideOutput& side : sideOutputsOf(settings)) {
        if (side.fileName == "-")
            return "the " + side.role + " cannot go to standard output; only the report can (--output -)";
        files.push_back({side.option, side.role, side.fileName, true});
    }
    std::vector<FileIdentity> identities;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const NamedFile& file = files[i];
        if (file.name == "-") {
            identities.push_back({"-", false, 0, 0});
            continue;
        }
        identities.push_back(identityOf(file.name));
        for (std::size_t k = 0; k < i; ++k)
            if (files[k].name != "-" && sameFile(identities[k], identities[i]))
                return file.text() + ": " + sameFileText(files[k], file);
        const auto refusal =
            !file.written ? checkReadFile(file, i == 0 ? "Can not open the expression file!"
                                                       : "Can not open the error file!")
                          : checkWrittenFile(file, replaceExisting);
        if (refusal) return refusal;
    }
    return std::nullopt;
}

