#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace fuzz {

// A server on 127.0.0.1 that answers every connection with the same raw bytes, whatever they
// are, then closes it: the way to hand a fuzzed reply to the real HTTP client. It reads the
// request head (briefly, so a client that sends nothing cannot hold it up), writes the reply,
// and closes, so each transfer ends as soon as the client has read what there is.
class RawReplyServer {
public:
    RawReplyServer();
    ~RawReplyServer();
    RawReplyServer(const RawReplyServer&) = delete;
    RawReplyServer& operator=(const RawReplyServer&) = delete;

    int port() const { return m_port; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    void setReply(std::string reply);

private:
    void serve();
    void answer(int client);

    int m_listener { -1 };
    int m_port { 0 };
    int m_wake[2] { -1, -1 };
    std::mutex m_mutex;
    std::string m_reply;
    std::thread m_thread;
};

}
