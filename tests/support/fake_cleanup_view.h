#pragma once
// The cleanup dialog for tests of its logic: a check list held in memory, a recorded window.
#include <string>
#include <vector>

#include "fake_animatable.h"
#include "sync/cleanup_form.h"

namespace veltrane::test {

class FakeCleanupView : public sync::CleanupView {
 public:
  struct Item {
    std::string text;
    bool checked = false;
  };

  void ListClear() override {
    items.clear();
    ++clears;
  }
  int ListAdd(std::string_view text) override {
    items.push_back({std::string(text), false});
    return static_cast<int>(items.size()) - 1;
  }
  int ListCount() const override { return static_cast<int>(items.size()); }
  std::string ListText(int index) const override { return items.at(index).text; }
  bool ListChecked(int index) const override { return items.at(index).checked; }
  void ListSetChecked(int index, bool checked) override { items.at(index).checked = checked; }
  ui::Animatable& Window() override { return window; }
  ui::Rect WindowBounds() const override { return window.bounds; }
  void ShowWindow(bool show) override {
    // What the list held when the window appeared.
    if (show) items_when_shown = items.size();
    visible = show;
  }
  bool WindowVisible() const override { return visible; }
  void StartWindowDrag() override { ++drags; }

  // The names in list order, and which of them are checked.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Item& item : items) texts.push_back(item.text);
    return texts;
  }
  std::vector<bool> Checks() const {
    std::vector<bool> checks;
    for (const Item& item : items) checks.push_back(item.checked);
    return checks;
  }

  std::vector<Item> items;
  FakeAnimatable window{ui::Rect{0, 0, 553, 279}};
  bool visible = false;
  int clears = 0;
  int drags = 0;
  std::size_t items_when_shown = 0;
};

}  // namespace veltrane::test
