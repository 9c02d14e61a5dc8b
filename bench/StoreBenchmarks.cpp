// The booked-gift store: 1,000 bookings inserted, then listed, through the store, beside raw
// sqlite3 statements doing the same on the same schema (one transaction per booking: the
// check for an existing row and the insert; the listing reads the related gifts' archive with
// libplist). And a launch's first use of a sound store of 4,000 and 20,000 bookings: the check
// of the file and the purge of stale bookings (none are), beside sqlite3 opening the same file,
// checking it and running the same delete.

#include "bench/MemoryFiles.h"
#include "bench/StoreFiles.h"

#include "core/records/GiftDetailInfo.h"
#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"

#include <benchmark/benchmark.h>
#include <plist/plist.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kBookings = 1000;

std::vector<std::shared_ptr<GiftDetailInfo>> bookings(int count = kBookings)
{
    std::vector<std::shared_ptr<GiftDetailInfo>> list;
    for (int i = 0; i < count; ++i) {
        auto info = std::make_shared<GiftDetailInfo>();
        info->setFid(1000 + i);
        info->setTitle(RecordText("剑侠情缘手游新手礼包 第" + std::to_string(i) + "期"));
        info->setArcurl(RecordText("http://127.0.0.1:8080/gift/" + std::to_string(1000 + i) + ".html"));
        info->setDesc(RecordText("银两x5000、强化石x20、坐骑体验卡x1"));
        info->setInfo(RecordText("登录游戏后在福利界面输入兑换码领取，每个账号限领一次。"));
        info->setStartTime(1700000000LL + i * 60);
        info->setEndTime(1800000000LL + i * 60);
        info->setStatus(i % 4);
        info->setType(RecordText("1"));
        info->setTotal(5000);
        info->setSend(1200 + i);
        info->setLitpic(RecordText("http://127.0.0.1:8080/img/icon/" + std::to_string(i) + ".png"));
        RelatedGiftInfo::List abouts;
        for (int k = 1; k <= 3; ++k) {
            auto related = std::make_shared<RelatedGiftInfo>();
            related->setFid(2000 + i + k);
            related->setTitle(RecordText("相关礼包 " + std::to_string(k)));
            related->setStatus(k % 2);
            abouts.push_back(related);
        }
        info->setAbouts(abouts);
        list.push_back(info);
    }
    return list;
}

void StoreInsert(benchmark::State& state)
{
    MemoryFiles memory;
    auto list = bookings();
    for (auto _ : state) {
        state.PauseTiming();
        auto env = std::make_unique<pf::TaskEnvironment>();
        auto store = GiftDetailInfoDatabaseManager::sharedInstance();
        state.ResumeTiming();
        for (auto& info : list) {
            if (store->insertDataIntoTableWithGiftDetailInfo(*info) != DataBaseManager::Status::Ok)
                state.SkipWithError("a booking was refused");
        }
        state.PauseTiming();
        env.reset();
        state.ResumeTiming();
    }
}

// The store's file holding `count` bookings, put through the store once a run (on a device of
// its own: no other environment may live meanwhile); every sample then starts from a copy of it.
// The listing and the launches are sampled many times a round, and thousands of inserts before
// each sample would leave the round's time to few samples. The file is kept as a file (on the
// memory file system while a benchmark runs, see MemoryFiles), not in this process's heap,
// where the largest (16 MB) would swamp the heap that the table's row watches grow.
const std::string& bookedFile(int count)
{
    static std::map<int, std::string> made;
    if (auto found = made.find(count); found != made.end())
        return found->second;
    static const std::shared_ptr<pf::Sandbox> kept = pf::Sandbox::createTemporary();
    pf::TaskEnvironment env;
    auto store = GiftDetailInfoDatabaseManager::sharedInstance();
    for (auto& info : bookings(count)) {
        if (store->insertDataIntoTableWithGiftDetailInfo(*info) != DataBaseManager::Status::Ok)
            std::abort();
    }
    // Every connection is closed, so the file holds every booking.
    const std::string path = DataBaseManager::databasePath();
    const std::string copy = kept->homePath() + "/booked-" + std::to_string(count) + ".sqlite";
    if (pf::FileManager::exists(path + "-journal") || pf::FileManager::exists(path + "-wal")
        || !pf::FileManager::copyItem(path, copy))
        std::abort();
    return made.emplace(count, copy).first->second;
}

void copyIn(const std::string& file, const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::copy_file(file, path, std::filesystem::copy_options::overwrite_existing, error))
        std::abort();
}

