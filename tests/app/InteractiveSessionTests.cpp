#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/TerminationSignal.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/ThreadSanitizer.h"
#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// Looks until `holds` does, a minute at most, with a short pause between looks (the look
// decides, not the pause); true when it held.
template <typename Holds> bool withinAMinute(Holds holds)
{
    const auto began = std::chrono::steady_clock::now();
    while (!holds()) {
        if (std::chrono::steady_clock::now() - began > std::chrono::minutes(1))
            return false;
        pollfd never { -1, 0, 0 };
        poll(&never, 1, 10);
    }
    return true;
}

// The simulator as a child process on a pseudo-terminal: it believes a person is typing.
class Terminal {
public:
    // `added`: variables ("NAME=value") given to the child beside this process's; `modes`: the
    // terminal's modes when it starts, the system's own unless given.
    explicit Terminal(const std::vector<std::string>& args, const std::vector<std::string>& added = {}, const termios* modes = nullptr)
    {
        winsize size {};
        size.ws_row = 60;
        size.ws_col = 200;
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // The environment is made before the fork: the test's server threads may hold the
        // allocator's lock at that moment, so the child may call nothing that allocates.
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            if (entry.rfind("TERM=", 0) != 0 && entry.rfind("LC_ALL=", 0) != 0)
                environment.push_back(entry);
        }
        environment.push_back("TERM=vt100");
        environment.push_back("LC_ALL=C.UTF-8");
        environment.insert(environment.end(), added.begin(), added.end());
        std::vector<char*> envp;
        for (auto& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        m_pid = forkpty(&m_fd, nullptr, modes, &size);
        if (m_pid == 0) {
            const rlimit noCore {}; // a SIGQUIT leaves no core behind
            setrlimit(RLIMIT_CORE, &noCore);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
    }
    ~Terminal()
    {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_fd >= 0)
            close(m_fd);
    }
    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

    void type(const std::string& keys) { ASSERT_EQ(write(m_fd, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }

    // Reads until `text` comes after what earlier waits consumed; true when it did within the time.
    bool waitFor(const std::string& text, double seconds = 60)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            size_t at = m_seen.find(text, m_consumed);
            if (at != std::string::npos) {
                m_lastMatch = m_seen.substr(m_consumed, at + text.size() - m_consumed);
                m_consumed = at + text.size();
                return true;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0 || !readSome(static_cast<int>(left)))
                return false;
        }
    }
    // What came from the previous match up to and including the last one.
    const std::string& lastMatch() const { return m_lastMatch; }
    std::string unread() const { return m_seen.substr(m_consumed); }

    // The exit status once the child has closed the terminal; -1 when it did not in time.
    int exitStatus(double seconds = 60)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                return -1;
            if (!readSome(static_cast<int>(left)))
                break;
        }
        int status = 0;
        if (waitpid(m_pid, &status, 0) != m_pid)
            return -1;
        m_exited = true;
        m_killed = WIFSIGNALED(status);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Whether a signal killed the child, rather than the child exiting (after `exitStatus`).
    bool killed() const { return m_killed; }
    // The terminal's settings (its modes), as the child left them or set them.
    termios settings() const
    {
        termios modes {};
        tcgetattr(m_fd, &modes);
        return modes;
    }
    // Waits for the prompt and the editor's modes, types `keys` and waits for their echo; true
    // when all of it came.
    bool typeAtThePrompt(const std::string& keys)
    {
        if (!waitFor("quorvane> ") || !waitForTheEditorsModes())
            return false;
        type(keys);
        return waitFor(keys);
    }
    // Waits, a minute at most, until the line editor has set its modes (keys one by one, no
    // echo by the terminal): it shows the prompt a moment before, and a key typed in between is
    // echoed by the terminal, and a Ctrl-Z then drops the line typed so far.
    bool waitForTheEditorsModes() const
    {
        return withinAMinute([this] { return !(settings().c_lflag & ICANON); });
    }

