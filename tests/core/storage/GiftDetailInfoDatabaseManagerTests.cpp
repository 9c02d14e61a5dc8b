#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/DamagedStore.h"
#include "tests/support/EditedArchive.h"
#include "tests/support/RelatedGifts.h"
#include "tests/support/StoredAbouts.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using Status = DataBaseManager::Status;

namespace {

using testsupport::related;

std::shared_ptr<GiftDetailInfo> gift(int fid, std::string title, long long startTime = 1'700'000'500)
{
    auto g = std::make_shared<GiftDetailInfo>();
    g->setFid(fid);
    g->setTitle(std::move(title));
    g->setStartTime(startTime);
    return g;
}

std::vector<int> fids(const GiftDetailInfo::List& list)
{
    std::vector<int> out;
    for (const auto& g : list)
        out.push_back(g->fid());
    return out;
}

GiftDetailInfo::List stored()
{
    auto list = GiftDetailInfoDatabaseManager::sharedInstance()->retrieveDataFromTable();
    EXPECT_TRUE(list);
    return list.value_or(GiftDetailInfo::List {});
}

SQLite::Database rawDatabase()
{
    return SQLite::Database(DataBaseManager::databasePath(), SQLite::OPEN_READWRITE);
}

// Something else that archives itself with the same keys as a related gift.
struct Impostor {
    static constexpr const char* kArchiveClassName = "Impostor";
    void encodeWithCoder(pf::KeyedArchiver& coder) const { coder.encodeText("title", "x"); }
    static std::shared_ptr<Impostor> initWithCoder(pf::KeyedUnarchiver&) { return std::make_shared<Impostor>(); }
};

class GiftStore : public ::testing::Test {
protected:
    pf::TaskEnvironment env;
    std::shared_ptr<GiftDetailInfoDatabaseManager> store = GiftDetailInfoDatabaseManager::sharedInstance();
};

}

TEST_F(GiftStore, BookingTwiceKeepsTheFirstRowAndListsComeLatestFirst)
{
    auto a = gift(11, "A");
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*a), Status::Ok);
    EXPECT_EQ(a->indexInTable(), 1'700'000'000);

    env.fastForwardBy(5.7);
    auto again = gift(11, "A changed");
    pf::Log::startCapture();
    EXPECT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*again), Status::Existed);
    EXPECT_TRUE(pf::Log::contains("Record existed."));
    pf::Log::stopCapture();
    EXPECT_EQ(again->indexInTable(), 0);

    auto b = gift(7, "B");
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*b), Status::Ok);
    EXPECT_EQ(b->indexInTable(), 1'700'000'005);
    env.fastForwardBy(1);
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*gift(30, "C")), Status::Ok);

    auto list = stored();
    EXPECT_EQ(fids(list), (std::vector<int> { 30, 7, 11 }));
    EXPECT_EQ(list.back()->title().text(), "A");
    EXPECT_EQ(list.back()->indexInTable(), 1'700'000'000);
    EXPECT_TRUE(store->isInfoExisted(*a));
    EXPECT_FALSE(store->isInfoExisted(*gift(99, "")));
}

