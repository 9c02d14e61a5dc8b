#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/host/MorrowWebViewHost.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/update/JsUpdateManager.h"
#include "sdk/lmconnect/update/MorrowResourceBundle.h"
#include "sdk/lmconnect/update/TOSDKUpdateVerify.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/HostTable.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RsaVerifier.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/LMScriptUpdateService.h"
#include "tools/peers/PeersServer.h"
#include "tools/scriptbundle/ScriptBundleWriter.h"
#include "tools/scriptbundle/TestSigningKey.h"
#include "tests/support/KillAtStep.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <future>
#include <map>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using scriptbundle::ScriptBundleWriter;
using Entries = std::vector<ScriptBundleWriter::Entry>;

pf::Bytes bytes(std::string_view text)
{
    return pf::Bytes(text.begin(), text.end());
}

class ScriptUpdateTest : public testing::Test {
protected:
    ScriptUpdateTest()
    {
        peers::addAllVendorServices(server);
        EXPECT_TRUE(server.start());
        pf::HostTable::pointAllAt(server.rootURL());
        service = server.service<peers::LMScriptUpdateService>();
        manager = JsUpdateManager::create();
    }

    static ScriptBundleWriter::Files scripts(const std::string& tag)
    {
        return { { "init.js", bytes("var morrow = {}; // " + tag) }, { "a_b.js", bytes("morrow.ab = '" + tag + "';") } };
    }
    Entries signedEntries(int version, const std::string& key = QUORVANE_LMCONNECT_SIGNING_KEY)
    {
        auto entries = ScriptBundleWriter::signedEntries(scripts("v" + std::to_string(version)), version, 45, key);
        EXPECT_TRUE(entries);
        return entries.value_or(Entries {});
    }
    std::string zip(const Entries& entries)
    {
        std::string path = pf::FileManager::join(env.sandbox().homePath(), "made.zip");
        pf::FileManager::removeItem(path);
        EXPECT_TRUE(ScriptBundleWriter::writeZip(path, entries));
        auto data = pf::FileManager::read(path);
        pf::FileManager::removeItem(path);
        return data ? std::string(data->begin(), data->end()) : std::string();
    }
    // Every file of the sandbox with its contents, but the download itself.
    std::map<std::string, std::string> snapshot()
    {
        std::map<std::string, std::string> files;
        const std::string home = env.sandbox().homePath();
        for (auto& relative : pf::FileManager::enumerate(home)) {
            std::string path = pf::FileManager::join(home, relative);
            if (relative == "tmp/jsupdate.zip" || pf::FileManager::isDirectory(path))
                continue;
            auto data = pf::FileManager::read(path);
            files[relative] = data ? std::string(data->begin(), data->end()) : "?";
        }
        return files;
    }
    std::string installedText(const std::string& name)
    {
        return pf::FileManager::readText(pf::FileManager::join(manager->jsFinalFolderPath(), name)).value_or("(none)");
    }

    pf::TaskEnvironment env;
    peers::PeersServer server;
    std::shared_ptr<peers::LMScriptUpdateService> service;
    std::shared_ptr<JsUpdateManager> manager;
};

TEST_F(ScriptUpdateTest, FirstHostInstallsTheShippedArchive)
{
    auto scripts = manager->loadInstalledScripts();
    ASSERT_TRUE(scripts);
    ASSERT_FALSE(scripts->empty());
    EXPECT_EQ(pf::FileManager::join(manager->jsFinalFolderPath(), "init.js"), scripts->front().path);
    EXPECT_NE(scripts->front().text.find("tauth.init"), std::string::npos);
    auto defaults = pf::UserDefaults::standard();
    EXPECT_EQ(defaults->stringForKey("latest_js_version"), "1");
    EXPECT_TRUE(defaults->boolForKey("is_js_updated"));
    EXPECT_EQ(defaults->integerForKey("update_frequency"), 30);
    EXPECT_FALSE(defaults->dateForKey("last_update_time"));

    // A copy left in the temporary folder by an earlier version does not win.
    std::string stale = pf::FileManager::join(env.sandbox().tmpPath(), "bundlejs.zip");
    pf::FileManager::removeItem(stale);
    pf::FileManager::writeAtomically(stale, bytes(zip(signedEntries(9))));
    manager->versionController().clearVersionInfo();
    ASSERT_TRUE(manager->loadInstalledScripts());
    EXPECT_EQ(defaults->stringForKey("latest_js_version"), "1");
}

