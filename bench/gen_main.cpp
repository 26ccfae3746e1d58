// Writes a generated design process: kavelon_bench_gen [--compact] SHAPE N [SEED]
// --compact writes no white space between the root's children.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dsm_gen.h"

int main(int argc, char **argv) {
    const bool compact = argc > 1 && std::strcmp(argv[1], "--compact") == 0;
    if (compact) {
        argv++;
        argc--;
    }
    if (argc < 3 || std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: %s [--compact] realistic|chain|half|cycles N [SEED]\n", argv[0]);
        return 2;
    }
    GenModel m;
    const uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1;
    if (!generate_model(argv[1], std::atoi(argv[2]), seed, m)) {
        std::fprintf(stderr, "unknown shape %s\n", argv[1]);
        return 2;
    }
    write_model_xml(m, stdout, compact);
    return std::ferror(stdout) ? 1 : 0;
}