TEST_F(GiftStore, EveryColumnRoundTripsAndMissingTextsReadBackEmpty)
{
    auto g = gift(4242, "礼包 'quoted' \"twice\"; DROP TABLE x; --", -5);
    g->setArcurl("http://portal.test/a?b=1&c=2");
    g->setDesc(RecordText::null());
    g->setInfo(RecordText());
    g->setEndTime(2'000'000'000);
    g->setType(RecordText::null());
    // Each whole-number column gets its own value, so a swapped column shows.
    struct IntColumn {
        void (GiftDetailInfo::*set)(int);
        int (GiftDetailInfo::*get)() const;
        int value;
    };
    const IntColumn columns[] { { &GiftDetailInfo::setDraw, &GiftDetailInfo::draw, 1 },
        { &GiftDetailInfo::setDoom, &GiftDetailInfo::doom, 2 }, { &GiftDetailInfo::setStatus, &GiftDetailInfo::status, 3 },
        { &GiftDetailInfo::setExtcredits1, &GiftDetailInfo::extcredits1, 4 },
        { &GiftDetailInfo::setExtcredits2, &GiftDetailInfo::extcredits2, 5 },
        { &GiftDetailInfo::setExt1, &GiftDetailInfo::ext1, 6 }, { &GiftDetailInfo::setExt2, &GiftDetailInfo::ext2, 7 },
        { &GiftDetailInfo::setTao_ext1, &GiftDetailInfo::tao_ext1, -8 },
        { &GiftDetailInfo::setTotal, &GiftDetailInfo::total, 9 }, { &GiftDetailInfo::setSend, &GiftDetailInfo::send, 10 } };
    for (const auto& column : columns)
        ((*g).*column.set)(column.value);
    g->setLitpic("  spaced  ");
    g->setAbouts(RelatedGiftInfo::List { related(1, "one", 0), related(2, RecordText::null(), 2), related(3, RecordText(), 1) });
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*g), Status::Ok);

    Status status = Status::Failed;
    auto back = store->retrieveDataFromTableWithFid(4242, &status);
    ASSERT_TRUE(back);
    EXPECT_EQ(status, Status::Ok);
    EXPECT_EQ(back->title(), g->title());
    EXPECT_EQ(back->arcurl(), g->arcurl());
    EXPECT_EQ(back->startTime(), -5);
    EXPECT_EQ(back->endTime(), 2'000'000'000);
    for (const auto& column : columns)
        EXPECT_EQ(((*back).*column.get)(), column.value);
    EXPECT_EQ(back->litpic().text(), "  spaced  ");
    EXPECT_EQ(back->indexInTable(), 1'700'000'000);
    // Absent and null texts come back as empty text, and no placeholder word is on disk.
    for (const RecordText* t : { &back->desc(), &back->info(), &back->type() }) {
        EXPECT_TRUE(t->hasText());
        EXPECT_EQ(t->text(), "");
    }
    EXPECT_EQ(rawDatabase().execAndGet("SELECT desc || info || type FROM GiftDetailInfoTableName").getString(), "");

    ASSERT_TRUE(back->abouts());
    ASSERT_EQ(back->abouts()->size(), 3u);
    EXPECT_EQ((*back->abouts())[0]->fid(), 1);
    EXPECT_EQ((*back->abouts())[0]->title().text(), "one");
    EXPECT_EQ((*back->abouts())[1]->status(), 2);
    EXPECT_EQ((*back->abouts())[1]->title(), RecordText(""));
    EXPECT_EQ((*back->abouts())[2]->fid(), 3);

    // No related gifts read back as an empty list.
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*gift(5, "plain")), Status::Ok);
    auto plain = store->retrieveDataFromTableWithFid(5);
    ASSERT_TRUE(plain && plain->abouts());
    EXPECT_TRUE(plain->abouts()->empty());

    EXPECT_FALSE(store->retrieveDataFromTableWithFid(6, &status));
    EXPECT_EQ(status, Status::NotFound);
}

// A portal title may hold a NUL, which the archive cannot keep: the related gifts are stored
// with the text on both sides of it, on booking and on update, rather than lost as a list.
TEST_F(GiftStore, RelatedTitlesHoldingANulAreKeptWithoutIt)
{
    const std::string nul(1, '\0');
    auto titles = [](const std::shared_ptr<GiftDetailInfo>& row) {
        std::vector<std::string> out;
        for (const auto& r : row && row->abouts() ? *row->abouts() : RelatedGiftInfo::List {})
            out.push_back(r->title().text());
        return out;
    };
    auto g = gift(31, "booked");
    g->setAbouts(RelatedGiftInfo::List { related(1, "X" + nul + "Y", 1), related(2, "two", 0) });
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*g), Status::Ok);
    EXPECT_EQ(titles(store->retrieveDataFromTableWithFid(31)), (std::vector<std::string> { "XY", "two" }));

    g->setAbouts(RelatedGiftInfo::List { related(3, nul + "three" + nul, 1) });
    ASSERT_EQ(store->updateRecordInTable(*g), Status::Ok);
    EXPECT_EQ(titles(store->retrieveDataFromTableWithFid(31)), std::vector<std::string> { "three" });

    // The booked gift's own texts are columns of their own, which keep a NUL as it came.
    auto own = gift(32, "A" + nul + "B");
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*own), Status::Ok);
    auto back = store->retrieveDataFromTableWithFid(32);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->title().text(), "A" + nul + "B");
}

