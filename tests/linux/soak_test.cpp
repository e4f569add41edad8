// The fault soak on the GTK window, short: randomised inserts and captures around the clipboard,
// and not one of them may lose the user's clipboard or leave a keeper behind.
#include "soak.h"

#include <gtest/gtest.h>

namespace {

TEST(LinuxFaultSoak, NoRunLosesTheClipboardOrLeavesAKeeper) {
    linuxsoak::Plan plan;
    plan.inserts = 18;
    plan.captures = 6;
    plan.seed = 1210;
    const linuxsoak::Report report = linuxsoak::run(plan);
    EXPECT_EQ(report.captures.runs + report.inserts.runs, 24);
    EXPECT_EQ(report.captures.faults() + report.inserts.faults(), 0) << [&] {
        char* text = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        linuxsoak::print(report, out);
        std::fclose(out);
        std::string printed(text, size);
        std::free(text);
        return printed;
    }();
}

}  // namespace
