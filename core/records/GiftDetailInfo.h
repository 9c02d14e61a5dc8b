#pragma once

#include "core/records/RecordText.h"
#include "core/records/RelatedGiftInfo.h"
#include "platform/foundation/Value.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LMApiNewsObject;

namespace pf {
class KeyedArchiver;
class KeyedUnarchiver;
}

namespace blip {
class BPMessageObject;
}
namespace parley {
class PXMediaMessage;
}

// The full gift: the "body" of "ka/info". It is also the row of the booked-gift table and the
// source of every share message.
//
// Rules:
// - Times are read from "startime" and "endtime" (that spelling only).
// - `abouts` is the related-gift list, absent when the reply has none (never empty from JSON).
// - `indexInTable` (the booking time) is never read from JSON; only the booked-gift store sets it.
// - Reading writes the raw "tao_ext1" value to the log.
// - It is archivable (`encodeWithCoder` / `initWithCoder`) under the keys of its JSON fields
//   (`kArchiveKeys`): texts as texts (absent as "$null", null as a null object), numbers as
//   number objects, `abouts` as a list of related gifts ("$null" when absent); `indexInTable`
//   is not archived. An archived gift reads back whole. Reading takes the reply's conversions,
//   so a missing key leaves its field empty, a number where a text belongs becomes its decimal
//   text, a text where a number belongs is read from its start, and anything else under a
//   field's key (a list, a dictionary, a record) is skipped; an "abouts" that is no list is no
//   list. In the list, items that are plain values (numbers, texts, data, plain lists,
//   dictionaries, dates, nulls) are skipped as a reply's items that are no objects are, and the
//   records kept in order; an object of any class but the related-gift record fails the archive.
// - The share messages are built from the gift and its picture's bytes, fetched beforehand by
//   whoever shares (none when the fetch failed): no message carries an empty picture, and the
//   Parley thumbnail, and an LM preview above LM's limit, are made small enough for the app
//   to take them.
class GiftDetailInfo {
public:
    static constexpr const char* kArchiveClassName = "GiftDetailInfo";
    static constexpr const char* kShareTextFormat = "我在#Quorvane#发现了%@礼包，玩手机游戏，妈妈再也不用当心我找不到礼包了%@";
    // Parley refuses a thumbnail above this many bytes.
    static constexpr size_t kMaxThumbBytes = 32768;
    // The longest side of a Parley thumbnail, in pixels, before it is made smaller to fit.
    static constexpr int kThumbSide = 200;

    using List = std::vector<std::shared_ptr<GiftDetailInfo>>;

    // Columns of the booked-gift table, in table order ("abouts" holds the related gifts'
    // archive, "indexInTable" the booking time).
    static constexpr std::array<const char*, 21> kTableColumns { "fid", "title", "arcurl", "desc",
        "info", "startime", "endtime", "draw", "doom", "status", "type", "extcredits1", "extcredits2",
        "ext1", "ext2", "tao_ext1", "total", "send", "litpic", "abouts", "indexInTable" };
    static constexpr const char* kTableName = "GiftDetailInfoTableName";
    // Keys of the archived form (the JSON keys, in field order; `indexInTable` is not archived).
    static constexpr std::array<const char*, 20> kArchiveKeys { "title", "arcurl", "desc", "info",
        "startime", "endtime", "fid", "draw", "doom", "status", "type", "extcredits1", "extcredits2",
        "ext1", "ext2", "tao_ext1", "total", "send", "litpic", "abouts" };

    static std::shared_ptr<GiftDetailInfo> itemFromDictionary(const pf::Value& object);
    // The records of the reply's "body" list; no list when it is missing, not a list or empty.
    static std::optional<List> listFromDictionary(const pf::Value& reply);

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    static std::shared_ptr<GiftDetailInfo> initWithCoder(pf::KeyedUnarchiver& coder);

