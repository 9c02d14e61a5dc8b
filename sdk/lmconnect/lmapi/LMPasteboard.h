#pragma once

#include "platform/foundation/Value.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace pf {
class Pasteboard;
}

// A pasteboard shared with the LM app: the device's named pasteboard of this name, made when
// missing and marked persistent on every use, holding one archive under the type equal to the
// name.
//
// Rules:
// - What is read came from any app: bytes over kMaxBytes read as absent, and the archive reader
//   accepts only the expected classes.
// - Two apps writing the same pasteboard at once may lose one write; the device offers no lock
//   across apps.
class LMPasteboard {
public:
    static constexpr std::size_t kMaxBytes = 16u << 20;

    explicit LMPasteboard(std::string name) : m_name(std::move(name)) { }
    virtual ~LMPasteboard() = default;

    const std::string& name() const { return m_name; }
    // Removes the data of this type from the named and the general pasteboard.
    void clear();

protected:
    std::shared_ptr<pf::Pasteboard> board() const;
    std::optional<pf::Bytes> readData() const;
    // No data removes the type.
    void writeData(const std::optional<pf::Bytes>& data) const;
    std::optional<pf::Bytes> readGeneralData() const;
    void writeGeneralData(const std::optional<pf::Bytes>& data) const;

private:
    std::string m_name;
};