private:
    // False at the end of output (the child closed the terminal) or when nothing came in time.
    bool readSome(int milliseconds)
    {
        pollfd output { m_fd, POLLIN, 0 };
        int ready = poll(&output, 1, milliseconds);
        if (ready < 0 && errno == EINTR)
            return true;
        if (ready <= 0)
            return false;
        char chunk[4096];
        ssize_t n = read(m_fd, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        m_seen.append(chunk, static_cast<size_t>(n));
        return true;
    }

    pid_t m_pid { -1 };
    int m_fd { -1 };
    bool m_exited { false };
    bool m_killed { false };
    std::string m_seen;
    size_t m_consumed { 0 };
    std::string m_lastMatch;
};

TEST(InteractiveSessionTest, APersonAtATerminalSeesTheScreenGetsHelpAndRecallsLines)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    Terminal terminal({ QUORVANE_SIMULATOR, "--portal", server.apiBaseURL() });
    ASSERT_TRUE(terminal.started());

    // A greeting, then the first screen with its list already in it.
    ASSERT_TRUE(terminal.waitFor("Type help for the commands")) << terminal.unread();
    ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
    EXPECT_NE(terminal.lastMatch().find("--- screen"), std::string::npos);
    EXPECT_NE(terminal.lastMatch().find("text=\"剩余礼包："), std::string::npos) << terminal.lastMatch();

    terminal.type("help\r");
    ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
    for (const char* line : { "tap \"TEXT\"", "tap row [S:]N", "scroll bottom", "quit " })
        EXPECT_NE(terminal.lastMatch().find(line), std::string::npos) << line << " in\n" << terminal.lastMatch();

    // Tab completes the text of the second category; the tap shows the new screen unasked.
    terminal.type("tap \"独\t\r");
    ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
    const std::string& shown = terminal.lastMatch();
    EXPECT_NE(shown.find("CategorySelectionControl frame=(106.67,0,106.67,37) selected"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("error:"), std::string::npos) << shown;

    terminal.type("tpa\r");
    ASSERT_TRUE(terminal.waitFor("error: unknown command: tpa; did you mean tap?")) << terminal.unread();
    ASSERT_TRUE(terminal.waitFor("quorvane> "));

    // Up twice: the tap before the misspelling, run again (the screen does not change, so it
    // is not shown again).
    terminal.type("\x1b[A\x1b[A\r");
    ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
    EXPECT_NE(terminal.lastMatch().find("独家"), std::string::npos) << terminal.lastMatch();
    EXPECT_EQ(terminal.lastMatch().find("error:"), std::string::npos) << terminal.lastMatch();
    EXPECT_EQ(terminal.lastMatch().find("--- screen"), std::string::npos) << terminal.lastMatch();

    // The tap run again is the latest line now; the misspelling is the one before it.
    terminal.type("\x1b[A\x1b[A\r");
    ASSERT_TRUE(terminal.waitFor("did you mean tap?")) << terminal.unread();
    ASSERT_TRUE(terminal.waitFor("quorvane> "));

    terminal.type("quit\r");
    EXPECT_EQ(terminal.exitStatus(), 1) << "two commands failed";
}

