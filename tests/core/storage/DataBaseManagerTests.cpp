// The mend of a damaged database ends within its bounds whatever the file holds, and keeps
// what it read by then.
#include "core/storage/DataBaseManager.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/DamagedStore.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <gtest/gtest.h>


using Status = DataBaseManager::Status;
using namespace testsupport::damagedstore;

namespace {

// A store of notes whose rows take a while each to be judged whole, as a slow disk or a large
// file would make them: reading all of them would take far longer than the mend may.
class SlowNotes : public DataBaseManager {
public:
    static constexpr int kNotes = 4000;

    Status count(long long& notes)
    {
        return withDatabase("count", [&](SQLite::Database& db) {
            notes = db.execAndGet("SELECT count(*) FROM notes").getInt64();
            return Status::Ok;
        });
    }

protected:
    void prepare(SQLite::Database& db) override { db.exec("CREATE TABLE IF NOT EXISTS notes (id INTEGER PRIMARY KEY, text TEXT)"); }
    std::vector<SalvagedTable> salvagedTables() const override
    {
        // Each row costs 2 ms of the process clock, on which the mend's time runs.
        return { { "notes", { "id", "text" }, "notes", [](const std::vector<SalvagedValue>&) {
                      pf::Clock::shared().advance(0.002);
                      return true;
                  }, "id" } };
    }
};

}

TEST(DataBaseMend, ItStopsAtItsTimeAndKeepsWhatItRead)
{
    pf::TaskEnvironment env;
    SlowNotes notes;
    const std::string path = DataBaseManager::databasePath();
    long long count = 0;
    ASSERT_EQ(notes.count(count), Status::Ok);
    {
        SQLite::Database raw(path, SQLite::OPEN_READWRITE);
        SQLite::Transaction transaction(raw);
        raw.exec("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " + std::to_string(SlowNotes::kNotes)
            + ") INSERT INTO notes (id, text) SELECT x, printf('note %d', x) FROM n");
        transaction.commit();
    }
    auto bytes = *pf::FileManager::read(path);
    auto leaves = tableLeaves(bytes);
    damage(bytes, leaves.back(), Damage::WholePage);
    ASSERT_TRUE(pf::FileManager::writeAtomically(path, bytes));

    pf::ResetRegistry::resetAll();
    pf::Log::startCapture();
    ASSERT_EQ(notes.count(count), Status::Ok) << "the mended file is in place";
    EXPECT_TRUE(pf::Log::contains("the reading of notes stopped at its bounds"));
    EXPECT_TRUE(pf::Log::contains("a new file holds the " + std::to_string(count) + " notes"));
    pf::Log::stopCapture();
    EXPECT_GT(count, 0) << "what was read is kept";
    EXPECT_LT(count, SlowNotes::kNotes - static_cast<long long>(leaves.back().rowids.size()));
    EXPECT_EQ(pf::FileManager::read(path + ".corrupt"), bytes);
}
