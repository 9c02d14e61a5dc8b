#include "core/NetworkRequestor.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/testing/ThreadSanitizer.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/KillAtStep.h"
#include "tests/support/PipedChild.h"
#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

testsupport::ChildResult simulator(std::vector<std::string> args)
{
    args.insert(args.begin(), QUORVANE_SIMULATOR);
    return testsupport::runChildProcess(args);
}

// Every file under a folder, by its path, with its bytes.
std::map<std::string, std::string> filesUnder(const std::string& folder)
{
    std::map<std::string, std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            files[entry.path().string()].assign(std::istreambuf_iterator<char>(in), {});
        }
    }
    return files;
}

// The help is asked for and given; a mistake names itself and refuses the start with status 2.
TEST(SimulatorProcess, TheCommandLineAnswersHelpAndNamesItsMistakes)
{
    pf::TaskEnvironment env;
    for (const char* help : { "--help", "-h" }) {
        auto child = simulator({ "--device", "pad", help, "--bogus" });
        ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), 0) << child.errorOutput;
        EXPECT_EQ(child.output.rfind("usage: quorvane [--portal URL]", 0), 0u) << child.output;
        EXPECT_EQ(child.errorOutput, "");
    }
    const std::pair<std::vector<std::string>, std::string> mistakes[] = {
        { { "--bogus" }, "unknown option: --bogus" },
        { { "--portal", "ftp://x/" }, "--portal needs an http or https address such as http://127.0.0.1:8080/api/, not ftp://x/" },
        { { "--peers", "file:///tmp/" }, "--peers needs an http or https address such as http://127.0.0.1:8081/, not file:///tmp/" },
        { { "--forum", "javascript://x/" }, "--forum needs an http or https address" },
        { { "--system-version", "abc" }, "--system-version needs numbers separated by dots" },
        { { "--system-version", "" }, "--system-version needs numbers separated by dots" },
        { { "--system-version", "3.1" }, "--system-version 3.1 is older than 4.0" },
        // Else the session would run in a temporary home, removed at exit with every booking.
        { { "--home", "" }, "--home needs " },
        { { "--script", "" }, "--script needs a file's path, or - for standard input" },
    };
    for (const auto& [args, said] : mistakes) {
        auto child = simulator(args);
        ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), 2) << child.errorOutput;
        EXPECT_EQ(child.errorOutput.rfind("quorvane: " + said, 0), 0u) << child.errorOutput;
        EXPECT_NE(child.errorOutput.find("\nusage: quorvane"), std::string::npos) << child.errorOutput;
        EXPECT_EQ(child.output, "") << "nothing ran";
    }
}

// A script that cannot be read refuses the start, whatever keeps it from being read: running
// nothing and ending well would pass for a script whose commands all succeeded.
TEST(SimulatorProcess, AScriptItCannotReadRefusesTheStart)
{
    pf::TaskEnvironment env;
    std::string folder = pf::FileManager::join(env.sandbox().tmpPath(), "scripts");
    ASSERT_TRUE(pf::FileManager::createDirectory(folder, false));
    std::string locked = pf::FileManager::join(env.sandbox().tmpPath(), "locked");
    ASSERT_TRUE(pf::FileManager::writeAtomically(locked, std::string_view("dump\n")));
    ASSERT_EQ(chmod(locked.c_str(), 0), 0);
    // Each with the reason the system gives, so that the mistake can be mended.
    std::vector<std::pair<std::string, std::string>> unreadable {
        { pf::FileManager::join(env.sandbox().tmpPath(), "missing"), "No such file or directory" },
        { folder, "Is a directory" },
    };
    // Permissions do not keep the superuser from reading: the file is then a script like any other.
    if (access(locked.c_str(), R_OK) != 0)
        unreadable.emplace_back(locked, "Permission denied");
    for (const auto& [script, reason] : unreadable) {
        SCOPED_TRACE(script);
        auto child = simulator({ "--script", script, "--vendor-apps", "none" });
        ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), 2) << child.errorOutput;
        EXPECT_EQ(child.errorOutput, "quorvane: cannot read " + script + ": " + reason + "\n");
        EXPECT_EQ(child.output, "");
    }
}

