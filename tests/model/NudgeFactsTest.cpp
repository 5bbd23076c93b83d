#include "tavrine/model/NudgeFacts.h"

#include <gtest/gtest.h>

using namespace tavrine;
using namespace Qt::StringLiterals;

TEST(NudgeFacts, JsonCarriesEachFieldUnderItsOwnNameEvenWhenEmpty) {
    const NudgeFacts facts{u"write the report"_s,
                           u"Video"_s,
                           u"https://v.example/w"_s,
                           u"Watching"_s,
                           u"Clip – Video"_s,
                           QString(),
                           u"yes"_s};
    const QJsonObject json = facts.toJson();
    EXPECT_EQ(json.size(), 7);
    EXPECT_EQ(json.value(u"intention"_s).toString(), facts.intention);
    EXPECT_EQ(json.value(u"app"_s).toString(), facts.app);
    EXPECT_EQ(json.value(u"url"_s).toString(), facts.url);
    EXPECT_EQ(json.value(u"work"_s).toString(), facts.work);
    EXPECT_EQ(json.value(u"window"_s).toString(), facts.window);
    EXPECT_TRUE(json.value(u"subject"_s).isString());
    EXPECT_EQ(json.value(u"subject"_s).toString(), QString());
    EXPECT_EQ(json.value(u"focused"_s).toString(), facts.focused);
}
