// Reads every file named in a list (or one file) the way stylo does, with
// 256 KiB reads into one buffer, and does nothing with the bytes: the floor
// under stylo's time that no scan can go below.
//
//   read_floor --file-list=LIST | FILE

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<char> buffer(256 * 1024);

bool read_whole(const std::string& name) {
  const int fd = open(name.c_str(), O_RDONLY);
  if (fd < 0) return false;
  while (read(fd, buffer.data(), buffer.size()) > 0) {
  }
  close(fd);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string argument = argv[1];
  if (argument.rfind("--file-list=", 0) != 0) return read_whole(argument) ? 0 : 1;
  std::ifstream list(argument.substr(12));
  for (std::string name; std::getline(list, name);) read_whole(name);
  return 0;
}
