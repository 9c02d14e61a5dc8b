#include "platform/foundation/HostTable.h"

#include "platform/foundation/ResetRegistry.h"

#include <mutex>

namespace pf {

namespace {

struct StandIn {
    std::mutex mutex;
    std::optional<std::string> root;
};

StandIn& standIn()
{
    // Never destroyed: a queue's upload may ask for its address while the process exits.
    static auto* shared = [] {
        auto* made = new StandIn;
        ResetRegistry::add([made] {
            std::lock_guard lock(made->mutex);
            made->root.reset();
        });
        return made;
    }();
    return *shared;
}

}

struct HostTable::State {
    std::mutex mutex;
    std::vector<Host> hosts;
    std::vector<std::optional<std::string>> set; // parallel to `hosts`

    // Index of `name`, or hosts.size().
    size_t find(std::string_view name) const
    {
        size_t i = 0;
        while (i < hosts.size() && hosts[i].name != name)
            ++i;
        return i;
    }
};

HostTable::HostTable(std::vector<Host> hosts)
    : m_state(std::make_shared<State>())
{
    m_state->set.resize(hosts.size());
    m_state->hosts = std::move(hosts);
    standIn();
    ResetRegistry::add([weak = std::weak_ptr<State>(m_state)] {
        if (auto state = weak.lock()) {
            std::lock_guard lock(state->mutex);
            for (auto& address : state->set)
                address.reset();
        }
    });
}

HostTable::~HostTable() = default;

std::string HostTable::address(std::string_view name) const
{
    std::lock_guard lock(m_state->mutex); // then the stand-in's, never the other way round
    size_t i = m_state->find(name);
    if (i == m_state->hosts.size())
        return {};
    const Host& host = m_state->hosts[i];
    if (m_state->set[i])
        return *m_state->set[i];
    if (host.pathUnderStandIn) {
        if (auto root = standInRoot())
            return *root + *host.pathUnderStandIn;
    }
    return host.defaultAddress;
}

void HostTable::setAddress(std::string_view name, std::string address)
{
    std::lock_guard lock(m_state->mutex);
    size_t i = m_state->find(name);
    if (i < m_state->hosts.size())
        m_state->set[i] = std::move(address);
}

void HostTable::setDefaultAddress(std::string_view name, std::string address)
{
    std::lock_guard lock(m_state->mutex);
    size_t i = m_state->find(name);
    if (i < m_state->hosts.size())
        m_state->hosts[i].defaultAddress = std::move(address);
}

void HostTable::pointAllAt(std::optional<std::string> root)
{
    if (root && (root->empty() || root->back() != '/'))
        *root += '/';
    auto& shared = standIn();
    std::lock_guard lock(shared.mutex);
    shared.root = std::move(root);
}

std::optional<std::string> HostTable::standInRoot()
{
    auto& shared = standIn();
    std::lock_guard lock(shared.mutex);
    return shared.root;
}

}
