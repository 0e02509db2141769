// The scene plan in force and the plan entry: fitted plans keep the design's shape
// over any module of 17 to 255 orders, the rules refuse plans the player cannot run,
// and the entry reads back exactly (a data file without one plays the design's plan).
#include <gtest/gtest.h>

#include "archive/archive.h"
#include "archive/overlay_writer.h"
#include "archive/plan_entry.h"
#include "archive/scene_plan.h"
#include "archive_fixture.h"
#include "core/printable.h"

namespace {

// Every scene at least one order, scene 17 the last order alone, scene 2's parts in
// scene 2 and each one order at least when it has three.
void ExpectFits(const PlanLimits& plan, int orders)
{
    EXPECT_EQ(PlanLimitsProblem(plan), "") << orders;
    EXPECT_EQ(plan.ends[PlanScenes - 1], orders);
    EXPECT_EQ(plan.ends[PlanScenes - 2], orders - 1);
    if (plan.ends[1] - plan.ends[0] >= 3) {
        EXPECT_GT(plan.parts[0], plan.ends[0]) << orders;
        EXPECT_GT(plan.parts[1], plan.parts[0]) << orders;
        EXPECT_LT(plan.parts[1], plan.ends[1]) << orders;
    }
}

TEST(ScenePlan, FittedPlansKeepTheDesignsShape)
{
    PlanLimits plan;
    std::string error;
    ASSERT_TRUE(FitPlanLimits(64, &plan, &error));
    EXPECT_EQ(plan, DesignPlanLimits);   // the design's own module length gives the design
    for (int orders = 17; orders <= 255; orders++) {
        ASSERT_TRUE(FitPlanLimits(orders, &plan, &error)) << orders;
        ExpectFits(plan, orders);
    }
    ASSERT_TRUE(FitPlanLimits(17, &plan, &error));   // the shortest: one order a scene
    for (int i = 0; i < PlanScenes; i++)
        EXPECT_EQ(plan.ends[i], i + 1);
    // Twice the design's orders: the tunnel scenes twice as long, as in the design.
    ASSERT_TRUE(FitPlanLimits(127, &plan, &error));
    EXPECT_EQ(plan.ends[0], 12);
    EXPECT_EQ(plan.ends[4] - plan.ends[3], 4);
    EXPECT_FALSE(FitPlanLimits(16, &plan, &error));
    EXPECT_EQ(error, "a fitted plan needs a module of 17 to 255 orders; this one has 16");
    EXPECT_FALSE(FitPlanLimits(256, &plan, &error));
}

TEST(ScenePlan, RulesOfAPlanThePlayerRuns)
{
    PlanLimits plan = DesignPlanLimits;
    EXPECT_EQ(PlanLimitsProblem(plan), "");
    plan.ends[4] = plan.ends[3];
    EXPECT_EQ(PlanLimitsProblem(plan), "scene 5 ends at order 18, not after scene 4's 18");
    plan = DesignPlanLimits;
    plan.ends[0] = 0;
    EXPECT_EQ(PlanLimitsProblem(plan), "scene 1 ends at order 0; every scene needs at least one order");
    plan = DesignPlanLimits;
    plan.parts[1] = 13;
    EXPECT_EQ(PlanLimitsProblem(plan),
              "scene 2's part limits 8 and 13 are not in order within scene 2 (orders 7 to 12)");
    // Scaled parts of a given plan stay inside its scene 2.
    plan = DesignPlanLimits;
    plan.ends[1] = 24;
    ScalePartLimits(&plan);
    EXPECT_EQ(plan.parts[0], 12);
    EXPECT_EQ(plan.parts[1], 18);
}

TEST(ScenePlan, InForceIsWhatEveryReaderSees)
{
    PlanLimits plan;
    std::string error;
    ASSERT_TRUE(FitPlanLimits(40, &plan, &error));
    UsePlanLimits(plan);
    EXPECT_FALSE(DesignPlanInForce());
    EXPECT_EQ(ScenePlanLimit(17), 40);
    EXPECT_EQ(SceneStartOrder(16), plan.ends[14]);
    EXPECT_EQ(FirstSceneNotReached(40), 0);
    EXPECT_EQ(FirstSceneNotReached(39), 17);
    EXPECT_EQ(ScenePlan[1].partLimits[0], plan.parts[0]);
    UsePlanLimits(DesignPlanLimits);
    EXPECT_TRUE(DesignPlanInForce());
    EXPECT_EQ(FirstSceneNotReached(40), 14);
}

TEST(PlanEntry, ReadsBackAndRefusesWhatThePlayerCannotRun)
{
    PlanEntry plan;
    std::string error;
    ASSERT_TRUE(FitPlanLimits(120, &plan.limits, &error));
    plan.stereoSeparation = 100;
    plan.origin = PlanFitted;
    const Bytes bytes = EncodePlanEntry(plan);
    ASSERT_EQ(bytes.size(), PlanEntryBytes);
    PlanEntry back;
    ASSERT_TRUE(DecodePlanEntry(bytes, &back, &error)) << error;
    EXPECT_EQ(back, plan);
    Bytes longer = bytes;   // a later writer's further bytes are not read
    longer.push_back(7);
    EXPECT_TRUE(DecodePlanEntry(longer, &back, &error));

    Bytes bad = bytes;
    bad[23] = 201;
    EXPECT_FALSE(DecodePlanEntry(bad, &back, &error));
    EXPECT_EQ(error, "stereo separation 201% is more than 200%");
    bad = bytes;
    bad[4 + 5] = bad[4 + 4];
    EXPECT_FALSE(DecodePlanEntry(bad, &back, &error));
    EXPECT_EQ(error.rfind("scene 6 ends at order", 0), 0u) << error;
    EXPECT_FALSE(DecodePlanEntry(Bytes(bytes.begin(), bytes.end() - 1), &back, &error));
    EXPECT_FALSE(DecodePlanEntry(Bytes(PlanEntryBytes, 0), &back, &error));
}

TEST(PlanEntry, FromADataFileOrTheDesignsWithout)
{
    PlanEntry plan;
    std::string error;
    ASSERT_TRUE(FitPlanLimits(40, &plan.limits, &error));
    plan.origin = PlanFitted;
    Bytes file;
    ASSERT_TRUE(BuildOverlay({{"music.s3m", {1, 2, 3}}, {PlanEntryName, EncodePlanEntry(plan)}}, &file, &error));
    Archive archive;
    ASSERT_TRUE(ArchiveOpenFile(&archive, WriteTemp(file).c_str()));
    PlanEntry read;
    bool present = false;
    ASSERT_TRUE(ReadPlanEntry(&archive, &read, &present, &error)) << error;
    EXPECT_TRUE(present);
    EXPECT_EQ(read, plan);

    ASSERT_TRUE(BuildOverlay({{"music.s3m", {1, 2, 3}}}, &file, &error));
    ASSERT_TRUE(ArchiveOpenFile(&archive, WriteTemp(file).c_str()));
    ASSERT_TRUE(ReadPlanEntry(&archive, &read, &present, &error));
    EXPECT_FALSE(present);
    EXPECT_EQ(read, PlanEntry{});
    EXPECT_EQ(read.limits, DesignPlanLimits);

    ASSERT_TRUE(BuildOverlay({{PlanEntryName, {'T', 'P', 'L', '1'}}}, &file, &error));
    ASSERT_TRUE(ArchiveOpenFile(&archive, WriteTemp(file).c_str()));
    EXPECT_FALSE(ReadPlanEntry(&archive, &read, &present, &error));
    EXPECT_EQ(error.rfind("plan.dat: not a plan entry (4 bytes", 0), 0u) << error;
}

// Names from a file, as every message echoes them: one line, unambiguous.
TEST(Printable, ControlCharactersQuotesAndBackslashes)
{
    EXPECT_EQ(Printable("euf0010.scx"), "euf0010.scx");
    EXPECT_EQ(Printable("ta\\...\nope"), "ta\\\\...\\nope");
    EXPECT_EQ(Printable(std::string("a\0b\x7f\t\r\"", 7)), "a\\x00b\\x7F\\t\\r\\\"");
    EXPECT_EQ(Printable("gr\xc3\xbc\xc3\x9f"), "gr\xc3\xbc\xc3\x9f");
}

}   // namespace
