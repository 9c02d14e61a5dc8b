#pragma once

#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include "platform/foundation/HostTable.h"
#include "platform/foundation/Json.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>

// A fresh device and the vendor-services server, with LM Connect's hosts pointed at it.
class LMConnectPeers : public testing::Test {
protected:
    LMConnectPeers()
    {
        peers::addAllVendorServices(server);
        EXPECT_TRUE(server.start());
        pf::HostTable::pointAllAt(server.rootURL());
    }

    std::string openApi(const std::string& path) const { return MorrowHostConfig::shared().openApiBase() + path; }
    std::string cgi(const std::string& path) const { return MorrowHostConfig::shared().cgiBase() + path; }
    // Sets the answer of one path of the server (its prefix included, as "/lmcgi/x"), replacing
    // every answer set before.
    void answer(const std::string& path, peers::PeerReply reply)
    {
        server.clearFaults();
        server.setFault("*", path, std::move(reply));
    }

    pf::TaskEnvironment env;
    peers::PeersServer server;
};

// Records every event of an exchange.
struct RecordingRequestDelegate : MorrowRequestDelegate {
    int loading { 0 };
    std::optional<int> status;
    std::optional<MorrowError> error;
    std::optional<pf::Value> result;
    std::optional<pf::Bytes> raw;
    bool ended() const { return error || result; }

    void requestLoading(const std::shared_ptr<MorrowRequest>&) override { ++loading; }
    void requestDidReceiveResponse(const std::shared_ptr<MorrowRequest>&, const pf::UrlResponse& response) override { status = response.statusCode(); }
    void requestDidFailWithError(const std::shared_ptr<MorrowRequest>&, const MorrowError& e) override { error = e; }
    void requestDidLoad(const std::shared_ptr<MorrowRequest>&, const pf::Value& r, const pf::Bytes&) override { result = r; }
    void requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>&, const pf::Bytes& data) override { raw = data; }
    std::int64_t sent { 0 }, received { 0 };
    void requestDidSendBodyData(const std::shared_ptr<MorrowRequest>&, std::int64_t, std::int64_t total, std::int64_t) override { sent = total; }
    void requestDidWriteData(const std::shared_ptr<MorrowRequest>&, std::int64_t, std::int64_t total, std::int64_t) override { received = total; }
};

#include "sdk/lmconnect/openapi/MorrowSession.h"

// A session with fixed credentials that records the permission questions it is asked.
class TestSession : public MorrowSession {
public:
    bool valid { true };
    bool openIdValid { true };
    bool grantsResult { true };
    std::vector<std::vector<std::string>> asked;

    std::string accessToken() const override { return "TOKEN-1"; }
    std::string openId() const override { return "OPENID-1"; }
    std::string appId() const override { return "100200"; }
    bool isSessionValid() const override { return valid; }
    bool isOpenIdValid() const override { return openIdValid; }
    bool morrowNeedPerformIncrAuth(const std::vector<std::string>& permissions) override
    {
        asked.push_back(permissions);
        return grantsResult;
    }
};

// A plain receiver of Open API results.
struct RecordingTarget : APIBaseTarget {
    std::vector<std::shared_ptr<APIResponse>> responses;
    APIBase::Selector selector()
    {
        return [this](const std::shared_ptr<APIResponse>& response) { responses.push_back(response); };
    }
};
