// Writes a generated design process: kavelon_bench_gen SHAPE N [SEED]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dsm_gen.h"

int main(int argc, char **argv) {
    if (argc < 3 || std::atoi(argv[2]) < 1) {
        std::fprintf(stderr, "usage: %s realistic|chain|half|cycles N [SEED]\n", argv[0]);
        return 2;
    }
    GenModel m;
    const uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1;
    if (!generate_model(argv[1], std::atoi(argv[2]), seed, m)) {
        std::fprintf(stderr, "unknown shape %s\n", argv[1]);
        return 2;
    }
    write_model_xml(m, stdout);
    return std::ferror(stdout) ? 1 : 0;
}