// A portal address that no portal answers at is told once, on standard error, with what was
// asked and what came back, however many requests fail after it. The reminder that the API
// address ends in "api/" comes only when the address given does not: a dead port, or a reply
// refused for its size, at the API address is not mended by it.
TEST(SimulatorProcess, APortalThatDoesNotAnswerAsAPortalIsToldOnce)
{
    pf::TaskEnvironment env;
    pf::TestHttpServer notAPortal; // 404 for every path, as the local portal's root is
    pf::TestHttpServer peers;
    // A port bound but never listened on refuses every connection, and no other test can take
    // it meanwhile (a closed server's port could be handed out again).
    int held = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(held, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(getsockname(held, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::string closedPortal = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/api/";
    // Every operation the run asks for answers with more than the app takes in one reply.
    pf::TestHttpServer oversized;
    const std::string huge(NetworkRequestor::kMaximumReplySize + 1, 'x');
    for (const char* operation : { "game/verup", "ka/list", "arc/lun" })
        oversized.on("POST", std::string("/api/") + operation, [&huge](const pf::TestHttpServer::Request&) {
            return pf::TestHttpServer::Response { .body = huge };
        });
    std::string script = pf::FileManager::join(env.sandbox().tmpPath(), "script");
    ASSERT_TRUE(pf::FileManager::writeAtomically(script, std::string_view("idle\ntap \"独家\"\npull\nidle\nopen mygifts\nidle\n")));
    struct Case {
        std::string address;
        std::string said;
        std::string then; // what the same line says after the address asked
        bool advised;
    };
    const Case cases[] = {
        { notAPortal.url("/"), "quorvane: the portal answered HTTP 404 to " + notAPortal.url("/"), "", true },
        { closedPortal, "quorvane: no portal answers at " + closedPortal, "", false },
        { oversized.url("/api/"), "quorvane: the portal's reply to " + oversized.url("/api/"), " was refused: it is larger than 8 MB", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        auto child = simulator({ "--portal", c.address, "--peers", peers.url("/"), "--vendor-apps", "none", "--script", script });
        ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
        EXPECT_EQ(child.errorOutput.find("quorvane: "), child.errorOutput.rfind("quorvane: ")) << child.errorOutput;
        auto told = child.errorOutput.find(c.said);
        ASSERT_NE(told, std::string::npos) << child.errorOutput;
        std::string line = child.errorOutput.substr(told, child.errorOutput.find('\n', told) - told);
        EXPECT_NE(line.find(c.then), std::string::npos) << line;
        EXPECT_EQ(line.find("ending in \"api/\"") != std::string::npos, c.advised) << line;
    }
    EXPECT_GT(notAPortal.requestCount(), 3u) << "several requests failed, one line said so";
    close(held);
}

// A home the simulator cannot keep its files in refuses the start, as a bad argument does,
// rather than run a session whose bookings and settings are all lost.
TEST(SimulatorProcess, AHomeItCannotWriteInRefusesTheStart)
{
    pf::TaskEnvironment env;
    std::string file = pf::FileManager::join(env.sandbox().tmpPath(), "a-file");
    ASSERT_TRUE(pf::FileManager::writeAtomically(file, std::string_view("x")));
    struct Case {
        std::string home;
        int status;
    };
    const Case cases[] = {
        { "/proc/quorvane-home", 2 },
        { file + "/home", 2 }, // a file is in the way
        { pf::FileManager::join(env.sandbox().tmpPath(), "new/home"), 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.home);
        auto child = testsupport::runChildProcess({ QUORVANE_SIMULATOR, "--home", c.home, "--script", "/dev/null" });
        ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), c.status) << child.errorOutput;
        if (c.status == 0) {
            EXPECT_TRUE(pf::FileManager::isDirectory(pf::FileManager::join(c.home, "Library/Preferences")));
            continue;
        }
        EXPECT_EQ(child.errorOutput.rfind("quorvane: cannot use " + c.home + " as the device's home: cannot create " + c.home + "/", 0), 0u)
            << child.errorOutput;
        EXPECT_EQ(std::count(child.errorOutput.begin(), child.errorOutput.end(), '\n'), 1) << "one line, and nothing runs after it";
    }
}

// A person quits while the image cache stores pictures, the statistics are written and an
// upload waits for its reply. The process must end by its own exit, whatever was still running
// at that moment; under the sanitizers a use of what the exit freed is a report and an abort.
TEST(SimulatorProcess, QuittingWhilePicturesStatisticsAndAnUploadAreBusyEndsCleanly)
{
    pf::TaskEnvironment env;
    pf::TestHttpServer server;
    server.on("POST", "/upload", [](const auto&) { pf::TestHttpServer::Response held; held.hold = true; return held; });
    // The race is lost in most runs of a build without the orderly end; six keep the test
    // within a few seconds.
    constexpr int kRuns = 6;
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE(run);
        std::string home = pf::FileManager::join(env.sandbox().tmpPath(), "run-" + std::to_string(run));
        auto child = testsupport::runChildProcess({ QUITTING_CHILD, home, server.url("/upload") });
        server.releaseHeld(); // to a child that is gone: frees the server's thread
        ASSERT_TRUE(WIFEXITED(child.status)) << "ended by signal " << WTERMSIG(child.status) << "\n" << child.errorOutput;
        ASSERT_EQ(WEXITSTATUS(child.status), 0) << child.errorOutput;
        EXPECT_EQ(child.errorOutput.find("Sanitizer"), std::string::npos) << child.errorOutput;
        EXPECT_EQ(child.errorOutput.find("runtime error"), std::string::npos) << child.errorOutput;

        // The pictures queued before the end were all stored: only new work is refused.
        std::string pictures = pf::FileManager::join(home, "Library/Caches/ImageCache");
        size_t stored = 0;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(pictures, error))
            stored += entry.path().filename().string().find(".tmp-") == std::string::npos;
        EXPECT_EQ(stored, 200u);
    }
    EXPECT_EQ(server.requestCount(), static_cast<size_t>(kRuns)) << "every upload was under way";
}