void StoreList(benchmark::State& state)
{
    MemoryFiles memory;
    const std::string& file = bookedFile(kBookings);
    pf::TaskEnvironment env;
    auto store = GiftDetailInfoDatabaseManager::sharedInstance();
    copyIn(file, DataBaseManager::databasePath());
    for (auto _ : state) {
        auto listed = store->retrieveDataFromTable();
        if (!listed || listed->size() != kBookings)
            state.SkipWithError("the list came back short");
        benchmark::DoNotOptimize(listed);
    }
}

// Before every booking's start: the purge keeps them all, as a launch does when nothing is stale.
constexpr long long kBeforeEveryStart = 1700000000LL;

// A clean launch's first use of a sound store of `state.range(0)` bookings, as the app's launch
// makes it: the purge of stale bookings, which first checks the file (SQLite's quick check,
// through the store's retrying reads) because nothing in the process has yet. Each sample is a
// new launch (the registry reset, as the tests' relaunch does) on a fresh copy of the file.
void StoreLaunchPurge(benchmark::State& state)
{
    MemoryFiles memory;
    const int count = static_cast<int>(state.range(0));
    const std::string& file = bookedFile(count);
    pf::TaskEnvironment env;
    const std::string path = DataBaseManager::databasePath();
    for (auto _ : state) {
        state.PauseTiming();
        copyIn(file, path);
        pf::ResetRegistry::resetAll();
        state.ResumeTiming();
        if (GiftDetailInfoDatabaseManager::sharedInstance()->deleteRecordInTableOutOfDateTime(kBeforeEveryStart)
            != DataBaseManager::Status::Ok)
            state.SkipWithError("the purge failed");
    }
    // Nothing was stale and the check found the file sound: a purge that deleted rows, or a
    // mend, would have changed the file.
    if (auto after = pf::FileManager::read(path); !after || after != pf::FileManager::read(file))
        state.SkipWithError("the purge changed the store");
}

// The same store with every other leaf of its table overwritten (from the first), as a disk's
// stray writes leave it.
const std::string& damagedBookedFile(int count)
{
    static std::map<int, std::string> made;
    if (auto found = made.find(count); found != made.end())
        return found->second;
    auto bytes = *pf::FileManager::read(bookedFile(count));
    const size_t pageSize = (size_t { bytes.at(16) } << 8) | bytes.at(17);
    bool damaged = true;
    for (size_t page = 1; (page + 1) * pageSize <= bytes.size(); ++page) {
        std::uint8_t* start = bytes.data() + page * pageSize;
        if (*start != 0x0D)
            continue;
        if (damaged) {
            for (size_t i = 0; i < pageSize; ++i)
                start[i] = static_cast<std::uint8_t>(i * 131 + 7);
        }
        damaged = !damaged;
    }
    const std::string copy = bookedFile(count) + ".damaged";
    if (!pf::FileManager::writeAtomically(copy, bytes))
        std::abort();
    return made.emplace(count, copy).first->second;
}

// A launch that finds the store damaged: the check, the mend (every booking of the sound leaves
// copied into a new file, the damaged file set aside, the new one put in place), then the purge.
void StoreMend(benchmark::State& state)
{
    MemoryFiles memory;
    const int count = static_cast<int>(state.range(0));
    const std::string& file = damagedBookedFile(count);
    pf::TaskEnvironment env;
    const std::string path = DataBaseManager::databasePath();
    for (auto _ : state) {
        state.PauseTiming();
        for (const auto& name : pf::FileManager::contentsOfDirectory(path.substr(0, path.rfind('/'))))
            pf::FileManager::removeItem(pf::FileManager::join(path.substr(0, path.rfind('/')), name));
        copyIn(file, path);
        pf::ResetRegistry::resetAll();
        state.ResumeTiming();
        if (GiftDetailInfoDatabaseManager::sharedInstance()->deleteRecordInTableOutOfDateTime(kBeforeEveryStart)
            != DataBaseManager::Status::Ok)
            state.SkipWithError("the mend failed");
    }
    if (!pf::FileManager::exists(path + ".corrupt"))
        state.SkipWithError("nothing was mended");
}

