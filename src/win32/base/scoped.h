#pragma once
// Owners for the handles the program holds: each closes its handle once, in its destructor or in
// reset(), through the one call that kind of handle needs. They move, never copy; get() lends
// the handle, release() gives it up without closing it.
//
//   ScopedHandle     kernel objects (files, processes, events, snapshots): CloseHandle; both
//                    nullptr and INVALID_HANDLE_VALUE count as empty
//   ScopedInternet   WinInet sessions, connections and requests: InternetCloseHandle
//   ScopedPen/Brush/Font/Bitmap/Region   GDI objects: DeleteObject
//   ScopedMemoryDc   CreateCompatibleDC: DeleteDC
//   ScopedLocalMemory, ScopedCoMemory    LocalFree, CoTaskMemFree
//   ScopedWindowDc   GetDC / GetWindowDC: ReleaseDC with the same window
//   ScopedPaint      BeginPaint: EndPaint
//   ScopedSelection  SelectObject: puts the previous object back
//   ScopedComApartment  CoInitializeEx: CoUninitialize when it succeeded
//
// A selection must end before the object it selected is deleted, so declare the owner of the
// object first and the selection after it.
#include <windows.h>
// these need the types of windows.h
#include <objbase.h>
#include <wininet.h>

#include <utility>

namespace veltrane::win32 {

// Traits: `Handle`, `Empty()`, `IsEmpty(h)` and `Close(h)` (scoped_traits below; a kind of
// handle that only one module uses, a CNG key say, gets its traits there).
template <typename Traits>
class Scoped {
 public:
  using Handle = typename Traits::Handle;

  Scoped() noexcept = default;
  explicit Scoped(Handle handle) noexcept : handle_(handle) {}
  Scoped(Scoped&& other) noexcept : handle_(other.release()) {}
  Scoped& operator=(Scoped&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
  ~Scoped() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return !Traits::IsEmpty(handle_); }

  [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Traits::Empty()); }

  // Closes the handle held so far (if any) and takes `handle`.
  void reset(Handle handle = Traits::Empty()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (!Traits::IsEmpty(old)) Traits::Close(old);
  }

 private:
  Handle handle_ = Traits::Empty();
};

