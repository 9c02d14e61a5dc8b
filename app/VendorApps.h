#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace peers {
class BlipApp;
class LMApp;
class LZoneApp;
class ParleyApp;
}

// The stand-ins for the messaging apps that the simulator installs on the device: Parley, Blip
// (the current app, or one of version 1.0 that takes no transfers), LM and LZone. It keeps them
// so a person can see what each received.
//
// Rules:
// - Names, in a comma-separated list: "parley", "blip", "blip1.0", "lm", "lzone"; "all" is the
//   four current ones and "none" installs nothing.
// - What an app received is shown with texts quoted and bytes counted, never as raw bytes.
class VendorApps {
public:
    // The names of a list, checked; none with a reason in `error`.
    static std::optional<std::vector<std::string>> parseList(const std::string& list, std::string* error);

    // Installs the named stand-ins into the device's app registry.
    void install(const std::vector<std::string>& names);

    // One block per installed app: its name, then one line per thing received.
    std::string describeReceived() const;

    std::shared_ptr<peers::ParleyApp> parley() const { return m_parley; }
    std::shared_ptr<peers::BlipApp> blip() const { return m_blip; }
    std::shared_ptr<peers::LMApp> lm() const { return m_lm; }
    std::shared_ptr<peers::LZoneApp> lzone() const { return m_lzone; }

private:
    std::shared_ptr<peers::ParleyApp> m_parley;
    std::shared_ptr<peers::BlipApp> m_blip;
    bool m_blipLegacy { false };
    std::shared_ptr<peers::LMApp> m_lm;
    std::shared_ptr<peers::LZoneApp> m_lzone;
};
