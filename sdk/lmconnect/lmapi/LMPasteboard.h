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
// - A write whose archive is refused (a text that is not UTF-8 or holds a NUL) answers false and
//   leaves the board as it was.
class LMPasteboard {
public:
    static constexpr std::size_t kMaxBytes = 16u << 20;

    explicit LMPasteboard(std::string name) : m_name(std::move(name)) { }
    virtual ~LMPasteboard() = default;

    const std::string& name() const { return m_name; }
    // Removes the data of this type from the named and the general pasteboard.
    void clear() const;

protected:
    std::shared_ptr<pf::Pasteboard> board() const;
    std::optional<pf::Bytes> readData() const;
    // No data removes the type.
    void writeData(const std::optional<pf::Bytes>& data) const;
    std::optional<pf::Bytes> readGeneralData() const;
    void writeGeneralData(const std::optional<pf::Bytes>& data) const;
    // Writes an archive to the named pasteboard (or the general one); none removes the type. An
    // empty archive is one the archiver refused (`error` says why): nothing is written, so the
    // board keeps what it held, and the answer is false.
    bool writeArchive(const std::optional<pf::Bytes>& archive, const std::string& error, bool general = false) const;
    // Logs that a write of this pasteboard was refused and what it was; false.
    bool refuse(const std::string& why) const;

private:
    std::string m_name;
};
