#include "support/test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace testing_support {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    do {
        path_ = std::filesystem::temp_directory_path() /
                ("noiseclust-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    } while (!std::filesystem::create_directory(path_));
}

std::filesystem::path TempDir::write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return path_ / name;
}

std::string readFile(const std::filesystem::path& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// The child reads its input from a file and writes its two streams into
// files, so no pipe can fill up while the parent waits.
ProcessResult runProgram(const std::vector<std::string>& arguments, const std::string& input,
                         const std::filesystem::path& workingDirectory) {
    const TempDir streams;
    const std::string in = streams.write("in", input), out = streams.file("out"), err = streams.file("err");
    std::vector<std::string> words{programPath()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(in.c_str(), O_RDONLY), 0);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readFile(out), readFile(err)};
}

}  // namespace testing_support