// On the manual clock nothing waits on time, but the replies still take it: the terminal waits
// for them as on the system clock, before the first screen and before a command's screen.
TEST(InteractiveSessionTest, OnTheManualClockTheScreenComesWithItsReplies)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    for (const char* device : { "phone", "pad" }) {
        SCOPED_TRACE(device);
        // The lists are still on their way when the greeting comes.
        server.holdOperation("ka/list");
        Terminal terminal({ QUORVANE_SIMULATOR, "--portal", server.apiBaseURL(), "--clock", "manual", "--device", device });
        ASSERT_TRUE(terminal.started());
        bool greeted = terminal.waitFor("Type help for the commands");
        server.releaseHeld();
        ASSERT_TRUE(greeted) << terminal.unread();

        // The list's rows, not the loading prompt over an empty list that claims all is shown.
        ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
        const std::string first = terminal.lastMatch();
        EXPECT_NE(first.find("text=\"星海战纪新手礼包\""), std::string::npos) << first;
        EXPECT_EQ(first.find("LoadingPromptView"), std::string::npos) << first;
        EXPECT_EQ(first.find("text=\"已经显示全部内容\""), std::string::npos) << first;

        // The update box lies over the list: it goes first.
        terminal.type("tap \"以后再说\"\r");
        ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
        // Near the bottom of the first page the second is asked for; the screen comes with its
        // rows where the loading footer was (the flick ends at the first page's bottom, or at
        // the second's when its reply came while the list was still moving).
        terminal.type("scroll bottom\r");
        ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
        const std::string shown = terminal.lastMatch();
        EXPECT_TRUE(shown.find("text=\"萌宠大冒险回归礼包\"") != std::string::npos
            || shown.find("text=\"极速狂飙独家礼包\"") != std::string::npos)
            << "no row of the second page in\n" << shown;
        EXPECT_EQ(shown.find("image=loading.gif"), std::string::npos) << shown;
        EXPECT_EQ(shown.find("error:"), std::string::npos) << shown;

        terminal.type("quit\r");
        EXPECT_EQ(terminal.exitStatus(), 0);
    }
}

TEST(InteractiveSessionTest, TheGreetingNamesTheTabletWhenTheAppIsShownOnOne)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    Terminal terminal({ QUORVANE_SIMULATOR, "--portal", server.apiBaseURL(), "--device", "pad" });
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("Quorvane on a simulated tablet: ")) << terminal.unread();
    ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
    terminal.type("quit\r");
    EXPECT_EQ(terminal.exitStatus(), 0);
}

// Ctrl-C ends a session at a terminal as quit does, at the prompt and during a long wait: the
// terminal's modes as the line editor found them, the temporary home removed, and then the
// process ends by the signal, as a shell expects of a program Ctrl-C ended.
TEST(InteractiveSessionTest, CtrlCEndsTheSessionAsQuitDoesAndGivesTheTerminalBack)
{
    pf::TaskEnvironment env;
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    const std::string temporary = pf::FileManager::join(env.sandbox().tmpPath(), "tmp");
    ASSERT_TRUE(pf::FileManager::createDirectory(temporary, false));
    for (bool waiting : { false, true }) {
        SCOPED_TRACE(waiting ? "during a wait" : "at the prompt");
        Terminal terminal({ QUORVANE_SIMULATOR, "--portal", server.apiBaseURL() }, { "TMPDIR=" + temporary });
        ASSERT_TRUE(terminal.started());
        ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
        EXPECT_TRUE(terminal.waitForTheEditorsModes()) << "the line editor reads key by key";
        EXPECT_FALSE(std::filesystem::is_empty(temporary));
        if (waiting) {
            terminal.type("wait 30\r");
            ASSERT_TRUE(terminal.waitFor("wait 30\r\n")) << "the line was read: " << terminal.unread();
        }
        terminal.type("\x03");
        EXPECT_EQ(terminal.exitStatus(), 130);
        EXPECT_TRUE(terminal.killed());
        const termios after = terminal.settings();
        EXPECT_TRUE(after.c_lflag & ICANON);
        EXPECT_TRUE(after.c_lflag & ECHO);
        EXPECT_TRUE(std::filesystem::is_empty(temporary)) << "the temporary home is gone";
    }
}

