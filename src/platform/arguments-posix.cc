#include "platform/arguments.h"

namespace stylo::platform {

std::vector<std::string> program_arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

}  // namespace stylo::platform
