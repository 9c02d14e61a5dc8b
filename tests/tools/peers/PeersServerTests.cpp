#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>
#include <httplib.h>

namespace {

// Answers every path under its prefix with the path it saw.
class EchoService : public peers::VendorService {
public:
    explicit EchoService(std::string prefix)
        : m_prefix(std::move(prefix))
    {
    }
    std::string prefix() const override { return m_prefix; }
    std::optional<peers::PeerReply> handle(const peers::PeerRequest& request) override
    {
        if (request.path == m_prefix + "missing")
            return std::nullopt;
        return peers::PeerReply::bytes(m_prefix + "|" + request.path + "|" + request.queryValue("q").value_or("-"), "text/plain");
    }

private:
    std::string m_prefix;
};

TEST(PeersServer, RoutesByLongestPrefixRecordsAndInjectsFaults)
{
    peers::PeersServer server;
    server.addService(std::make_shared<EchoService>("/a/"));
    server.addService(std::make_shared<EchoService>("/a/b/"));
    ASSERT_TRUE(server.start());
    EXPECT_EQ(server.service("/a/b/")->baseURL(), server.rootURL() + "a/b/");

    httplib::Client client("127.0.0.1", server.port());
    auto r1 = client.Get("/a/x?q=one%20two%21");
    ASSERT_TRUE(r1);
    EXPECT_EQ(r1->body, "/a/|/a/x|one two!");
    auto r2 = client.Get("/a/b/y");
    ASSERT_TRUE(r2);
    EXPECT_EQ(r2->body, "/a/b/|/a/b/y|-");
    EXPECT_EQ(client.Get("/a/missing")->status, 404);
    EXPECT_EQ(client.Get("/elsewhere")->status, 404);

    // A fault answers instead of the service, here twice, then the service again.
    server.setFault("GET", "/a/x", peers::PeerReply::bytes("down", "text/plain", 500), 2);
    EXPECT_EQ(client.Get("/a/x")->status, 500);
    EXPECT_EQ(client.Post("/a/x", "", "text/plain")->status, 200) << "the fault is for GET only";
    EXPECT_EQ(client.Get("/a/x")->status, 500);
    EXPECT_EQ(client.Get("/a/x")->status, 200);

    peers::PeerReply dropped;
    dropped.dropConnection = true;
    server.setFault("*", "/a/x", dropped);
    EXPECT_FALSE(client.Get("/a/x")) << "a dropped connection gives the client no answer";
    server.clearFaults();

    auto all = server.requests();
    EXPECT_EQ(all.size(), 9u);
    EXPECT_EQ(server.requests("/a/b/").size(), 1u);
    server.clearRequests();
    EXPECT_TRUE(server.requests().empty());
}

}