// A signal sent to the program alone while it reads a line at the terminal ends it alone, as quit
// does: the shell script that runs it goes on. (The line editor's own handler would send it on to
// the whole process group, the script included.)
TEST(InteractiveSessionTest, ASignalSentToTheProgramAloneAtThePromptEndsOnlyIt)
{
    pf::TaskEnvironment env;
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    for (int signal : { SIGTERM, SIGHUP }) {
        SCOPED_TRACE(strsignal(signal));
        Terminal terminal({ "/bin/sh", "-c", "\"$@\"; echo \"after: $?\"", "sh", QUORVANE_SIMULATOR, "--portal", server.apiBaseURL() });
        ASSERT_TRUE(terminal.started());
        ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
        // The program: the script's one child.
        std::ifstream children("/proc/" + std::to_string(terminal.pid()) + "/task/" + std::to_string(terminal.pid()) + "/children");
        pid_t program = 0;
        ASSERT_TRUE(children >> program);
        ASSERT_EQ(kill(program, signal), 0);
        EXPECT_TRUE(terminal.waitFor("after: " + std::to_string(128 + signal))) << terminal.unread();
        EXPECT_EQ(terminal.exitStatus(), 0) << "the script went on to its end";
    }
}

// The program of a shell script on the terminal: the script's one child.
pid_t childOf(pid_t shell)
{
    std::ifstream children("/proc/" + std::to_string(shell) + "/task/" + std::to_string(shell) + "/children");
    pid_t child = 0;
    children >> child;
    return child;
}

// At the prompt a signal does what it does in a script. Started by a shell that ignores SIGINT
// and SIGHUP, inside a script: a SIGHUP sent to the program alone and a Ctrl-C change nothing
// (no one else hears of them, and the line is edited as before, its keys echoed once); SIGQUIT
// ends the program alone, by its default action, and the script goes on.
TEST(InteractiveSessionTest, AtThePromptASignalDoesWhatItDoesInAScript)
{
    pf::TaskEnvironment env;
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    Terminal terminal({ "/bin/sh", "-c", "trap '' INT; ulimit -c 0; \"$@\"; echo \"after: $?\"", "sh", "/bin/sh", "-c",
        "trap '' INT HUP; exec \"$@\"", "sh", QUORVANE_SIMULATOR, "--portal", server.apiBaseURL() });
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
    ASSERT_TRUE(terminal.waitForTheEditorsModes());
    const pid_t program = childOf(terminal.pid());
    ASSERT_GT(program, 0);

    ASSERT_EQ(kill(program, SIGHUP), 0);
    terminal.type("\x03");
    terminal.type("dump\r");
    ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
    const std::string& answer = terminal.lastMatch();
    EXPECT_EQ(answer.find("dump"), answer.rfind("dump")) << "echoed once:\n" << answer;
    EXPECT_NE(answer.find("--- screen"), std::string::npos) << answer;
    // Once a key of the next line has been read, the editor has the terminal as it wants it.
    terminal.type("x");
    ASSERT_TRUE(terminal.waitFor("x")) << terminal.unread();
    EXPECT_TRUE(terminal.waitForTheEditorsModes()) << "the line editor still reads key by key";

    ASSERT_EQ(kill(program, SIGQUIT), 0);
    EXPECT_TRUE(terminal.waitFor("after: " + std::to_string(128 + SIGQUIT))) << terminal.unread();
    EXPECT_EQ(terminal.exitStatus(), 0) << "the script went on to its end";
}

// Ctrl-Z at the prompt stops the program with the terminal as the line editor found it; back in
// the foreground the editor has its modes again and shows the prompt with the line typed so far.
// (Under a shell with job control: a program whose group no shell watches is not stopped.)
TEST(InteractiveSessionTest, CtrlZAtThePromptStopsTheProgramAndItsReturnRedrawsTheLine)
{
    pf::TaskEnvironment env;
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    Terminal terminal({ "/bin/sh", "-c", "set -m; \"$@\"; echo \"stopped: $?\"; read go; fg; echo \"after: $?\"", "sh",
        QUORVANE_SIMULATOR, "--portal", server.apiBaseURL() });
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.typeAtThePrompt("du")) << terminal.unread();
    terminal.type("\x1a");
    ASSERT_TRUE(terminal.waitFor("stopped: " + std::to_string(128 + SIGTSTP))) << terminal.unread();
    EXPECT_TRUE(terminal.settings().c_lflag & ICANON) << "the terminal's own modes while stopped";
    EXPECT_TRUE(terminal.settings().c_lflag & ECHO);

    terminal.type("go\n");
    ASSERT_TRUE(terminal.waitFor("quorvane> du")) << "redrawn: " << terminal.unread();
    terminal.type("mp\r");
    ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
    EXPECT_NE(terminal.lastMatch().find("--- screen"), std::string::npos) << terminal.lastMatch();
    EXPECT_TRUE(terminal.waitForTheEditorsModes());
    terminal.type("quit\r");
    EXPECT_TRUE(terminal.waitFor("after: 0")) << terminal.unread();
    EXPECT_EQ(terminal.exitStatus(), 0);
}

