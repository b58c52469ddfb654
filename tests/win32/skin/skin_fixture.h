#pragma once
// What the skin's tests share: a skinned frame to put controls in, and small helpers.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../system_helpers.h"
#include "base/scoped.h"
#include "ui/skin/control_desc.h"
#include "ui/skin/frame.h"

namespace skin_test {

namespace skin = veltrane::win32::skin;
using veltrane::test::OuterSize;
using veltrane::test::Pump;
using veltrane::test::RectIn;

inline skin::ControlDesc At(int left, int top, int width, int height, std::string text = {}) {
  skin::ControlDesc desc;
  desc.left = left;
  desc.top = top;
  desc.width = width;
  desc.height = height;
  desc.text = std::move(text);
  return desc;
}

inline LPARAM Point(int x, int y) {
  return MAKELPARAM(x, y);
}

class SkinTest : public testing::Test {
 protected:
  void SetUp() override {
    skin::FrameOptions options;
    options.class_name = L"VeltraneSkinTestFrame";
    options.caption = "Окно проверки";
    options.content_width = 401;
    options.content_height = 289;
    frame_ = skin::Frame::Create(options);
    ASSERT_NE(frame_, nullptr);
    hwnd_ = frame_->hwnd();
    frame_->SetMessageHook([this](HWND, UINT msg, WPARAM, LPARAM, LRESULT* result) {
      if (msg != WM_CLOSE) return false;
      ++close_requests_;
      *result = 0;
      return true;
    });
  }
  void TearDown() override {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
  }
  HWND content() const { return frame_->content(); }

  skin::Frame* frame_ = nullptr;
  HWND hwnd_ = nullptr;
  int close_requests_ = 0;
};

// Bounds of the pixels of one exact colour in a shown window; empty when the screen cannot be
// read back.
inline RECT PixelsOf(HWND hwnd, COLORREF color) {
  RECT client;
  GetClientRect(hwnd, &client);
  RECT found{client.right, client.bottom, -1, -1};
  const auto dc = veltrane::win32::ScopedWindowDc::Client(hwnd);
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) {
      if (GetPixel(dc.get(), x, y) != color) continue;
      found.left = std::min<LONG>(found.left, x);
      found.top = std::min<LONG>(found.top, y);
      found.right = std::max<LONG>(found.right, x + 1);
      found.bottom = std::max<LONG>(found.bottom, y + 1);
    }
  }
  return found;
}

}  // namespace skin_test
