#pragma once

#include "sdk/lmconnect/analytics/MRA4LC.h"
#include "sdk/lmconnect/analytics/MRA4LCConfig.h"
#include "sdk/lmconnect/analytics/MRA4LCDataConfigHolder.h"
#include "sdk/lmconnect/analytics/MRA4LCDispatcher.h"
#include "sdk/lmconnect/analytics/MRA4LCHelper.h"
#include "sdk/lmconnect/analytics/MRA4LCHosts.h"
#include "sdk/lmconnect/analytics/MRA4LCStore.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/HostTable.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/LMStatUploadService.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>

// A fresh device (with it a fresh statistics engine) and the vendor-services server behind its
// hosts.
class AnalyticsPeers : public testing::Test {
protected:
    AnalyticsPeers()
    {
        peers::addAllVendorServices(server);
        EXPECT_TRUE(server.start());
        pointAtServer();
        upload = server.service<peers::LMStatUploadService>();
    }

    ~AnalyticsPeers() override { env.waitForPendingWork(); }

    void pointAtServer() { pf::HostTable::pointAllAt(server.rootURL()); }

    // A new launch of the app on the same device (the database file stays); the hosts are
    // pointed at the server again.
    void resetEngine()
    {
        env.waitForPendingWork();
        pf::ResetRegistry::resetAll();
        pointAtServer();
    }

    void settle() { ASSERT_TRUE(env.waitForPendingWork()); }

    std::shared_ptr<MRA4LCStore> store() { return MRA4LCStore::getInstance(); }

    // Every event that reached the server, in order.
    std::vector<nlohmann::json> uploadedEvents() const
    {
        std::vector<nlohmann::json> events;
        for (const auto& batch : upload->uploads())
            for (const auto& e : batch)
                events.push_back(e);
        return events;
    }
    std::vector<size_t> batchSizes() const
    {
        std::vector<size_t> sizes;
        for (const auto& batch : upload->uploads())
            sizes.push_back(batch.size());
        return sizes;
    }

    pf::TaskEnvironment env;
    peers::PeersServer server;
    std::shared_ptr<peers::LMStatUploadService> upload;
};