// Waits, a minute at most, until the program's main thread is in the system call `number` with
// `arguments` as its first ones, as /proc gives them ("0x1": to standard output).
bool waitUntilInCall(pid_t program, long number, const std::vector<std::string>& arguments)
{
    return withinAMinute([&] {
        std::ifstream syscall("/proc/" + std::to_string(program) + "/task/" + std::to_string(program) + "/syscall");
        std::vector<std::string> call;
        for (std::string word; syscall >> word;)
            call.push_back(word);
        return call.size() > arguments.size() && call[0] == std::to_string(number)
            && std::equal(arguments.begin(), arguments.end(), call.begin() + 1);
    });
}

// Waits, a minute at most, until the program has taken the first signal that asks it to end: the
// thread that waits for it has gone once it has handed it on.
bool waitUntilTheFirstSignalIsTaken(pid_t program)
{
    return withinAMinute([program] {
        bool waiting = false;
        std::error_code error;
        for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(program) + "/task", error)) {
            std::ifstream comm(task.path() / "comm");
            std::string name;
            std::getline(comm, name);
            waiting = waiting || name == pf::TerminationSignal::kWatcherName;
        }
        return !waiting && !error;
    });
}

// Every way out of the prompt leaves the terminal's modes as they were before the program started
// (uncommon ones here: no control characters echoed as ^X), all of them (what `stty -g` shows):
// the line editor's way out, and a signal that ends the program at once by its default action, as
// a shell expects: SIGQUIT and the others a person sends (SIGUSR1, SIGALRM, a real-time one), or
// a second signal, sent once the first was taken, while the first's end waits for a terminal
// paused with Ctrl-S.
TEST(InteractiveSessionTest, EveryWayOutOfThePromptLeavesTheTerminalsModesAsTheyWere)
{
    pf::TaskEnvironment env;
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    termios before {};
    {
        int controller = -1;
        int terminal = -1;
        ASSERT_EQ(openpty(&controller, &terminal, nullptr, nullptr, nullptr), 0);
        ASSERT_EQ(tcgetattr(terminal, &before), 0);
        close(terminal);
        close(controller);
    }
    before.c_lflag &= ~static_cast<tcflag_t>(ECHOCTL);
    struct Case {
        const char* name;
        const char* keys; // typed at the prompt
        int first; // sent once the echo of the keys waits for the terminal (paused with Ctrl-S)
        int signal; // then sent to the program
        int status;
    };
    const Case cases[] = {
        { "quit", "quit\r", 0, 0, 0 },
        { "Ctrl-D", "\x04", 0, 0, 0 },
        { "Ctrl-C", "\x03", 0, 0, 128 + SIGINT },
        { "SIGTERM", "", 0, SIGTERM, 128 + SIGTERM },
        { "SIGQUIT", "", 0, SIGQUIT, 128 + SIGQUIT },
        { "Ctrl-\\", "\x1c", 0, 0, 128 + SIGQUIT },
        { "SIGUSR1", "", 0, SIGUSR1, 128 + SIGUSR1 },
        { "SIGALRM", "", 0, SIGALRM, 128 + SIGALRM },
        { "a real-time signal", "", 0, SIGRTMIN + 2, 128 + SIGRTMIN + 2 },
        { "SIGINT and SIGTERM at a terminal paused with Ctrl-S", "dump\r\x13", SIGINT, SIGTERM, 128 + SIGTERM },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The sanitizer runs a handler only once the call it interrupts returns, and a write to a
        // paused terminal never does.
        if (c.first && pf::ThreadSanitizer::isActive())
            continue;
        Terminal terminal({ QUORVANE_SIMULATOR, "--portal", server.apiBaseURL() }, {}, &before);
        ASSERT_TRUE(terminal.started());
        ASSERT_TRUE(terminal.waitFor("quorvane> ")) << terminal.unread();
        ASSERT_TRUE(terminal.waitForTheEditorsModes());
        terminal.type(c.keys);
        if (c.first) {
            // The first signal's end waits as the echo does: nothing but a second ends it.
            ASSERT_TRUE(waitUntilInCall(terminal.pid(), SYS_write, { "0x1" })) << "the echo waits";
            ASSERT_EQ(kill(terminal.pid(), c.first), 0);
            // Sent with the first, the second would be the same request, whose end waits.
            ASSERT_TRUE(waitUntilTheFirstSignalIsTaken(terminal.pid()));
        }
        if (c.signal) {
            ASSERT_EQ(kill(terminal.pid(), c.signal), 0);
        }
        EXPECT_EQ(terminal.exitStatus(), c.status);
        const termios after = terminal.settings();
        EXPECT_EQ(after.c_iflag, before.c_iflag);
        EXPECT_EQ(after.c_oflag, before.c_oflag);
        EXPECT_EQ(after.c_cflag, before.c_cflag);
        EXPECT_EQ(after.c_lflag, before.c_lflag);
        EXPECT_TRUE(std::equal(std::begin(after.c_cc), std::end(after.c_cc), std::begin(before.c_cc)));
    }
}