TEST_F(ScriptUpdateTest, TheTrustAnchorShipsInTheAppsResourcesAndTheKeyDoesNot)
{
    // The certificate and the archive are the main bundle's own.
    const std::string app = pf::Bundle::main()->bundlePath();
    for (const char* name : { MorrowResourceBundle::kCertificate, MorrowResourceBundle::kArchive }) {
        auto path = MorrowResourceBundle::pathForResource(name);
        ASSERT_TRUE(path) << name;
        EXPECT_EQ(path->rfind(app + "/", 0), 0u) << *path;
    }
    // Nothing the app ships holds the signing key.
    auto key = pf::FileManager::read(QUORVANE_LMCONNECT_SIGNING_KEY);
    ASSERT_TRUE(key);
    for (auto& relative : pf::FileManager::enumerate(app)) {
        std::string path = pf::FileManager::join(app, relative);
        if (pf::FileManager::isDirectory(path))
            continue;
        auto text = pf::FileManager::readText(path).value_or("");
        EXPECT_EQ(text.find("PRIVATE KEY"), std::string::npos) << relative;
        EXPECT_NE(pf::FileManager::read(path), key) << relative;
    }
    // An app whose resources lack them has no scripts: nothing else is looked at.
    std::string bare = pf::FileManager::join(env.sandbox().homePath(), "Bare.app");
    ASSERT_TRUE(pf::FileManager::createDirectory(pf::FileManager::join(bare, MorrowResourceBundle::kName), true));
    pf::Bundle::setMain(pf::Bundle::atPath(bare));
    EXPECT_FALSE(MorrowResourceBundle::pathForResource(MorrowResourceBundle::kCertificate));
    EXPECT_FALSE(manager->loadInstalledScripts());
    pf::Bundle::setMain(nullptr);
}

TEST_F(ScriptUpdateTest, TimedRunsInstallANewerSignedArchive)
{
    ASSERT_TRUE(manager->loadInstalledScripts());
    service->publish(2, zip(signedEntries(2)));

    // No update time yet: the first run starts at once and sends version "1" of the shipped
    // archive... which is what the state says; a missing version would also read "1".
    pf::UserDefaults::standard()->removeObjectForKey("latest_js_version");
    manager->scheduleUpdates();
    env.fastForwardBy(0.001);
    ASSERT_TRUE(env.waitForPendingWork());
    auto checks = server.requests("/pub/check_bizup");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].queryValue("hver"), "1");
    EXPECT_EQ(checks[0].queryValue("biz"), "107");
    EXPECT_EQ(pf::UserDefaults::standard()->stringForKey("latest_js_version"), "2");
    EXPECT_EQ(pf::UserDefaults::standard()->integerForKey("update_frequency"), 45);
    auto updated = pf::UserDefaults::standard()->dateForKey("last_update_time");
    ASSERT_TRUE(updated);
    EXPECT_DOUBLE_EQ(updated->secondsSince1970(), env.now());

    // The next host reads the new folder.
    auto scripts = manager->loadInstalledScripts();
    ASSERT_TRUE(scripts);
    ASSERT_EQ(scripts->size(), 2u);
    EXPECT_EQ(scripts->front().text, "var morrow = {}; // v2");
    EXPECT_EQ(scripts->back().path, pf::FileManager::join(manager->jsFinalFolderPath(), "a_b.js"));

    // Updated 10 minutes ago with a period of 30: the first run comes 20 minutes on.
    pf::UserDefaults::standard()->setInteger("update_frequency", 30);
    pf::UserDefaults::standard()->setDate("last_update_time", pf::Date { env.now() - 600 });
    server.clearRequests();
    manager->scheduleUpdates();
    env.fastForwardBy(19 * 60 + 59);
    env.waitForPendingWork();
    EXPECT_TRUE(server.requests("/pub/check_bizup").empty());
    env.fastForwardBy(1);
    env.waitForPendingWork();
    ASSERT_EQ(server.requests("/pub/check_bizup").size(), 1u);
    EXPECT_EQ(server.requests("/pub/check_bizup")[0].queryValue("hver"), "2");
    manager->stopTimer();
}

