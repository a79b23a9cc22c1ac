// stylo with the character-at-a-time scan: the reference that the benchmark
// holds the fast scan's output to, byte for byte.

#include "driver/driver.h"

int main(int argc, char** argv) { return stylo::run_stylo(argc, argv, stylo::scan_method::plain); }
