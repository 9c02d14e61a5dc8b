// The quorvane executable. For now it proves the platform layer end to end: it starts the main
// run loop, loads one address with the platform's asynchronous URL loading, prints the status
// and the body, and exits (0 on a reply of any status, 1 when the load fails).

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace pf;

int main(int argc, char** argv)
{
    std::string address;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--url") == 0 && i + 1 < argc) {
            address = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s --url <address>\n", argv[0]);
            return 2;
        }
    }
    if (address.empty()) {
        std::fprintf(stderr, "usage: %s --url <address>\n", argv[0]);
        return 2;
    }

    auto& loop = RunLoop::main();
    loop.bindToCurrentThread();
    int exitCode = 1;
    int status = 0;
    std::string body;

    auto connection = UrlConnection::create(UrlRequest(address));
    connection->didReceiveResponse = [&](const UrlResponse& response) { status = response.statusCode(); };
    connection->didReceiveData = [&](const Bytes& data) { body.append(data.begin(), data.end()); };
    connection->didFinishLoading = [&] {
        std::printf("HTTP %d\n%s\n", status, body.c_str());
        exitCode = 0;
        loop.quit();
    };
    connection->didFailWithError = [&](const UrlError& error) {
        std::fprintf(stderr, "load failed: %s %d: %s\n", error.domain.c_str(), error.code, error.description.c_str());
        loop.quit();
    };
    loop.post([connection] { connection->start(); });
    loop.run();
    return exitCode;
}