// A queue's job that runs while the process ends still finds what it finds at any other time:
// an absent key of a reply is absent, a time zone and a library's server address are there,
// however late they were first used.
TEST(SimulatorProcess, AJobRunningAsTheProcessEndsStillReadsKeysZonesAndAddresses)
{
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        auto child = testsupport::runChildProcess({ QUITTING_CHILD, "--reads-at-the-end" });
        ASSERT_TRUE(WIFEXITED(child.status)) << "ended by signal " << WTERMSIG(child.status) << "\n" << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), 0) << child.errorOutput;
        EXPECT_EQ(child.output, "absent: missing, zone: read, host: http://stats.invalid/\n") << child.errorOutput;
        EXPECT_EQ(child.errorOutput, "");
    }
}

// A home belongs to one running simulator, as a profile to one browser: each keeps its own copy
// of the settings and writes it whole, so a second one would erase the first's sign-in. It is
// refused with status 2 before it touches anything in the home, naming the home and the process
// that holds it. The hold ends with its process however that ends; other homes run beside it.
TEST(SimulatorProcess, AHomeInUseByAnotherSimulatorRefusesTheStartUntilThatOneHasEnded)
{
    pf::TaskEnvironment env;
    portal::PortalServer portal;
    ASSERT_TRUE(portal.start());
    pf::TestHttpServer peers;
    const std::string home = pf::FileManager::join(env.sandbox().tmpPath(), "home");
    auto on = [&](const std::string& folder, const std::string& script) {
        return std::vector<std::string> { QUORVANE_SIMULATOR, "--home", folder, "--portal", portal.apiBaseURL(), "--peers",
            peers.url("/"), "--vendor-apps", "none", "--script", script };
    };

    testsupport::PipedChild first(on(home, "-"));
    first.write("idle\ndump\n");
    ASSERT_TRUE(first.waitFor("Window frame=")) << "the first one has launched and settled";
    const auto before = filesUnder(home);
    ASSERT_GT(before.size(), 2u);

    auto second = testsupport::runChildProcess(on(home, "/dev/null"));
    ASSERT_TRUE(WIFEXITED(second.status)) << second.errorOutput;
    EXPECT_EQ(WEXITSTATUS(second.status), 2);
    EXPECT_EQ(second.errorOutput,
        "quorvane: cannot use " + home + " as the device's home: another quorvane uses it (process " + std::to_string(first.pid()) + ")\n");
    EXPECT_EQ(second.output, "");
    EXPECT_EQ(filesUnder(home), before) << "the refused start touched nothing in the home";

    auto beside = testsupport::runChildProcess(on(pf::FileManager::join(env.sandbox().tmpPath(), "other"), "/dev/null"));
    ASSERT_TRUE(WIFEXITED(beside.status)) << beside.errorOutput;
    EXPECT_EQ(WEXITSTATUS(beside.status), 0) << beside.errorOutput;

    auto killed = first.end(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(killed.status));
    auto next = testsupport::runChildProcess(on(home, "/dev/null"));
    ASSERT_TRUE(WIFEXITED(next.status)) << next.errorOutput;
    EXPECT_EQ(WEXITSTATUS(next.status), 0) << "no stale hold is left to clear: " << next.errorOutput;
}