// Ctrl-Z where nothing can stop the program (its process group orphaned: no shell does job
// control) changes nothing: the editor goes on with its modes, each key echoed once. Under a
// shell with job control, a program stopped, sent on in the background (where setting its modes
// stops it again) and brought back draws its prompt and line once.
TEST(InteractiveSessionTest, CtrlZWhereNothingStopsTheProgramChangesNothingAndAReturnDrawsTheLineOnce)
{
    pf::TaskEnvironment env;
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    {
        SCOPED_TRACE("nothing can stop it");
        Terminal terminal({ QUORVANE_SIMULATOR, "--portal", server.apiBaseURL() });
        ASSERT_TRUE(terminal.started());
        ASSERT_TRUE(terminal.typeAtThePrompt("du")) << terminal.unread();
        terminal.type("\x1a");
        for (const char* key : { "m", "p" }) {
            terminal.type(key);
            ASSERT_TRUE(terminal.waitFor(key)) << terminal.unread();
        }
        terminal.type("\r");
        ASSERT_TRUE(terminal.waitFor("--- screen")) << terminal.unread();
        EXPECT_EQ(terminal.lastMatch(), "\r\n--- screen") << "each key echoed once, by the editor";
        terminal.type("quit\r");
        EXPECT_EQ(terminal.exitStatus(), 0);
    }
    SCOPED_TRACE("stopped, in the background, brought back");
    Terminal terminal({ "/bin/sh", "-c", "set -m; \"$@\"; echo \"stopped: $?\"; read go; bg; read go; fg; echo \"after: $?\"", "sh",
        QUORVANE_SIMULATOR, "--portal", server.apiBaseURL() });
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.typeAtThePrompt("du")) << terminal.unread();
    const pid_t program = childOf(terminal.pid());
    terminal.type("\x1a");
    ASSERT_TRUE(terminal.waitFor("stopped: " + std::to_string(128 + SIGTSTP))) << terminal.unread();
    terminal.type("go\n");
    char request[32];
    std::snprintf(request, sizeof request, "0x%lx", static_cast<unsigned long>(TCSETSW));
    ASSERT_TRUE(waitUntilInCall(program, SYS_ioctl, { "0x0", request })) << "stopped again, setting its modes in the background";
    terminal.type("go\n");
    ASSERT_TRUE(terminal.waitFor("quorvane> du")) << terminal.unread();
    terminal.type("mp\r");
    ASSERT_TRUE(terminal.waitFor("--- screen")) << terminal.unread();
    EXPECT_EQ(terminal.lastMatch(), "mp\r\n--- screen") << "the line drawn once";
    terminal.type("quit\r");
    EXPECT_TRUE(terminal.waitFor("after: 0")) << terminal.unread();
    EXPECT_EQ(terminal.exitStatus(), 0);
}
}

