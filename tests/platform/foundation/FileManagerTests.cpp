#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/support/UnreadableRange.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace pf;

TEST(Sandbox, TestsGetAFreshTemporaryHomeThatIsRemovedAfterwards)
{
    std::string home;
    {
        TaskEnvironment env;
        auto sandbox = Sandbox::current();
        home = sandbox->homePath();
        EXPECT_TRUE(sandbox->isTemporary());
        EXPECT_TRUE(FileManager::isDirectory(sandbox->documentsPath()));
        EXPECT_TRUE(FileManager::isDirectory(sandbox->cachesPath()));
        EXPECT_TRUE(FileManager::isDirectory(sandbox->preferencesPath()));
        EXPECT_TRUE(FileManager::isDirectory(sandbox->tmpPath()));
    }
    EXPECT_FALSE(FileManager::exists(home));
}

// A program that chose no home writes into none of the user's folders: it gets a temporary one,
// whatever the environment names ($HOME, $XDG_DATA_HOME), removed once let go.
TEST(Sandbox, WithoutAHomeChosenTheSandboxIsATemporaryOne)
{
    Sandbox::setCurrent(nullptr);
    auto sandbox = Sandbox::current();
    const std::string home = sandbox->homePath();
    EXPECT_TRUE(sandbox->isTemporary());
    EXPECT_TRUE(FileManager::isDirectory(sandbox->documentsPath()));
    EXPECT_EQ(Sandbox::current(), sandbox);
    Sandbox::setCurrent(nullptr);
    sandbox.reset();
    EXPECT_FALSE(FileManager::exists(home));
}

TEST(Sandbox, AHomeWhoseFoldersCannotBeMadeIsRefusedWithTheReason)
{
    TaskEnvironment env;
    std::string file = FileManager::join(Sandbox::current()->tmpPath(), "a-file");
    ASSERT_TRUE(FileManager::writeAtomically(file, std::string_view("x")));
    for (const std::string& home : { std::string("/proc/quorvane-home"), file + "/home" }) {
        std::string error;
        EXPECT_FALSE(Sandbox::atPath(home, &error)) << home;
        EXPECT_EQ(error.rfind("cannot create " + home + "/", 0), 0u) << error;
    }
    std::string fresh = FileManager::join(Sandbox::current()->tmpPath(), "fresh/home");
    auto sandbox = Sandbox::atPath(fresh);
    ASSERT_TRUE(sandbox);
    EXPECT_TRUE(FileManager::isDirectory(sandbox->preferencesPath()));
    EXPECT_TRUE(FileManager::isDirectory(sandbox->tmpPath()));
}

