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
// - A type that is not UTF-8 or holds a NUL cannot be saved: setting it is refused (the rest of
//   the items set goes through), so the pasteboard stays saveable.
// - A saved file is read for what this class understands and written back with the rest as it
//   was: item values that are not data (an app sees them in no item, yet its item keeps them),
//   entries of the list that are no items, and keys of the file other than its own. An item an
//   app hands back unchanged through `setItems` keeps them too; content an app replaces does
//   not.
// - A file that cannot be read now (the disk refused it at every try, a folder lies at its
//   name) is no damage: it is left as it is, logged once, and the pasteboard works in memory,
//   empty; each later save reads the file again first, and once it reads, a copy of it is set
//   aside before the pasteboard's content is written. Until then nothing is written over it.
// - A file that reads whole but is no pasteboard's is never written over: it is logged and set
//   aside (see `FileManager::setAside`) and the pasteboard counts as absent. An item or a key of the file
//   that does not read (a text or key that is not UTF-8 or holds a NUL) costs only itself: the
//   rest is read, and a copy of the file is set aside, since the next save leaves it out. While
//   that copy cannot be made (a full disk) the file is not saved: the items work in memory, and
//   each later save tries the copy again first.
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
    // For an owner about to replace content it could not read: a copy of the whole content goes
    // where an unreadable file of this pasteboard would be set aside. The content stays, and so
    // does a persistent pasteboard's file until a save replaces it whole; while the copy cannot
    // be made, saves are held back as for a file with entries that do not read.
    void setAside() const;

    explicit Pasteboard(std::string name);

private:
    void changed(); // with the lock held
    void save() const;
    static std::string pathFor(const std::string& name);
    static std::shared_ptr<Pasteboard> load(const std::string& name);

    // An item, with what its file entry held that the item cannot: a dictionary of the values
    // that are not data, or the whole entry when it is no dictionary.
    struct Entry {
        Item item;
        Value unread;
    };
    static Entry entryOf(const Value& stored);
    static Value storedOf(const Entry& entry);

    std::string m_name;
    bool m_persistent { false };
    int m_changeCount { 0 };
    std::vector<Entry> m_entries;
    Dictionary m_unreadKeys; // of the file, besides the ones written here
    // The file holds what this pasteboard could not read, or what its owner set aside, and no
    // copy of it is set aside yet: it is not written until one is.
    mutable bool m_copyPending { false };
    // The file could not be read: it is not written until it reads, and a copy of it is set
    // aside then.
    mutable bool m_fileUnread { false };
};

}
