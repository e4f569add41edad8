// The fault soak at length: prints the counts of every kind of run; it never fails.
//
//   larkspin_soak [inserts] [captures] [seed] [helper]
//   larkspin_soak linux [inserts] [captures] [seed] [helper]
//
// The second form drives the Linux backend against the GTK test window on a headless desktop
// (built with the Linux desktop tests); its defaults are 60 inserts and 20 captures.
#include "process/soak.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if LARKSPIN_LINUX_SOAK
#include "linux/soak.h"
#endif

namespace {

// Both soaks' plans take the same arguments, each optional: inserts, captures, seed, helper.
template <class Plan>
Plan planFrom(int argc, char** argv) {
    Plan plan;
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
    return plan;
}

int linuxSoak(int argc, char** argv) {
#if LARKSPIN_LINUX_SOAK
    const auto plan = planFrom<linuxsoak::Plan>(argc, argv);
    const linuxsoak::Report report = linuxsoak::run(plan);
    std::printf("fault soak on the GTK window over X11, seed %llu, helper %s\n",
                static_cast<unsigned long long>(plan.seed), plan.helper.c_str());
    linuxsoak::print(report, stdout);
#else
    (void)argc;
    (void)argv;
    std::printf(
        "the Linux soak is built with the Linux desktop tests (GTK 3, Xvfb, dbus-daemon)\n");
#endif
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "linux") == 0) {
        return linuxSoak(argc - 1, argv + 1);
    }
    const auto plan = planFrom<soak::Plan>(argc, argv);
    const soak::Report report = soak::run(plan);
    std::printf("fault soak, seed %llu, helper %s\n", static_cast<unsigned long long>(plan.seed),
                plan.helper.c_str());
    soak::print(report, stdout);
    return 0;
}