TEST_F(ScriptUpdateTest, ARunAskedForDuringARunDoesNothing)
{
    ASSERT_TRUE(manager->loadInstalledScripts());
    peers::PeerReply slow = peers::PeerReply::json(R"({"type":0})");
    slow.delaySeconds = 0.3;
    server.setFault("GET", "/pub/check_bizup", slow);
    auto first = std::async(std::launch::async, [this] { manager->update("107"); });
    ASSERT_TRUE(env.runUntil([&] { return !server.requests("/pub/check_bizup").empty(); }));
    EXPECT_TRUE(manager->isWorking());
    manager->update("107");
    first.wait();
    EXPECT_EQ(server.requests("/pub/check_bizup").size(), 1u);
    EXPECT_FALSE(manager->isWorking());
}

TEST_F(ScriptUpdateTest, BadArchivesChangeNothing)
{
    ASSERT_TRUE(manager->loadInstalledScripts());
    std::string otherKey = pf::FileManager::join(env.sandbox().homePath(), "other.pem");
    std::string otherCertificate = pf::FileManager::join(env.sandbox().homePath(), "other.der");
    ASSERT_TRUE(scriptbundle::TestSigningKey::generate(otherKey, otherCertificate));
    auto withEntry = [this](ScriptBundleWriter::Entry extra) {
        auto entries = signedEntries(3);
        entries.push_back(std::move(extra));
        return zip(entries);
    };
    auto changed = [this](const std::string& name, const std::string& data) {
        auto entries = signedEntries(3);
        for (auto& entry : entries)
            if (entry.name == name)
                entry.data = bytes(data);
        return zip(entries);
    };
    Entries many = signedEntries(3);
    for (int i = 0; i < 300; ++i)
        many.push_back({ "js/extra" + std::to_string(i) + ".txt", bytes("x") });
    std::string good = zip(signedEntries(3));

    struct Case {
        const char* name;
        std::string archive;
        std::optional<peers::PeerReply> download {}; // replaces the archive's answer
        std::optional<std::string> downloadURL {};
    };
    peers::PeerReply dropped;
    dropped.dropConnection = true;
    peers::PeerReply cut = peers::PeerReply::bytes(good, "application/zip");
    cut.truncateAfter = good.size() / 2;
    std::vector<Case> cases = {
        { "changed file", changed("js/a_b.js", "morrow.ab = 'evil';") },
        { "changed verify.json", changed("js/verify.json", "{\"init_js\":\"00\"}") },
        { "another certificate", zip(*ScriptBundleWriter::signedEntries(scripts("v3"), 3, 30, otherKey)) },
        { "parent entry", withEntry({ "../x", bytes("x") }) },
        { "absolute entry", withEntry({ "/x", bytes("x") }) },
        { "installed folder entry", withEntry({ "finaljs/init.js", bytes("evil") }) },
        { "backslash entry", withEntry({ "js\\b.js", bytes("x") }) },
        { "link entry", withEntry({ "js/link.js", bytes("/etc/passwd"), true }) },
        { "too large", withEntry({ "js/big.txt", pf::Bytes(17u << 20, 'a') }) },
        { "too many entries", zip(many) },
        { "no zip", "this is not an archive" },
        { "cut zip", good.substr(0, good.size() / 2) },
        { "500 download", good, peers::PeerReply::bytes(good, "application/zip", 500) },
        { "dropped download", good, dropped },
        { "cut download", good, cut },
        { "download address ending in ..", good, std::nullopt, server.url("pub/archives/..") },
    };
    const auto before = snapshot();
    const std::string installedInit = installedText("init.js");
    for (auto& c : cases) {
        service->publish(3, c.archive);
        service->setDownloadURL(c.downloadURL);
        server.clearFaults();
        if (c.download)
            server.setFault("GET", peers::LMScriptUpdateService::archivePath(3), *c.download);
        manager->update("107");
        EXPECT_EQ(snapshot(), before) << c.name;
        EXPECT_EQ(pf::UserDefaults::standard()->stringForKey("latest_js_version"), "1") << c.name;
        EXPECT_EQ(installedText("init.js"), installedInit) << c.name;
    }
    EXPECT_FALSE(pf::FileManager::exists(pf::FileManager::join(env.sandbox().libraryPath(), "x")));

    // The certificate decides: the other key's signature verifies only with its own certificate.
    auto list = bytes(ScriptBundleWriter::verifyJson(scripts("v3")));
    auto signature = scriptbundle::TestSigningKey::sign(otherKey, list);
    ASSERT_TRUE(signature);
    EXPECT_TRUE(pf::RsaVerifier::verifyPkcs1Sha1(*pf::FileManager::read(otherCertificate), list, *signature));
    EXPECT_FALSE(pf::RsaVerifier::verifyPkcs1Sha1(*pf::FileManager::read(otherCertificate), bytes("other"), *signature));
    EXPECT_FALSE(pf::RsaVerifier::verifyPkcs1Sha1(bytes("not a certificate"), list, *signature));
}

