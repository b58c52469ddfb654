#pragma once
// Smooth moves and resizes of windows and controls. One engine drives every request, one after
// another, from a single user-interface timer; each tick covers a fixed share of the distance
// still to go (at least one pixel), so a movement starts fast and slows down near its target.
// Only the user-interface thread may call it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "ui/geometry.h"

namespace veltrane::ui {

// A target of this value leaves the property as it is.
inline constexpr int kKeep = 9999;
inline constexpr unsigned kAnimationTimerId = 15369;
inline constexpr unsigned kAnimationIntervalMs = 1;
inline constexpr double kMinMultiplier = 0.001;
inline constexpr double kMaxMultiplier = 1.0;

// Anything the engine can move: a window or a child control.
class Animatable {
 public:
  virtual ~Animatable() = default;
  virtual Rect Bounds() const = 0;
  virtual void SetLeft(int left) = 0;
  virtual void SetTop(int top) = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
};

// A repeating user-interface timer whose callback runs on the user-interface thread.
class TickSource {
 public:
  virtual ~TickSource() = default;
  virtual void Start(unsigned id, unsigned interval_ms, std::function<void()> on_tick) = 0;
  virtual void Stop(unsigned id) = 0;
};

// Targets of one request, as the callers compute them (kKeep where a property stays).
struct AnimationTarget {
  int left = kKeep;
  int top = kKeep;
  int width = kKeep;
  int height = kKeep;
  double multiplier = 0.2;
  std::string task;

  bool operator==(const AnimationTarget&) const = default;
};

// One queued request.
struct TElem {
  Animatable* DataTVObj = nullptr;  // not owned
  int DataTVLeft = kKeep;
  int DataTVTop = kKeep;
  int DataTVWidth = kKeep;
  int DataTVHeight = kKeep;
  double DataTVMultiplier = kMinMultiplier;
  std::string DataTVCurrentTask;
};

class AnimationEngine {
 public:
  explicit AnimationEngine(TickSource& ticks);
  ~AnimationEngine();
  AnimationEngine(const AnimationEngine&) = delete;
  AnimationEngine& operator=(const AnimationEngine&) = delete;

  // Queues a request. A request whose task name contains the running request's task name cuts
  // the running one short: it stops where the last tick left it. A null control is ignored.
  void AnimateControl(Animatable* control, int left, int top, int width, int height,
                      double multiplier, std::string_view task);
  void AnimateControl(Animatable* control, const AnimationTarget& target);
  // Drops the queue and stops the timer; the current control stays where it is.
  void StopAnimations();
  bool IsAnimating() const { return timer_id_ != 0; }
  // The task name of the most recently started request, also after it has ended.
  const std::string& CurrentAnimationTask() const { return current_.DataTVCurrentTask; }
  std::size_t PendingCount() const { return queue_.size(); }

 private:
  void Tick();
  void StopTimer();

  TickSource& ticks_;
  std::deque<TElem> queue_;
  bool ready_ = true;
  std::uint16_t timer_id_ = 0;
  TElem current_;
  // Width, height, left, top: whether the current request changes that property.
  std::array<bool, 4> moves_{};
};

// The process-wide engine, installed by the main window for the life of the program (nullptr
// uninstalls it). Without one, requests are dropped and nothing is animating.
void SetAnimationEngine(AnimationEngine* engine);
AnimationEngine* InstalledAnimationEngine();

void AnimateControl(Animatable* control, int left, int top, int width, int height,
                    double multiplier, std::string_view task);
void AnimateControl(Animatable* control, const AnimationTarget& target);
void StopAnimations();
bool IsAnimating();
std::string CurrentAnimationTask();

}  // namespace veltrane::ui
