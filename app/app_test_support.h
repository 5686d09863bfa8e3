// Test support for the application's file tests: a scratch directory that
// is the working directory while a test runs (the data files are found
// there by their labels), and stations as forked processes.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>

#include "app/box_recorder.h"
#include "ui/headless/driver.h"

namespace zephcol::testing_support {

class ScratchDirectory {
 public:
  // `make_current` false: a scratch directory that is not the working one.
  explicit ScratchDirectory(bool make_current = true)
      : previous_(std::filesystem::current_path()), made_current_(make_current) {
    std::string pattern = (std::filesystem::temp_directory_path() / "zephcol-files-XXXXXX").string();
    EXPECT_NE(mkdtemp(pattern.data()), nullptr);
    path_ = pattern;
    if (made_current_) std::filesystem::current_path(path_);
  }
  ~ScratchDirectory() {
    if (made_current_) std::filesystem::current_path(previous_);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(path_);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  bool made_current_ = true;
  std::filesystem::path path_;
};

// What a station run in a forked process showed and how it ended.
struct StationEnd {
  std::string boxes;  // "caption|text\n" per box, in order
  int exit_status = -1;
};

// Runs `body` in a forked process whose person answers `answers` (the
// default button once they are used up). The process ends with `body`'s
// result, or with the status of a halt inside it.
inline pid_t StartStation(std::deque<int> answers, const std::function<int()>& body, int& boxes_fd) {
  int channel[2];
  EXPECT_EQ(pipe(channel), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    close(channel[0]);
    int status = 0;
    {
      BoxRecorder person;
      person.pipe_fd = channel[1];
      person.answers = std::move(answers);
      status = body();
    }
    _exit(status);
  }
  close(channel[1]);
  boxes_fd = channel[0];
  return pid;
}

inline StationEnd AwaitStation(pid_t pid, int boxes_fd) {
  StationEnd end;
  end.boxes = ReadAll(boxes_fd);
  close(boxes_fd);
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  end.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 200;
  return end;
}

inline StationEnd RunStation(std::deque<int> answers, const std::function<int()>& body) {
  int boxes_fd = -1;
  const pid_t pid = StartStation(std::move(answers), body, boxes_fd);
  return AwaitStation(pid, boxes_fd);
}

// What a person reads in the message box in front: "caption|text|buttons
// (default)", the text's lines joined by "\n".
inline std::string ReadMessageBox(const tavero::ui::headless::HeadlessDriver& person) {
  std::string line = person.MessageCaption() + "|" + person.MessageText() + "|";
  for (const std::string& button : person.MessageButtons()) line += button + " ";
  return line + "(" + person.MessageDefault() + ")";
}

// Runs `main` as a program on the headless platform in a forked process.
// The person reads each message box and presses the next button of
// `presses` (the default one once they are used up). The process ends with
// `main`'s result, or with the status of a halt.
inline StationEnd RunProgramOnScreen(std::deque<std::string> presses, std::function<int()> main) {
  int channel[2];
  EXPECT_EQ(pipe(channel), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    close(channel[0]);
    SetMessageBoxShower(nullptr);  // the program's own boxes, not a recorder's
    int result = 100;
    {
      tavero::ui::headless::HeadlessProgram program([&] { result = main(); });
      auto& person = program.driver();
      while (!program.Finished() && person.MessageBox()) {
        const std::string line = ReadMessageBox(person) + "\n";
        (void)!write(channel[1], line.data(), line.size());
        std::string press = person.MessageDefault();
        if (!presses.empty()) {
          press = presses.front();
          presses.pop_front();
        }
        if (!person.PressButton(press)) break;
        person.Settle();
      }
    }
    _exit(result);
  }
  close(channel[1]);
  StationEnd end;
  end.boxes = ReadAll(channel[0]);
  close(channel[0]);
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  end.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 200;
  return end;
}

}  // namespace zephcol::testing_support
