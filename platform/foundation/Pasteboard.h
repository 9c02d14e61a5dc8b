#pragma once

#include "platform/foundation/Value.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {

// The device's pasteboards: the general one and named ones, shared by every app on the
// (simulated) device. Each holds items; an item holds data per type.
//
// Rules:
// - Thread-safe.
// - A persistent pasteboard is kept in a file of the sandbox (Library/Pasteboards) and
//   survives a restart of the device (`forgetUnsaved`); others live in memory only. The
//   general pasteboard is always persistent.
// - `setData` and `setString` replace the whole content with one item.
// - Every change increases `changeCount`.
// - Names are not trusted: they never form a path outside the pasteboard folder.
class Pasteboard {
public:
    using Item = std::map<std::string, Bytes>; // type -> data
    static constexpr const char* kGeneralName = "pf.pasteboard.general";
    static constexpr const char* kTextType = "public.utf8-plain-text";

    static std::shared_ptr<Pasteboard> general();
    // nullptr when it does not exist and `create` is false. An empty name with `create` gives
    // a pasteboard with a new unique name.
    static std::shared_ptr<Pasteboard> withName(const std::string& name, bool create);
    static std::shared_ptr<Pasteboard> withUniqueName();
    static void remove(const std::string& name);

    // Tests and the simulator: forget every pasteboard, files too.
    static void resetAll();
    // Tests: what a restart of the device keeps (the persistent ones, read back from files).
    static void forgetUnsaved();

    const std::string& name() const { return m_name; }
    bool isPersistent() const;
    void setPersistent(bool persistent);
    int changeCount() const;

    std::vector<Item> items() const;
    void setItems(std::vector<Item> items);
    void addItems(std::vector<Item> items);
    size_t numberOfItems() const;
    // Types of the first item.
    std::vector<std::string> types() const;
    bool containsType(const std::string& type) const;

    // Data of a type in the first item that has it.
    std::optional<Bytes> dataForType(const std::string& type) const;
    void setData(Bytes data, const std::string& type);
    // Removes a type from every item (empty items are dropped).
    void removeType(const std::string& type);
    std::optional<std::string> string() const;
    void setString(const std::string& text);
    void clear();

    explicit Pasteboard(std::string name);

private:
    void changed(); // with the lock held
    void save() const;
    static std::string pathFor(const std::string& name);
    static std::shared_ptr<Pasteboard> load(const std::string& name);

    std::string m_name;
    bool m_persistent { false };
    int m_changeCount { 0 };
    std::vector<Item> m_items;
};

}