// Screens that cannot be written fail the run, rather than pass for a success with every dump
// lost: the system's reason on standard error and status 1, for a full disk and for an output
// closed before the start. The closed output's number is taken by no file the app opens, which
// would otherwise receive the screens.
TEST(SimulatorProcess, OutputThatCannotBeWrittenFailsTheRunAndSaysWhy)
{
    pf::TaskEnvironment env;
    portal::PortalServer portal;
    ASSERT_TRUE(portal.start());
    pf::TestHttpServer peers;
    std::string script = pf::FileManager::join(env.sandbox().tmpPath(), "script");
    ASSERT_TRUE(pf::FileManager::writeAtomically(script, std::string_view("dump\nidle\ndump\n")));
    struct Case {
        const char* name;
        testsupport::OutputElsewhere to;
        bool help;
        std::string reason;
    };
    const Case cases[] = {
        { "a script's screens to a full disk", { "/dev/full" }, false, "No space left on device" },
        { "the help to a full disk", { "/dev/full" }, true, "No space left on device" },
        { "a script's screens to a closed output", { "" }, false, "Bad file descriptor" },
        { "the help to a closed output", { "" }, true, "Bad file descriptor" },
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string home = pf::FileManager::join(env.sandbox().tmpPath(), "home-" + std::to_string(run++));
        std::vector<std::string> args { QUORVANE_SIMULATOR, "--help" };
        if (!c.help)
            args = { QUORVANE_SIMULATOR, "--home", home, "--portal", portal.apiBaseURL(), "--peers", peers.url("/"), "--vendor-apps",
                "none", "--script", script };
        auto child = testsupport::runChildProcess(args, {}, c.to);
        ASSERT_TRUE(WIFEXITED(child.status)) << child.errorOutput;
        EXPECT_EQ(WEXITSTATUS(child.status), 1) << child.errorOutput;
        const std::string said = "quorvane: cannot write the output: " + c.reason + "\n";
        auto at = child.errorOutput.find(said);
        EXPECT_NE(at, std::string::npos) << child.errorOutput;
        EXPECT_EQ(child.errorOutput.rfind(said), at) << "said once";
        for (const auto& [path, bytes] : filesUnder(home))
            EXPECT_EQ(bytes.find("Window frame="), std::string::npos) << path << " received the screens";
    }
}

// What a test of how the simulator's process ends runs it against: the local portal, a peers
// server, and a folder of temporary files of its own (its TMPDIR) to find a temporary home in.
struct EndingWorld {
    pf::TaskEnvironment env;
    portal::PortalServer portal;
    pf::TestHttpServer peers;
    std::string temporary = pf::FileManager::join(env.sandbox().tmpPath(), "tmp");

    EndingWorld()
    {
        EXPECT_TRUE(portal.start());
        EXPECT_TRUE(pf::FileManager::createDirectory(temporary, false));
    }
    // A scripted run reading its commands from standard input (its TMPDIR is given apart).
    std::vector<std::string> arguments() const
    {
        return { QUORVANE_SIMULATOR, "--portal", portal.apiBaseURL(), "--peers", peers.url("/"), "--vendor-apps", "none",
            "--script", "-" };
    }
};

// The temporary homes quorvane made in a folder of temporary files.
size_t temporaryHomesIn(const std::string& folder)
{
    size_t found = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        found += entry.path().filename().string().starts_with("quorvane-sandbox-");
    return found;
}

