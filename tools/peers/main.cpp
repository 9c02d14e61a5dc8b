// quorvane-peers: the local vendor-services server for the simulator and manual tests.
//
//   quorvane-peers [--port N]
//   quorvane-peers --help
//
// Listens on 127.0.0.1; with --port 0 (the default) it picks a free port. The first line on
// standard output is "peers listening on <root address>", then it serves until interrupted.
// --help (or -h) prints the usage on standard output and exits 0; a bad command line or port
// prints why on standard error (for a bad command line, the usage after it) and exits 2, and a
// port another server listens on exits 1.

#include "tools/peers/PeersServer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

constexpr const char* kUsage =
    "usage: quorvane-peers [--port N]\n"
    "       quorvane-peers --help\n"
    "Serves the vendor services the client libraries use (LM Connect, Blip's web authorisation,\n"
    "the usage statistics) on 127.0.0.1 until interrupted, and prints its root address; the app\n"
    "takes that address as it is (quorvane --peers).\n"
    "  --port N   the port to listen on, 0 to 65535; 0, the default, picks a free port\n";

void onSignal(int)
{
    g_stop = 1;
}

// The mistake on a line of its own, then the usage: the usage alone would not say what was wrong.
int refuse(const std::string& mistake)
{
    std::fprintf(stderr, "peers: %s\n%s", mistake.c_str(), kUsage);
    return 2;
}

}

int main(int argc, char** argv)
{
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg != "--port")
            return refuse((arg.starts_with("-") ? "unknown option: " : "unexpected argument: ") + arg);
        if (i + 1 >= argc)
            return refuse("--port needs a value");
        char* end = nullptr;
        errno = 0;
        long value = std::strtol(argv[++i], &end, 10);
        if (end == argv[i] || *end || errno || value < 0 || value > 65535) {
            std::fprintf(stderr, "peers: bad port %s (a number from 0 to 65535)\n", argv[i]);
            return 2;
        }
        port = static_cast<int>(value);
    }
    peers::PeersServer server;
    peers::addAllVendorServices(server);
    if (!server.start(port)) {
        int why = errno;
        if (why == EADDRINUSE)
            std::fprintf(stderr, "peers: port %d is taken: another server listens on 127.0.0.1:%d\n", port, port);
        else
            std::fprintf(stderr, "peers: cannot listen on port %d: %s\n", port, std::strerror(why));
        return 1;
    }
    std::printf("peers listening on %s\n", server.rootURL().c_str());
    std::fflush(stdout);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!g_stop)
        pause();
    server.stop();
    return 0;
}
