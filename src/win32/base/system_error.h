#pragma once
// System error codes as the messages show them.
#include <windows.h>

#include <stdexcept>
#include <string>

namespace veltrane::win32 {

// A failed system call: the system's error code and a text with the code and the system's
// own message.
class SystemError : public std::runtime_error {
 public:
  explicit SystemError(DWORD code);
  DWORD code() const { return code_; }

 private:
  DWORD code_;
};

// The system's message for an error code, without the trailing line break.
std::string SystemErrorText(DWORD code);

}  // namespace veltrane::win32
