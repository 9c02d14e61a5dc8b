// quorvane-peers: the local vendor-services server for the simulator and manual tests.
//
//   quorvane-peers [--port N]
//
// Listens on 127.0.0.1; with --port 0 (the default) it picks a free port. The first line on
// standard output is "peers listening on <root address>", then it serves until interrupted.

#include "tools/peers/PeersServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

}

int main(int argc, char** argv)
{
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            char* end = nullptr;
            long value = std::strtol(argv[++i], &end, 10);
            if (!end || *end || value < 0 || value > 65535) {
                std::fprintf(stderr, "peers: bad port %s\n", argv[i]);
                return 2;
            }
            port = static_cast<int>(value);
        } else {
            std::fprintf(stderr, "usage: %s [--port N]\n", argv[0]);
            return 2;
        }
    }
    peers::PeersServer server;
    peers::addAllVendorServices(server);
    if (!server.start(port)) {
        std::fprintf(stderr, "peers: cannot listen on port %d\n", port);
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
