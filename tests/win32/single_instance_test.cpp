#include "app/single_instance.h"

#include <gtest/gtest.h>

#include "system_helpers.h"

namespace veltrane::win32 {
namespace {

using test::Environment;

class ActivateTest : public ::testing::Test {
 protected:
  static constexpr wchar_t kMainClass[] = L"VeltraneAllInOneTestMain";
  static constexpr wchar_t kOwnerClass[] = L"VeltraneAllInOneTestOwner";

  void SetUp() override {
    for (const wchar_t* name : {kMainClass, kOwnerClass}) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = name;
      RegisterClassW(&wc);
    }
  }
  void TearDown() override {
    if (main_ != nullptr) DestroyWindow(main_);
    if (owner_ != nullptr) DestroyWindow(owner_);
  }
  // Windows need a display (Xvfb under the test runner).
  static bool NoDisplay() { return Environment(L"DISPLAY").empty(); }
  HWND Create(const wchar_t* class_name, HWND owner) {
    return CreateWindowExW(0, class_name, L"Окно", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, owner,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
  }

  HWND main_ = nullptr;
  HWND owner_ = nullptr;
};

TEST_F(ActivateTest, NoWindowOfTheClass) {
  EXPECT_EQ(FindAndActivate("VeltraneAllInOneNoSuchClass"), nullptr);
  EXPECT_FALSE(ActivateRunningCopy("VeltraneAllInOneNoSuchClass"));
}

TEST_F(ActivateTest, RestoresTheOwnerAndActivatesTheWindow) {
  if (NoDisplay()) GTEST_SKIP() << "no display to create windows on";
  owner_ = Create(kOwnerClass, nullptr);
  main_ = Create(kMainClass, owner_);
  ASSERT_NE(owner_, nullptr);
  ASSERT_NE(main_, nullptr);
  ShowWindow(owner_, SW_SHOWMINIMIZED);
  ShowWindow(main_, SW_SHOW);
  ASSERT_TRUE(IsIconic(owner_));

  EXPECT_EQ(FindAndActivate("VeltraneAllInOneTestMain"), main_);
  EXPECT_FALSE(IsIconic(owner_));
  EXPECT_TRUE(IsWindowVisible(owner_));
  EXPECT_EQ(GetForegroundWindow(), main_);
}

TEST_F(ActivateTest, RestoresAWindowWithoutOwner) {
  if (NoDisplay()) GTEST_SKIP() << "no display to create windows on";
  main_ = Create(kMainClass, nullptr);
  ASSERT_NE(main_, nullptr);
  ShowWindow(main_, SW_SHOWMINIMIZED);
  ASSERT_TRUE(IsIconic(main_));
  EXPECT_EQ(FindAndActivate("VeltraneAllInOneTestMain"), main_);
  EXPECT_FALSE(IsIconic(main_));
  EXPECT_TRUE(IsWindowVisible(main_));
}

}  // namespace
}  // namespace veltrane::win32
