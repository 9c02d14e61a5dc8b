#include "core/records/UserInfo.h"
#include "core/records/UserLoginInfo.h"
#include "core/records/UserReflashUserTokenInfo.h"
#include "core/records/UserRegisterInfo.h"
#include "tests/core/records/JsonReply.h"

TEST(UserInfo, ReadsUserInfoBodyWithLowerCaseUsername)
{
    auto user = UserInfo::itemFromDictionary(jsonReply(R"({
        "nickname": "小明", "usertoken": "tok", "uid": 42, "extcredits1": 120, "extcredits2": "30",
        "avatar": "http://a/42.png", "updatecredit": true, "ext1": 5, "ext2": 2, "username": "xiaoming"
    })"));
    EXPECT_EQ(user->nickname().text(), "小明");
    EXPECT_EQ(user->uid(), 42);
    EXPECT_EQ(user->extcredits2(), 30);
    EXPECT_TRUE(user->updatecredit());
    EXPECT_EQ(user->userName().text(), "xiaoming");

    auto camel = UserInfo::itemFromDictionary(jsonReply(R"({"userName": "xiaoming"})"));
    EXPECT_TRUE(camel->userName().isAbsent());
}

TEST(UserLoginInfo, NicknameComesOnlyFromCapitalNKey)
{
    auto login = UserLoginInfo::itemFromDictionary(jsonReply(R"({
        "uid": 42, "nickname": "小明", "usertoken": "tok", "expires": 1700086400, "expires_in": 86400,
        "updatecredit": "1", "ext1": 5, "ext2": 2
    })"));
    EXPECT_TRUE(login->nickName().isAbsent());
    EXPECT_EQ(login->usertoken().text(), "tok");
    EXPECT_EQ(login->expires(), 1700086400);
    EXPECT_EQ(login->expires_in(), 86400);
    EXPECT_TRUE(login->updatecredit());
    EXPECT_EQ(UserLoginInfo::itemFromDictionary(jsonReply(R"({"nickName": "小明"})"))->nickName().text(), "小明");
}

TEST(UserRecords, UpdatecreditAcceptsTrueOneAndTextOneOnly)
{
    for (auto yes : { "true", "1", "\"1\"" })
        EXPECT_TRUE(UserRegisterInfo::itemFromDictionary(jsonReply(std::string(R"({"updatecredit":)") + yes + "}"))->updatecredit()) << yes;
    for (auto no : { "false", "0", "\"0\"", "null", "[]", "{}" })
        EXPECT_FALSE(UserRegisterInfo::itemFromDictionary(jsonReply(std::string(R"({"updatecredit":)") + no + "}"))->updatecredit()) << no;
    EXPECT_FALSE(UserRegisterInfo::itemFromDictionary(jsonReply("{}"))->updatecredit());
}

TEST(UserRecords, LoginReplyWithoutTokenGivesAbsentToken)
{
    auto registered = UserRegisterInfo::itemFromDictionary(jsonReply(R"({"nickname": "新人", "uid": 7})"));
    EXPECT_TRUE(registered->usertoken().isAbsent());
    EXPECT_EQ(registered->nickname().text(), "新人");
    auto refreshed = UserReflashUserTokenInfo::itemFromDictionary(jsonReply(R"({"usertoken": null, "uid": "7"})"));
    EXPECT_TRUE(refreshed->usertoken().isNull());
    EXPECT_EQ(refreshed->uid(), 7);
    // The login screens pass the whole "body"; list replies of user records have the same rules.
    EXPECT_FALSE(UserInfo::listFromDictionary(jsonReply(R"({"body": {"uid": 1}})")).has_value());
    auto users = UserInfo::listFromDictionary(jsonReply(R"({"body": [{"uid": 1}]})"));
    ASSERT_TRUE(users.has_value());
    EXPECT_EQ(users->at(0)->uid(), 1);
}
