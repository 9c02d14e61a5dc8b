#include "sdk/lmconnect/lmapi/LMPasteboard.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/Pasteboard.h"

namespace {

std::optional<pf::Bytes> bounded(std::optional<pf::Bytes> data)
{
    if (!data || data->empty() || data->size() > LMPasteboard::kMaxBytes)
        return std::nullopt;
    return data;
}

void write(pf::Pasteboard& board, const std::string& type, const std::optional<pf::Bytes>& data)
{
    if (data && !data->empty()) {
        // A session registers itself every time it starts, mostly with what the board holds
        // already; writing a persistent board costs a flushed file, so the same content is
        // not written again.
        auto items = board.items();
        if (items.size() == 1 && items[0].size() == 1 && items[0].begin()->first == type && items[0].begin()->second == *data)
            return;
        board.setData(*data, type);
    } else {
        board.removeType(type);
    }
}

}

std::shared_ptr<pf::Pasteboard> LMPasteboard::board() const
{
    auto board = pf::Pasteboard::withName(m_name, true);
    if (board)
        board->setPersistent(true);
    return board;
}

void LMPasteboard::clear() const
{
    writeData(std::nullopt);
    writeGeneralData(std::nullopt);
}

std::optional<pf::Bytes> LMPasteboard::readData() const
{
    auto named = board();
    return named ? bounded(named->dataForType(m_name)) : std::nullopt;
}

void LMPasteboard::writeData(const std::optional<pf::Bytes>& data) const
{
    if (auto named = board())
        write(*named, m_name, data);
}

std::optional<pf::Bytes> LMPasteboard::readGeneralData() const
{
    return bounded(pf::Pasteboard::general()->dataForType(m_name));
}

void LMPasteboard::writeGeneralData(const std::optional<pf::Bytes>& data) const
{
    write(*pf::Pasteboard::general(), m_name, data);
}

bool LMPasteboard::writeArchive(const std::optional<pf::Bytes>& archive, const std::string& error, bool general) const
{
    if (archive && archive->empty())
        return refuse("an archive that cannot be written (" + error + ")");
    if (general)
        writeGeneralData(archive);
    else
        writeData(archive);
    return true;
}

bool LMPasteboard::refuse(const std::string& why) const
{
    pf::Log::format("LM pasteboard %s: %s is refused; it keeps what it held", m_name.c_str(), why.c_str());
    return false;
}
