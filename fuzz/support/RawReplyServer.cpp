#include "fuzz/support/RawReplyServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace fuzz {

namespace {

constexpr int kRequestWaitMs = 200;

}

RawReplyServer::RawReplyServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_listener, 16) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0
        || ::pipe2(m_wake, O_CLOEXEC) != 0)
        std::abort();
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

RawReplyServer::~RawReplyServer()
{
    char stop = 0;
    (void)!::write(m_wake[1], &stop, 1);
    m_thread.join();
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void RawReplyServer::setReply(std::string reply)
{
    std::lock_guard lock(m_mutex);
    m_reply = std::move(reply);
}

void RawReplyServer::serve()
{
    for (;;) {
        pollfd fds[2] { { m_listener, POLLIN, 0 }, { m_wake[0], POLLIN, 0 } };
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        answer(client);
        ::close(client);
    }
}

void RawReplyServer::answer(int client)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 64 * 1024) {
        pollfd fd { client, POLLIN, 0 };
        if (::poll(&fd, 1, kRequestWaitMs) <= 0)
            break;
        ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<size_t>(n));
    }
    std::string reply;
    {
        std::lock_guard lock(m_mutex);
        reply = m_reply;
    }
    size_t sent = 0;
    while (sent < reply.size()) {
        ssize_t n = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    ::shutdown(client, SHUT_WR);
}

}