TEST_F(ScriptUpdateTest, TheUnsignedConfigCannotPinTheVersionOrThePeriod)
{
    ASSERT_TRUE(manager->loadInstalledScripts());
    // Signed scripts of one version beside a "config.json" anyone on the way may have written.
    auto withConfig = [this](int scripts, const std::string& config) {
        auto entries = signedEntries(scripts);
        for (auto& entry : entries)
            if (entry.name == "config.json")
                entry.data = bytes(config);
        return zip(entries);
    };
    struct Case {
        const char* name;
        std::string archive;
        const char* installedScripts; // the tag of the scripts installed after the run
        const char* version;
        long long storedFrequency;
    };
    const std::string shipped = installedText("init.js");
    std::vector<Case> cases = {
        { "same version", withConfig(2, R"({"version":1,"frequency":45})"), "", "1", 30 },
        { "19-digit version", withConfig(2, R"({"version":9223372036854775807,"frequency":45})"), "", "1", 30 },
        { "fractional version", withConfig(2, R"({"version":2.5,"frequency":45})"), "", "1", 30 },
        { "no version", withConfig(2, R"({"frequency":45})"), "", "1", 30 },
        { "absurd period", withConfig(2, R"({"version":2,"frequency":100000000})"), "v2", "2", 24 * 60 },
        { "older version", withConfig(3, R"({"version":1,"frequency":45})"), "v2", "2", 24 * 60 },
        { "one-minute period", withConfig(3, R"({"version":3,"frequency":1})"), "v3", "3", 5 },
        { "negative period", withConfig(4, R"({"version":4,"frequency":-7})"), "v4", "4", 0 },
    };
    int published = 10;
    for (auto& c : cases) {
        service->publish(published++, c.archive); // always offered: the check's own version is higher
        manager->update("107");
        std::string expected = *c.installedScripts ? "var morrow = {}; // " + std::string(c.installedScripts) : shipped;
        EXPECT_EQ(installedText("init.js"), expected) << c.name;
        EXPECT_EQ(pf::UserDefaults::standard()->stringForKey("latest_js_version"), c.version) << c.name;
        EXPECT_EQ(pf::UserDefaults::standard()->integerForKey("update_frequency"), c.storedFrequency) << c.name;
    }
    EXPECT_EQ(manager->versionController().getFinalFrequency(), 30);

    // A period stored before the bounds, and a last update dated in the future, stay bounded.
    pf::UserDefaults::standard()->setInteger("update_frequency", 1LL << 40);
    pf::UserDefaults::standard()->setDate("last_update_time", pf::Date { env.now() + 1e9 });
    EXPECT_EQ(manager->versionController().getFinalFrequency(), 24 * 60);
    EXPECT_EQ(manager->versionController().getTimerDelay(), 24 * 60);
}

