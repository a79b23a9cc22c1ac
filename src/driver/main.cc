#include <string>
#include <vector>

#include "driver/driver.h"
#include "platform/arguments.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = stylo::platform::program_arguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  pointers.push_back(nullptr);
  return stylo::run_stylo(static_cast<int>(arguments.size()), pointers.data());
}
