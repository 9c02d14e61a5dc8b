#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cerrno>

TEST(PortalServer, DecodesFormBodiesAndRecordsWhatItReceived)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    ASSERT_GT(server.port(), 0);
    EXPECT_EQ(server.apiBaseURL(), "http://127.0.0.1:" + std::to_string(server.port()) + "/api/");

    httplib::Client client("127.0.0.1", server.port());
    // An escaped "&" stays inside its value and does not add a field: the signature check then
    // sees the word as sent.
    auto res = client.Post("/api/ka/search", httplib::Headers { { "imei", "device-1" } },
        "wd=a%26count%3D999&openid=quorvane-sample-client&actime=1.000000&actoken=x", "application/x-www-form-urlencoded");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(nlohmann::json::parse(res->body)["ret"], 2);

    auto received = server.receivedRequests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].method, "POST");
    EXPECT_EQ(received[0].path, "/api/ka/search");
    EXPECT_EQ(received[0].header("IMEI"), "device-1");
    EXPECT_FALSE(received[0].header("Authorization").has_value());

    auto unknown = client.Post("/api/nope", "", "application/x-www-form-urlencoded");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    EXPECT_EQ(nlohmann::json::parse(unknown->body)["ret"], 404);

    auto icon = client.Get("/img/icon/1001.png");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->status, 200);
    EXPECT_EQ(icon->body.substr(1, 3), "PNG");
    EXPECT_EQ(client.Get("/img/icon/9.png")->status, 404);
    EXPECT_EQ(client.Get("/forum-2508-1.html")->status, 200);

    server.stop();
    EXPECT_FALSE(httplib::Client("127.0.0.1", server.port()).Get("/img/icon/1001.png"));
}

// A second portal on a port one listens on fails to start rather than sharing it (each would
// answer some of the requests with its own logins and codes); once the first has stopped the
// port is free again at once.
TEST(PortalServer, ASecondServerOnATakenPortFailsAndThePortIsFreeOnceTheFirstStops)
{
    portal::PortalServer first;
    ASSERT_TRUE(first.start());
    portal::PortalOptions options;
    options.port = first.port();
    {
        portal::PortalServer second(options);
        errno = 0;
        EXPECT_FALSE(second.start());
        EXPECT_EQ(errno, EADDRINUSE);
    }
    httplib::Client client("127.0.0.1", first.port());
    auto icon = client.Get("/img/icon/1001.png");
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->status, 200);
    first.stop();

    portal::PortalServer again(options);
    ASSERT_TRUE(again.start());
    EXPECT_EQ(again.port(), options.port);
}
