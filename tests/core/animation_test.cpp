#include <gtest/gtest.h>

#include <vector>

#include "fake_animatable.h"
#include "fake_tick_source.h"
#include "ui/animation_engine.h"

namespace veltrane::ui {
namespace {

using test::FakeAnimatable;
using test::FakeTickSource;

// Differences between consecutive values, starting from `from`.
std::vector<int> Steps(int from, const std::vector<int>& values) {
  std::vector<int> steps;
  for (int v : values) {
    steps.push_back(v > from ? v - from : from - v);
    from = v;
  }
  return steps;
}

class AnimationTest : public ::testing::Test {
 protected:
  FakeTickSource ticks;
  AnimationEngine engine{ticks};
};

TEST_F(AnimationTest, StepsCoverAShareOfTheRemainingDistanceDownToOnePixel) {
  FakeAnimatable window({100, 300, 400, 200});
  engine.AnimateControl(&window, kKeep, 100, kKeep, kKeep, 0.2, "size");
  EXPECT_EQ(ticks.RunUntilStopped(), 22);
  EXPECT_EQ(
      Steps(300, window.ValuesOf('t')),
      (std::vector<int>{40, 32, 26, 20, 16, 13, 11, 8, 7, 5, 4, 4, 3, 2, 2, 1, 1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(window.bounds, (Rect{100, 100, 400, 200}));

  // Growing works the same way, and 161 pixels at 0.2 take 21 ticks.
  window.changes.clear();
  engine.AnimateControl(&window, kKeep, kKeep, kKeep, 361, 0.2, "size");
  EXPECT_EQ(ticks.RunUntilStopped(), 21);
  EXPECT_EQ(window.bounds.height, 361);
  EXPECT_EQ(window.ValuesOf('h').front(), 232);  // 161 * 0.2 = 32.2
}

TEST_F(AnimationTest, HalfwayStepsRoundToTheEvenNeighbour) {
  FakeAnimatable control({0, 0, 110, 10});
  engine.AnimateControl(&control, kKeep, kKeep, 100, kKeep, 0.5, "x");
  ticks.RunUntilStopped();
  // 10 -> 5; 5 * 0.5 = 2.5 -> 2; 3 * 0.5 = 1.5 -> 2; 1 * 0.5 = 0.5 -> 0, raised to 1.
  EXPECT_EQ(Steps(110, control.ValuesOf('w')), (std::vector<int>{5, 2, 2, 1}));
}

TEST_F(AnimationTest, MultiplierIsBoundedToOneAndOneThousandth) {
  FakeAnimatable fast({10, 20, 30, 40});
  engine.AnimateControl(&fast, 500, -300, 700, 900, 5.0, "x");
  EXPECT_EQ(ticks.RunUntilStopped(), 1);
  EXPECT_EQ(fast.bounds, (Rect{500, -300, 700, 900}));

  for (double slow_multiplier : {0.0, -3.0}) {
    FakeAnimatable slow({0, 0, 10, 10});
    engine.AnimateControl(&slow, 10, kKeep, kKeep, kKeep, slow_multiplier, "x");
    EXPECT_EQ(ticks.RunUntilStopped(), 10);
    EXPECT_EQ(slow.ValuesOf('l'), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  }

  // At the slowest pace a distance of 1500 or more is the first to take 2 pixels a tick.
  FakeAnimatable far({0, 0, 10, 10});
  engine.AnimateControl(&far, 1501, kKeep, kKeep, kKeep, 0.0, "x");
  ticks.Tick();
  ticks.Tick();
  EXPECT_EQ(far.ValuesOf('l'), (std::vector<int>{2, 3}));
}

TEST_F(AnimationTest, EachTickSetsWidthHeightLeftTopOneByOne) {
  FakeAnimatable control({0, 0, 100, 100});
  engine.AnimateControl(&control, 10, 20, 200, 300, 1.0, "x");
  ticks.Tick();
  EXPECT_EQ(control.changes,
            (std::vector<FakeAnimatable::Change>{{'w', 200}, {'h', 300}, {'l', 10}, {'t', 20}}));
}

TEST_F(AnimationTest, KeptAndAlreadyReachedPropertiesAreLeftAloneForTheWholeRequest) {
  FakeAnimatable control({0, 0, 100, 100});
  engine.AnimateControl(&control, kKeep, 50, 100, kKeep, 0.2, "x");
  ticks.Tick();
  // Someone else resizes the control while it moves: the width had nothing to do at the start,
  // so the request does not take it back.
  control.bounds.width = 120;
  control.bounds.height = 130;
  ticks.RunUntilStopped();
  EXPECT_TRUE(control.ValuesOf('w').empty());
  EXPECT_TRUE(control.ValuesOf('h').empty());
  EXPECT_EQ(control.bounds, (Rect{0, 50, 120, 130}));
}

TEST_F(AnimationTest, TimerRunsOnlyWhileThereIsWork) {
  EXPECT_FALSE(engine.IsAnimating());
  FakeAnimatable a({0, 0, 10, 10});
  FakeAnimatable b({0, 0, 10, 10});
  engine.AnimateControl(&a, 3, kKeep, kKeep, kKeep, 1.0, "x");
  engine.AnimateControl(&b, 3, kKeep, kKeep, kKeep, 1.0, "y");
  EXPECT_TRUE(engine.IsAnimating());
  EXPECT_EQ(ticks.starts, 1);  // one timer for every request
  EXPECT_EQ(ticks.started_id, kAnimationTimerId);
  EXPECT_EQ(ticks.started_interval_ms, 1u);
  EXPECT_EQ(engine.PendingCount(), 2u);

  ticks.Tick();  // a done, b still queued: the timer keeps running
  EXPECT_TRUE(engine.IsAnimating());
  EXPECT_EQ(ticks.stops, 0);
  ticks.Tick();  // b done, nothing queued
  EXPECT_FALSE(engine.IsAnimating());
  EXPECT_FALSE(ticks.running);
  EXPECT_EQ(ticks.stops, 1);
}

TEST_F(AnimationTest, RequestWithNothingToMoveCompletesOnItsFirstTick) {
  FakeAnimatable control({5, 6, 7, 8});
  engine.AnimateControl(&control, kKeep, kKeep, kKeep, kKeep, 0.2, "size");
  EXPECT_EQ(ticks.RunUntilStopped(), 1);
  engine.AnimateControl(&control, 5, 6, 7, 8, 0.2, "size");
  EXPECT_EQ(ticks.RunUntilStopped(), 1);
  EXPECT_TRUE(control.changes.empty());
  EXPECT_EQ(engine.CurrentAnimationTask(), "size");
}

TEST_F(AnimationTest, RequestsForDifferentControlsRunOneAfterAnother) {
  FakeAnimatable a({0, 0, 100, 100});
  FakeAnimatable b({0, 0, 100, 100});
  engine.AnimateControl(&a, kKeep, kKeep, 200, kKeep, 0.2, "first");
  engine.AnimateControl(&b, kKeep, kKeep, 200, kKeep, 0.2, "second");
  int last_tick_of_a = 0;
  int first_tick_of_b = 0;
  for (int tick = 1; ticks.running; ++tick) {
    const size_t a_before = a.changes.size();
    const size_t b_before = b.changes.size();
    ticks.Tick();
    const bool a_moved = a.changes.size() != a_before;
    const bool b_moved = b.changes.size() != b_before;
    ASSERT_FALSE(a_moved && b_moved) << "tick " << tick;
    if (a_moved) last_tick_of_a = tick;
    if (b_moved && first_tick_of_b == 0) first_tick_of_b = tick;
    ASSERT_LT(tick, 1000);
  }
  EXPECT_EQ(a.bounds.width, 200);
  EXPECT_EQ(b.bounds.width, 200);
  // The next request starts on the tick after the previous one completed.
  EXPECT_EQ(first_tick_of_b, last_tick_of_a + 1);
  EXPECT_EQ(engine.CurrentAnimationTask(), "second");
}

TEST_F(AnimationTest, ANewRequestWhoseNameContainsTheRunningOnesCutsItShort) {
  for (const char* newcomer : {"size", "resize"}) {
    FakeAnimatable window({0, 300, 100, 100});
    engine.AnimateControl(&window, kKeep, 100, kKeep, kKeep, 0.2, "size");
    ticks.Tick();
    ticks.Tick();
    ASSERT_EQ(window.bounds.top, 228);
    engine.AnimateControl(&window, kKeep, 400, kKeep, kKeep, 0.5, newcomer);
    ticks.Tick();
    // The new request moves at once from where the old one stopped: 228 + 172 / 2.
    EXPECT_EQ(window.bounds.top, 314) << newcomer;
    EXPECT_EQ(engine.CurrentAnimationTask(), newcomer);
    ticks.RunUntilStopped();
    EXPECT_EQ(window.bounds.top, 400) << newcomer;
    EXPECT_EQ(window.ValuesOf('t').back(), 400);
  }
}

TEST_F(AnimationTest, OtherNamesWaitForTheRunningRequest) {
  struct Pair {
    const char* running;
    const char* newcomer;
  };
  // "Closing" behind "size"; "CopyTL" and "size" in either order; an empty name never counts
  // as contained; the match is case-sensitive.
  for (Pair pair : {Pair{"size", "Closing"}, Pair{"size", "CopyTL"}, Pair{"CopyTL", "size"},
                    Pair{"", "size"}, Pair{"size", "SIZE"}}) {
    FakeAnimatable first({0, 300, 100, 100});
    FakeAnimatable second({0, 0, 100, 100});
    engine.AnimateControl(&first, kKeep, 100, kKeep, kKeep, 0.2, pair.running);
    ticks.Tick();
    engine.AnimateControl(&second, kKeep, kKeep, kKeep, 36, 0.2, pair.newcomer);
    while (first.bounds.top != 100) {
      ASSERT_TRUE(second.changes.empty()) << pair.running << " / " << pair.newcomer;
      ASSERT_TRUE(ticks.Tick());
    }
    EXPECT_EQ(first.ValuesOf('t').size(), 22u);
    ticks.RunUntilStopped();
    EXPECT_EQ(second.bounds.height, 36) << pair.running << " / " << pair.newcomer;
    EXPECT_EQ(engine.CurrentAnimationTask(), pair.newcomer);
  }
}

TEST_F(AnimationTest, StopAnimationsDropsTheQueueAndTheNextRequestStartsAfresh) {
  FakeAnimatable running({0, 300, 100, 100});
  FakeAnimatable queued({0, 0, 100, 100});
  engine.AnimateControl(&running, kKeep, 100, kKeep, kKeep, 0.2, "size");
  engine.AnimateControl(&queued, kKeep, kKeep, 300, kKeep, 0.2, "CopyTL");
  ticks.Tick();
  engine.StopAnimations();
  EXPECT_FALSE(engine.IsAnimating());
  EXPECT_FALSE(ticks.running);
  EXPECT_EQ(engine.PendingCount(), 0u);
  EXPECT_EQ(engine.CurrentAnimationTask(), "size");

  // A tick message that was already queued when the timer stopped changes nothing.
  ticks.DeliverStaleTick();
  EXPECT_EQ(running.bounds.top, 260);

  FakeAnimatable next({0, 0, 100, 100});
  engine.AnimateControl(&next, 50, kKeep, kKeep, kKeep, 1.0, "Closing");
  EXPECT_TRUE(engine.IsAnimating());
  EXPECT_EQ(ticks.starts, 2);
  EXPECT_EQ(ticks.RunUntilStopped(), 1);
  EXPECT_EQ(next.bounds.left, 50);
  EXPECT_EQ(running.bounds.top, 260);
  EXPECT_TRUE(queued.changes.empty());
  EXPECT_EQ(engine.CurrentAnimationTask(), "Closing");
}

TEST_F(AnimationTest, AControlThatRefusesAValueHoldsTheQueueUntilInterrupted) {
  FakeAnimatable stubborn({0, 0, 300, 100});
  stubborn.min_width = 200;
  FakeAnimatable waiting({0, 0, 100, 100});
  engine.AnimateControl(&stubborn, kKeep, kKeep, 100, kKeep, 0.5, "size");
  engine.AnimateControl(&waiting, 9, kKeep, kKeep, kKeep, 1.0, "CopyTL");
  EXPECT_EQ(ticks.RunUntilStopped(200), 200);
  EXPECT_EQ(stubborn.bounds.width, 200);
  EXPECT_TRUE(waiting.changes.empty());

  engine.AnimateControl(&stubborn, kKeep, kKeep, 200, kKeep, 0.2, "size");
  ticks.RunUntilStopped();
  EXPECT_EQ(waiting.bounds.left, 9);
  EXPECT_FALSE(engine.IsAnimating());
}

TEST(AnimationFreeFunctions, ForwardToTheInstalledEngine) {
  FakeAnimatable control({0, 0, 10, 10});
  ASSERT_EQ(InstalledAnimationEngine(), nullptr);
  AnimateControl(&control, 5, kKeep, kKeep, kKeep, 1.0, "size");  // dropped: no engine
  EXPECT_FALSE(IsAnimating());
  EXPECT_EQ(CurrentAnimationTask(), "");
  {
    FakeTickSource ticks;
    AnimationEngine engine(ticks);
    SetAnimationEngine(&engine);
    AnimateControl(&control, AnimationTarget{5, kKeep, kKeep, kKeep, 1.0, "size"});
    EXPECT_TRUE(IsAnimating());
    ticks.Tick();
    EXPECT_EQ(control.bounds.left, 5);
    EXPECT_EQ(CurrentAnimationTask(), "size");
    AnimateControl(&control, 0, kKeep, kKeep, kKeep, 0.2, "Closing");
    StopAnimations();
    EXPECT_FALSE(IsAnimating());
    EXPECT_FALSE(ticks.running);
  }
  // The engine's end uninstalls it.
  EXPECT_EQ(InstalledAnimationEngine(), nullptr);
  EXPECT_FALSE(IsAnimating());
}

}  // namespace
}  // namespace veltrane::ui