TEST_F(ScriptUpdateTest, AChangedInstalledFileClearsTheStateAndTheShippedArchiveReturns)
{
    ASSERT_TRUE(manager->loadInstalledScripts());
    service->publish(4, zip(signedEntries(4)));
    manager->update("107");
    ASSERT_EQ(pf::UserDefaults::standard()->stringForKey("latest_js_version"), "4");

    pf::FileManager::writeAtomically(pf::FileManager::join(manager->jsFinalFolderPath(), "a_b.js"), std::string_view("changed"));
    // The shipped archive returns at once, for the host that asked.
    pf::Log::startCapture();
    auto again = manager->loadInstalledScripts();
    EXPECT_TRUE(pf::Log::contains("a_b.js does not match its listed hash; the shipped scripts are installed again"));
    pf::Log::stopCapture();
    ASSERT_TRUE(again);
    EXPECT_NE(again->front().text.find("tauth.init"), std::string::npos);
    EXPECT_EQ(pf::UserDefaults::standard()->stringForKey("latest_js_version"), "1");
    EXPECT_TRUE(pf::UserDefaults::standard()->dateForKey("last_update_time")) << "clearing keeps the update time";
}

TEST_F(ScriptUpdateTest, EveryHostRunsTheInstalledScriptsAsTheyAreNowInAPageOfItsOwn)
{
    auto makeHost = [this] {
        auto view = MorrowWebViewHost::create();
        return std::make_pair(view, MROSDKJSBridge::initializeWithUpdateManager(manager, view, {}));
    };
    // The second host loads what the first compiled, into a fresh page.
    auto [firstView, first] = makeHost();
    ASSERT_TRUE(first);
    first->evaluateJavascript("morrow.tauth.appId = 'first'; var marker = 1;");
    auto [secondView, second] = makeHost();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->evaluateJavascript("typeof morrow.tauth.init + ':' + morrow.tauth.appId + ':' + typeof marker"), "function::undefined");
    EXPECT_EQ(first->evaluateJavascript("morrow.tauth.appId + ':' + marker"), "first:1");

    // Each update's files run as they are now written, whatever ran before under their names.
    for (int version : { 2, 3 }) {
        SCOPED_TRACE(version);
        service->publish(version, zip(signedEntries(version)));
        manager->update("107");
        auto [view, bridge] = makeHost();
        ASSERT_TRUE(bridge);
        EXPECT_EQ(bridge->evaluateJavascript("morrow.ab + ':' + typeof morrow.tauth"), "v" + std::to_string(version) + ":undefined");
    }
    MROSDKJSBridge::deinit();
}

