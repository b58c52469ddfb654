#pragma once
// A folder in which nothing can be created, changed or deleted for as long as this lives, as a
// player's mods folder on a drive they may not write. As root (CI) permissions bind no one, so
// the folder is bind-mounted read-only onto itself; otherwise its write permission goes.
// Linux only.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace veltrane::test {

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(std::string path) : path_(std::move(path)) {
    if (::geteuid() == 0) {
      mounted_ =
          ::mount(path_.c_str(), path_.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
          ::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    } else {
      ::chmod(path_.c_str(), 0555);
    }
  }
  ~ReadOnlyFolder() {
    if (mounted_) ::umount(path_.c_str());
    ::chmod(path_.c_str(), 0755);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  // Whether the folder really refuses changes now (a container may not let root mount).
  bool Holds() const { return mounted_ || ::geteuid() != 0; }

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace veltrane::test
