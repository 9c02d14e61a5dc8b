#pragma once

#include "tools/peers/PeerExchange.h"
#include "tools/peers/VendorService.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace peers {

// The local vendor-services server: every vendor HTTP endpoint the client libraries talk to,
// each vendor under its own path prefix, on 127.0.0.1 and a port of its own (0 picks a free
// one). Tests start it in-process; `quorvane-peers` runs it for the simulator.
//
// Rules:
// - Every request is recorded before it is answered; `requests()` is a copy, safe to read
//   while the server works.
// - A fault set for a method and exact path (`setFault`) answers instead of the vendor's
//   service until it is cleared, `times` answers at most (0: until cleared).
// - Services are added before `start`; each is called under its own lock.
class PeersServer {
public:
    PeersServer();
    ~PeersServer();
    PeersServer(const PeersServer&) = delete;
    PeersServer& operator=(const PeersServer&) = delete;

    void addService(std::shared_ptr<VendorService> service);
    // The service added under that prefix, or null.
    std::shared_ptr<VendorService> service(const std::string& prefix) const;
    template<typename T>
    std::shared_ptr<T> service() const
    {
        for (auto& s : m_services) {
            if (auto typed = std::dynamic_pointer_cast<T>(s))
                return typed;
        }
        return nullptr;
    }

    // Binds 127.0.0.1:port and serves on a thread of its own; false when it cannot bind (errno
    // then says why: EADDRINUSE when another server listens on the port).
    bool start(int port = 0);
    void stop();

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>/"
    std::string rootURL() const;
    // rootURL() + path (a leading "/" is dropped).
    std::string url(std::string path) const;

    // "*" as the method matches any.
    void setFault(std::string method, std::string path, PeerReply reply, int times = 0);
    void clearFaults();
    // Lets held answers go, now and until a fault that holds is set again.
    void releaseHeld();

    std::vector<PeerRequest> requests() const;
    // Only those whose path begins with the prefix.
    std::vector<PeerRequest> requests(const std::string& prefix) const;
    void clearRequests();

private:
    struct Impl;
    std::vector<std::shared_ptr<VendorService>> m_services;
    int m_port { 0 };
    std::unique_ptr<Impl> m_impl;
};

// Adds every vendor's service to the server: what `quorvane-peers` serves.
void addAllVendorServices(PeersServer& server);

}
