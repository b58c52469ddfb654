#pragma once
// A control that records every change made to it.
#include <string>
#include <vector>

#include "ui/animation_engine.h"

namespace veltrane::test {

class FakeAnimatable : public ui::Animatable {
 public:
  struct Change {
    char property;  // 'l', 't', 'w' or 'h'
    int value;
    bool operator==(const Change&) const = default;
  };

  explicit FakeAnimatable(ui::Rect start = {}) : bounds(start) {}

  ui::Rect Bounds() const override { return bounds; }
  void SetLeft(int value) override { Record('l', value, bounds.left); }
  void SetTop(int value) override { Record('t', value, bounds.top); }
  void SetWidth(int value) override {
    Record('w', value < min_width ? min_width : value, bounds.width);
  }
  void SetHeight(int value) override { Record('h', value, bounds.height); }

  // Changes made so far to one property, in order.
  std::vector<int> ValuesOf(char property) const {
    std::vector<int> values;
    for (const Change& c : changes) {
      if (c.property == property) values.push_back(c.value);
    }
    return values;
  }

  ui::Rect bounds;
  std::vector<Change> changes;
  // Like a window with a minimum tracking size: narrower widths are not taken.
  int min_width = 0;

 private:
  void Record(char property, int value, int& field) {
    field = value;
    changes.push_back({property, value});
  }
};

}  // namespace veltrane::test
