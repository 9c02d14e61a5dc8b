// quorvane-portal: the local portal for the simulator and manual tests.
//
//   quorvane-portal [--port N] [--app-key KEY] [--open-id ID] [--latest-version V]
//   quorvane-portal --help
//
// Listens on 127.0.0.1; with --port 0 (the default) it picks a free port. The first line on
// standard output is "portal listening on <root address>", then it serves until interrupted.
// --help (or -h) prints the usage on standard output and exits 0; a bad command line (an unknown
// option, an option without its value) is named on standard error, the usage after it, and
// exits 2; a port that is no number from 0 to 65535 is refused with exit 2, and a port another
// server listens on with exit 1.

#include "tools/portal/PortalServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

constexpr const char* kUsage =
    "usage: quorvane-portal [--port N] [--app-key KEY] [--open-id ID] [--latest-version V]\n"
    "       quorvane-portal --help\n"
    "Serves the portal with sample gifts, users and captchas on 127.0.0.1 (--port 0, the default,\n"
    "picks a free port) until interrupted, and prints its root address; the app takes that\n"
    "address with \"api/\" added (quorvane --portal). The sample users and their passwords are\n"
    "listed in README.md, under \"The simulator\".\n";

void onSignal(int)
{
    g_stop = 1;
}

// The mistake on a line of its own, then the usage: the usage alone would not say what was wrong.
int refuse(const std::string& mistake)
{
    std::fprintf(stderr, "portal: %s\n%s", mistake.c_str(), kUsage);
    return 2;
}

}

int main(int argc, char** argv)
{
    portal::PortalOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg != "--port" && arg != "--app-key" && arg != "--open-id" && arg != "--latest-version")
            return refuse((arg.starts_with("-") ? "unknown option: " : "unexpected argument: ") + arg);
        if (i + 1 >= argc)
            return refuse(arg + " needs a value");
        if (arg == "--port") {
            char* end = nullptr;
            errno = 0;
            long value = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end || errno || value < 0 || value > 65535) {
                std::fprintf(stderr, "portal: bad port %s (a number from 0 to 65535)\n", argv[i]);
                return 2;
            }
            options.port = static_cast<int>(value);
        } else if (arg == "--app-key")
            options.appKey = argv[++i];
        else if (arg == "--open-id")
            options.openID = argv[++i];
        else
            options.latestVersion = argv[++i];
    }
    portal::PortalServer server(options);
    if (!server.start()) {
        int why = errno;
        if (why == EADDRINUSE)
            std::fprintf(stderr, "portal: port %d is taken: another server listens on %s:%d\n", options.port, options.host.c_str(), options.port);
        else
            std::fprintf(stderr, "portal: cannot listen on %s:%d: %s\n", options.host.c_str(), options.port, std::strerror(why));
        return 1;
    }
    std::printf("portal listening on %s\n", server.rootURL().c_str());
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!g_stop)
        pause();
    server.stop();
    return 0;
}
