#pragma once

#include "sdk/lmconnect/host/MorrowPoolObject.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

// The pool where native objects wait for the scripts under keys "<class>_<n>", and from which
// the scripts copy them to the general pasteboard.
//
// Rules:
// - Each class counts on from 0 and never reuses a number, so a new object cannot take the key
//   of one still waiting.
// - A key's class part is the text before its last "_"; a key without "_" or starting with it
//   finds nothing.
// - Main thread only (the scripts call it through the bridge).
class MorrowDataMgr {
public:
    static constexpr const char* kPasteboardTypePrefix = "com.morrow.lmapi.data";

    // One per process, never destroyed (script objects may reach it while the process exits).
    static MorrowDataMgr& getInstance();

    // The new key; none for an object that cannot be written.
    std::optional<std::string> addObjectInDataMgr(std::shared_ptr<const MorrowPoolObject> object);
    std::shared_ptr<const MorrowPoolObject> objByKey(const std::string& key) const;
    bool removeKeyFromDataMgr(const std::string& key);
    // Both answer YES and leave the pool as it is (the scripts rely on the answer only).
    bool removeObjectFromDataMgr(const std::string& key) { return true; }
    bool removeAllObject() { return true; }
    // The size of the object's archive; 0 when there is none.
    int objSize(const std::string& key) const;
    // Puts the object's archive on the general pasteboard; the type used, or none.
    std::optional<std::string> addObjectInPastboard(const std::string& key) const;

    // The app id the Morrow API channel registered (kept only).
    const std::string& appId() const { return m_appId; }
    void setAppId(std::string appId) { m_appId = std::move(appId); }
    using Buckets = std::map<std::string, std::map<std::string, std::shared_ptr<const MorrowPoolObject>>>;
    const Buckets& dataDic() const { return m_dataDic; }
    // Replaces the pool's buckets; the counters go on, so no key is given twice.
    void setDataDic(Buckets buckets) { m_dataDic = std::move(buckets); }

private:
    MorrowDataMgr() = default;
    // A new launch (`pf::ResetRegistry`): an empty pool with fresh counters.
    void reset();
    static bool splitKey(const std::string& key, std::string* className);

    Buckets m_dataDic;
    std::string m_appId;
    std::map<std::string, std::uint64_t> m_nextNumber;
};
