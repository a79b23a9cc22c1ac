#include "driver/driver.h"

int main(int argc, char** argv) { return stylo::run_stylo(argc, argv); }
