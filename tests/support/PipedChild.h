#pragma once

#include "tests/support/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

// A program running beside the test, fed its standard input through a pipe and read from its
// standard output as it writes; its standard error is kept. Killed when it goes, if it still runs.
// It starts as a shell starts a program: every signal at its default action (whatever this
// process ignores), with the variables in `environment` put in place (see childEnvironment);
// with `ownGroup` in a process group of its own, as a shell with job control starts a job, so
// that a signal can reach all of it as a Ctrl-C does (`kill(-pid(), ...)`).
class PipedChild {
public:
    explicit PipedChild(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}, bool ownGroup = false)
    {
        int input[2];
        int output[2];
        char errorPath[] = "/tmp/quorvane-child-stderr-XXXXXX";
        m_errorFile = ::mkstemp(errorPath);
        if (m_errorFile >= 0)
            ::unlink(errorPath);
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0 || m_errorFile < 0) {
            ADD_FAILURE() << "cannot make the pipes";
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, m_errorFile, STDERR_FILENO);
        std::vector<std::string> argStore = args;
        std::vector<char*> argv;
        for (auto& a : argStore)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> envStore = childEnvironment(environment);
        std::vector<char*> envp;
        for (auto& e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t all;
        sigset_t none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | (ownGroup ? POSIX_SPAWN_SETPGROUP : 0));
        if (::posix_spawn(&m_pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) {
            ADD_FAILURE() << "cannot start " << args[0];
            m_pid = -1;
        }
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        m_input = input[1];
        m_output = output[0];
    }
    ~PipedChild()
    {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (int fd : { m_input, m_output, m_errorFile }) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    PipedChild(const PipedChild&) = delete;
    PipedChild& operator=(const PipedChild&) = delete;

    pid_t pid() const { return m_pid; }
    // This end of the pipe the program writes its output to.
    int outputDescriptor() const { return m_output; }

    void write(const std::string& text)
    {
        ASSERT_EQ(::write(m_input, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void closeInput()
    {
        ::close(m_input);
        m_input = -1;
    }
    // As a reader that has had enough does (`| head -1`): the program's next writes fail.
    void closeOutput()
    {
        ::close(m_output);
        m_output = -1;
    }

    // Reads the output until `text` has come, the output ends or a minute has passed; true when
    // the text came.
    bool waitFor(const std::string& text)
    {
        return readUntil([&] { return m_seen.find(text) != std::string::npos; });
    }

    // Sends the signal and waits for the end; or, without one, waits for the program to end by
    // itself (after its input has closed). What it wrote is in `output` and `errorOutput`.
    // With `unread`, the output is left as it is (a reader that has stopped reading), and a
    // program that has not ended within a minute is killed.
    ChildResult end(int signal = 0, bool unread = false)
    {
        ChildResult result;
        if (m_pid <= 0 || m_ended)
            return result;
        if (signal)
            ::kill(m_pid, signal);
        if (m_output >= 0 && !unread)
            readUntil([] { return false; }); // to the end of the output
        if (unread) {
            result.status = waitForChild(m_pid);
        } else {
            while (::waitpid(m_pid, &result.status, 0) < 0 && errno == EINTR) { }
        }
        m_ended = true;
        result.output = m_seen;
        ::lseek(m_errorFile, 0, SEEK_SET);
        char chunk[4096];
        for (ssize_t n; (n = ::read(m_errorFile, chunk, sizeof chunk)) > 0;)
            result.errorOutput.append(chunk, static_cast<size_t>(n));
        return result;
    }

private:
    template <typename Enough> bool readUntil(Enough enough)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!enough()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            pollfd ready { m_output, POLLIN, 0 };
            int polled = left > 0 ? ::poll(&ready, 1, static_cast<int>(left)) : 0;
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled <= 0) {
                ::kill(m_pid, SIGKILL); // a child that hangs ends the wait, not the test run
                return false;
            }
            char chunk[4096];
            ssize_t n = ::read(m_output, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            m_seen.append(chunk, static_cast<size_t>(n));
        }
        return true;
    }

    pid_t m_pid { -1 };
    bool m_ended { false };
    int m_input { -1 };
    int m_output { -1 };
    int m_errorFile { -1 };
    std::string m_seen;
};

}
