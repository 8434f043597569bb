// A message-box service for tests: records every message shown and answers
// from a script (then the default button once the script runs out).
//
//   testing_support::ScriptedMessageBoxes boxes({platform::MessageAnswer::kNo});
//   platform::ScopedMessageBoxService use(boxes);
//   ...                     // code under test asks a question
//   ASSERT_EQ(boxes.shown.size(), 1u);
//   EXPECT_EQ(boxes.shown[0].title, "Drive/Directory Problem");
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "platform/os_services.h"

namespace testing_support {

class ScriptedMessageBoxes : public platform::MessageBoxService {
 public:
  explicit ScriptedMessageBoxes(std::vector<platform::MessageAnswer> answers = {})
      : answers_(std::move(answers)) {}

  platform::MessageAnswer Show(const platform::MessageBoxRequest& request) override {
    shown.push_back(request);
    if (next_ < answers_.size()) return answers_[next_++];
    return platform::DefaultAnswer(request);
  }

  std::vector<platform::MessageBoxRequest> shown;

 private:
  std::vector<platform::MessageAnswer> answers_;
  std::size_t next_ = 0;
};

}  // namespace testing_support