// --- the floor: sqlite3's own interface on one connection ---

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS GiftDetailInfoTableName (fid INTEGER  PRIMARY KEY DEFAULT NULL, "
    "title TEXT DEFAULT NULL, arcurl TEXT DEFAULT NULL, desc TEXT DEFAULT NULL, info TEXT DEFAULT NULL, "
    "startime INTEGER DEFAULT NULL, endtime INTEGER DEFAULT NULL, draw INTEGER DEFAULT NULL, "
    "doom INTEGER DEFAULT NULL, status INTEGER DEFAULT NULL, type TEXT DEFAULT NULL, "
    "extcredits1 INTEGER DEFAULT NULL, extcredits2 INTEGER DEFAULT NULL, ext1 INTEGER DEFAULT NULL, "
    "ext2 INTEGER DEFAULT NULL, tao_ext1 INTEGER DEFAULT NULL, total INTEGER DEFAULT NULL, "
    "send INTEGER DEFAULT NULL, litpic TEXT DEFAULT NULL, abouts BOLB DEFAULT NULL, "
    "indexInTable INTEGER DEFAULT NULL)";

struct RawRelated {
    int fid;
    std::string title;
    int status;
};

struct RawRow {
    int fid;
    std::string title, arcurl, desc, info;
    sqlite3_int64 startTime, endTime;
    int draw, doom, status;
    std::string type;
    int extcredits1, extcredits2, ext1, ext2, taoExt1, total, send;
    std::string litpic;
    std::vector<unsigned char> abouts;
    sqlite3_int64 indexInTable;
    std::vector<RawRelated> related;
};

int plistInteger(plist_t node)
{
    uint64_t v = 0;
    if (node && plist_get_node_type(node) == PLIST_UINT)
        plist_get_uint_val(node, &v);
    return static_cast<int>(v);
}

// The related gifts of a keyed archive read with libplist alone: every object with a "fid",
// its title a reference to a text among the objects.
std::vector<RawRelated> relatedGifts(const unsigned char* blob, int size)
{
    std::vector<RawRelated> gifts;
    plist_t root = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(blob), static_cast<uint32_t>(size), &root);
    plist_t objects = root ? plist_dict_get_item(root, "$objects") : nullptr;
    if (objects && plist_get_node_type(objects) == PLIST_ARRAY) {
        uint32_t count = plist_array_get_size(objects);
        for (uint32_t i = 0; i < count; ++i) {
            plist_t object = plist_array_get_item(objects, i);
            plist_t fid = plist_get_node_type(object) == PLIST_DICT ? plist_dict_get_item(object, "fid") : nullptr;
            if (!fid)
                continue;
            RawRelated gift { plistInteger(fid), {}, plistInteger(plist_dict_get_item(object, "status")) };
            plist_t title = plist_dict_get_item(object, "title");
            if (title && plist_get_node_type(title) == PLIST_UID) {
                uint64_t uid = 0;
                plist_get_uid_val(title, &uid);
                title = uid < count ? plist_array_get_item(objects, static_cast<uint32_t>(uid)) : nullptr;
            }
            if (title && plist_get_node_type(title) == PLIST_STRING) {
                char* text = nullptr;
                plist_get_string_val(title, &text);
                gift.title = text ? text : "";
                free(text);
            }
            gifts.push_back(std::move(gift));
        }
    }
    if (root)
        plist_free(root);
    return gifts;
}

std::vector<RawRow> rawRows()
{
    std::vector<RawRow> rows;
    for (auto& i : bookings()) {
        pf::Bytes abouts = pf::KeyedArchiver::archivedData(*i->abouts());
        rows.push_back({ i->fid(), i->title().text(), i->arcurl().text(), i->desc().text(), i->info().text(),
            i->startTime(), i->endTime(), i->draw(), i->doom(), i->status(), i->type().text(), i->extcredits1(),
            i->extcredits2(), i->ext1(), i->ext2(), i->tao_ext1(), i->total(), i->send(), i->litpic().text(),
            { abouts.begin(), abouts.end() }, 1700000000, {} });
    }
    return rows;
}

sqlite3* openFloorDatabase(const std::string& folder)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2((folder + "/floor.sqlite").c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    return db;
}

