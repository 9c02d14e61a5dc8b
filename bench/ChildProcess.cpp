#include "bench/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::optional<ChildProcess::Outcome> ChildProcess::run(const std::vector<std::string>& argv, const std::string& input,
    const std::string& outputPath)
{
    // The input goes through a temporary file rather than a pipe, so a child that stops
    // reading early cannot block us, and writing it is not part of the child's time.
    char inputPath[] = "/tmp/quorvane-bench-input-XXXXXX";
    int inputFd = mkstemp(inputPath);
    if (inputFd < 0)
        return std::nullopt;
    unlink(inputPath);
    if (write(inputFd, input.data(), input.size()) != static_cast<ssize_t>(input.size()) || lseek(inputFd, 0, SEEK_SET) != 0) {
        close(inputFd);
        return std::nullopt;
    }
    int outputFd = outputPath.empty() ? open("/dev/null", O_WRONLY) : open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (outputFd < 0) {
        close(inputFd);
        return std::nullopt;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inputFd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);

    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    auto started = std::chrono::steady_clock::now();
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(inputFd);
    close(outputFd);
    if (spawned != 0)
        return std::nullopt;

    int status = 0;
    rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    auto ended = std::chrono::steady_clock::now();

    Outcome outcome;
    outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.wallSeconds = std::chrono::duration<double>(ended - started).count();
    outcome.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    outcome.peakResidentMB = usage.ru_maxrss / 1024.0; // kilobytes on Linux
    return outcome;
}

std::optional<ChildProcess::Outcome> ChildProcess::runMetered(const std::string& meter, const std::vector<std::string>& argv,
    const std::string& input, const std::string& outputPath)
{
    char resultPath[] = "/tmp/quorvane-bench-result-XXXXXX";
    int fd = mkstemp(resultPath);
    if (fd < 0)
        return std::nullopt;
    close(fd);
    std::vector<std::string> metered { meter, resultPath, outputPath.empty() ? "/dev/null" : outputPath };
    metered.insert(metered.end(), argv.begin(), argv.end());
    auto ran = run(metered, input);
    Outcome outcome;
    std::ifstream result(resultPath);
    bool read = static_cast<bool>(result >> outcome.exitStatus >> outcome.wallSeconds >> outcome.cpuSeconds >> outcome.peakResidentMB);
    unlink(resultPath);
    if (!ran || ran->exitStatus != 0 || !read)
        return std::nullopt;
    return outcome;
}
