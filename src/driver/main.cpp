// Program entry of kavelon.
#include "kavelon.h"

int main(int argc, char **argv) { return kavelon_main(argc, argv); }
