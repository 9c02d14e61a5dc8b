// The LM Connect script host: making the session (its hidden web view, the installed scripts
// verified and loaded, "morrow.tauth.init" run) beside OpenSSL verifying the same signature and
// file digests and a bare duktape heap running the same scripts; and the heap each one holds.

#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/MorrowOAuth.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/host/MorrowWebViewHost.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/update/JsUpdateManager.h"
#include "sdk/lmconnect/update/MorrowResourceBundle.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/HostTable.h"
#include "platform/foundation/Log.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/PeersServer.h"

#include <benchmark/benchmark.h>
#include <duktape.h>
#include <malloc.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <openssl/x509.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

constexpr const char* kAppId = "100481327";

double heapInUse()
{
    return static_cast<double>(mallinfo2().uordblks);
}

// A device with the vendor servers and the app's reply scheme, as the app's start gives it.
struct HostWorld {
    pf::TaskEnvironment env;
    peers::PeersServer server;
    std::shared_ptr<MorrowSessionDelegate> delegate = std::make_shared<MorrowSessionDelegate>();

    // The scripts log every bridge call; the table is easier to read without those lines.
    HostWorld()
    {
        pf::Log::setQuiet(true);
        peers::addAllVendorServices(server);
        server.start();
        pf::HostTable::pointAllAt(server.rootURL());
        pf::Application::shared().reset();
        auto bundle = pf::Bundle::main();
        bundle->setInfoValue("CFBundleDisplayName", "礼包");
        bundle->setInfoValue("CFBundleURLTypes",
            pf::Array { pf::Dictionary { { "CFBundleURLSchemes", pf::Array { std::string("morrow") + kAppId } } } });
    }
    ~HostWorld()
    {
        MROSDKJSBridge::deinit();
        pf::Application::shared().reset();
        pf::Log::setQuiet(false);
    }

    std::shared_ptr<MorrowOAuth> makeSession() { return MorrowOAuth::initWithAppIdAndDelegate(kAppId, delegate); }
    void end(std::shared_ptr<MorrowOAuth>& session)
    {
        session.reset();
        MROSDKJSBridge::deinit();
        env.runUntilIdle();
    }
};

void ScriptHostCreate(benchmark::State& state)
{
    HostWorld world;
    // The first session installs the shipped archive; every later one verifies and loads it.
    auto first = world.makeSession();
    world.end(first);
    double heap = 0;
    for (auto _ : state) {
        double before = heapInUse();
        auto session = world.makeSession();
        if (!session->scriptHost() || session->scriptHost()->evaluateJavascript("String(morrow.tauth.initialised)") != "true") {
            state.SkipWithError("the session's scripts did not load and initialise");
            break;
        }
        heap = heapInUse() - before;
        world.end(session);
    }
    state.counters["heap"] = heap;
}

pf::Bytes readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return pf::Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string sha1Hex(const pf::Bytes& data)
{
    unsigned char digest[SHA_DIGEST_LENGTH];
    SHA1(data.data(), data.size(), digest);
    char hex[2 * SHA_DIGEST_LENGTH + 1];
    for (int i = 0; i < SHA_DIGEST_LENGTH; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return hex;
}

bool verifySignature(const pf::Bytes& certificate, const pf::Bytes& data, const pf::Bytes& signature)
{
    const unsigned char* cursor = certificate.data();
    std::unique_ptr<X509, decltype(&X509_free)> x509(d2i_X509(nullptr, &cursor, long(certificate.size())), X509_free);
    if (!x509)
        return false;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    return EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha1(), nullptr, X509_get0_pubkey(x509.get())) == 1
        && EVP_DigestVerify(md.get(), signature.data(), signature.size(), data.data(), data.size()) == 1;
}

void ScriptHostCreateFloor(benchmark::State& state)
{
    // The same installed folder and certificate the session reads.
    HostWorld world;
    auto first = world.makeSession();
    world.end(first);
    auto updates = JsUpdateManager::create();
    std::string folder = updates->jsFinalFolderPath();
    std::vector<std::string> order = updates->versionController().getFinalJsPaths();
    std::string certificatePath = MorrowResourceBundle::pathForResource(MorrowResourceBundle::kCertificate).value_or("");
    std::string init = std::string("morrow.tauth.init(\"") + kAppId + "\");";
    double heap = 0;
    for (auto _ : state) {
        double before = heapInUse();
        pf::Bytes list = readFile(pf::FileManager::join(folder, "verify.json"));
        if (!verifySignature(readFile(certificatePath), list, readFile(pf::FileManager::join(folder, "verify.signature")))) {
            state.SkipWithError("OpenSSL did not accept the installed scripts' signature");
            break;
        }
        auto digests = nlohmann::json::parse(list.begin(), list.end());
        std::vector<pf::Bytes> scripts;
        for (const std::string& path : order) {
            scripts.push_back(readFile(path));
            std::string name = path.substr(path.rfind('/') + 1);
            name[name.rfind('.')] = '_';
            if (sha1Hex(scripts.back()) != digests.value(name, "")) {
                state.SkipWithError("an installed script does not match its digest");
                break;
            }
        }
        duk_context* ctx = duk_create_heap_default();
        duk_eval_string_noresult(ctx, "var window = this;");
        duk_eval_string_noresult(ctx, MROSDKJSBridge::bootstrapScript());
        for (const auto& script : scripts) {
            if (duk_peval_lstring(ctx, reinterpret_cast<const char*>(script.data()), script.size()) != 0)
                state.SkipWithError("an installed script failed in the bare heap");
            duk_pop(ctx);
        }
        duk_eval_string_noresult(ctx, init.c_str());
        duk_eval_string(ctx, "String(morrow.tauth.appId)");
        if (std::string(duk_safe_to_string(ctx, -1)) != kAppId)
            state.SkipWithError("init did not run in the bare heap");
        heap = heapInUse() - before;
        duk_destroy_heap(ctx);
    }
    state.counters["heap"] = heap;
}

}

BENCHMARK(ScriptHostCreate)->MinTime(0.1)->Unit(benchmark::kMillisecond);
BENCHMARK(ScriptHostCreateFloor)->MinTime(0.1)->Unit(benchmark::kMillisecond);
