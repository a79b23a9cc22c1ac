#pragma once
/// The program's arguments, as the system passes them.

#include <string>
#include <vector>

namespace stylo::platform {

/// The arguments `main` received, element 0 the program's name. On POSIX
/// systems they are its bytes as they stand. On Windows they are read again
/// from the wide command line and given as UTF-8, since `main`'s own are in
/// the system's code page, which cannot hold every name.
std::vector<std::string> program_arguments(int argc, char** argv);

}  // namespace stylo::platform
