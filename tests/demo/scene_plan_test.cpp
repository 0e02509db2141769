// The scene plan that `ovltool check`, the music import and the README give makers is
// the demo's own scene table: seventeen named scenes, rising limits, the last at order 64.
#include <gtest/gtest.h>

#include "archive/content_rules.h"
#include "demo/demo.h"

TEST(ScenePlan, EndsWhereTheDemoEndsEachScene)
{
    ASSERT_EQ(ScenePlanRows, 17);
    EXPECT_EQ(SceneCount(SceneTable, SceneTableRows), ScenePlanRows);
    for (int s = 1; s <= ScenePlanRows; s++) {
        EXPECT_EQ(ScenePlan[s - 1].scene, s);
        EXPECT_GT(ScenePlan[s - 1].limit, s > 1 ? ScenePlan[s - 2].limit : 0) << "scene " << s;
        EXPECT_EQ(ScenePlan[s - 1].limit, SceneLimit(SceneTable, SceneTableRows, s)) << "scene " << s;
        ASSERT_NE(SceneName(SceneTable, SceneTableRows, s), nullptr) << "scene " << s;
        EXPECT_STREQ(ScenePlan[s - 1].title, SceneName(SceneTable, SceneTableRows, s));
    }
    EXPECT_EQ(ScenePlan[16].limit, 64);
}