// One booking: the check and the insert in one transaction.
bool rawInsertOne(sqlite3* db, sqlite3_stmt* check, sqlite3_stmt* insert, const RawRow& r)
{
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_bind_int(check, 1, r.fid);
    bool exists = sqlite3_step(check) == SQLITE_ROW;
    sqlite3_reset(check);
    if (!exists) {
        int i = 1;
        sqlite3_bind_int(insert, i++, r.fid);
        for (const std::string* t : { &r.title, &r.arcurl, &r.desc, &r.info })
            sqlite3_bind_text(insert, i++, t->c_str(), static_cast<int>(t->size()), SQLITE_STATIC);
        sqlite3_bind_int64(insert, i++, r.startTime);
        sqlite3_bind_int64(insert, i++, r.endTime);
        for (int v : { r.draw, r.doom, r.status })
            sqlite3_bind_int(insert, i++, v);
        sqlite3_bind_text(insert, i++, r.type.c_str(), static_cast<int>(r.type.size()), SQLITE_STATIC);
        for (int v : { r.extcredits1, r.extcredits2, r.ext1, r.ext2, r.taoExt1, r.total, r.send })
            sqlite3_bind_int(insert, i++, v);
        sqlite3_bind_text(insert, i++, r.litpic.c_str(), static_cast<int>(r.litpic.size()), SQLITE_STATIC);
        sqlite3_bind_blob(insert, i++, r.abouts.data(), static_cast<int>(r.abouts.size()), SQLITE_STATIC);
        sqlite3_bind_int64(insert, i++, r.indexInTable);
        ok = sqlite3_step(insert) == SQLITE_DONE && ok;
        sqlite3_reset(insert);
    }
    return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK && ok;
}

// Every booking on the connection given (`folder` empty), or each on a fresh connection to the
// file in `folder`, closed after it, as the store's rules ask of every operation.
bool rawInsert(sqlite3* db, const std::vector<RawRow>& rows, const std::string& folder = {})
{
    auto prepare = [](sqlite3* on, sqlite3_stmt** check, sqlite3_stmt** insert) {
        sqlite3_prepare_v2(on, "SELECT 1 FROM GiftDetailInfoTableName WHERE fid = ?", -1, check, nullptr);
        sqlite3_prepare_v2(on,
            "INSERT INTO GiftDetailInfoTableName (fid, title, arcurl, desc, info, startime, endtime, draw, doom, "
            "status, type, extcredits1, extcredits2, ext1, ext2, tao_ext1, total, send, litpic, abouts, "
            "indexInTable) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            -1, insert, nullptr);
    };
    bool ok = true;
    sqlite3_stmt* check = nullptr;
    sqlite3_stmt* insert = nullptr;
    if (folder.empty())
        prepare(db, &check, &insert);
    for (const RawRow& r : rows) {
        if (folder.empty()) {
            ok = rawInsertOne(db, check, insert, r) && ok;
            continue;
        }
        sqlite3* own = openFloorDatabase(folder);
        prepare(own, &check, &insert);
        ok = rawInsertOne(own, check, insert, r) && ok;
        sqlite3_finalize(check);
        sqlite3_finalize(insert);
        sqlite3_close(own);
    }
    if (folder.empty()) {
        sqlite3_finalize(check);
        sqlite3_finalize(insert);
    }
    return ok;
}

std::string text(sqlite3_stmt* s, int column)
{
    auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return t ? std::string(t, static_cast<size_t>(sqlite3_column_bytes(s, column))) : std::string();
}

std::vector<RawRow> rawList(sqlite3* db)
{
    std::vector<RawRow> rows;
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM GiftDetailInfoTableName ORDER BY indexInTable DESC", -1, &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) {
        RawRow r;
        r.fid = sqlite3_column_int(s, 0);
        r.title = text(s, 1);
        r.arcurl = text(s, 2);
        r.desc = text(s, 3);
        r.info = text(s, 4);
        r.startTime = sqlite3_column_int64(s, 5);
        r.endTime = sqlite3_column_int64(s, 6);
        r.draw = sqlite3_column_int(s, 7);
        r.doom = sqlite3_column_int(s, 8);
        r.status = sqlite3_column_int(s, 9);
        r.type = text(s, 10);
        r.extcredits1 = sqlite3_column_int(s, 11);
        r.extcredits2 = sqlite3_column_int(s, 12);
        r.ext1 = sqlite3_column_int(s, 13);
        r.ext2 = sqlite3_column_int(s, 14);
        r.taoExt1 = sqlite3_column_int(s, 15);
        r.total = sqlite3_column_int(s, 16);
        r.send = sqlite3_column_int(s, 17);
        r.litpic = text(s, 18);
        auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(s, 19));
        r.abouts.assign(blob, blob + sqlite3_column_bytes(s, 19));
        r.related = relatedGifts(blob, sqlite3_column_bytes(s, 19));
        r.indexInTable = sqlite3_column_int64(s, 20);
        rows.push_back(std::move(r));
    }
    sqlite3_finalize(s);
    return rows;
}