    // The sentence of every share: the title, then the page address right after it.
    std::string shareText() const;
    // A web page message: the page, the title, the share text and a thumbnail of the picture
    // (none when there is no picture or it does not decode).
    std::shared_ptr<parley::PXMediaMessage> pxMediaMessageFromInfo(const std::optional<pf::Bytes>& picture) const;
    // The share text with the picture's bytes as its image (no image object without bytes).
    std::shared_ptr<blip::BPMessageObject> bpMessageFromInfo(const std::optional<pf::Bytes>& picture) const;
    // LM's news message: the page, the title, the share text and the picture as preview (none
    // without bytes).
    std::shared_ptr<LMApiNewsObject> lmApiNewsFromInfo(const std::optional<pf::Bytes>& picture) const;

    const RecordText& title() const { return m_title; }
    void setTitle(RecordText v) { m_title = std::move(v); }
    const RecordText& arcurl() const { return m_arcurl; }
    void setArcurl(RecordText v) { m_arcurl = std::move(v); }
    const RecordText& desc() const { return m_desc; }
    void setDesc(RecordText v) { m_desc = std::move(v); }
    const RecordText& info() const { return m_info; }
    void setInfo(RecordText v) { m_info = std::move(v); }

    long long startTime() const { return m_startTime; }
    void setStartTime(long long v) { m_startTime = v; }
    long long endTime() const { return m_endTime; }
    void setEndTime(long long v) { m_endTime = v; }
    int fid() const { return m_fid; }
    void setFid(int v) { m_fid = v; }
    int draw() const { return m_draw; }
    void setDraw(int v) { m_draw = v; }
    int doom() const { return m_doom; }
    void setDoom(int v) { m_doom = v; }
    int status() const { return m_status; }
    void setStatus(int v) { m_status = v; }
    const RecordText& type() const { return m_type; }
    void setType(RecordText v) { m_type = std::move(v); }

    int extcredits1() const { return m_extcredits1; }
    void setExtcredits1(int v) { m_extcredits1 = v; }
    int extcredits2() const { return m_extcredits2; }
    void setExtcredits2(int v) { m_extcredits2 = v; }
    int ext1() const { return m_ext1; }
    void setExt1(int v) { m_ext1 = v; }
    int ext2() const { return m_ext2; }
    void setExt2(int v) { m_ext2 = v; }
    int tao_ext1() const { return m_taoExt1; }
    void setTao_ext1(int v) { m_taoExt1 = v; }
    int total() const { return m_total; }
    void setTotal(int v) { m_total = v; }
    int send() const { return m_send; }
    void setSend(int v) { m_send = v; }
    const RecordText& litpic() const { return m_litpic; }
    void setLitpic(RecordText v) { m_litpic = std::move(v); }

    const std::optional<RelatedGiftInfo::List>& abouts() const { return m_abouts; }
    void setAbouts(std::optional<RelatedGiftInfo::List> v) { m_abouts = std::move(v); }
    long long indexInTable() const { return m_indexInTable; }
    void setIndexInTable(long long v) { m_indexInTable = v; }

private:
    // Every field read from one object, as a reply's "body" or an archive's values give it.
    static std::shared_ptr<GiftDetailInfo> fromFields(const pf::Value& object);

    RecordText m_title;
    RecordText m_arcurl;
    RecordText m_desc;
    RecordText m_info;
    long long m_startTime { 0 };
    long long m_endTime { 0 };
    int m_fid { 0 };
    int m_draw { 0 };
    int m_doom { 0 };
    int m_status { 0 };
    RecordText m_type;
    int m_extcredits1 { 0 };
    int m_extcredits2 { 0 };
    int m_ext1 { 0 };
    int m_ext2 { 0 };
    int m_taoExt1 { 0 };
    int m_total { 0 };
    int m_send { 0 };
    RecordText m_litpic;
    std::optional<RelatedGiftInfo::List> m_abouts;
    long long m_indexInTable { 0 };
};
