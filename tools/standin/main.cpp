// A tiny stand-in server for the app's demo run: it answers every GET and POST with a small
// reply in the portal's envelope, on 127.0.0.1 and a port the system picks (or --port).
// The first line on standard output is the address it serves, so a script can wait for it.

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

httplib::Server* g_server = nullptr;

void stop(int)
{
    if (g_server)
        g_server->stop();
}

}

int main(int argc, char** argv)
{
    int port = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--port N]\n", argv[0]);
            return 2;
        }
    }

    httplib::Server server;
    auto reply = [](const httplib::Request& request, httplib::Response& response) {
        std::string body = R"({"ret":0,"msg":"","body":{"server":"stand-in","method":")" + request.method + R"(","path":")"
            + request.path + R"("}})";
        response.set_content(body, "application/json; charset=utf-8");
    };
    server.Get(".*", reply);
    server.Post(".*", reply);

    if (port > 0) {
        if (!server.bind_to_port("127.0.0.1", port)) {
            std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
            return 1;
        }
    } else {
        port = server.bind_to_any_port("127.0.0.1");
        if (port <= 0) {
            std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
            return 1;
        }
    }
    g_server = &server;
    std::signal(SIGINT, stop);
    std::signal(SIGTERM, stop);
    std::printf("http://127.0.0.1:%d\n", port);
    std::fflush(stdout);
    server.listen_after_bind();
    return 0;
}
