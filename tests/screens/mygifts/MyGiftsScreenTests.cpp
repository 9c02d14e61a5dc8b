#include "tests/screens/PortalScreenFixture.h"

#include "core/managers/AppointmentManager.h"
#include "core/storage/GiftDetailInfoDatabaseManager.h"
#include "core/views/DateConverter.h"
#include "core/views/HardPickingItems.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "screens/gifts/GiftScreenFactory.h"
#include "screens/gifts/PagingFooterCell.h"
#include "screens/gifts/RefreshTableHeaderView.h"
#include "screens/mygifts/MyGiftAppointmentTableViewCell.h"
#include "screens/mygifts/MyGiftAppointmentViewController.h"
#include "screens/mygifts/MyGiftCodeViewController.h"
#include "screens/mygifts/MyGiftObtainedTableViewCell.h"
#include "screens/mygifts/MyGiftObtainedViewController.h"
#include "screens/mygifts/MyGiftsViewController.h"
#include "tests/support/DamagedStore.h"
#include "tests/support/EditedArchive.h"
#include "tests/support/RelatedGifts.h"
#include "tests/support/StoredAbouts.h"
#include "tests/support/UnreadableRange.h"

#include <cerrno>
#include <functional>
#include <set>
#include <mutex>

namespace {

constexpr long long kStoredStart = 1'900'000'000;
constexpr long long kStoredEnd = 1'900'500'000;

class MyGiftsScreenTest : public PortalScreenFixture {
protected:
    MyGiftsScreenTest()
    {
        showRoot();
        GiftScreenFactory::setDetailFactory([this](int fid) {
            openedDetails.push_back(fid);
            return std::make_shared<AdaptedViewController>();
        });
    }
    ~MyGiftsScreenTest() override { GiftScreenFactory::setDetailFactory({}); }

    // Books gifts in this order (the last one is the newest booking), as not open yet.
    void book(const std::vector<int>& fids)
    {
        for (int fid : fids) {
            GiftDetailInfo info;
            info.setFid(fid);
            info.setTitle("礼包" + std::to_string(fid));
            info.setStatus(0);
            info.setStartTime(kStoredStart);
            info.setEndTime(kStoredEnd);
            ASSERT_EQ(AppointmentManager::sharedInstance()->addGiftAppointment(info), DataBaseManager::Status::Ok);
            driver.advance(1);
        }
    }
    std::shared_ptr<GiftDetailInfo> stored(int fid) { return GiftDetailInfoDatabaseManager::sharedInstance()->retrieveDataFromTableWithFid(fid); }

    void openMyGifts()
    {
        screen = std::make_shared<MyGiftsViewController>();
        push(screen);
        settle();
    }
    std::shared_ptr<MyGiftAppointmentViewController> booked() const
    {
        return std::dynamic_pointer_cast<MyGiftAppointmentViewController>(screen->myGiftControllers().at(0));
    }
    std::shared_ptr<MyGiftObtainedViewController> obtained() const
    {
        return std::dynamic_pointer_cast<MyGiftObtainedViewController>(screen->myGiftControllers().at(1));
    }
    std::string statusShown(int row) const
    {
        auto cell = std::dynamic_pointer_cast<MyGiftAppointmentTableViewCell>(booked()->tableView()->cellForRowAtIndexPath({ 0, row }));
        return cell ? cell->statusLabel()->text() : "(no row)";
    }
    std::vector<std::string> checkedFids() const
    {
        std::vector<std::string> fids;
        for (auto& form : formsOf("ka/check"))
            fids.push_back(form["fid"]);
        return fids;
    }

