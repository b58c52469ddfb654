#pragma once
// A server web folder in a temporary directory and the pack tool run on it in-process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "base/portable_ini.h"
#include "base/u8path.h"
#include "cli.h"
#include "pack_manifest.h"
#include "platform.h"
#include "temp_dir.h"

namespace veltrane::pack {

struct RunResult {
  int code = -1;
  std::string out;
  std::string err;
};

class PackTest : public ::testing::Test {
 protected:
  RunResult Run(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    const auto transport = NewHttpTransport();
    PackIo io{out, err, false, transport.get(), now};
    RunResult result;
    result.code = RunPack(args, io);
    result.out = out.str();
    result.err = err.str();
    return result;
  }
  // The server folder; `name` below it may hold '/'.
  std::string Put(const std::string& name, const std::string& bytes) {
    return dir_.Write("srv/" + name, bytes);
  }
  std::string Mod(const std::string& name, const std::string& bytes = "mod bytes") {
    return Put("mods3/" + name, bytes);
  }
  std::string Srv() const { return dir_.Sub("srv"); }
  std::string SrvFile(const std::string& name) const { return dir_.Sub("srv/" + name); }
  bool Exists(const std::string& name) const {
    return std::filesystem::exists(U8Path(SrvFile(name)));
  }
  // The manifest as the client reads it.
  app::PortableIniStore Manifest() const {
    return app::PortableIniStore(SrvFile("Update"), Cp1251Codec());
  }
  std::string Value(std::string_view section, std::string_view key) const {
    return Manifest().ReadString(section, key, "<absent>");
  }

  test::TempDir dir_;
  // What the tool takes for now: the real time unless a test sets a day.
  std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
};

}  // namespace veltrane::pack