// What a signal that asks a program to end does to the running simulator, with a home of its
// own and without: the run ends as at quit, during a long wait on the system clock and while it
// waits for its next command, and then the process ends by the signal, as a shell expects of a
// program the signal ended. The temporary home goes; a home given keeps the settings stored and
// is free for the next simulator. A second signal ends the process at once, by that signal; a
// second hangup does not (a terminal going away sends two), so the clean-up still runs.
TEST(SimulatorProcess, ASignalToEndEndsTheRunAsQuitDoes)
{
    EndingWorld world;
    const std::string& temporary = world.temporary;
    struct Case {
        int signal;
        int then; // sent right after it, or 0: the two may come in either order
        bool waiting; // in `wait 600`, or waiting for the next line
        bool ownHome;
    };
    const Case cases[] = {
        { SIGINT, 0, true, false },
        { SIGINT, 0, false, true },
        { SIGTERM, SIGINT, true, true },
        { SIGTERM, 0, false, false },
        { SIGHUP, 0, true, false },
        { SIGHUP, SIGTERM, false, true },
        { SIGHUP, SIGHUP, true, false },
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.then ? std::string(" and ") + strsignal(c.then) : "")
            + (c.waiting ? " during a wait" : " waiting for input") + (c.ownHome ? ", own home" : ", temporary home"));
        const std::string home = pf::FileManager::join(world.env.sandbox().tmpPath(), "home-" + std::to_string(run++));
        std::vector<std::string> args = world.arguments();
        args.insert(args.end(), { "--clock", "system" });
        if (c.ownHome)
            args.insert(args.end(), { "--home", home });
        testsupport::PipedChild child(args, { "TMPDIR=" + temporary });
        child.write(c.waiting ? "dump\nwait 600\n" : "dump\n");
        ASSERT_TRUE(child.waitFor("\n---\n")) << "the screen was written";
        ASSERT_EQ(temporaryHomesIn(temporary), c.ownHome ? 0u : 1u);
        if (c.then)
            ::kill(child.pid(), c.signal);
        auto ended = child.end(c.then ? c.then : c.signal);
        ASSERT_TRUE(WIFSIGNALED(ended.status)) << "exited with " << WEXITSTATUS(ended.status) << "\n" << ended.errorOutput;
        // Two signals pending together are taken lowest number first: either may be the first.
        const int signal = WTERMSIG(ended.status);
        EXPECT_TRUE(signal == c.signal || signal == c.then) << strsignal(signal) << "\n" << ended.errorOutput;
        if (!c.ownHome) {
            EXPECT_EQ(temporaryHomesIn(temporary), 0u);
        }
        if (!c.ownHome)
            continue;
        bool settingsKept = false;
        for (const auto& [path, bytes] : filesUnder(pf::FileManager::join(home, "Library/Preferences")))
            settingsKept = settingsKept || (path.ends_with(".plist") && bytes.find("imei") != std::string::npos);
        EXPECT_TRUE(settingsKept) << "the start-up's settings are in the home";
        int lockFile = ::open(pf::FileManager::join(home, ".quorvane.lock").c_str(), O_RDWR);
        ASSERT_GE(lockFile, 0);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ASSERT_EQ(::fcntl(lockFile, F_GETLK, &lock), 0);
        EXPECT_EQ(lock.l_type, F_UNLCK) << "held by process " << lock.l_pid;
        ::close(lockFile);
    }
}

// Fills a pipe through a write end of its own, opened beside `readEnd`, until `room` bytes are
// left; true when it did.
bool fillPipe(int readEnd, size_t room)
{
    int capacity = ::fcntl(readEnd, F_GETPIPE_SZ);
    int writeEnd = ::open(("/proc/self/fd/" + std::to_string(readEnd)).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (capacity <= 0 || writeEnd < 0 || static_cast<size_t>(capacity) < room)
        return false;
    const std::string page(4096, 'f');
    size_t left = static_cast<size_t>(capacity) - room;
    bool filled = true;
    while (filled && left > 0) {
        ssize_t written = ::write(writeEnd, page.data(), std::min(left, page.size()));
        filled = written > 0;
        left -= filled ? static_cast<size_t>(written) : 0;
    }
    ::close(writeEnd);
    return filled;
}

// Whether a thread of a process is in a write to the descriptor, or polls for room to make one
// (two descriptors, no time-out: the descriptor and the signal's), and the process has handlers
// on the signals that end it: the state in which it waits for a reader. Any thread: the log's
// first line may come from a queue's thread, which then holds the log while the main thread
// waits for it. (The caller sees to it that nothing else polls so: no command is read from
// standard input meanwhile.)
bool writingTo(pid_t pid, int descriptor)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    unsigned long long caught = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigCgt:"))
            caught = std::stoull(line.substr(7), nullptr, 16);
    }
    if (!(caught & (1ull << (SIGINT - 1))))
        return false;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream syscall(task.path() / "syscall");
        std::string number, first, second, third;
        syscall >> number >> first >> second >> third;
        if (number == std::to_string(SYS_write) && first == "0x" + std::to_string(descriptor))
            return true;
        if (number == std::to_string(SYS_poll) && second == "0x2" && third == "0xffffffff")
            return true;
    }
    return false;
}