TEST_F(GiftStore, TimesPast2038KeepTheirValueAndThePurgeRemovesOnlyRowsBeforeItsLimit)
{
    // 2040-01-01 and a booking made after 2038: nothing may wrap to a negative time.
    const long long opens = 2'208'988'800LL;
    env.clock().setNow(2'200'000'000.0);
    auto late = gift(7, "late", opens);
    late->setEndTime(opens + 86'400);
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*late), Status::Ok);
    auto list = stored();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->startTime(), opens);
    EXPECT_EQ(list[0]->endTime(), opens + 86'400);
    EXPECT_EQ(list[0]->indexInTable(), 2'200'000'000LL);

    ASSERT_EQ(store->deleteRecordInTableOutOfDateTime(opens), Status::Ok);
    EXPECT_EQ(fids(stored()), std::vector<int> { 7 });
    ASSERT_EQ(store->deleteRecordInTableOutOfDateTime(opens + 1), Status::Ok);
    EXPECT_TRUE(stored().empty());
}

TEST_F(GiftStore, UpdateRewritesTheStoredRowOnly)
{
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*gift(1, "first")), Status::Ok);
    auto row = store->retrieveDataFromTableWithFid(1);
    ASSERT_TRUE(row);
    row->setStatus(2);
    row->setStartTime(1234);
    row->setAbouts(RelatedGiftInfo::List { related(8, "eight", 1) });
    EXPECT_EQ(store->updateRecordInTable(*row), Status::Ok);

    auto back = store->retrieveDataFromTableWithFid(1);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->status(), 2);
    EXPECT_EQ(back->startTime(), 1234);
    EXPECT_EQ(back->title().text(), "first");
    EXPECT_EQ(back->indexInTable(), 1'700'000'000);
    ASSERT_EQ(back->abouts()->size(), 1u);

    EXPECT_EQ(store->updateRecordInTable(*gift(2, "never booked")), Status::NotFound);
    EXPECT_EQ(stored().size(), 1u);
}

TEST_F(GiftStore, HostileRelatedGiftArchivesAreRefusedAndTheRowStillReads)
{
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*gift(1, "victim")), Status::Ok);

    pf::Bytes otherClass = pf::KeyedArchiver::archivedData(std::vector<std::shared_ptr<Impostor>> { std::make_shared<Impostor>() });
    pf::Bytes good = pf::KeyedArchiver::archivedData(RelatedGiftInfo::List { related(1, "r", 1) });
    pf::Bytes truncated(good.begin(), good.begin() + good.size() / 2);
    pf::Bytes garbage(300, 0xFF);

    for (const pf::Bytes& blob : { otherClass, truncated, garbage }) {
        {
            auto raw = rawDatabase();
            SQLite::Statement set(raw, "UPDATE GiftDetailInfoTableName SET abouts = ?");
            set.bind(1, blob.data(), static_cast<int>(blob.size()));
            set.exec();
        }
        pf::Log::startCapture();
        auto back = store->retrieveDataFromTableWithFid(1);
        EXPECT_TRUE(pf::Log::contains("refused"));
        pf::Log::stopCapture();
        ASSERT_TRUE(back);
        EXPECT_EQ(back->title().text(), "victim");
        ASSERT_TRUE(back->abouts());
        EXPECT_TRUE(back->abouts()->empty());
    }
}

