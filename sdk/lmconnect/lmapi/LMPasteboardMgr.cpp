#include "sdk/lmconnect/lmapi/LMPasteboardMgr.h"

#include "sdk/lmconnect/lmapi/LMArrayPasteboard.h"
#include "sdk/lmconnect/lmapi/LMObjectPasteboard.h"

#include "platform/foundation/ResetRegistry.h"

LMPasteboardMgr& LMPasteboardMgr::instance()
{
    static LMPasteboardMgr* manager = new LMPasteboardMgr;
    return *manager;
}

LMPasteboardMgr::LMPasteboardMgr()
{
    m_boards.reserve(2);
    pf::ResetRegistry::add([this] { m_boards.clear(); });
}

std::shared_ptr<LMPasteboard> LMPasteboardMgr::find(const std::string& name) const
{
    for (const auto& board : m_boards) {
        if (board->name() == name)
            return board;
    }
    return nullptr;
}

std::shared_ptr<LMObjectPasteboard> LMPasteboardMgr::getObjectPasteboardByName(const std::string& name)
{
    if (name.empty())
        return nullptr;
    if (auto found = find(name))
        return std::dynamic_pointer_cast<LMObjectPasteboard>(found);
    auto board = std::make_shared<LMObjectPasteboard>(name);
    m_boards.push_back(board);
    return board;
}

std::shared_ptr<LMArrayPasteboard> LMPasteboardMgr::getArrayPasteboardByName(const std::string& name)
{
    if (name.empty())
        return nullptr;
    if (auto found = find(name))
        return std::dynamic_pointer_cast<LMArrayPasteboard>(found);
    auto board = std::make_shared<LMArrayPasteboard>(name);
    m_boards.push_back(board);
    return board;
}
