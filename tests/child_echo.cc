// The child of the child-process tests: writes each of its arguments after
// the first two to standard output, each ended by a NUL byte; then COUNT
// blocks of 4 KiB alternately to standard output and standard error (so that
// a parent that reads one pipe only would stall it); ends with STATUS.
//   child_echo STATUS COUNT [ARGUMENT]...

#include <string>

#include "platform/arguments.h"
#include "platform/text_output.h"

int main(int argc, char** argv) {
  using namespace stylo::platform;
  const std::vector<std::string> arguments = program_arguments(argc, argv);
  if (arguments.size() < 3) return 100;
  std::string echoed;
  for (std::size_t i = 3; i < arguments.size(); ++i) {
    echoed += arguments[i];
    echoed += '\0';
  }
  if (write_all(output_stream::standard_output, echoed) != 0) return 101;
  const int blocks = std::stoi(arguments[2]);
  for (int i = 0; i < blocks; ++i) {
    if (write_all(output_stream::standard_output, std::string(4096, 'o')) != 0) return 102;
    if (write_all(output_stream::standard_error, std::string(4096, 'e')) != 0) return 103;
  }
  return std::stoi(arguments[1]);
}