TEST_F(GiftStore, ARelatedListReadOnlyInPartOrRefusedIsLeftAsStoredWhenTheRowIsUpdated)
{
    auto booked = gift(1, "booked");
    booked->setAbouts(RelatedGiftInfo::List { related(2, "two", 0), related(3, "three", 1) });
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*booked), Status::Ok);
    const pf::Bytes written = testsupport::storedAbouts(1);
    // A plain text, as another version may keep there, is skipped; a list entry without its
    // items is damage and refuses the list.
    const pf::Bytes withText = testsupport::withListEntry(written, [](const pf::Array&, size_t) { return pf::Value("a note"); });
    const pf::Bytes damaged = testsupport::withListEntry(written, [](const pf::Array& objects, size_t list) {
        return pf::Value(pf::Dictionary { { "$class", objects[list]["$class"] } });
    });
    for (const auto& [archive, readsAs] : { std::pair(withText, std::vector<int> { 2, 3 }), std::pair(damaged, std::vector<int> {}) }) {
        testsupport::storeAbouts(1, archive);
        auto row = store->retrieveDataFromTableWithFid(1);
        ASSERT_TRUE(row && row->abouts());
        std::vector<int> related;
        for (const auto& r : *row->abouts())
            related.push_back(r->fid());
        EXPECT_EQ(related, readsAs);

        // The status walk's write: the new status lands, the list stays byte for byte.
        row->setStatus(row->status() + 1);
        ASSERT_EQ(store->updateRecordInTable(*row), Status::Ok);
        EXPECT_EQ(store->retrieveDataFromTableWithFid(1)->status(), row->status());
        EXPECT_EQ(testsupport::storedAbouts(1), archive);
    }
}

TEST_F(GiftStore, ADamagedFileIsMovedAsideAndANewOneMade)
{
    const std::string path = DataBaseManager::databasePath();
    ASSERT_TRUE(pf::FileManager::writeAtomically(path, std::string(8192, 'x')));
    pf::Log::startCapture();
    EXPECT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*gift(1, "after garbage")), Status::Ok);
    pf::Log::stopCapture();
    EXPECT_TRUE(pf::FileManager::exists(path + ".corrupt"));
    EXPECT_EQ(fids(stored()), (std::vector<int> { 1 }));

    // A real database whose table's root and first leaf are overwritten: the next read notices
    // and keeps the bookings of the leaves that still read.
    for (int fid = 2; fid < 200; ++fid)
        ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*gift(fid, std::string(100, 'p'))), Status::Ok);
    auto bytes = pf::FileManager::read(path);
    ASSERT_TRUE(bytes && bytes->size() > 3 * 4096);
    std::fill(bytes->begin() + 4096, bytes->begin() + 3 * 4096, 0xA5);
    ASSERT_TRUE(pf::FileManager::writeAtomically(path, *bytes));
    std::set<int> sound;
    for (const auto& leaf : testsupport::damagedstore::tableLeaves(*bytes))
        sound.insert(leaf.rowids.begin(), leaf.rowids.end());
    ASSERT_FALSE(sound.empty());
    ASSERT_LT(sound.size(), 199u);
    pf::Log::startCapture();
    auto list = store->retrieveDataFromTable();
    pf::Log::stopCapture();
    ASSERT_TRUE(list);
    std::set<int> listed;
    for (const auto& g : *list)
        listed.insert(g->fid());
    EXPECT_EQ(listed, sound);
    EXPECT_TRUE(pf::FileManager::exists(path + ".corrupt-2"));
    EXPECT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*gift(1, "fresh")), Status::Ok);
}

