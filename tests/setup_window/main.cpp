// The setup window's tests run inside one QApplication, on the offscreen
// platform unless the environment names another.
//
// With --screenshots DIRECTORY BATCH-CLASS.json BATCH.json the program runs
// no tests: it opens the window on the batch class, fills the sample values
// from the first document of the batch and writes a picture of each tab
// (scripts/setup-screenshots.sh).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>

#include "host/file_host.h"
#include "host/file_setup_data.h"
#include "setup/window/setup_window_runner.h"

namespace {

int WriteScreenshots(const std::string& directory, const std::string& batchClass,
                     const std::string& batch) {
  try {
    quillon::FileSetupData setupData(batchClass);
    quillon::FileHost host(batch, batchClass);
    std::vector<std::pair<std::string, std::string>> samples;
    if (host.DocumentCount() > 0) {
      host.SelectDocument(1);
      const quillon::HostValues& values = host.Values();
      for (std::int32_t i = 1; i <= values.Count(); ++i) {
        samples.emplace_back(values.Item(i).Destination, values.Item(i).Value);
      }
    }
    for (const std::string& file : quillon::WriteSetupScreenshots(setupData, directory, samples)) {
      std::cout << file << "\n";
    }
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "screenshots: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  if (argc == 5 && std::strcmp(argv[1], "--screenshots") == 0) {
    return WriteScreenshots(argv[2], argv[3], argv[4]);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