// `state.range(0)`: 1 for a fresh connection per booking, 0 for one connection for all.
void StoreInsertFloor(benchmark::State& state)
{
    MemoryFiles memory;
    const bool connectionEach = state.range(0) == 1;
    auto rows = rawRows();
    for (auto _ : state) {
        state.PauseTiming();
        auto sandbox = pf::Sandbox::createTemporary();
        state.ResumeTiming();
        sqlite3* db = openFloorDatabase(sandbox->homePath());
        if (!rawInsert(db, rows, connectionEach ? sandbox->homePath() : std::string()))
            state.SkipWithError("a raw insert failed");
        sqlite3_close(db);
        state.PauseTiming();
        sandbox.reset();
        state.ResumeTiming();
    }
}

void StoreListFloor(benchmark::State& state)
{
    MemoryFiles memory;
    auto sandbox = pf::Sandbox::createTemporary();
    sqlite3* db = openFloorDatabase(sandbox->homePath());
    rawInsert(db, rawRows());
    sqlite3_close(db);
    for (auto _ : state) {
        // Opened per listing, as the store does.
        db = openFloorDatabase(sandbox->homePath());
        auto rows = rawList(db);
        if (rows.size() != kBookings || rows.front().related.size() != 3)
            state.SkipWithError("the raw list came back short");
        benchmark::DoNotOptimize(rows);
        sqlite3_close(db);
    }
}

// The same launch with bare sqlite3: open the copy, check it, purge, close.
void StoreLaunchPurgeFloor(benchmark::State& state)
{
    MemoryFiles memory;
    const int count = static_cast<int>(state.range(0));
    const std::string& file = bookedFile(count);
    auto sandbox = pf::Sandbox::createTemporary();
    const std::string path = sandbox->homePath() + "/floor.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        copyIn(file, path);
        state.ResumeTiming();
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_stmt* check = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &check, nullptr);
        bool sound = sqlite3_step(check) == SQLITE_ROW
            && std::string(reinterpret_cast<const char*>(sqlite3_column_text(check, 0))) == "ok";
        sqlite3_finalize(check);
        sqlite3_stmt* purge = nullptr;
        sqlite3_prepare_v2(db, "DELETE FROM GiftDetailInfoTableName WHERE startime < ?", -1, &purge, nullptr);
        sqlite3_bind_int64(purge, 1, kBeforeEveryStart);
        bool purged = sqlite3_step(purge) == SQLITE_DONE && sqlite3_changes(db) == 0;
        sqlite3_finalize(purge);
        sqlite3_close(db);
        if (!sound || !purged)
            state.SkipWithError("the raw check or purge failed");
    }
}


// The floor of a mend: bare sqlite3 copying every row of the same store, sound, into a new file
// in one transaction.
void StoreMendFloor(benchmark::State& state)
{
    MemoryFiles memory;
    const int count = static_cast<int>(state.range(0));
    const std::string& file = bookedFile(count);
    auto sandbox = pf::Sandbox::createTemporary();
    const std::string path = sandbox->homePath() + "/floor.sqlite";
    const std::string copy = sandbox->homePath() + "/floor-copy.sqlite";
    for (auto _ : state) {
        state.PauseTiming();
        copyIn(file, path);
        std::filesystem::remove(copy);
        state.ResumeTiming();
        sqlite3* db = nullptr;
        sqlite3_open_v2(copy.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        const std::string attach = "ATTACH DATABASE '" + path + "' AS sound";
        bool copied = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK
            && sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK
            && sqlite3_exec(db, "BEGIN; INSERT INTO main.GiftDetailInfoTableName SELECT * FROM sound.GiftDetailInfoTableName; COMMIT",
                   nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        if (!copied)
            state.SkipWithError("the raw copy failed");
    }
}
}

BENCHMARK(StoreInsert)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreInsertFloor)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreList)->MinTime(0.2)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreListFloor)->MinTime(0.2)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreLaunchPurge)->Arg(4000)->Arg(20000)->MinTime(0.1)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreLaunchPurgeFloor)->Arg(4000)->Arg(20000)->MinTime(0.1)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreMend)->Arg(20000)->MinTime(0.1)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreMendFloor)->Arg(20000)->MinTime(0.1)->Unit(benchmark::kMillisecond);

namespace storefiles {

const std::string& sound(int count)
{
    return bookedFile(count);
}

const std::string& damaged(int count)
{
    return damagedBookedFile(count);
}

}
