#include "base/scoped.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <utility>

namespace {

using namespace veltrane::win32;

bool KernelHandleOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(ScopedTest, KernelHandleIsClosedOnceByItsLastOwner) {
  for (HANDLE failed : {HANDLE{nullptr}, INVALID_HANDLE_VALUE}) {
    EXPECT_FALSE(ScopedHandle(failed)) << failed;
  }

  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ScopedHandle first(event);
  ScopedHandle second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(second.get(), event);
  first = std::move(second);  // moving back closes nothing
  EXPECT_TRUE(KernelHandleOpen(event));
  first.reset();
  EXPECT_FALSE(KernelHandleOpen(event));

  HANDLE kept = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    ScopedHandle owner(kept);
    EXPECT_EQ(owner.release(), kept);
  }
  EXPECT_TRUE(KernelHandleOpen(kept));
  CloseHandle(kept);

  // Taking a new handle closes the one held before.
  HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    ScopedHandle owner(a);
    owner.reset(b);
    EXPECT_FALSE(KernelHandleOpen(a));
    EXPECT_TRUE(KernelHandleOpen(b));
  }
  EXPECT_FALSE(KernelHandleOpen(b));
}

TEST(ScopedTest, InternetHandleIsClosed) {
  HINTERNET session = InternetOpenW(L"scoped test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  ASSERT_NE(session, nullptr);
  auto open = [session] {
    DWORD type = 0, size = sizeof(type);
    return InternetQueryOptionW(session, INTERNET_OPTION_HANDLE_TYPE, &type, &size) != FALSE;
  };
  {
    const ScopedInternet owner(session);
    EXPECT_TRUE(open());
  }
  EXPECT_FALSE(open());
}

// GetObjectType answers 0 for a GDI handle that has been deleted.
template <typename Owner>
void ExpectDeletedWithItsOwner(typename Owner::Handle handle, DWORD type) {
  ASSERT_NE(handle, nullptr);
  {
    const Owner owner(handle);
    EXPECT_EQ(GetObjectType(owner.get()), type);
  }
  EXPECT_EQ(GetObjectType(handle), 0u) << "object type " << type;
}

TEST(ScopedTest, GdiObjectsAndMemoryDcsAreDeleted) {
  ExpectDeletedWithItsOwner<ScopedPen>(CreatePen(PS_SOLID, 1, RGB(1, 2, 3)), OBJ_PEN);
  ExpectDeletedWithItsOwner<ScopedBrush>(CreateSolidBrush(RGB(1, 2, 3)), OBJ_BRUSH);
  ExpectDeletedWithItsOwner<ScopedFont>(
      CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma"), OBJ_FONT);
  ExpectDeletedWithItsOwner<ScopedBitmap>(CreateBitmap(4, 4, 1, 32, nullptr), OBJ_BITMAP);
  ExpectDeletedWithItsOwner<ScopedRegion>(CreateRectRgn(0, 0, 4, 4), OBJ_REGION);
  ExpectDeletedWithItsOwner<ScopedMemoryDc>(CreateCompatibleDC(nullptr), OBJ_MEMDC);
}

TEST(ScopedTest, SelectionPutsThePreviousObjectBackOnce) {
  const ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
  const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_PEN);
  const ScopedPen outer_pen(CreatePen(PS_SOLID, 1, RGB(1, 2, 3)));
  const ScopedPen inner_pen(CreatePen(PS_SOLID, 1, RGB(4, 5, 6)));
  {
    ScopedSelection outer(dc.get(), outer_pen.get());
    EXPECT_EQ(outer.get(), original);
    {
      const ScopedSelection inner(dc.get(), inner_pen.get());
      EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), inner_pen.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), outer_pen.get());
    const ScopedSelection moved(std::move(outer));
    outer.reset();  // no longer the owner: puts nothing back
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), outer_pen.get());
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), original);
}

}  // namespace