TEST_F(ScriptUpdateTest, EachCheckUsesTheKeyOfTheCertificateItIsGiven)
{
    // The shipped certificate's key is kept between checks; another certificate must not
    // borrow it, nor leave its own behind.
    ASSERT_TRUE(manager->loadInstalledScripts());
    std::string otherKey = pf::FileManager::join(env.sandbox().homePath(), "other.pem");
    std::string otherCertificatePath = pf::FileManager::join(env.sandbox().homePath(), "other.der");
    ASSERT_TRUE(scriptbundle::TestSigningKey::generate(otherKey, otherCertificatePath));
    auto shippedCertificate = pf::FileManager::read(MorrowResourceBundle::pathForResource(MorrowResourceBundle::kCertificate).value_or(""));
    auto otherCertificate = pf::FileManager::read(otherCertificatePath);
    ASSERT_TRUE(shippedCertificate && otherCertificate);
    auto list = bytes("{\"init_js\":\"00\"}");
    auto shippedSignature = scriptbundle::TestSigningKey::sign(QUORVANE_LMCONNECT_SIGNING_KEY, list);
    auto otherSignature = scriptbundle::TestSigningKey::sign(otherKey, list);
    ASSERT_TRUE(shippedSignature && otherSignature);
    struct Check {
        const pf::Bytes& certificate;
        const pf::Bytes& signature;
        bool accepted;
    };
    const Check checks[] = {
        { *shippedCertificate, *shippedSignature, true },
        { *shippedCertificate, *otherSignature, false },
        { *otherCertificate, *shippedSignature, false },
        { *otherCertificate, *otherSignature, true },
        { *shippedCertificate, *otherSignature, false },
        { *shippedCertificate, *shippedSignature, true },
    };
    for (size_t i = 0; i < std::size(checks); ++i)
        EXPECT_EQ(pf::RsaVerifier::verifyPkcs1Sha1(checks[i].certificate, list, checks[i].signature), checks[i].accepted) << "check " << i;
}

TEST_F(ScriptUpdateTest, AHostMadeDuringTheSwapLoadsACompleteFolder)
{
    // The app's resources are a copy whose certificate becomes a pipe. An update checks the
    // signature inside the install, before the swap: while it waits for the certificate it holds
    // the install, and the test knows it is there when its own end of the pipe opens.
    const std::string app = pf::FileManager::join(env.sandbox().homePath(), "App");
    const std::string resources = pf::FileManager::join(app, MorrowResourceBundle::kName);
    ASSERT_TRUE(pf::FileManager::createDirectory(resources, true));
    for (const char* name : { MorrowResourceBundle::kCertificate, MorrowResourceBundle::kArchive }) {
        auto shipped = MorrowResourceBundle::pathForResource(name);
        ASSERT_TRUE(shipped && pf::FileManager::copyItem(*shipped, pf::FileManager::join(resources, name))) << name;
    }
    pf::Bundle::setMain(pf::Bundle::atPath(app));
    ASSERT_TRUE(manager->loadInstalledScripts());

    const std::string certificate = pf::FileManager::join(resources, MorrowResourceBundle::kCertificate);
    const std::string kept = pf::FileManager::join(app, "certificate");
    ASSERT_TRUE(pf::FileManager::moveItem(certificate, kept));
    const pf::Bytes key = pf::FileManager::read(kept).value_or(pf::Bytes {});
    ASSERT_FALSE(key.empty());
    ASSERT_EQ(::mkfifo(certificate.c_str(), 0600), 0);
    service->publish(5, zip(signedEntries(5)));

    auto run = std::async(std::launch::async, [this] { manager->update("107"); });
    const int pipe = ::open(certificate.c_str(), O_WRONLY); // returns once the install reads it
    ASSERT_GE(pipe, 0);
    // The file is back under its name before the install can go on, so every later check reads it.
    EXPECT_EQ(std::rename(kept.c_str(), certificate.c_str()), 0);
    std::thread writer([&] {
        EXPECT_EQ(::write(pipe, key.data(), key.size()), static_cast<ssize_t>(key.size()));
        ::close(pipe);
    });
    auto scripts = manager->loadInstalledScripts(); // waits until the install has ended
    writer.join();
    run.wait();
    ASSERT_TRUE(scripts);
    EXPECT_EQ(scripts->front().text, "var morrow = {}; // v5");
}

