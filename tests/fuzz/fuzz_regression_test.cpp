// Every seed of the fuzz targets and every input that once broke one of them (fuzz/regressions/),
// run through the target's body again: each must pass its rules without a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "fuzz_targets.h"

namespace tarnwick {
namespace fuzz {
// Names the target in test output.
void PrintTo(const TargetInfo& target, std::ostream* out) {
    *out << target.Name;
}
}  // namespace fuzz

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(std::string_view target) {
    std::vector<fs::path> inputs;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path folder = fs::path(TARNWICK_SOURCE_DIR) / "fuzz" / kind / target;
        if (!fs::is_directory(folder)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
                inputs.push_back(entry.path());
            }
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

class FuzzRegressionTest : public ::testing::TestWithParam<fuzz::TargetInfo> {};

TEST_P(FuzzRegressionTest, SavedInputsPass) {
    const fuzz::TargetInfo& target = GetParam();
    const std::vector<fs::path> inputs = InputsOf(target.Name);
    EXPECT_FALSE(inputs.empty()) << "no seeds for " << target.Name;
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(input.string());
        const std::string bytes = testing::Slurp(input);
        EXPECT_EQ(target.Fn(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressionTest, ::testing::ValuesIn(fuzz::Targets()),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace tarnwick