    std::shared_ptr<MyGiftsViewController> screen;
    std::vector<int> openedDetails;
};

TEST_F(MyGiftsScreenTest, TheBookedListShowsNewestFirstAndTakesEachGiftsStateInListOrder)
{
    // On the portal 1001 is open, 1004 opens in a few minutes and 1005 has only released codes.
    book({ 1001, 1004, 1005 });
    openMyGifts();
    EXPECT_EQ(screen->title(), "我的礼包");
    EXPECT_EQ(screen->view()->subviews().back(), booked()->view()) << "the booked list lies on top";
    EXPECT_EQ(countOf("ka/mine"), 0u) << "no token, no request";

    EXPECT_EQ(checkedFids(), (std::vector<std::string> { "1005", "1004", "1001" }));
    EXPECT_TRUE(booked()->isWalkOver());
    EXPECT_EQ(statusShown(0), "淘号") << "the new states show at once";
    EXPECT_EQ(statusShown(1), "详情");
    EXPECT_EQ(statusShown(2), "领取");
    EXPECT_EQ(stored(1001)->status(), 1);
    EXPECT_NE(stored(1001)->startTime(), kStoredStart) << "the portal's times are kept";
    EXPECT_EQ(portal.receivedRequests().back().header("Authorization"), std::nullopt);

    // A row opens its gift; coming back redraws without asking again.
    ASSERT_TRUE(driver.tapRow(booked()->tableView(), { 0, 1 }));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    EXPECT_EQ(openedDetails, (std::vector<int> { 1004 }));
    navigation->popViewController(false);
    settle();
    EXPECT_EQ(checkedFids().size(), 3u);

    ASSERT_TRUE(driver.tapText("已领取"));
    EXPECT_EQ(screen->currentPage(), 11);
    EXPECT_EQ(screen->view()->subviews().back(), obtained()->view());
}

TEST_F(MyGiftsScreenTest, TheWalkWritesOnlyTheGiftAskedAboutKeepsMissingTimesAndStopsAtTheFirstFailure)
{
    pf::TestHttpServer fake;
    std::mutex mutex;
    std::map<std::string, std::string> replies;
    fake.on("POST", "/api/ka/check", [&](const pf::TestHttpServer::Request& request) {
        pf::TestHttpServer::Response response;
        response.contentType = "application/json";
        std::lock_guard lock(mutex);
        response.body = replies[PortalTestClient::formFields(request.body)["fid"]];
        return response;
    });
    useApi(fake.url("/api/"));
    replies["4"] = R"({"ret":0,"body":[{"fid":4,"status":1}]})";
    replies["3"] = R"({"ret":0,"body":[{"fid":3,"status":9,"startTime":1950000000,"endTime":1960000000}]})";
    replies["2"] = R"({"ret":0,"body":[{"fid":1,"status":3,"startTime":1,"endTime":2}]})";
    book({ 1, 2, 3, 4 });
    openMyGifts();

    auto asked = [&] {
        std::vector<std::string> fids;
        for (auto& r : fake.requests())
            fids.push_back(PortalTestClient::formFields(r.body)["fid"]);
        return fids;
    };
    EXPECT_EQ(asked(), (std::vector<std::string> { "4", "3", "2" })) << "a reply about another gift stops the walk";
    EXPECT_EQ(stored(4)->status(), 1);
    EXPECT_EQ(stored(4)->startTime(), kStoredStart) << "a reply without times keeps the stored ones";
    EXPECT_EQ(stored(4)->endTime(), kStoredEnd);
    EXPECT_EQ(stored(3)->startTime(), 1'950'000'000);
    EXPECT_EQ(stored(1)->status(), 0) << "gift 1 was not asked about";
    EXPECT_EQ(stored(1)->startTime(), kStoredStart);
    EXPECT_EQ(statusShown(0), "领取");

    // A reused cell that showed "领取" shows nothing for an unknown status.
    auto cell = std::dynamic_pointer_cast<MyGiftAppointmentTableViewCell>(booked()->tableView()->cellForRowAtIndexPath({ 0, 0 }));
    cell->refreshCell(*booked()->appointmentInfo()[1]);
    EXPECT_EQ(cell->statusLabel()->text(), "");
    EXPECT_EQ(cell->statusLabel()->backgroundColor(), pf::Color::clear());

    for (const char* failure : { "<html>502</html>", R"({"ret":1,"msg":"礼包不存在","body":[{"fid":4,"status":3}]})",
             R"({"ret":0,"body":[]})", R"({"ret":0})" }) {
        SCOPED_TRACE(failure);
        fake.clearRequests();
        {
            std::lock_guard lock(mutex);
            replies["4"] = failure;
        }
        openMyGifts();
        EXPECT_EQ(asked(), (std::vector<std::string> { "4" }));
        EXPECT_TRUE(booked()->isWalkOver());
        EXPECT_EQ(stored(4)->status(), 1);
    }
}

TEST_F(MyGiftsScreenTest, TheWalksWriteKeepsTheRelatedGiftsOfABookingWhoseListAlsoHoldsAPlainText)
{
    GiftDetailInfo info;
    info.setFid(1001);
    info.setTitle("礼包1001");
    info.setAbouts(RelatedGiftInfo::List { testsupport::related(2001, "相关一", 0), testsupport::related(2002, "相关二", 1) });
    ASSERT_EQ(AppointmentManager::sharedInstance()->addGiftAppointment(info), DataBaseManager::Status::Ok);
    const pf::Bytes withText = testsupport::withListEntry(testsupport::storedAbouts(1001), [](const pf::Array&, size_t) { return pf::Value("备注"); });
    testsupport::storeAbouts(1001, withText);

    openMyGifts();
    EXPECT_EQ(checkedFids(), std::vector<std::string> { "1001" });
    EXPECT_EQ(stored(1001)->status(), 1) << "the walk wrote the portal's state";
    EXPECT_EQ(testsupport::storedAbouts(1001), withText);
    ASSERT_TRUE(stored(1001)->abouts());
    EXPECT_EQ(stored(1001)->abouts()->size(), 2u);
}

TEST_F(MyGiftsScreenTest, ObtainedCodesAskNothingWithoutATokenThenPageOnlyByTheFooterAndCopyACode)
{
    openMyGifts();
    ASSERT_TRUE(driver.tapText("已领取"));
    auto table = obtained()->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 1);
    ASSERT_TRUE(driver.tapText(PagingFooterCell::kEndText));
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    settle();
    EXPECT_EQ(countOf("ka/mine"), 0u) << "without a token nothing is sent";
    EXPECT_TRUE(driver.findByText(PagingFooterCell::kEndText));
    EXPECT_FALSE(obtained()->pager().isReloading());
    EXPECT_EQ(table->contentInset().top, 0) << "the header closed";

    storeTokenOf("collector", "collector123");
    navigation->popViewController(false);
    openMyGifts();
    ASSERT_TRUE(driver.tapText("已领取"));
    table = obtained()->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 21);
    EXPECT_TRUE(obtained()->pager().isMoreInfo());
    table->setContentOffset({ 0, table->contentSize().height - table->frame().height() });
    ASSERT_TRUE(driver.dragView(table, { 0, -300 }, { .duration = 0.1, .fling = true }));
    driver.advance(3);
    settle();
    EXPECT_EQ(countOf("ka/mine"), 2u) << "the end of the list loads nothing";
    ASSERT_TRUE(driver.tapRow(table, { 0, 20 }));
    settle();
    EXPECT_EQ(obtained()->giftListArray().size(), 25u);
    EXPECT_FALSE(obtained()->pager().isMoreInfo());
    for (auto& form : formsOf("ka/mine"))
        EXPECT_EQ(form["count"], "20");