// Launches killed while installing the shipped scripts leave their staging folders, empty or
// part-filled; the next launch's read of the scripts removes them, and nothing else of like name.
TEST_F(ScriptUpdateTest, StagingFoldersThatKilledInstallsLeftGoAtTheNextLaunch)
{
    const std::string home = pf::FileManager::join(env.sandbox().tmpPath(), "device");
    ASSERT_TRUE(pf::Sandbox::atPath(home));
    const std::string caches = pf::FileManager::join(home, "Library/caches");
    for (long step : { 1, 3 }) {
        testsupport::KillPlan plan;
        plan.under = home;
        plan.kinds = "create";
        plan.name = "jsupdate-";
        plan.at = step;
        plan.after = true;
        auto child = testsupport::runChildProcess({ SCRIPT_INSTALL_CHILD, home }, testsupport::killAtStepEnvironment(plan));
        ASSERT_TRUE(testsupport::wasKilled(child)) << step << ": " << child.status << child.errorOutput;
        auto left = pf::FileManager::contentsOfDirectory(caches);
        ASSERT_FALSE(left.empty()) << "the killed install left its folder";
        ASSERT_EQ(left.back().rfind("jsupdate-", 0), 0u) << left.back();
    }

    // What the installs did not make: a link to a folder of someone else's, a plain file and a
    // shorter name, and a folder of another user.
    const std::string theirs = pf::FileManager::join(env.sandbox().tmpPath(), "theirs");
    ASSERT_TRUE(pf::FileManager::createDirectory(theirs, false));
    ASSERT_TRUE(pf::FileManager::writeAtomically(pf::FileManager::join(theirs, "file"), bytes("theirs")));
    std::vector<std::string> others { "jsupdate-AAAAAA", "jsupdate-BBBBBB", "jsupdate-CCCCC" };
    ASSERT_EQ(::symlink(theirs.c_str(), pf::FileManager::join(caches, others[0]).c_str()), 0);
    ASSERT_TRUE(pf::FileManager::writeAtomically(pf::FileManager::join(caches, others[1]), bytes("x")));
    ASSERT_TRUE(pf::FileManager::createDirectory(pf::FileManager::join(caches, others[2]), false));
    if (::geteuid() == 0) {
        others.push_back("jsupdate-DDDDDD");
        const std::string folder = pf::FileManager::join(caches, others.back());
        ASSERT_TRUE(pf::FileManager::createDirectory(folder, false));
        ASSERT_EQ(::chown(folder.c_str(), 4242, 4242), 0);
    }

    auto clean = testsupport::runChildProcess({ SCRIPT_INSTALL_CHILD, home });
    ASSERT_TRUE(WIFEXITED(clean.status) && WEXITSTATUS(clean.status) == 0) << clean.status << clean.errorOutput;
    others.push_back(JsUpdateManager::kFinalFolderName);
    std::sort(others.begin(), others.end());
    EXPECT_EQ(pf::FileManager::contentsOfDirectory(caches), others);
    EXPECT_EQ(pf::FileManager::readText(pf::FileManager::join(theirs, "file")), "theirs");
}

TEST(ScriptArchiveNames, OnlyNamesBelowTheFolderAreSafe)
{
    for (std::string name : { "js/init.js", "config.json", "js/", "a..b/c", "js/.hidden" })
        EXPECT_TRUE(ScriptArchiveUnpacker::isSafeName(name)) << name;
    for (std::string name : { "", "/x", "../x", "js/../../x", "js/..", "a\\b" })
        EXPECT_FALSE(ScriptArchiveUnpacker::isSafeName(name)) << name;
    EXPECT_EQ(TOSDKUpdateVerify::fileNameForKey("init_js"), "init.js");
    EXPECT_EQ(TOSDKUpdateVerify::fileNameForKey("a_b_js"), "a_b.js");
    EXPECT_EQ(TOSDKUpdateVerify::fileNameForKey("plain"), "plain");
}

}