// Waits, a minute at most, until `program` has ended (a child of another, it is left a zombie).
bool waitUntilEnded(pid_t program)
{
    return withinAMinute([program] {
        std::ifstream stat("/proc/" + std::to_string(program) + "/stat");
        std::string text;
        std::getline(stat, text);
        const size_t nameEnd = text.rfind(')');
        return nameEnd == std::string::npos || text.compare(nameEnd, 3, ") Z") == 0;
    });
}

// Stopped with Ctrl-Z under a shell with job control, the program is ended without being brought
// back: by SIGTERM and SIGCONT (what `kill %1` sends), by SIGHUP, SIGTERM and SIGCONT (what a
// shell whose terminal has closed sends its stopped jobs), one request whose end is by the first,
// and by SIGINT alone (`kill -INT %1`: the shell leaves it stopped). Continued in the background,
// it leaves the terminal's modes to the shell, runs its clean-up (the temporary home removed) and
// ends by the signal.
TEST(InteractiveSessionTest, AStoppedProgramEndsWhenToldToWithoutBeingBroughtBack)
{
    pf::TaskEnvironment env;
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    const std::string temporary = pf::FileManager::join(env.sandbox().tmpPath(), "tmp");
    ASSERT_TRUE(pf::FileManager::createDirectory(temporary, false));
    struct Case {
        const char* name;
        std::vector<int> signals;
    };
    const Case cases[] = { { "kill %1", { SIGTERM, SIGCONT } }, { "the terminal closed", { SIGHUP, SIGTERM, SIGCONT } },
        { "kill -INT %1, which sends no SIGCONT", { SIGINT } } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The sanitizer takes every signal itself as it comes and runs the handlers later, so
        // none is left pending beside the first for the handler to see.
        if (c.signals.size() > 2 && pf::ThreadSanitizer::isActive())
            continue;
        Terminal terminal({ "/bin/bash", "-c", "set -m; \"$@\"; echo \"stopped: $?\"; read go; wait %1; echo \"after: $?\"; read go", "sh",
                              QUORVANE_SIMULATOR, "--portal", server.apiBaseURL() },
            { "TMPDIR=" + temporary });
        ASSERT_TRUE(terminal.started());
        ASSERT_TRUE(terminal.typeAtThePrompt("du")) << terminal.unread();
        const pid_t program = childOf(terminal.pid());
        ASSERT_GT(program, 0);
        terminal.type("\x1a");
        ASSERT_TRUE(terminal.waitFor("stopped: " + std::to_string(128 + SIGTSTP))) << terminal.unread();
        for (int signal : c.signals)
            ASSERT_EQ(kill(program, signal), 0);
        // The shell's wait takes a job still stopped for an end.
        ASSERT_TRUE(waitUntilEnded(program)) << terminal.unread();
        terminal.type("go\n");
        ASSERT_TRUE(terminal.waitFor("after: " + std::to_string(128 + c.signals[0]))) << terminal.unread();
        EXPECT_TRUE(std::filesystem::is_empty(temporary)) << "the temporary home is gone";
        EXPECT_TRUE(terminal.settings().c_lflag & ICANON) << "the shell's modes";
        EXPECT_TRUE(terminal.settings().c_lflag & ECHO);
        terminal.type("go\n");
        EXPECT_EQ(terminal.exitStatus(), 0);
    }
}
