#include "ui/animation_engine.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace veltrane::ui {
namespace {

enum Property { kWidth, kHeight, kLeft, kTop };
// The order in which a tick moves the properties.
constexpr std::array<Property, 4> kStepOrder = {kWidth, kHeight, kLeft, kTop};

int Value(const Rect& r, Property p) {
  switch (p) {
    case kWidth:
      return r.width;
    case kHeight:
      return r.height;
    case kLeft:
      return r.left;
    case kTop:
      return r.top;
  }
  return 0;
}

void SetValue(Animatable& control, Property p, int value) {
  switch (p) {
    case kWidth:
      control.SetWidth(value);
      break;
    case kHeight:
      control.SetHeight(value);
      break;
    case kLeft:
      control.SetLeft(value);
      break;
    case kTop:
      control.SetTop(value);
      break;
  }
}

int Target(const TElem& e, Property p) {
  switch (p) {
    case kWidth:
      return e.DataTVWidth;
    case kHeight:
      return e.DataTVHeight;
    case kLeft:
      return e.DataTVLeft;
    case kTop:
      return e.DataTVTop;
  }
  return kKeep;
}

double BoundMultiplier(double multiplier) {
  if (multiplier > kMaxMultiplier) return kMaxMultiplier;
  // NaN fails every comparison and lands on the slowest pace rather than a wild step.
  if (!(multiplier >= kMinMultiplier)) return kMinMultiplier;
  return multiplier;
}

AnimationEngine* g_engine = nullptr;

}  // namespace

AnimationEngine::AnimationEngine(TickSource& ticks) : ticks_(ticks) {}

AnimationEngine::~AnimationEngine() {
  if (timer_id_ != 0) StopTimer();
  if (g_engine == this) g_engine = nullptr;
}

void AnimationEngine::AnimateControl(Animatable* control, int left, int top, int width, int height,
                                     double multiplier, std::string_view task) {
  if (control == nullptr) return;
  const std::string& running = current_.DataTVCurrentTask;
  if (!running.empty() && task.find(running) != std::string_view::npos) ready_ = true;

  if (timer_id_ == 0) queue_.clear();
  queue_.push_back(
      TElem{control, left, top, width, height, BoundMultiplier(multiplier), std::string(task)});

  if (timer_id_ == 0) {
    timer_id_ = static_cast<std::uint16_t>(kAnimationTimerId);
    ticks_.Start(kAnimationTimerId, kAnimationIntervalMs, [this] { Tick(); });
  }
}

void AnimationEngine::AnimateControl(Animatable* control, const AnimationTarget& target) {
  AnimateControl(control, target.left, target.top, target.width, target.height, target.multiplier,
                 target.task);
}

void AnimationEngine::StopAnimations() {
  queue_.clear();
  ready_ = true;
  StopTimer();
}

void AnimationEngine::StopTimer() {
  ticks_.Stop(kAnimationTimerId);
  timer_id_ = 0;
}

void AnimationEngine::Tick() {
  // A tick already on its way when the timer was stopped belongs to nothing.
  if (timer_id_ == 0) return;

  if (!queue_.empty() && ready_) {
    ready_ = false;
    current_ = std::move(queue_.front());
    queue_.pop_front();
    const Rect now = current_.DataTVObj->Bounds();
    for (Property p : kStepOrder) {
      const int target = Target(current_, p);
      moves_[p] = target != kKeep && target != Value(now, p);
    }
  }
  Animatable* control = current_.DataTVObj;
  if (control == nullptr) return;

  for (Property p : kStepOrder) {
    if (!moves_[p]) continue;
    // Read afresh: the previous property's change may have moved this one too.
    const long long value = Value(control->Bounds(), p);
    const long long target = Target(current_, p);
    if (value == target) continue;
    const long long distance = std::llabs(value - target);
    long long step = RoundHalfEven(static_cast<double>(distance) * current_.DataTVMultiplier);
    if (step < 1) step = 1;
    SetValue(*control, p, static_cast<int>(value > target ? value - step : value + step));
    // A handler run by the change may have stopped the engine; leave the rest alone then.
    if (timer_id_ == 0) return;
  }

  const Rect now = control->Bounds();
  for (Property p : kStepOrder) {
    if (moves_[p] && Value(now, p) != Target(current_, p)) return;
  }
  ready_ = true;
  if (queue_.empty()) StopTimer();
}

void SetAnimationEngine(AnimationEngine* engine) {
  g_engine = engine;
}

AnimationEngine* InstalledAnimationEngine() {
  return g_engine;
}

void AnimateControl(Animatable* control, int left, int top, int width, int height,
                    double multiplier, std::string_view task) {
  if (g_engine != nullptr) {
    g_engine->AnimateControl(control, left, top, width, height, multiplier, task);
  }
}

void AnimateControl(Animatable* control, const AnimationTarget& target) {
  if (g_engine != nullptr) g_engine->AnimateControl(control, target);
}

void StopAnimations() {
  if (g_engine != nullptr) g_engine->StopAnimations();
}

bool IsAnimating() {
  return g_engine != nullptr && g_engine->IsAnimating();
}

std::string CurrentAnimationTask() {
  return g_engine != nullptr ? g_engine->CurrentAnimationTask() : std::string();
}

}  // namespace veltrane::ui
