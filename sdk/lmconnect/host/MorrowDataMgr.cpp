#include "sdk/lmconnect/host/MorrowDataMgr.h"

#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/ResetRegistry.h"

MorrowDataMgr& MorrowDataMgr::getInstance()
{
    static MorrowDataMgr* mgr = [] {
        auto* made = new MorrowDataMgr;
        pf::ResetRegistry::add([made] { made->reset(); });
        return made;
    }();
    return *mgr;
}

void MorrowDataMgr::reset()
{
    m_dataDic.clear();
    m_nextNumber.clear();
    m_appId.clear();
}

bool MorrowDataMgr::splitKey(const std::string& key, std::string* className)
{
    size_t underscore = key.rfind('_');
    if (underscore == std::string::npos || underscore == 0)
        return false;
    *className = key.substr(0, underscore);
    return true;
}

std::optional<std::string> MorrowDataMgr::addObjectInDataMgr(std::shared_ptr<const MorrowPoolObject> object)
{
    if (!object || !object->archivedData())
        return std::nullopt;
    std::string className = object->poolClassName();
    std::string key = className + "_" + std::to_string(m_nextNumber[className]++);
    m_dataDic[className][key] = std::move(object);
    return key;
}

std::shared_ptr<const MorrowPoolObject> MorrowDataMgr::objByKey(const std::string& key) const
{
    std::string className;
    if (!splitKey(key, &className))
        return nullptr;
    auto bucket = m_dataDic.find(className);
    if (bucket == m_dataDic.end())
        return nullptr;
    auto it = bucket->second.find(key);
    return it == bucket->second.end() ? nullptr : it->second;
}

bool MorrowDataMgr::removeKeyFromDataMgr(const std::string& key)
{
    std::string className;
    if (!splitKey(key, &className))
        return false;
    auto bucket = m_dataDic.find(className);
    if (bucket != m_dataDic.end())
        bucket->second.erase(key);
    return true;
}

int MorrowDataMgr::objSize(const std::string& key) const
{
    auto object = objByKey(key);
    auto data = object ? object->archivedData() : std::nullopt;
    return data ? static_cast<int>(data->size()) : 0;
}

std::optional<std::string> MorrowDataMgr::addObjectInPastboard(const std::string& key) const
{
    auto object = objByKey(key);
    auto data = object ? object->archivedData() : std::nullopt;
    if (!data)
        return std::nullopt;
    std::string type = kPasteboardTypePrefix + key;
    pf::Pasteboard::general()->setData(std::move(*data), type);
    return type;
}
