#pragma once

#include "core/records/RecordText.h"
#include "platform/foundation/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class KeyedArchiver;
class KeyedUnarchiver;
}

// A gift shown under a gift detail as related ("abouts" of "ka/info").
//
// Booked gifts keep their related gifts in an archive: each record is written as a dictionary
// with the keys "fid" (number), "title" (text) and "status" (number); `archiveValue` and
// `itemFromArchiveValue` give and read that form.
//
// In a keyed archive (the "abouts" column of the booked-gift table, and inside an archived
// gift detail) the record has the same keys: "fid" and "status" as integers, "title" as a
// text. An absent or null title is written as the empty text, so no placeholder word ever
// reaches the file; a title is written without its NUL characters, which the archive cannot
// hold. Reading takes the reply's conversions: a missing key is 0 or no title, a
// number where a text belongs becomes its decimal text and a text where a number belongs is
// read from its start; integers beyond the 32-bit range stop at its bounds.
class RelatedGiftInfo {
public:
    using List = std::vector<std::shared_ptr<RelatedGiftInfo>>;
    static constexpr const char* kArchiveClassName = "RelatedGiftInfo";

    static constexpr const char* kKeyFid = "fid";
    static constexpr const char* kKeyTitle = "title";
    static constexpr const char* kKeyStatus = "status";

    // One record from one JSON object; any other value gives an empty record.
    static std::shared_ptr<RelatedGiftInfo> itemFromDictionary(const pf::Value& object);
    // The records of the "abouts" list of the given gift detail object; no list (never an
    // empty one) when "abouts" is missing, not a list or yields no record.
    static std::optional<List> listFromDictionary(const pf::Value& detail);

    pf::Value archiveValue() const;
    static std::shared_ptr<RelatedGiftInfo> itemFromArchiveValue(const pf::Value& archived);

    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    static std::shared_ptr<RelatedGiftInfo> initWithCoder(pf::KeyedUnarchiver& coder);

    int fid() const { return m_fid; }
    void setFid(int fid) { m_fid = fid; }
    const RecordText& title() const { return m_title; }
    void setTitle(RecordText title) { m_title = std::move(title); }
    int status() const { return m_status; }
    void setStatus(int status) { m_status = status; }

    bool operator==(const RelatedGiftInfo&) const = default;

private:
    int m_fid { 0 };
    RecordText m_title;
    int m_status { 0 };
};
