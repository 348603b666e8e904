#include "frame_helpers.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

void ChildChecks::Expect(bool ok, const char* what, int line) {
    if (ok) return;
    ++m_failures;
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
}

void ChildChecks::Finish() {
    std::fflush(stdout);
    std::fflush(stderr);
    // _exit: the child must not run the parent's gtest or at-exit machinery.
    _exit(m_failures == 0 ? 0 : 1);
}

void RunChildChecks(const std::function<void(ChildChecks&)>& body) {
    ChildChecks checks;
    body(checks);
    checks.Finish();
}

namespace {

std::string TempFile() {
    char name[] = "/tmp/kep-run-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    close(fd);
    return name;
}

std::string TakeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::remove(path.c_str());
    return text;
}

} // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& unset) {
    const std::string outPath = TempFile();
    const std::string errPath = TempFile();

    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        bool keep = true;
        for (const std::string& name : unset)
            if (entry.compare(0, name.size() + 1, name + "=") == 0) keep = false;
        if (keep) environment.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(&entry[0]);
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argStrings)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);

    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
        const int err = open(errPath.c_str(), O_WRONLY | O_TRUNC);
        if (out < 0 || err < 0) _exit(126);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    ProgramRun run;
    run.exited = WIFEXITED(status);
    run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.out = TakeFile(outPath);
    run.err = TakeFile(errPath);
    return run;
}

int CountOccurrences(const std::string& text, const std::string& needle) {
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}