    table->setContentOffset({ 0, 0 });
    driver.settle();
    const MyGiftInfo& newest = *obtained()->giftListArray().front();
    EXPECT_EQ(newest.code().text().substr(newest.code().text().size() - 4), "1024") << "newest first";
    auto row = std::dynamic_pointer_cast<MyGiftObtainedTableViewCell>(table->cellForRowAtIndexPath({ 0, 0 }));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->detail0()->plainText(), "卡密：" + newest.code().text());
    EXPECT_EQ(row->detail1()->plainText(), "有效时间：" + DateConverter::date2FromUNIXTime(static_cast<double>(newest.startTime())) + "～"
            + DateConverter::date2FromUNIXTime(static_cast<double>(newest.endTime())));

    // The code screen copies the code; a second copy during the fade starts it over.
    ASSERT_TRUE(driver.tapRow(table, { 0, 0 }));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    auto code = std::dynamic_pointer_cast<MyGiftCodeViewController>(top());
    ASSERT_TRUE(code);
    EXPECT_EQ(code->promptTextLabel()->text(), "恭喜您成功领到了" + newest.title().text());
    ASSERT_TRUE(driver.tapText("复制卡密"));
    EXPECT_EQ(pf::Pasteboard::general()->string(), newest.code().text());
    auto box = code->obtainSuccessedBackView();
    EXPECT_FALSE(box->isHidden());
    driver.advance(2);
    ASSERT_TRUE(driver.tapText("复制卡密"));
    EXPECT_EQ(box->alpha(), 0) << "the model value; the fade plays on";
    driver.advance(1.5);
    EXPECT_FALSE(box->isHidden()) << "the first fade's end does not hide the second one's box";
    EXPECT_TRUE(driver.findByText("复制成功"));
    driver.advance(2);
    EXPECT_TRUE(box->isHidden());

    ASSERT_TRUE(driver.tapText("取消"));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    EXPECT_EQ(top(), screen);
}

