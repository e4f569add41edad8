// The fault soak, short: a hundred randomised captures and inserts around the copy and the
// paste, and not one of them may break a promise of the helper.
#include "process/soak.h"

#include <gtest/gtest.h>

namespace {

TEST(FaultSoak, NoRunLosesOrOverwritesAnything) {
    soak::Plan plan;
    plan.captures = 50;
    plan.inserts = 50;
    plan.seed = 1209;
    plan.workers = 4;  // the runs mostly wait on their desktops
    const soak::Report report = soak::run(plan);
    EXPECT_EQ(report.captures.runs + report.inserts.runs, 100);
    EXPECT_EQ(report.captures.faults() + report.inserts.faults(), 0) << [&] {
        char* text = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        soak::print(report, out);
        std::fclose(out);
        std::string printed(text, size);
        std::free(text);
        return printed;
    }();
}

}  // namespace