namespace scoped_traits {

// Most kinds of handle: null is the empty one. A kind's traits add its `Close(h)`.
template <typename T>
struct NullEmpty {
  using Handle = T;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsEmpty(Handle h) noexcept { return h == nullptr; }
};

struct Kernel : NullEmpty<HANDLE> {
  // Some calls report failure with nullptr (CreateEvent, OpenProcess), others with
  // INVALID_HANDLE_VALUE (CreateFile, CreateToolhelp32Snapshot).
  static bool IsEmpty(Handle h) noexcept { return h == nullptr || h == INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { CloseHandle(h); }
};

struct Internet : NullEmpty<HINTERNET> {
  static void Close(Handle h) noexcept { InternetCloseHandle(h); }
};

template <typename T>
struct GdiObject : NullEmpty<T> {
  static void Close(T h) noexcept { DeleteObject(h); }
};

struct MemoryDc : NullEmpty<HDC> {
  static void Close(Handle h) noexcept { DeleteDC(h); }
};

template <typename T>
struct LocalMemory : NullEmpty<T*> {
  static void Close(T* h) noexcept { LocalFree(h); }
};

template <typename T>
struct CoMemory : NullEmpty<T*> {
  static void Close(T* h) noexcept { CoTaskMemFree(h); }
};

}  // namespace scoped_traits

using ScopedHandle = Scoped<scoped_traits::Kernel>;
using ScopedInternet = Scoped<scoped_traits::Internet>;
using ScopedPen = Scoped<scoped_traits::GdiObject<HPEN>>;
using ScopedBrush = Scoped<scoped_traits::GdiObject<HBRUSH>>;
using ScopedFont = Scoped<scoped_traits::GdiObject<HFONT>>;
using ScopedBitmap = Scoped<scoped_traits::GdiObject<HBITMAP>>;
using ScopedRegion = Scoped<scoped_traits::GdiObject<HRGN>>;
using ScopedMemoryDc = Scoped<scoped_traits::MemoryDc>;
template <typename T>
using ScopedLocalMemory = Scoped<scoped_traits::LocalMemory<T>>;
template <typename T>
using ScopedCoMemory = Scoped<scoped_traits::CoMemory<T>>;

// A device context from GetDC or GetWindowDC, released with the window it came from (nullptr
// for the screen).
class ScopedWindowDc {
 public:
  ScopedWindowDc() noexcept = default;
  ScopedWindowDc(HWND window, HDC dc) noexcept : window_(window), dc_(dc) {}
  ScopedWindowDc(ScopedWindowDc&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
  ScopedWindowDc& operator=(ScopedWindowDc&& other) noexcept {
    if (this != &other) {
      reset();
      window_ = std::exchange(other.window_, nullptr);
      dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  ~ScopedWindowDc() { reset(); }

  // The client area's DC (GetDC) and the whole window's, frame included (GetWindowDC).
  static ScopedWindowDc Client(HWND window) noexcept { return {window, GetDC(window)}; }
  static ScopedWindowDc Whole(HWND window) noexcept { return {window, GetWindowDC(window)}; }

  HDC get() const noexcept { return dc_; }
  HWND window() const noexcept { return window_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

  [[nodiscard]] HDC release() noexcept {
    window_ = nullptr;
    return std::exchange(dc_, nullptr);
  }
  void reset() noexcept {
    if (dc_) ReleaseDC(window_, dc_);
    window_ = nullptr;
    dc_ = nullptr;
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
};

// One WM_PAINT: BeginPaint now, EndPaint when it ends.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) noexcept : window_(window) {
    dc_ = BeginPaint(window_, &paint_);
  }
  ScopedPaint(ScopedPaint&& other) noexcept
      : window_(std::exchange(other.window_, nullptr)),
        dc_(std::exchange(other.dc_, nullptr)),
        paint_(other.paint_) {}
  ScopedPaint& operator=(ScopedPaint&& other) noexcept {
    if (this != &other) {
      reset();
      window_ = std::exchange(other.window_, nullptr);
      dc_ = std::exchange(other.dc_, nullptr);
      paint_ = other.paint_;
    }
    return *this;
  }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;
  ~ScopedPaint() { reset(); }

  HDC get() const noexcept { return dc_; }
  const PAINTSTRUCT& info() const noexcept { return paint_; }

  // Leaves EndPaint to the caller, who gets the PAINTSTRUCT it needs from info().
  [[nodiscard]] HDC release() noexcept {
    window_ = nullptr;
    return std::exchange(dc_, nullptr);
  }
  void reset() noexcept {
    if (window_) EndPaint(window_, &paint_);
    window_ = nullptr;
    dc_ = nullptr;
  }

 private:
  HWND window_ = nullptr;
  HDC dc_ = nullptr;
  PAINTSTRUCT paint_{};
};

// Selects a pen, brush, font or bitmap into a DC and puts the one it replaced back at the end.
// (A region is not swapped like these: SelectObject copies it into the clip region.)
class ScopedSelection {
 public:
  ScopedSelection() noexcept = default;
  ScopedSelection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
  ScopedSelection(ScopedSelection&& other) noexcept
      : dc_(std::exchange(other.dc_, nullptr)),
        previous_(std::exchange(other.previous_, nullptr)) {}
  ScopedSelection& operator=(ScopedSelection&& other) noexcept {
    if (this != &other) {
      reset();
      dc_ = std::exchange(other.dc_, nullptr);
      previous_ = std::exchange(other.previous_, nullptr);
    }
    return *this;
  }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;
  ~ScopedSelection() { reset(); }

  // The object that was selected before.
  HGDIOBJ get() const noexcept { return previous_; }

  // Leaves the new object selected; the caller puts `get()` back itself.
  [[nodiscard]] HGDIOBJ release() noexcept {
    dc_ = nullptr;
    return std::exchange(previous_, nullptr);
  }
  void reset() noexcept {
    if (dc_ && previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    dc_ = nullptr;
    previous_ = nullptr;
  }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// COM on the calling thread for as long as it lives. A thread that had COM already keeps it as
// it was: only a successful CoInitializeEx (S_OK or S_FALSE) is balanced.
class ScopedComApartment {
 public:
  explicit ScopedComApartment(DWORD flags) noexcept
      : joined_(SUCCEEDED(CoInitializeEx(nullptr, flags))) {}
  ScopedComApartment(ScopedComApartment&& other) noexcept
      : joined_(std::exchange(other.joined_, false)) {}
  ScopedComApartment& operator=(ScopedComApartment&& other) noexcept {
    if (this != &other) {
      reset();
      joined_ = std::exchange(other.joined_, false);
    }
    return *this;
  }
  ScopedComApartment(const ScopedComApartment&) = delete;
  ScopedComApartment& operator=(const ScopedComApartment&) = delete;
  ~ScopedComApartment() { reset(); }

  // Whether CoInitializeEx succeeded, so that CoUninitialize is owed.
  bool get() const noexcept { return joined_; }
  [[nodiscard]] bool release() noexcept { return std::exchange(joined_, false); }
  void reset() noexcept {
    if (std::exchange(joined_, false)) CoUninitialize();
  }

 private:
  bool joined_ = false;
};

}  // namespace veltrane::win32
