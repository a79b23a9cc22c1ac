// stylo with the character-at-a-time scan: the reference that the benchmark
// holds the fast scan's output to, byte for byte.

#include "driver/driver.h"
#include "scanner/file_scan.h"

int main(int argc, char** argv) {
  stylo::use_plain_scan = true;
  return stylo::run_stylo(argc, argv);
}