TEST_F(GiftStore, ALockedFileIsReportedAsAFailureNotASuccess)
{
    ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*gift(1, "before")), Status::Ok);
    {
        auto other = rawDatabase();
        other.exec("BEGIN EXCLUSIVE");
        pf::Log::startCapture();
        auto g = gift(2, "while locked");
        EXPECT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*g), Status::Failed);
        EXPECT_EQ(g->indexInTable(), 0);
        EXPECT_FALSE(store->retrieveDataFromTable());
        EXPECT_EQ(store->deleteRecordInTableOutOfDateTime(2'000'000'000), Status::Failed);
        pf::Log::stopCapture();
        other.exec("ROLLBACK");
    }
    // The locked file was not taken for a damaged one.
    EXPECT_FALSE(pf::FileManager::exists(DataBaseManager::databasePath() + ".corrupt"));
    EXPECT_EQ(fids(stored()), (std::vector<int> { 1 }));
}

TEST_F(GiftStore, AFullDiskFailsTheBookingAndKeepsEarlierOnes)
{
    for (int fid = 1; fid <= 3; ++fid) {
        ASSERT_EQ(store->insertDataIntoTableWithGiftDetailInfo(*gift(fid, "early")), Status::Ok);
        env.fastForwardBy(1);
    }
    auto size = pf::FileManager::size(DataBaseManager::databasePath());
    ASSERT_TRUE(size);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // No file may grow past its present size: the next page cannot be written.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit { static_cast<rlim_t>(*size), static_cast<rlim_t>(*size) };
        setrlimit(RLIMIT_FSIZE, &limit);
        pf::Log::setQuiet(true);
        auto big = gift(4, std::string(64 * 1024, 'b'));
        Status status = GiftDetailInfoDatabaseManager::sharedInstance()->insertDataIntoTableWithGiftDetailInfo(*big);
        _exit(status == Status::Failed ? 0 : 1);
    }
    int wstatus = 0;
    ASSERT_EQ(waitpid(child, &wstatus, 0), child);
    ASSERT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(WEXITSTATUS(wstatus), 0) << "the booking on a full disk was not reported as failed";

    EXPECT_EQ(fids(stored()), (std::vector<int> { 3, 2, 1 }));
    auto raw = rawDatabase();
    EXPECT_EQ(raw.execAndGet("PRAGMA integrity_check").getString(), "ok");
}

TEST_F(GiftStore, AProcessKilledWhileBookingLeavesEveryEarlierBookingIntact)
{
    for (int round = 0; round < 3; ++round) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const int firstFid = 1 + round * 1'000'000;
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            pf::Log::setQuiet(true);
            auto store = GiftDetailInfoDatabaseManager::sharedInstance();
            for (int fid = firstFid;; ++fid) {
                auto g = gift(fid, "booked " + std::to_string(fid));
                g->setAbouts(RelatedGiftInfo::List { related(fid, "related", 1) });
                if (store->insertDataIntoTableWithGiftDetailInfo(*g) != Status::Ok)
                    _exit(3);
                if (write(pipeFds[1], &fid, sizeof fid) != sizeof fid)
                    _exit(4);
            }
        }
        close(pipeFds[1]);
        std::vector<int> reported;
        const size_t killAfter = 40 + round * 37;
        int fid = 0;
        while (reported.size() < killAfter && read(pipeFds[0], &fid, sizeof fid) == sizeof fid)
            reported.push_back(fid);
        kill(child, SIGKILL);
        int wstatus = 0;
        ASSERT_EQ(waitpid(child, &wstatus, 0), child);
        EXPECT_TRUE(WIFSIGNALED(wstatus)) << "the booking child stopped by itself";
        while (read(pipeFds[0], &fid, sizeof fid) == sizeof fid)
            reported.push_back(fid);
        close(pipeFds[0]);
        ASSERT_GE(reported.size(), killAfter);

        auto list = stored();
        std::set<int> present;
        for (const auto& g : list) {
            present.insert(g->fid());
            EXPECT_EQ(g->title().text(), "booked " + std::to_string(g->fid()));
            ASSERT_TRUE(g->abouts());
            EXPECT_EQ(g->abouts()->size(), 1u);
        }
        for (int done : reported)
            EXPECT_TRUE(present.count(done)) << "booking " << done << " was lost";
        auto raw = rawDatabase();
        EXPECT_EQ(raw.execAndGet("PRAGMA integrity_check").getString(), "ok");
    }
}
