// Program entry of kavelon.
#include "driver/driver.h"

int main(int argc, char **argv) { return kavelon_main(argc, argv); }