TEST_F(MyGiftsScreenTest, ObtainedCodesShowPortalTextsAsWrittenAndAFailedRefreshKeepsThem)
{
    // Declared before the server, whose threads read them until it is gone.
    std::mutex mutex;
    std::string reply = R"({"ret":0,"body":[{"title":"<font size=40>X</font>","code":"<b>&amp;</b>","startime":1417363200,"endtime":1419955200}]})";
    pf::TestHttpServer fake;
    fake.on("POST", "/api/ka/mine", [&](const pf::TestHttpServer::Request& request) {
        pf::TestHttpServer::Response response;
        response.contentType = "application/json";
        std::lock_guard lock(mutex);
        response.body = PortalTestClient::formFields(request.body)["page"] == "1" ? reply : R"({"ret":0,"body":[]})";
        return response;
    });
    fake.reply("POST", "/api/ka/check", 200, R"({"ret":0,"body":[]})", "application/json");
    useApi(fake.url("/api/"));
    LoginManager::sharedInstance()->recordUserToken("token-1");
    openMyGifts();
    ASSERT_TRUE(driver.tapText("已领取"));
    auto table = obtained()->tableView();
    auto row = std::dynamic_pointer_cast<MyGiftObtainedTableViewCell>(table->cellForRowAtIndexPath({ 0, 0 }));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->title()->plainText(), "<font size=40>X</font>");
    EXPECT_EQ(row->detail0()->plainText(), "卡密：<b>&amp;</b>");
    EXPECT_EQ(row->detail1()->plainText(), "有效时间：2014-12-01～2014-12-31");
    EXPECT_EQ(fake.lastRequest()->header("Authorization"), "OAuth usertoken=\"token-1\"");

    {
        std::lock_guard lock(mutex);
        reply = R"({"ret":4,"msg":"请先登录"})";
    }
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    settle();
    driver.advance(1);
    settle();
    EXPECT_EQ(obtained()->giftListArray().size(), 1u) << "a failed refresh keeps the codes";
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(table->contentInset().top, 0);

    ASSERT_TRUE(driver.tapRow(table, { 0, 0 }));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    auto code = std::dynamic_pointer_cast<MyGiftCodeViewController>(top());
    ASSERT_TRUE(code);
    EXPECT_EQ(code->codeText()->plainText(), "卡密：<b>&amp;</b>");
    EXPECT_EQ(code->promptTextLabel()->text(), "恭喜您成功领到了<font size=40>X</font>");
}

}

namespace {

TEST_F(MyGiftsScreenTest, ObtainedCodesClearOnLogoutAndTheNextLoginLoadsTheNewUsersCodes)
{
    storeTokenOf("collector", "collector123");
    openMyGifts();
    ASSERT_TRUE(driver.tapText("已领取"));
    auto table = obtained()->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 21);
    ASSERT_TRUE(driver.findContainingText("卡密："));

    // "退出" in the personal centre: the logout is announced, then the token forgotten.
    pf::NotificationCenter::defaultCenter().post(LoginManager::kUserLogoutNotification);
    LoginManager::sharedInstance()->clearUserToken();
    settle();
    EXPECT_EQ(table->numberOfRowsInSection(0), 1);
    EXPECT_FALSE(driver.findContainingText("卡密：")) << "no code of the previous user is left to copy";
    EXPECT_TRUE(driver.findByText(PagingFooterCell::kEndText));

    // Another user logs in: the list asks again, from page 1, with the new token.
    std::string gamer = storeTokenOf("gamer", "gamer123"); // the portal's record starts afresh
    LoginManager::sharedInstance()->requestUserInfo();
    settle();
    auto forms = formsOf("ka/mine");
    ASSERT_EQ(forms.size(), 2u) << "page 1 and its look-ahead";
    EXPECT_EQ(forms[0]["page"], "1");
    for (auto& request : portal.receivedRequests()) {
        if (request.path == "/api/ka/mine") {
            EXPECT_EQ(request.header("Authorization"), "OAuth usertoken=\"" + gamer + "\"");
        }
    }
    EXPECT_EQ(table->numberOfRowsInSection(0), 1) << "this user has no codes";

    // The same user's information asked again (the menu does it on every load) asks nothing.
    LoginManager::sharedInstance()->requestUserInfo();
    settle();
    EXPECT_EQ(countOf("ka/mine"), 2u);

