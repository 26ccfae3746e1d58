// Program entry of kavelon-svg.
#include "svg/svg.h"

int main(int argc, char **argv) { return kavelon_svg_main(argc, argv); }
