// The scene plan that `ovltool check`, the music import and the README give makers is
// the demo's own scene table.
#include <gtest/gtest.h>

#include "archive/content_rules.h"
#include "demo/demo.h"

TEST(ScenePlan, EndsWhereTheDemoEndsEachScene)
{
    ASSERT_EQ(ScenePlanRows, 17);
    for (int s = 1; s <= ScenePlanRows; s++) {
        EXPECT_EQ(ScenePlan[s - 1].scene, s);
        EXPECT_EQ(ScenePlan[s - 1].limit, SceneLimit(SceneTable, SceneTableRows, s)) << "scene " << s;
        EXPECT_STREQ(ScenePlan[s - 1].title, SceneName(SceneTable, SceneTableRows, s));
    }
}
