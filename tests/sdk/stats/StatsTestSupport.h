#pragma once

#include "platform/foundation/HostTable.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"
#include "sdk/stats/TalmerinMobStat.h"
#include "sdk/stats/TalmerinMobStatLogManager.h"
#include "tools/peers/PeersServer.h"
#include "tools/peers/StatsService.h"

#include <gtest/gtest.h>

// A fresh device, a fresh statistics client (as at a new launch) and the statistics service.
struct StatsWorld {
    pf::TaskEnvironment env;
    peers::PeersServer server;
    std::shared_ptr<peers::StatsService> service;

    explicit StatsWorld(double start = 1'700'000'000.0)
        : env(start)
    {
        peers::addAllVendorServices(server);
        service = server.service<peers::StatsService>();
        EXPECT_TRUE(server.start());
        pf::HostTable::pointAllAt(server.rootURL());
    }
    ~StatsWorld()
    {
        env.waitForPendingWork();
        pf::ResetRegistry::resetAll(); // the statistics client goes, as at the end of a launch
        env.runUntilIdle();
    }

    // A new launch on the same device: every service starts afresh and reads what the last
    // launch stored, and the start-up points the libraries at the service again, as the
    // simulator's does.
    void relaunch()
    {
        env.waitForPendingWork();
        pf::ResetRegistry::resetAll();
        pf::HostTable::pointAllAt(server.rootURL());
        env.runUntilIdle();
    }

    std::string address() const { return server.url("stats/"); }
    std::shared_ptr<TalmerinMobStat> stat()
    {
        return TalmerinMobStat::defaultStat();
    }
    std::shared_ptr<TalmerinMobStatLogManager> manager() { return TalmerinMobStatLogManager::sharedManager(); }
    pf::Value log() { return pf::Value(manager()->currentLog()); }
    bool settle() { return env.waitForPendingWork(); }
    std::vector<pf::Value> uploads() { return service->logs(); }
};
