#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testsupport {

struct ChildResult {
    int status { -1 }; // as waitpid gives it
    std::string output;
    std::string errorOutput;
};

// Where a child's standard output goes instead of being kept: a file the caller names (such as
// /dev/full), or, with no path, nowhere (the descriptor closed, as the shell's ">&-" does).
struct OutputElsewhere {
    std::string path;
};

// This process's environment with the variables in `environment` ("NAME=value") put in place of
// those of the same name.
inline std::vector<std::string> childEnvironment(const std::vector<std::string>& environment)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        bool replaced = false;
        for (const auto& given : environment) {
            size_t name = given.find('=') + 1;
            replaced = replaced || std::strncmp(*e, given.c_str(), name) == 0;
        }
        if (!replaced)
            env.emplace_back(*e);
    }
    env.insert(env.end(), environment.begin(), environment.end());
    return env;
}

// Waits for a child to end and gives its status as waitpid does; one that has not ended within a
// minute, the bound of every wait for a child, is killed.
inline int waitForChild(pid_t pid)
{
    int status = -1;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!ended.wait_for(lock, std::chrono::seconds(60), [&] { return done; }))
            ::kill(pid, SIGKILL);
    });
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    ended.notify_one();
    watchdog.join();
    return status;
}

// Runs a program with this process's environment, the variables in `environment` put in place
// (see childEnvironment), and its standard output and error kept (the output unless it goes
// `elsewhere`). A child that has not ended within a minute is killed.
inline ChildResult runChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& environment = {},
    const std::optional<OutputElsewhere>& elsewhere = std::nullopt)
{
    ChildResult result;
    std::vector<std::string> env = childEnvironment(environment);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStore = args;
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    char outputPath[] = "/tmp/quorvane-child-stdout-XXXXXX";
    int outputFile = ::mkstemp(outputPath);
    char errorPath[] = "/tmp/quorvane-child-stderr-XXXXXX";
    int errorFile = ::mkstemp(errorPath);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (elsewhere && elsewhere->path.empty())
        posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    else if (elsewhere)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, elsewhere->path.c_str(), O_WRONLY, 0);
    else if (outputFile >= 0)
        posix_spawn_file_actions_adddup2(&actions, outputFile, STDOUT_FILENO);
    if (errorFile >= 0)
        posix_spawn_file_actions_adddup2(&actions, errorFile, STDERR_FILENO);
    pid_t pid = 0;
    int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << args[0];
    } else {
        result.status = waitForChild(pid);
    }
    if (outputFile >= 0) {
        std::ifstream in(outputPath, std::ios::binary);
        result.output.assign(std::istreambuf_iterator<char>(in), {});
        ::close(outputFile);
        ::unlink(outputPath);
    }
    if (errorFile >= 0) {
        std::ifstream in(errorPath, std::ios::binary);
        result.errorOutput.assign(std::istreambuf_iterator<char>(in), {});
        ::close(errorFile);
        ::unlink(errorPath);
    }
    return result;
}

}
