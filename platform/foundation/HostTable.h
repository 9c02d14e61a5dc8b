#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

// Where a client library's servers are: a table of named base addresses with their defaults.
// Every library keeps one, made once with its hosts, and reads its addresses from it when it
// sends. The local stand-in for the vendors' servers serves each vendor under a path of its
// own, so one call (`pointAllAt`) moves every library's table there at once: the simulator's
// option and the tests' fixtures use it.
//
// Rules:
// - An address is the first of: the one set for it (`setAddress`); the stand-in root given to
//   `pointAllAt` followed by the host's path there; its default.
// - `pointAllAt` reaches every table of the process, tables made later included. A host without
//   a path under the stand-in (a store page) keeps its address.
// - Addresses are used as given: a library that appends paths keeps its own "/" rule. The root
//   given to `pointAllAt` gets a "/" at its end when it has none.
// - A new launch (`ResetRegistry`) forgets the addresses set and the stand-in root; defaults
//   stay (a library whose defaults come from its resources reads them again itself).
// - Any thread. A library's table lives as long as the process, never destroyed
//   (`*new HostTable`): a worker may send, and read an address, while the process ends.
class HostTable {
public:
    struct Host {
        std::string name;
        std::string defaultAddress;
        // Where this host lives under the stand-in server ("lmcgi/", "blip"); none when the
        // stand-in does not serve it.
        std::optional<std::string> pathUnderStandIn;
    };

    explicit HostTable(std::vector<Host> hosts);
    ~HostTable();
    HostTable(const HostTable&) = delete;
    HostTable& operator=(const HostTable&) = delete;

    // "" for a name the table does not have.
    std::string address(std::string_view name) const;
    // For this host only, until the next launch; a name the table does not have is ignored.
    void setAddress(std::string_view name, std::string address);
    // The default itself (one read from a resource).
    void setDefaultAddress(std::string_view name, std::string address);

    // Every library's servers under `root` ("http://127.0.0.1:PORT/"); none goes back to the
    // defaults.
    static void pointAllAt(std::optional<std::string> root);
    static std::optional<std::string> standInRoot();

private:
    struct State;
    std::shared_ptr<State> m_state;
};

}
