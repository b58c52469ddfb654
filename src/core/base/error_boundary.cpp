#include "base/error_boundary.h"

#include <cstdio>
#include <exception>
#include <mutex>

namespace veltrane {
namespace {

constexpr char kUnknownError[] = "Unknown error.";

std::mutex g_mutex;
ErrorReporter g_reporter;

}  // namespace

void SetErrorReporter(ErrorReporter reporter) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_reporter = std::move(reporter);
}

void ReportCurrentError() noexcept {
  try {
    std::string message = kUnknownError;
    if (const std::exception_ptr current = std::current_exception()) {
      try {
        std::rethrow_exception(current);
      } catch (const std::exception& error) {
        message = error.what();
      } catch (...) {
      }
    }
    ErrorReporter reporter;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      reporter = g_reporter;
    }
    if (reporter) {
      reporter(message);
    } else {
      std::fprintf(stderr, "%s\n", message.c_str());
    }
  } catch (...) {
    // Nothing is left to tell it to; the program goes on.
  }
}

}  // namespace veltrane
