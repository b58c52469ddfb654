#include <iostream>

#include "cli.h"
#include "platform.h"

int main(int argc, char** argv) {
  using namespace veltrane::pack;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto transport = NewHttpTransport();
  PackIo io{std::cout, std::cerr, StdoutIsTerminal(), transport.get()};
  try {
    return RunPack(args, io);
  } catch (const std::exception& e) {
    std::cerr << "veltrane-pack: " << e.what() << "\n";
    return kExitProblems;
  }
}
