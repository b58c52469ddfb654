#include <windows.h>

#include <iostream>

#include "base/wide.h"
#include "cli.h"
#include "platform.h"

int wmain(int argc, wchar_t** argv) {
  using namespace veltrane;
  // Messages and file names go out as UTF-8; a console shows them right once told so.
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(win32::Narrow(argv[i]));
  const auto transport = pack::NewHttpTransport();
  pack::PackIo io{std::cout, std::cerr, pack::StdoutIsTerminal(), transport.get()};
  try {
    return pack::RunPack(args, io);
  } catch (const std::exception& e) {
    std::cerr << "veltrane-pack: " << e.what() << "\n";
    return pack::kExitProblems;
  }
}
