// zephcol_report_on_qt [PNG]: "Print MAIN REPORT" on Qt offscreen, as a
// person uses it, on a sample collection written into a scratch working
// directory: the progress window, then the preview paged through in every
// mode, a picture of the frame with the preview (when PNG is given), and
// "&Print!" to a PDF file ("Print To File...", there being no printer),
// whose page count (pdfinfo) must match the preview's and whose text
// (pdftotext) must hold every manufacturer, type of card and last name.
// Exits 0 when all of that holds.
#include <QApplication>

#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/main_frame.h"
#include "app/window_blocks.h"
#include "tools/sample_files.h"
#include "ui/definitions/definitions.h"
#include "ui/qt/qt_driver.h"
#include "ui/qt/qt_platform.h"

namespace {

namespace ui = tavero::ui;

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) out.append(buffer.data(), n);
    ::pclose(pipe);
  }
  return out;
}

int failures = 0;
void Check(bool holds, const std::string& what) {
  if (holds) return;
  ++failures;
  std::fprintf(stderr, "zephcol_report_on_qt: %s\n", what.c_str());
}

// Serves the GUI until `done` holds or 60 seconds have passed.
template <typename Done>
bool Await(ui::qt::QtDriver& person, Done done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  person.SettleUntil([&] { return done() || std::chrono::steady_clock::now() > limit; });
  return done();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  std::string pattern = (std::filesystem::temp_directory_path() / "zephcol-report-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 2;
  const std::filesystem::path directory = pattern;
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(directory);
  const tavero::tool::SampleCollection collection = tavero::tool::MakeSampleCollection({.sets = 12, .cards_per_set = 20});
  std::string failure;
  if (tavero::tool::WriteSampleFiles(directory.string(), collection, failure) != 0) {
    std::fprintf(stderr, "zephcol_report_on_qt: %s\n", failure.c_str());
    return 2;
  }
  const std::filesystem::path pdf = directory / "report.pdf";

  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  tavero::definitions::RegisterBlocks(zephcol::WindowDefinitionBlocks());
  ui::qt::QtPlatform platform({.unattended_print_file = pdf});
  {
    ui::qt::QtProgram program(platform, [] { zephcol::RunMain(zephcol::MainMenuCommands()); });
    ui::qt::QtDriver& person = program.driver();
    const ui::WindowId frame = person.Find("ZEPHYRA VERSION 1.0");
    Check(frame != ui::kNoWindow, "no frame");
    Check(person.ChooseMenu(frame, -12), "\"Print MAIN REPORT\" cannot be chosen");
    Check(Await(person, [&] { return person.Find("Print Preview") != ui::kNoWindow; }), "no preview");
    const ui::WindowId preview = person.Find("Print Preview");
    if (preview != ui::kNoWindow) {
      Check(person.Visible(preview, 15), "the centre frame shows no page");
      int pages = 1;
      while (person.Enabled(preview, 5) && pages < 10000) {
        person.ChooseMenu(preview, 5);
        ++pages;
      }
      Check(person.ChooseMenu(preview, 7), "facing pages");
      Check(person.ChooseMenu(preview, 4), "previous pages");
      Check(person.ChooseMenu(preview, 3), "zoom in");
      // The "!" that places an item on the bar is not shown.
      Check(person.Text(preview, 3) == "&Zoom Out", "zoom item reads " + person.Text(preview, 3));
      Check(person.ChooseMenu(preview, 3), "zoom out");
      Check(person.ChooseMenu(preview, 7), "single pages");
      if (argc > 1) Check(person.Grab(frame, argv[1]), "no picture saved");
      Check(person.ChooseMenu(preview, 2), "\"&Print!\" cannot be chosen");
      Check(Await(person, [&] { return person.Find("Print Preview") == ui::kNoWindow; }), "the preview stays");
      Check(std::filesystem::exists(pdf), "no PDF file");
      const std::string info = Output("pdfinfo '" + pdf.string() + "' 2>/dev/null");
      Check(info.find("Pages:") != std::string::npos, "pdfinfo cannot read the PDF (is poppler-utils installed?)");
      if (info.find("Pages:") != std::string::npos) {
        const int printed = std::atoi(info.c_str() + info.find("Pages:") + 6);
        Check(printed == pages, "the PDF has " + std::to_string(printed) + " pages, the preview " +
                                    std::to_string(pages));
        const std::string text = Output("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null");
        for (const std::string& maker : collection.manufacturers) Check(text.find(maker) != std::string::npos, maker);
        for (const auto& set : collection.sets) Check(text.find(set.type) != std::string::npos, set.type);
        for (const auto& card : collection.cards) {
          Check(text.find(card.last_name) != std::string::npos, card.last_name);
        }
      }
    }
    person.ChooseMenu(frame, -2);
    program.WaitUntilFinished();
  }
  std::filesystem::current_path(previous);
  if (failures == 0) std::filesystem::remove_all(directory);
  return failures == 0 ? 0 : 1;
}
