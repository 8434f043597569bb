// `quillon setup --gui` where no window can be shown.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using testing_support::RunCommand;

// Runs the command with no display and no Qt platform in its environment
// (RunCommand adds variables but cannot take inherited ones away).
testing_support::CommandResult RunWithoutDisplay(const std::vector<std::string>& argv) {
  const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  std::vector<std::pair<std::string, std::string>> saved;
  for (const char* name : names) {
    if (const char* value = std::getenv(name)) saved.emplace_back(name, value);
    unsetenv(name);
  }
  const auto result = RunCommand(argv);
  for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
  return result;
}

TEST(SetupWindowCommand, WithoutADisplayItSaysSoAndPointsToTheHeadlessOptions) {
  testing_support::TempDir dir;
  const std::string file = dir.Write("class.json", R"({
    "name": "Claims", "customProperties": {}, "indexFields": [], "batchFields": [],
    "hostVariables": [], "links": []
  })");
  const auto result = RunWithoutDisplay({QUILLON_BIN, "setup", file, "--gui"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("error: --gui needs a display"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("--mappings-dir, --logging-dir, --working-dir"), std::string::npos)
      << result.err;
  EXPECT_EQ(testing_support::ReadFile(file).find("Mappings Directory"), std::string::npos);
}

TEST(SetupWindowCommand, TheWindowTakesNoSaveOptions) {
  const auto result = RunCommand({QUILLON_BIN, "setup", "class.json", "--gui", "--logging", "on"},
                                 {}, {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("excludes"), std::string::npos) << result.err;
}

}  // namespace
