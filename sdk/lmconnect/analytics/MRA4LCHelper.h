#pragma once

#include "sdk/lmconnect/analytics/MRA4LCEnv.h"
#include "sdk/lmconnect/analytics/MRA4LCUser.h"

#include "platform/foundation/Value.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

// The engine's helpers: the environment record (filled once), the user record with its daily and
// version marks, the upload cipher and gzip.
class MRA4LCHelper {
public:
    // The cipher key: its 32 characters are the key bytes.
    static constexpr const char* kRC4Key = "5e0b7d2a91c4f3e86a1d0c57b2e94f83";

    // Made on first use; a new launch (`pf::ResetRegistry`) makes a new one.
    static std::shared_ptr<MRA4LCHelper> getInstance();

    const MRA4LCEnv& getEnv() const { return m_env; }
    // The user record, loaded from the store on first need, with its marks brought up to date
    // (a change is stored). None when the store has none to give.
    std::optional<MRA4LCUser> getUser();

    // RC4 with the fixed key over the whole buffer, in place; the same call deciphers.
    static void chiperRC4(pf::Bytes& data);
    // 0 and the gzip stream, or -1 when the input is empty or the compressor fails.
    static int gZip(const pf::Bytes& in, pf::Bytes& out);
    // 0 and the inflated bytes (zlib or gzip framing), or -1 unless the stream ends properly.
    static int gUnzip(const pf::Bytes& in, pf::Bytes& out);
    // The network hardware address ("XX:XX:XX:XX:XX:XX"); the device's own stands for the
    // primary interface. The failure text when there is none.
    static std::string getMacAddress();
    // Whether the device's Wi-Fi interface is up with an address. The device has no interface
    // list of its own: the platform's reachability stands for it (the host's interfaces other
    // than loopback, or what a test set), as the device's hardware address stands for that
    // interface's in `getMacAddress`.
    static bool isWiFiAvailable();
    // Whether version `a` is not lower than `b`, comparing dot-separated numbers.
    static bool versionNotLower(const std::string& a, const std::string& b);

private:
    // A new launch; work on a queue keeps the instance it holds.
    static void resetShared();
    MRA4LCHelper();
    MRA4LCEnv m_env;
    std::mutex m_userMutex;
    std::optional<MRA4LCUser> m_user;
};