// What each thread of a process is in (its system call's line), and which signals it handles: to
// tell why a wait for it gave up.
std::string threadsOf(pid_t pid)
{
    std::string seen;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigCgt:") || line.starts_with("SigIgn:") || line.starts_with("State:"))
            seen += line + "\n";
    }
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream syscall(task.path() / "syscall");
        std::string line;
        std::getline(syscall, line);
        seen += task.path().filename().string() + ": " + line + "\n";
    }
    return seen;
}

// Whether a minute, the bound of a wait for what a child does next, has passed since `began`.
bool waitedTooLong(std::chrono::steady_clock::time_point began)
{
    return std::chrono::steady_clock::now() - began > std::chrono::minutes(1);
}

// Has the child's screens wait for this test to read them: one page left in the pipe of its
// output, and more screens than fit in it; once the pipe has taken some of them, the rest waits.
void makeTheOutputWaitForItsReader(testsupport::PipedChild& child)
{
    child.write("dump\n");
    ASSERT_TRUE(child.waitFor("\n---\n"));
    const int output = child.outputDescriptor();
    ASSERT_TRUE(fillPipe(output, 4096));
    int before = 0;
    ASSERT_EQ(::ioctl(output, FIONREAD, &before), 0);
    child.write("dump\ndump\ndump\ndump\n");
    pollfd progress { output, POLLIN, 0 };
    const auto began = std::chrono::steady_clock::now();
    for (int queued = before; queued == before;) {
        ASSERT_FALSE(waitedTooLong(began)) << "nothing more came";
        ASSERT_EQ(::ioctl(output, FIONREAD, &queued), 0);
        if (queued == before) {
            ASSERT_GE(::poll(&progress, 1, 10), 0); // a pause between looks; the look decides
        }
    }
}

// A write that waits for a reader who has stopped reading (a pager waiting for a key) gives way
// at a signal: the output counts as closed, and the run ends as at quit, by the signal, its
// temporary home removed. The same with standard error (a line of its waits for room), where a
// second signal ends the process at once too.
TEST(SimulatorProcess, ASignalEndsTheRunThoughItsWritesWaitForAReader)
{
    EndingWorld world;
    {
        SCOPED_TRACE("the output");
        testsupport::PipedChild child(world.arguments(), { "TMPDIR=" + world.temporary });
        ASSERT_NO_FATAL_FAILURE(makeTheOutputWaitForItsReader(child));
        auto ended = child.end(SIGTERM, true);
        ASSERT_TRUE(WIFSIGNALED(ended.status)) << "exited with " << WEXITSTATUS(ended.status) << "\n" << ended.errorOutput;
        EXPECT_EQ(WTERMSIG(ended.status), SIGTERM) << ended.errorOutput;
        EXPECT_EQ(temporaryHomesIn(world.temporary), 0u);
        EXPECT_EQ(ended.errorOutput.find("cannot write the output"), std::string::npos) << ended.errorOutput;
    }
    // The sanitizer runs a handler only once the call it interrupts returns, and a write that
    // waits for a reader never does: neither signal is handled there.
    if (pf::ThreadSanitizer::isActive())
        return;
    for (bool second : { false, true }) {
        SCOPED_TRACE(second ? "a second signal" : "standard error full, one signal");
        int errors[2];
        ASSERT_EQ(::pipe(errors), 0);
        ASSERT_TRUE(fillPipe(errors[0], 0));
        // (A descriptor named by its path: the shell reads only one digit after ">&".)
        // No portal answers there: the line saying so, and the log, are written while it
        // waits in a command of its script's (not for one from standard input).
        const std::string script = pf::FileManager::join(world.temporary, "wait.txt");
        ASSERT_TRUE(pf::FileManager::writeAtomically(script, std::string_view("wait 120\n")));
        std::vector<std::string> args { "/bin/sh", "-c", "exec \"$@\" 2>/proc/self/fd/" + std::to_string(errors[1]), "sh", QUORVANE_SIMULATOR,
            "--portal", "http://127.0.0.1:1/api/", "--vendor-apps", "none", "--clock", "system", "--script", script };
        testsupport::PipedChild child(args, { "TMPDIR=" + world.temporary });
        ::close(errors[1]);
        pollfd never { errors[0], 0, 0 };
        const auto began = std::chrono::steady_clock::now();
        while (!writingTo(child.pid(), 2)) {
            if (waitedTooLong(began)) {
                const std::string threads = threadsOf(child.pid());
                const auto ended = child.end(SIGKILL, true);
                FAIL() << "no write to standard error\n" << threads << "status " << ended.status << ": " << ended.errorOutput;
            }
            ASSERT_GE(::poll(&never, 1, 10), 0);
        }
        ASSERT_EQ(::kill(child.pid(), SIGINT), 0);
        auto ended = child.end(second ? SIGTERM : 0, true);
        ASSERT_TRUE(WIFSIGNALED(ended.status)) << "exited with " << WEXITSTATUS(ended.status);
        if (second)
            EXPECT_TRUE(WTERMSIG(ended.status) == SIGTERM || WTERMSIG(ended.status) == SIGINT) << strsignal(WTERMSIG(ended.status));
        else
            EXPECT_EQ(WTERMSIG(ended.status), SIGINT) << "the line waiting for room gave way; "
                                                      << strsignal(WTERMSIG(ended.status));
        if (!second) {
            EXPECT_EQ(temporaryHomesIn(world.temporary), 0u);
        }
        ::close(errors[0]);
        pf::FileManager::removeItem(script);
    }
}

