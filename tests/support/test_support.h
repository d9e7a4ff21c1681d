#pragma once
// Helpers shared by the tests: temporary folders and running the program as
// a child process.

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the system's temporary directory, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir() { std::error_code ignored; std::filesystem::remove_all(path_, ignored); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(const std::string& name) const { return path_ / name; }
    // Writes text to a file in the folder and returns its path.
    std::filesystem::path write(const std::string& name, const std::string& text) const;

private:
    std::filesystem::path path_;
};

struct ProcessResult {
    int exitStatus = -1;  // exit code, or 128 + signal
    std::string standardOutput;
    std::string standardError;
};

// Runs the program with the arguments and input on standard input, in
// workingDirectory when it is not empty.
ProcessResult runProgram(const std::vector<std::string>& arguments, const std::string& input,
                         const std::filesystem::path& workingDirectory = {});

inline std::string programPath() { return NOISECLUST_BINARY; }  // the built noiseclust
inline std::filesystem::path sourceDir() { return NOISECLUST_SOURCE_DIR; }
std::string readFile(const std::filesystem::path& path);

}  // namespace testing_support
