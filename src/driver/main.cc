#include <iostream>
#include <span>

#include "driver/driver.h"

int main(int argc, char** argv) {
  return joinrel::runJoinrel(std::span<const char* const>(argv, static_cast<std::size_t>(argc)),
                             std::cout);
}
