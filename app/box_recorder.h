// Test support: stands in for the person at the message boxes of the
// warnings. Records every box shown and answers from a script (the default
// button once the script is used up). In a forked station the boxes can also
// be written to a pipe for the test process to read.
#pragma once

#include <unistd.h>

#include <deque>
#include <string>
#include <vector>

#include "app/warnings.h"

namespace zephcol::testing_support {

class BoxRecorder {
 public:
  BoxRecorder() {
    SetMessageBoxShower([this](const MessageBoxContent& box) {
      boxes.push_back(box);
      if (pipe_fd >= 0) {
        const std::string line = box.caption + "|" + box.text + "\n";
        (void)!write(pipe_fd, line.data(), line.size());
      }
      if (answers.empty()) return box.default_button;
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    });
  }
  ~BoxRecorder() { SetMessageBoxShower(nullptr); }
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  // "caption|text" of every box so far.
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    for (const MessageBoxContent& box : boxes) out.push_back(box.caption + "|" + box.text);
    return out;
  }

  std::vector<MessageBoxContent> boxes;
  std::deque<int> answers;
  int pipe_fd = -1;
};

// Everything a pipe's reading end delivers until every writer has closed it.
inline std::string ReadAll(int fd) {
  std::string out;
  char buffer[512];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
  return out;
}

}  // namespace zephcol::testing_support