    // Back to the collector: the codes come back.
    pf::NotificationCenter::defaultCenter().post(LoginManager::kUserLogoutNotification);
    storeTokenOf("collector", "collector123");
    LoginManager::sharedInstance()->requestUserInfo();
    settle();
    EXPECT_EQ(table->numberOfRowsInSection(0), 21);
}

TEST_F(MyGiftsScreenTest, ObtainedCodesThatAPortalRefusesSayWhyAndTheFooterAsksAgainUntilItAnswers)
{
    // The token was given by another portal: a new one does not know it.
    storeTokenOf("collector", "collector123");
    portal::PortalServer newcomer;
    ASSERT_TRUE(newcomer.start());
    useApi(newcomer.apiBaseURL());
    openMyGifts();
    ASSERT_TRUE(driver.tapText("已领取"));
    auto table = obtained()->tableView();
    auto footer = [&] { return std::dynamic_pointer_cast<PagingFooterCell>(table->cellForRowAtIndexPath({ 0, 0 })); };
    ASSERT_TRUE(footer());
    EXPECT_FALSE(footer()->loadingView()) << "nothing is loading";
    EXPECT_EQ(footer()->textLabel()->text(), "请先登录");

    // A tap and a pull ask again and get the same answer.
    ASSERT_TRUE(driver.tapText("请先登录"));
    settle();
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    settle();
    driver.advance(1);
    EXPECT_EQ(PortalTestClient::formsOf(newcomer, "ka/mine").size(), 3u);
    EXPECT_EQ(table->contentInset().top, 0) << "the header closed";

    // The portal that knows the token answers the next tap.
    useApi(portal.apiBaseURL());
    ASSERT_TRUE(driver.tapText("请先登录"));
    settle();
    EXPECT_EQ(table->numberOfRowsInSection(0), 21);
    EXPECT_FALSE(obtained()->pager().refusal());
}

TEST_F(MyGiftsScreenTest, AGiftWithoutACodeCopiesNothingAndSaysNothingWasCopied)
{
    pf::TestHttpServer fake;
    fake.on("POST", "/api/ka/mine", [](const pf::TestHttpServer::Request& request) {
        pf::TestHttpServer::Response response;
        response.contentType = "application/json";
        response.body = PortalTestClient::formFields(request.body)["page"] == "1"
            ? R"({"ret":0,"body":[{"title":"无码","code":null},{"title":"缺码"},{"title":"空码","code":""},{"title":"有码","code":"AB-12"}]})"
            : R"({"ret":0,"body":[]})";
        return response;
    });
    fake.reply("POST", "/api/ka/check", 200, R"({"ret":0,"body":[]})", "application/json");
    useApi(fake.url("/api/"));
    LoginManager::sharedInstance()->recordUserToken("token-1");
    openMyGifts();
    ASSERT_TRUE(driver.tapText("已领取"));
    auto table = obtained()->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 5);

    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        pf::Pasteboard::general()->setString("earlier");
        ASSERT_TRUE(driver.tapRow(table, { 0, row }));
        driver.advance(pf::NavigationController::TransitionDuration + 0.05);
        ASSERT_TRUE(std::dynamic_pointer_cast<MyGiftCodeViewController>(top()));
        driver.tapText("复制卡密");
        bool hasCode = row == 3;
        EXPECT_EQ(pf::Pasteboard::general()->string(), hasCode ? "AB-12" : "earlier");
        EXPECT_EQ(driver.findByText("复制成功") != nullptr, hasCode);
        navigation->popViewController(false);
        settle();
    }
}

TEST_F(MyGiftsScreenTest, AnObtainedCodesPullWhoseRequestFailsInTransportClosesItsHeaderAtOnce)
{
    storeTokenOf("collector", "collector123");
    openMyGifts();
    ASSERT_TRUE(driver.tapText("已领取"));
    auto table = obtained()->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 21);

    {
        pf::TestHttpServer gone;
        useApi(gone.url("/api/"));
    }
    ASSERT_TRUE(driver.pullDownAndRelease(table, 300));
    settle();
    driver.advance(1);
    EXPECT_FALSE(obtained()->pager().isReloading());
    EXPECT_EQ(obtained()->refreshHeaderView()->state(), pf::PullRefreshState::Normal);
    EXPECT_EQ(table->contentInset().top, 0) << "the header closed long before the refresh time-out";
    EXPECT_EQ(table->numberOfRowsInSection(0), 21) << "the codes stay";
}