// A shell sees the end by a signal as one: `$?` is 128 and its number, and a loop around the
// program stops at a Ctrl-C (the shell acts on the Ctrl-C only when its child died of it).
TEST(SimulatorProcess, AShellSeesTheEndByASignalAsOne)
{
    EndingWorld world;
    std::vector<std::string> args { "/bin/sh", "-c", "\"$@\"; echo \"status: $?\"", "sh" };
    for (const auto& argument : world.arguments())
        args.push_back(argument);
    testsupport::PipedChild shell(args, { "TMPDIR=" + world.temporary });
    shell.write("dump\n");
    ASSERT_TRUE(shell.waitFor("\n---\n"));
    std::ifstream children("/proc/" + std::to_string(shell.pid()) + "/task/" + std::to_string(shell.pid()) + "/children");
    pid_t program = 0;
    ASSERT_TRUE(children >> program);
    ASSERT_EQ(::kill(program, SIGHUP), 0);
    auto ended = shell.end();
    EXPECT_NE(ended.output.find("status: 129\n"), std::string::npos) << ended.output.substr(ended.output.size() - 200);

    if (::access("/bin/bash", X_OK) != 0)
        GTEST_SKIP() << "no bash to run the loop";
    args = { "/bin/bash", "-c", "for round in 1 2; do \"$@\"; echo \"round $round: $?\"; done", "bash" };
    for (const auto& argument : world.arguments())
        args.push_back(argument);
    testsupport::PipedChild loop(args, { "TMPDIR=" + world.temporary }, true);
    loop.write("dump\n");
    ASSERT_TRUE(loop.waitFor("\n---\n"));
    ASSERT_EQ(::kill(-loop.pid(), SIGINT), 0) << "to the whole group, as a Ctrl-C";
    ended = loop.end();
    EXPECT_TRUE(WIFSIGNALED(ended.status) && WTERMSIG(ended.status) == SIGINT) << ended.status;
    EXPECT_EQ(ended.output.find("round "), std::string::npos) << "the loop stopped";
    EXPECT_EQ(temporaryHomesIn(world.temporary), 0u);
}

// A signal the simulator was started with ignored stays ignored (nohup ignores SIGHUP, a shell
// without job control starts a background job with SIGINT ignored): the run goes on to its quit.
TEST(SimulatorProcess, ASignalIgnoredAtTheStartStaysIgnored)
{
    EndingWorld world;
    for (const auto& [signal, name] : { std::pair { SIGHUP, "HUP" }, std::pair { SIGINT, "INT" } }) {
        SCOPED_TRACE(name);
        std::vector<std::string> args { "/bin/sh", "-c", std::string("trap '' ") + name + "; exec \"$@\"", "sh" };
        for (const auto& argument : world.arguments())
            args.push_back(argument);
        testsupport::PipedChild child(args);
        child.write("dump\n");
        ASSERT_TRUE(child.waitFor("\n---\n"));
        ::kill(child.pid(), signal); // an ignored signal is dropped as it is sent
        child.write("dump\nquit\n");
        auto ended = child.end();
        ASSERT_TRUE(WIFEXITED(ended.status)) << "ended by signal " << WTERMSIG(ended.status);
        EXPECT_EQ(WEXITSTATUS(ended.status), 0) << ended.errorOutput;
        auto first = ended.output.find("--- screen");
        EXPECT_NE(ended.output.find("--- screen", first + 1), std::string::npos) << "the screen after the signal too";
    }
}