TEST(FileManager, DirectoriesWithAndWithoutIntermediates)
{
    TaskEnvironment env;
    std::string docs = Sandbox::current()->documentsPath();
    std::string error;
    EXPECT_FALSE(FileManager::createDirectory(docs + "/a/b", false, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(FileManager::createDirectory(docs + "/a/b", true));
    EXPECT_TRUE(FileManager::createDirectory(docs + "/a/b", true)); // already there is fine
    EXPECT_FALSE(FileManager::createDirectory(docs + "/a/b", false)); // but not without
    bool isDir = false;
    EXPECT_TRUE(FileManager::exists(docs + "/a", &isDir));
    EXPECT_TRUE(isDir);

    ASSERT_TRUE(FileManager::writeAtomically(docs + "/file", std::string_view("x")));
    EXPECT_FALSE(FileManager::createDirectory(docs + "/file/sub", true)); // a file is in the way
}

TEST(FileManager, WriteReadSizeAndAtomicReplace)
{
    TaskEnvironment env;
    std::string path = Sandbox::current()->documentsPath() + "/data.bin";
    EXPECT_FALSE(FileManager::read(path));
    EXPECT_FALSE(FileManager::size(path));
    Bytes data { 0, 1, 2, 255 };
    ASSERT_TRUE(FileManager::writeAtomically(path, data));
    EXPECT_EQ(FileManager::read(path), data);
    EXPECT_EQ(FileManager::size(path), 4u);
    ASSERT_TRUE(FileManager::writeAtomically(path, std::string_view("replaced")));
    EXPECT_EQ(FileManager::readText(path), "replaced");
    // No temporary files are left beside the target.
    EXPECT_EQ(FileManager::contentsOfDirectory(Sandbox::current()->documentsPath()), std::vector<std::string> { "data.bin" });
    // Writing into a missing folder fails cleanly.
    EXPECT_FALSE(FileManager::writeAtomically(path + ".d/missing/x", data));

    // A bounded read takes a file up to its limit and refuses one over it or a folder.
    EXPECT_EQ(FileManager::read(path, 8), std::optional<Bytes>(Bytes { 'r', 'e', 'p', 'l', 'a', 'c', 'e', 'd' }));
    std::string reason;
    EXPECT_FALSE(FileManager::read(path, 7, &reason));
    EXPECT_EQ(reason, "larger than 7 bytes");
    EXPECT_FALSE(FileManager::read(Sandbox::current()->documentsPath(), 1u << 20));
}

// A file's data ends before a sparse tail, where the file system maps its holes (it never ends
// past the file, and a missing file has none).
TEST(FileManager, TheDataOfAFileEndsBeforeASparseTail)
{
    TaskEnvironment env;
    std::string path = Sandbox::current()->documentsPath() + "/sparse.bin";
    EXPECT_FALSE(FileManager::dataEnd(path));
    ASSERT_TRUE(FileManager::writeAtomically(path, Bytes(8192, 7)));
    EXPECT_EQ(FileManager::dataEnd(path), 8192u);
    ASSERT_EQ(::truncate(path.c_str(), off_t { 1 } << 30), 0);
    const auto end = FileManager::dataEnd(path);
    ASSERT_TRUE(end);
    // The data's last block, or the size where no holes are mapped.
    EXPECT_TRUE(*end <= std::uint64_t { 1 } << 20 || *end == std::uint64_t { 1 } << 30) << *end;
    EXPECT_GE(*end, 8192u);
}

TEST(FileManager, ReadingGivesEveryByteWhateverTheSizeTheSystemReports)
{
    TaskEnvironment env;
    std::string dir = Sandbox::current()->tmpPath();
    for (size_t size : { size_t(0), size_t(1), size_t(4095), size_t(4096), size_t(4097), size_t(300000) }) {
        Bytes data(size);
        for (size_t i = 0; i < size; ++i)
            data[i] = static_cast<std::uint8_t>(i * 7 + size);
        std::string path = dir + "/sized" + std::to_string(size);
        ASSERT_TRUE(FileManager::writeAtomically(path, data));
        EXPECT_EQ(FileManager::read(path), data) << size;
    }
    // A file the system makes up reports no size but has content.
    auto status = FileManager::readText("/proc/self/status");
    ASSERT_TRUE(status);
    EXPECT_NE(status->find("Name:"), std::string::npos);
    EXPECT_FALSE(FileManager::read(dir));
}

TEST(FileManager, CopyAndMoveNeverOverwrite)
{
    TaskEnvironment env;
    std::string dir = Sandbox::current()->tmpPath();
    ASSERT_TRUE(FileManager::writeAtomically(dir + "/a", std::string_view("A")));
    ASSERT_TRUE(FileManager::writeAtomically(dir + "/b", std::string_view("B")));

    EXPECT_FALSE(FileManager::copyItem(dir + "/a", dir + "/b"));
    EXPECT_FALSE(FileManager::moveItem(dir + "/a", dir + "/b"));
    EXPECT_EQ(FileManager::readText(dir + "/b"), "B");

    EXPECT_TRUE(FileManager::copyItem(dir + "/a", dir + "/c"));
    EXPECT_EQ(FileManager::readText(dir + "/c"), "A");
    EXPECT_TRUE(FileManager::moveItem(dir + "/c", dir + "/d"));
    EXPECT_FALSE(FileManager::exists(dir + "/c"));
    EXPECT_EQ(FileManager::readText(dir + "/d"), "A");
    EXPECT_FALSE(FileManager::copyItem(dir + "/missing", dir + "/e"));

    // Directories copy whole and are removed whole.
    ASSERT_TRUE(FileManager::createDirectory(dir + "/tree/sub", true));
    ASSERT_TRUE(FileManager::writeAtomically(dir + "/tree/sub/f", std::string_view("F")));
    EXPECT_TRUE(FileManager::copyItem(dir + "/tree", dir + "/tree2"));
    EXPECT_EQ(FileManager::enumerate(dir + "/tree2"), (std::vector<std::string> { "sub", "sub/f" }));
    EXPECT_TRUE(FileManager::removeItem(dir + "/tree"));
    EXPECT_FALSE(FileManager::exists(dir + "/tree"));
    EXPECT_FALSE(FileManager::removeItem(dir + "/tree"));
}

// A file with bytes the disk cannot give back: a copy of it fails and leaves nothing where it
// was going, so no half copy is taken for one later; a second name for it (the linking
// set-aside) reads nothing, and is made.
TEST(FileManager, ACopyThatCannotReadItsSourceLeavesNothingBehind)
{
    TaskEnvironment env;
    const std::string path = Sandbox::current()->tmpPath() + "/store.sqlite";
    ASSERT_TRUE(FileManager::writeAtomically(path, std::string(256 * 1024, 'x')));
    {
        testsupport::UnreadableRange unreadable(path, 128 * 1024, 4096);
        std::string error;
        EXPECT_FALSE(FileManager::copyItem(path, path + ".copy", &error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(FileManager::exists(path + ".copy"));
        EXPECT_FALSE(FileManager::setAsideCopy(path));
        EXPECT_TRUE(FileManager::asidePaths(path).empty());
        EXPECT_EQ(FileManager::setAsideLinkWith(path, { "-journal" }), path + ".corrupt");
        EXPECT_GT(testsupport::UnreadableRange::refusals(), 0);
    }
    EXPECT_EQ(FileManager::size(path + ".corrupt"), 256u * 1024);
    EXPECT_EQ(FileManager::size(path), 256u * 1024);
}

// Every file set aside is kept, each under a name of its own; bytes already kept are not kept
// twice, whether the file is moved aside or copied.
TEST(FileManager, SetAsideKeepsEveryCopyAndNoBytesTwice)
{
    TaskEnvironment env;
    std::string path = Sandbox::current()->tmpPath() + "/store.plist";
    auto aside = [&] { return FileManager::asidePaths(path); };
    auto contents = [&] {
        std::vector<std::string> out;
        for (const auto& copy : aside())
            out.push_back(FileManager::readText(copy).value_or("?"));
        return out;
    };
    EXPECT_FALSE(FileManager::setAside(path));
    EXPECT_FALSE(FileManager::setAsideCopy(path));
    for (const char* damaged : { "first", "second", "first" }) {
        ASSERT_TRUE(FileManager::writeAtomically(path, std::string_view(damaged)));
        EXPECT_TRUE(FileManager::setAside(path)) << damaged;
        EXPECT_FALSE(FileManager::exists(path));
    }
    EXPECT_EQ(aside(), (std::vector<std::string> { path + ".corrupt", path + ".corrupt-2" }));
    EXPECT_EQ(contents(), (std::vector<std::string> { "first", "second" }));

    // A copy leaves the file in place.
    ASSERT_TRUE(FileManager::writeAtomically(path, std::string_view("third")));
    EXPECT_TRUE(FileManager::setAsideCopy(path));
    EXPECT_TRUE(FileManager::setAsideCopy(path));
    EXPECT_EQ(FileManager::readText(path), "third");
    EXPECT_EQ(contents(), (std::vector<std::string> { "first", "second", "third" }));
    EXPECT_EQ(FileManager::nextAsidePath(path), path + ".corrupt-4");
}

// A database goes aside with its journals under one number: a number at which any name of that
// set is taken (a journal left behind by itself) is passed, and what lies there is left alone.
// The linking form leaves the file in place for a rebuilt one to replace, and its journals
// beside it, each with a second name aside, until the rebuilt one has replaced it.
TEST(FileManager, SetAsideWithCompanionsPassesANumberWhoseCompanionNameIsTaken)
{
    TaskEnvironment env;
    const std::string path = Sandbox::current()->tmpPath() + "/store.sqlite";
    auto write = [](const std::string& file, std::string_view text) { ASSERT_TRUE(FileManager::writeAtomically(file, text)); };
    write(path + ".corrupt-journal", "stray");
    write(path, "damaged");
    write(path + "-journal", "its journal");
    EXPECT_EQ(FileManager::setAsideWith(path, { "-journal", "-wal" }), path + ".corrupt-2");
    EXPECT_FALSE(FileManager::exists(path) || FileManager::exists(path + "-journal") || FileManager::exists(path + ".corrupt"));
    EXPECT_EQ(FileManager::readText(path + ".corrupt-2-journal"), "its journal");
    EXPECT_EQ(FileManager::readText(path + ".corrupt-journal"), "stray");

    write(path, "damaged again");
    write(path + "-wal", "its log");
    EXPECT_EQ(FileManager::setAsideLinkWith(path, { "-journal", "-wal" }), path + ".corrupt-3");
    EXPECT_EQ(FileManager::readText(path + ".corrupt-3"), "damaged again");
    EXPECT_EQ(FileManager::readText(path + ".corrupt-3-wal"), "its log");
    EXPECT_EQ(FileManager::readText(path), "damaged again");
    EXPECT_TRUE(FileManager::isSameFile(path + "-wal", path + ".corrupt-3-wal"))
        << "the journal stays beside the file it belongs to, under a second name aside";
    // Once a new file is in the file's place, the journal's name beside it goes; the copy
    // aside keeps its own.
    write(path, "rebuilt");
    FileManager::dropCompanionsKeptAside(path, { "-journal", "-wal" });
    EXPECT_FALSE(FileManager::exists(path + "-wal"));
    EXPECT_EQ(FileManager::readText(path + ".corrupt-3-wal"), "its log");
    EXPECT_EQ(FileManager::readText(path + ".corrupt-2-journal"), "its journal");
}

// A move aside cut short after the file went, before its companions followed: they go beside
// the file at the name given, and only there. Where that name is not known, holds no file, or has
// a companion's name taken, they go under an aside name of their own, beside no file: put beside
// an older copy, a journal would be rolled into it when that copy is opened.
TEST(FileManager, CompanionsLeftBehindFollowOnlyTheFileTheyBelongTo)
{
    TaskEnvironment env;
    const std::string path = Sandbox::current()->tmpPath() + "/store.sqlite";
    auto write = [](const std::string& file, std::string_view text) { ASSERT_TRUE(FileManager::writeAtomically(file, text)); };
    write(path + ".corrupt-2", "older copy");
    write(path, "damaged");
    write(path + "-journal", "its journal");
    const std::string aside = FileManager::asidePathWith(path, { "-journal" });
    EXPECT_EQ(aside, path + ".corrupt");
    ASSERT_TRUE(FileManager::moveItem(path, aside)); // cut short here
    EXPECT_EQ(FileManager::finishSetAsideWith(path, aside, { "-journal" }), aside);
    EXPECT_EQ(FileManager::readText(aside + "-journal"), "its journal");
    EXPECT_FALSE(FileManager::exists(path + ".corrupt-2-journal"));

    // Not known, or no file there: a name of their own.
    write(path + "-journal", "a stray journal");
    EXPECT_EQ(FileManager::finishSetAsideWith(path, std::nullopt, { "-journal" }), path + ".corrupt-3");
    write(path + "-journal", "another");
    EXPECT_EQ(FileManager::finishSetAsideWith(path, path + ".corrupt-9", { "-journal" }), path + ".corrupt-4");
    EXPECT_EQ(FileManager::readText(path + ".corrupt-3-journal"), "a stray journal");
    EXPECT_EQ(FileManager::readText(path + ".corrupt-4-journal"), "another");
    EXPECT_FALSE(FileManager::exists(path + ".corrupt-3") || FileManager::exists(path + ".corrupt-4"));
    EXPECT_EQ(FileManager::readText(path + ".corrupt-2"), "older copy");
    EXPECT_EQ(FileManager::finishSetAsideWith(path, aside, { "-journal" }), std::nullopt) << "nothing left behind";
}

// A link at an aside name, whether it leads to the file being set aside or nowhere, is a name
// taken like any other: it is never followed, written over or taken for a copy already kept,
// and the file's bytes always end up under a name of their own.
TEST(FileManager, ALinkAtAnAsideNameIsATakenNameAndNeverFollowed)
{
    TaskEnvironment env;
    const std::string path = Sandbox::current()->tmpPath() + "/store.sqlite";
    auto write = [](const std::string& file, std::string_view text) { ASSERT_TRUE(FileManager::writeAtomically(file, text)); };
    auto linkTo = [](const std::string& target, const std::string& at) { ASSERT_EQ(::symlink(target.c_str(), at.c_str()), 0) << at; };
    auto leadsTo = [](const std::string& at) {
        char target[4096];
        ssize_t n = ::readlink(at.c_str(), target, sizeof target);
        return n < 0 ? std::string("(no link)") : std::string(target, static_cast<size_t>(n));
    };

    // Moved aside, with a link to the file itself at the first name.
    write(path, "damaged");
    linkTo(path, path + ".corrupt");
    EXPECT_TRUE(FileManager::setAside(path));
    EXPECT_EQ(FileManager::readText(path + ".corrupt-2"), "damaged") << "kept under a name of its own";
    EXPECT_EQ(leadsTo(path + ".corrupt"), path);

    // Linked aside, with that link and a dangling one at the next names, and a dangling link at
    // a journal's aside name.
    write(path, "damaged again");
    write(path + "-journal", "its journal");
    ASSERT_TRUE(FileManager::removeItem(path + ".corrupt-2"));
    linkTo(path + ".gone", path + ".corrupt-2");
    linkTo(path + ".gone", path + ".corrupt-3-journal");
    EXPECT_EQ(FileManager::setAsideLinkWith(path, { "-journal" }), path + ".corrupt-4");
    EXPECT_EQ(FileManager::readText(path + ".corrupt-4"), "damaged again");
    EXPECT_EQ(FileManager::readText(path + ".corrupt-4-journal"), "its journal");
    EXPECT_EQ(FileManager::readText(path), "damaged again") << "the linking form leaves the file in place";
    EXPECT_EQ(leadsTo(path + ".corrupt-2"), path + ".gone");
    EXPECT_EQ(leadsTo(path + ".corrupt-3-journal"), path + ".gone");
    EXPECT_EQ(FileManager::nextAsidePath(path), path + ".corrupt-3");

    // The linking form given a link to the file: the aside name is the file's, not the link's.
    ASSERT_TRUE(FileManager::removeItem(path));
    write(path + ".real", "damaged once more");
    linkTo(path + ".real", path);
    EXPECT_EQ(FileManager::setAsideLinkWith(path, { "-journal" }), path + ".corrupt-5");
    struct stat aside {};
    ASSERT_EQ(::lstat((path + ".corrupt-5").c_str(), &aside), 0);
    EXPECT_TRUE(S_ISREG(aside.st_mode));
    EXPECT_EQ(FileManager::readText(path + ".corrupt-5"), "damaged once more");
}