// A page of the store damaged so that SQLite reads rows of nothing from it: the next launch
// lists the bookings of every sound page, and no row without a title.
TEST_F(MyGiftsScreenTest, ADamagedStoreStillListsTheBookingsOfItsSoundPages)
{
    using namespace testsupport::damagedstore;
    std::set<int> sound;
    for (int i = 0; i < 60; ++i) {
        GiftDetailInfo info;
        info.setFid(3000 + 7 * i);
        info.setTitle("礼包" + std::to_string(info.fid()));
        info.setDesc(std::string(600, 'd'));
        ASSERT_EQ(GiftDetailInfoDatabaseManager::sharedInstance()->insertDataIntoTableWithGiftDetailInfo(info), DataBaseManager::Status::Ok);
        sound.insert(info.fid());
    }
    auto bytes = *pf::FileManager::read(DataBaseManager::databasePath());
    const Leaf hit = tableLeaves(bytes).at(7);
    damage(bytes, hit, Damage::CellPointers);
    ASSERT_TRUE(pf::FileManager::writeAtomically(DataBaseManager::databasePath(), bytes));
    for (auto fid : hit.rowids)
        sound.erase(static_cast<int>(fid));

    pf::ResetRegistry::resetAll(); // the next launch
    useApi(portal.apiBaseURL());
    openMyGifts();
    std::set<int> shown;
    for (const auto& row : booked()->appointmentInfo()) {
        shown.insert(row->fid());
        EXPECT_EQ(row->title().text(), "礼包" + std::to_string(row->fid()));
    }
    EXPECT_EQ(shown, sound);
}

// A store that times out at every read is no empty list: the booked page says that the bookings
// could not be read and asks the portal nothing, and lists them at a later appearance of the
// tab, once the store reads again.
TEST_F(MyGiftsScreenTest, BookingsThatCannotBeReadAreSaidSoAndListedWhenTheTabAppearsOnceTheyRead)
{
    const std::string unreadable = "预约读取失败，请稍后再试";
    book({ 1001, 1004 });
    const std::string path = DataBaseManager::databasePath();
    auto table = [&] { return booked()->tableView(); };
    {
        testsupport::UnreadableRange timingOut(path, 0, pf::FileManager::read(path)->size(),
            testsupport::UnreadableRange::kEveryRead, ETIMEDOUT);
        openMyGifts();
        ASSERT_EQ(table()->numberOfRowsInSection(0), 1);
        auto row = table()->cellForRowAtIndexPath({ 0, 0 });
        ASSERT_TRUE(row);
        EXPECT_EQ(row->textLabel()->text(), unreadable);
        EXPECT_TRUE(driver.findByText(unreadable));
        EXPECT_EQ(countOf("ka/check"), 0u);
        ASSERT_TRUE(driver.tapRow(table(), { 0, 0 }));
        settle();
        EXPECT_TRUE(openedDetails.empty()) << "the row is no booking";

        // Chosen again while the store still times out, the tab says the same.
        ASSERT_TRUE(driver.tapText("已领取"));
        ASSERT_TRUE(driver.tapText("已预约"));
        EXPECT_TRUE(driver.findByText(unreadable));
        EXPECT_GT(testsupport::UnreadableRange::refusals(), 0) << "the case under test: reads failed";
    }
    EXPECT_TRUE(driver.findByText(unreadable)) << "nothing read the store since";
    EXPECT_TRUE(stored(1001) && stored(1004)) << "nothing was lost";

    ASSERT_TRUE(driver.tapText("已领取"));
    ASSERT_TRUE(driver.tapText("已预约"));
    settle();
    EXPECT_FALSE(driver.findByText(unreadable));
    ASSERT_EQ(table()->numberOfRowsInSection(0), 2);
    EXPECT_EQ(checkedFids(), (std::vector<std::string> { "1004", "1001" })) << "the walk starts with the list";
    EXPECT_EQ(statusShown(0), "详情");
    EXPECT_EQ(statusShown(1), "领取");
    ASSERT_TRUE(driver.tapRow(table(), { 0, 1 }));
    driver.advance(pf::NavigationController::TransitionDuration + 0.05);
    EXPECT_EQ(openedDetails, (std::vector<int> { 1001 }));
}
}