// An output whose reader has gone (`| head -1`) is output that cannot be written, as a full disk
// is: status 1 and the system's reason, the temporary home removed, not a death by SIGPIPE. The
// run ends at the first write that fails: with the reader gone before the first screen, the long
// wait that follows never runs (had it, it would outlast the bound of the wait for the end, the
// input left open).
TEST(SimulatorProcess, AnOutputClosedByItsReaderFailsTheRunAsAFullDiskDoes)
{
    EndingWorld world;
    for (bool beforeTheFirstScreen : { false, true }) {
        SCOPED_TRACE(beforeTheFirstScreen ? "gone before the first screen" : "gone after it");
        std::vector<std::string> args = world.arguments();
        args.insert(args.end(), { "--clock", "system" });
        testsupport::PipedChild child(args, { "TMPDIR=" + world.temporary });
        if (!beforeTheFirstScreen) {
            child.write("dump\n");
            ASSERT_TRUE(child.waitFor("\n---\n"));
        }
        child.closeOutput();
        child.write(beforeTheFirstScreen ? "dump\nwait 600\ndump\n" : "dump\nquit\n");
        auto ended = child.end(0, beforeTheFirstScreen);
        ASSERT_TRUE(WIFEXITED(ended.status)) << "ended by signal " << WTERMSIG(ended.status);
        EXPECT_EQ(WEXITSTATUS(ended.status), 1) << ended.errorOutput;
        EXPECT_NE(ended.errorOutput.find("quorvane: cannot write the output: Broken pipe\n"), std::string::npos) << ended.errorOutput;
        EXPECT_EQ(temporaryHomesIn(world.temporary), 0u);
    }
}

// A signal as a run ends, while its temporary home is removed (held there, at the settings'
// folder): one that is the first is not lost, and the process ends by it once the home is gone,
// though the run itself ended at quit; one that follows a first lets the removal finish (the
// home holds the sign-in token), and the process ends by the first, whose run's screens still
// wait for a reader.
TEST(SimulatorProcess, ASignalAsTheRunEndsIsNotLostAndASecondLetsTheRemovalFinish)
{
    EndingWorld world;
    struct Case {
        int first; // ends the run behind a full output; 0: quit does
        int during; // sent while the home is removed
    };
    testsupport::KillPlan plan;
    plan.under = world.temporary;
    plan.kinds = "unlink";
    plan.name = "/Library/Preferences";
    plan.at = 1;
    plan.waitAt = pf::FileManager::join(world.env.sandbox().tmpPath(), "removal");
    ASSERT_EQ(::mkfifo(plan.waitAt.c_str(), 0600), 0);
    auto environment = testsupport::killAtStepEnvironment(plan);
    environment.push_back("TMPDIR=" + world.temporary);
    const Case cases[] = { { 0, SIGTERM }, { SIGINT, SIGINT }, { SIGHUP, SIGTERM } };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first ? strsignal(c.first) : "quit") + ", then " + strsignal(c.during));
        testsupport::PipedChild child(world.arguments(), environment);
        if (c.first) {
            ASSERT_NO_FATAL_FAILURE(makeTheOutputWaitForItsReader(child));
            ASSERT_EQ(::kill(child.pid(), c.first), 0);
        } else {
            child.write("dump\nquit\n");
        }
        const int removal = testsupport::reachHeldStep(plan.waitAt, child.pid());
        ASSERT_GE(removal, 0) << "the home's removal began";
        ASSERT_EQ(::kill(child.pid(), c.during), 0);
        ::close(removal);
        auto ended = child.end(0, true);
        ASSERT_TRUE(WIFSIGNALED(ended.status)) << "exited with " << WEXITSTATUS(ended.status) << "\n" << ended.errorOutput;
        EXPECT_EQ(WTERMSIG(ended.status), c.first ? c.first : c.during) << strsignal(WTERMSIG(ended.status));
        EXPECT_EQ(temporaryHomesIn(world.temporary), 0u);
    }
}
}
