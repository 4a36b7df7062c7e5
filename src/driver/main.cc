#include <filesystem>
#include <iostream>
#include <vector>

#include "driver/driver.h"

int main(int argc, char** argv) {
  const std::vector<std::filesystem::path> args(argv, argv + argc);
  return joinrel::runJoinrel(args, std::cout, joinrel::runPauseCommand);
}
