// zephc026: SPLASH, "Welcome to ZEPHYRA" ("SPLASH$WINDOW"): shows README.TXT
// in its list, read line by line through the ASCII driver over timer ticks
// with "SPLASH$PROGRESSWINDOW", until the person presses "CONTINUE".
//
// Invariants of the loading:
//  (1) The README file is open only while the progress window is.
//  (2) 0 <= read <= size as long as the file is as long as its first BYTES
//      said; the percentage shown is min(100, read * 100 / size), in 64
//      bits, and 100 for a file that has shrunk to nothing meanwhile.
//  (3) A tick reads until it has read kBytesPerTick bytes or kLinesPerTick
//      lines, whichever comes first, so a file of empty lines still lets
//      the window answer between ticks.
//  (4) Once `done` is set no more lines are read, and EVENT:CloseWindow is
//      posted exactly once.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/global_request.h"
#include "app/information_windows.h"
#include "app/warnings.h"
#include "images/image.h"
#include "pictures/picture.h"
#include "runtime/error_state.h"
#include "storage/ascii/ascii.h"
#include "storage/driver/file_operations.h"
#include "storage/queues/queue.h"
#include "ui/engine.h"
#include "ui/properties.h"

namespace zephcol {

namespace ui = tavero::ui;
namespace driver = tavero::driver;
namespace property = tavero::ui::property;

std::filesystem::path FindBesideProgram(std::string_view name,
                                        const std::optional<std::filesystem::path>& program_directory) {
  // The same lookup as the program's picture files.
  const auto found = program_directory ? tavero::images::FindImageFile(name, *program_directory)
                                       : tavero::images::FindImageFile(name);
  if (found) return *found;
  return std::filesystem::path(std::string(name));
}

namespace {

constexpr std::string_view kReadmeName = "README.TXT";
constexpr std::uint32_t kLineLength = 255;
constexpr std::uint32_t kReadOnlyDenyNone = 0x10;
constexpr std::int64_t kBytesPerTick = 20000;
constexpr int kLinesPerTick = 2000;

// SPLASH$WINDOW's controls.
constexpr int kLinesList = 3;
constexpr int kContinueButton = 4;
// SPLASH$PROGRESSWINDOW's controls.
constexpr int kProgressBar = 1;
constexpr int kProgressLine2 = 2;
constexpr int kProgressLine3 = 3;
constexpr int kCancelButton = 4;

// One 255-character line: the README file's record and the line queue's.
std::vector<std::uint8_t> LineLayout() {
  return driver::RecordLayoutWriter().String("", 0, kLineLength).Finish();
}

// The README file: ASCII driver, no keys, one unnamed FIXSTR of 255
// characters a line; its name is set before each OPEN.
class ReadmeFile {
 public:
  ReadmeFile() : layout_(LineLayout()), record_(kLineLength, ' ') {
    file_.entry = &tavero::ascii::AsciiDriver();
    file_.record_layout = layout_;
    file_.record = record_;
  }
  driver::FileObject& file() { return file_; }
  std::span<const std::uint8_t> line() const { return record_; }

 private:
  std::vector<std::uint8_t> layout_;
  std::vector<std::uint8_t> record_;
  driver::FileObject file_;
};

// The line queue the splash list shows.
class LineQueue {
 public:
  LineQueue() : layout_(LineLayout()), record_(kLineLength, ' '), queue_(record_, layout_) {}
  tavero::queues::Queue& queue() { return queue_; }
  // False when the queue could not take it (ErrorCode tells why).
  bool Add(std::span<const std::uint8_t> line) {
    std::memcpy(record_.data(), line.data(), std::min<std::size_t>(line.size(), record_.size()));
    queue_.Add();
    return tavero::ErrorCode() == 0;
  }

 private:
  std::vector<std::uint8_t> layout_;
  std::vector<std::uint8_t> record_;
  tavero::queues::Queue queue_;
};

class SplashProcedure {
 public:
  // Without a program directory the running program's is taken.
  explicit SplashProcedure(std::optional<std::filesystem::path> program_directory)
      : program_directory_(std::move(program_directory)) {}

  void Run() {
    ProcedureRequest request;
    ui::Window window("ZEPHCOL$zephc026", "SPLASH$WINDOW");
    window_ = &window;
    window.SetListFrom(kLinesList, &lines_.queue());
    window.Open();
    bool opened = false;
    ui::ACCEPT([&] {
      switch (ui::EVENT()) {
        case ui::Event::OpenWindow:
          if (opened) break;
          opened = true;
          Refresh();
          ui::SELECT(kLinesList);
          break;
        case ui::Event::GainFocus:
          Refresh();
          break;
        case ui::Event::Accepted:
          if (ui::FIELD() == kContinueButton) {
            request.set_response(Response::Cancelled);
            ui::POST(ui::Event::CloseWindow);
          }
          break;
        default:
          break;
      }
      return ui::LoopResult::Continue;
    });
    window.Close();
  }

