#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

// A step of a child's writing held from outside (KillPlan::waitAt names `path()`): the child's
// thread waits at a FIFO made here, this side learns when it has got there, acts while it stands
// (sends signals), and lets it go on.
class HeldStep {
public:
    explicit HeldStep(std::string path)
        : m_path(std::move(path))
    {
        EXPECT_EQ(::mkfifo(m_path.c_str(), 0600), 0) << m_path;
    }
    ~HeldStep()
    {
        release();
        ::unlink(m_path.c_str());
    }
    HeldStep(const HeldStep&) = delete;
    HeldStep& operator=(const HeldStep&) = delete;

    const std::string& path() const { return m_path; }

    // Waits until the child's thread stands at the step; false once `pid` has ended, or after a
    // minute, the bound of every wait for a child.
    bool reached(pid_t pid)
    {
        const auto began = std::chrono::steady_clock::now();
        pollfd never { -1, 0, 0 };
        while ((m_writer = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0) {
            if (errno != ENXIO || ended(pid) || std::chrono::steady_clock::now() - began > std::chrono::minutes(1))
                return false;
            ::poll(&never, 1, 10); // a pause between looks; the look decides
        }
        return true;
    }
    // Lets the held thread go on.
    void release()
    {
        if (m_writer >= 0)
            ::close(m_writer);
        m_writer = -1;
    }

private:
    static bool ended(pid_t pid)
    {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        std::getline(stat, text);
        size_t nameEnd = text.rfind(')');
        return nameEnd == std::string::npos || text.substr(nameEnd + 2, 1) == "Z";
    }

    std::string m_path;
    int m_writer { -1 };
};

}
