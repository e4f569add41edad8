// The fault soak at length: prints the counts of every kind of run; it never fails.
//
//   larkspin_soak [inserts] [captures] [seed] [helper]
#include "process/soak.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    soak::Plan plan;
    if (argc > 1) {
        plan.inserts = std::atoi(argv[1]);
    }
    if (argc > 2) {
        plan.captures = std::atoi(argv[2]);
    }
    if (argc > 3) {
        plan.seed = std::strtoull(argv[3], nullptr, 10);
    }
    if (argc > 4) {
        plan.helper = argv[4];
    }
    const soak::Report report = soak::run(plan);
    std::printf("fault soak, seed %llu, helper %s\n", static_cast<unsigned long long>(plan.seed),
                plan.helper.c_str());
    soak::print(report, stdout);
    return 0;
}