 private:
  void Refresh() {
    const std::string wanted(kReadmeName);
    if (wanted != loaded_name_) {
      Load(wanted);
      loaded_name_ = wanted;
    }
    ui::DISPLAY();
  }

  void Load(const std::string& name) {
    lines_.queue().Free();
    if (name.empty()) {
      ui::SetProperty(kLinesList, property::kDisable, 1);
      return;
    }
    ui::SetProperty(kLinesList, property::kDisable, 0);
    driver::FileObject& file = readme_.file();
    file.name = FindBesideProgram(name, program_directory_).string();
    if (driver::Open(file, kReadOnlyDenyNone) != 0) {
      ui::SetProperty(kLinesList, property::kHide, 1);
      ShowWarning(26, name);
      return;
    }
    ui::SetProperty(kLinesList, property::kHide, 0);
    const std::int64_t size = driver::Bytes(file);
    if (size <= 0) {
      driver::Close(file);
      ui::SetProperty(kLinesList, property::kHide, 1);
      ShowWarning(28, name);
      return;
    }
    ReadWithProgress(name, size);
    driver::Close(file);
  }

  void ReadWithProgress(const std::string& name, std::int64_t size) {
    // The list takes the lines once they are read: showing the growing
    // queue after every tick would send it again and again.
    window_->SetListFrom(kLinesList, nullptr);
    ui::Window progress("ZEPHCOL$zephc026", "SPLASH$PROGRESSWINDOW");
    progress.Open();
    ui::SetProperty(0, property::kText, "Reading File");
    ui::SetProperty(kProgressLine3, property::kText, "0% Completed");
    ui::SetProperty(kProgressLine2, property::kText, "");
    ui::SetProperty(kProgressBar, property::kValue, 0);
    Tick tick{.size = size};
    ui::ACCEPT([&] {
      switch (ui::EVENT()) {
        case ui::Event::OpenWindow:
          driver::SetRecordOrder(readme_.file());
          break;
        case ui::Event::Timer:
          ReadOneTick(tick);
          break;
        case ui::Event::Accepted:
          if (ui::FIELD() == kCancelButton && ShowWarning(27, name) == button::kOk) {
            ui::POST(ui::Event::CloseWindow);
          }
          break;
        default:
          break;
      }
      return ui::LoopResult::Continue;
    });
    progress.Close();
    window_->SetListFrom(kLinesList, &lines_.queue());
  }

  struct Tick {
    std::int64_t size = 0;
    std::int64_t read = 0;
    int percent = 0;
    bool done = false;
    bool close_posted = false;
  };

  // One timer tick: invariants (2) to (4).
  void ReadOneTick(Tick& tick) {
    driver::FileObject& file = readme_.file();
    std::int64_t this_tick = 0;
    for (int lines = 0; !tick.done && this_tick < kBytesPerTick && lines < kLinesPerTick; ++lines) {
      // A read error ends the loading as the file's end does; so does a
      // line the queue cannot take.
      if (driver::Next(file) != 0) {
        tick.done = true;
        break;
      }
      const std::int64_t bytes = std::max<std::int64_t>(0, driver::Bytes(file));
      this_tick += bytes;
      tick.read += bytes;
      if (!lines_.Add(readme_.line())) tick.done = true;
    }
    if (tick.percent < 100) {
      // read < size here, so read * 100 stays in range for any file size below 2^56 bytes.
      const int percent = tick.size <= 0 || tick.read >= tick.size ? 100 : static_cast<int>(tick.read * 100 / tick.size);
      if (percent != tick.percent) {
        tick.percent = percent;
        ui::SetProperty(kProgressBar, property::kValue, percent);
        ui::SetProperty(kProgressLine3, property::kText,
                        tavero::pictures::FORMAT(static_cast<std::int64_t>(percent), "@N3") + "% Completed");
        ui::DISPLAY();
      }
    }
    if (tick.done && !tick.close_posted) {
      tick.close_posted = true;
      ui::POST(ui::Event::CloseWindow);
    }
  }

  std::optional<std::filesystem::path> program_directory_;
  ui::Window* window_ = nullptr;  // the splash window while Run runs
  ReadmeFile readme_;
  LineQueue lines_;
  std::string loaded_name_;
};

}  // namespace

void Splash() { SplashProcedure(std::nullopt).Run(); }
void Splash(const std::filesystem::path& program_directory) { SplashProcedure(program_directory).Run(); }

}  // namespace zephcol
