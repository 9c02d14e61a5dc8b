#pragma once

#include <memory>
#include <string>
#include <vector>

class LMArrayPasteboard;
class LMObjectPasteboard;
class LMPasteboard;

// The pasteboards of the LM exchange, one object per name: a name first asked as one kind
// stays that kind, and asking it as the other kind gives none.
class LMPasteboardMgr {
public:
    static LMPasteboardMgr& instance();

    // None for an empty name or a name of the other kind.
    std::shared_ptr<LMObjectPasteboard> getObjectPasteboardByName(const std::string& name);
    std::shared_ptr<LMArrayPasteboard> getArrayPasteboardByName(const std::string& name);

private:
    LMPasteboardMgr();
    std::shared_ptr<LMPasteboard> find(const std::string& name) const;

    std::vector<std::shared_ptr<LMPasteboard>> m_boards;
};
