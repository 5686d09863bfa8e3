#include "app/report_preview.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "storage/queues/queue.h"
#include "ui/engine.h"
#include "ui/event.h"
#include "ui/properties.h"

namespace zephcol {
namespace {

namespace ui = tavero::ui;
namespace property = tavero::ui::property;

constexpr std::string_view kModule = "ZEPHCOL$zephc_sf";

// The preview window's items and controls.
enum : int {
  kCancelItem = 1,
  kPrintItem = 2,
  kZoomItem = 3,
  kPreviousItem = 4,
  kNextItem = 5,
  kJumpItem = 6,
  kFacingItem = 7,
  kLeftFrame = 8,     // box, page image, clickable area: 8-10
  kRightFrame = 11,   // 11-13
  kCentreFrame = 14,  // 14-16
  kZoomImage = 17,
};
// The jump window's controls.
constexpr int kJumpSpin = 2;
constexpr int kJumpOk = 3;
constexpr int kJumpCancel = 4;

enum class Mode { Single, Zoomed, Facing };

std::string PageName(const tavero::queues::Queue& pages, std::int32_t page) {
  if (page < 1 || page > pages.EntryCount()) return {};
  const std::span<const std::uint8_t> entry = pages.Entry(page);
  std::string name(entry.begin(), entry.end());
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

class Preview {
 public:
  explicit Preview(const tavero::queues::Queue& pages) : pages_(pages), total_(pages.EntryCount()) {}

  Response Run() {
    ui::Window window(kModule, "REPORTPREVIEW$PREVIEWWINDOW");
    window.Open();
    ui::ALERT(0, ui::kKeyPageUp);
    ui::ALERT(0, ui::kKeyPageDown);
    if (total_ < 2) Enable(kFacingItem, false);
    if (total_ == 0) {
      for (int item : {kPrintItem, kZoomItem, kPreviousItem, kNextItem, kJumpItem}) Enable(item, false);
    }
    Refresh();
    ui::ACCEPT([&] { return Step(); });
    window.Close();
    request_.set_response(print_ ? Response::Completed : Response::Cancelled);
    return request_.response();
  }

 private:
  ui::LoopResult Step() {
    if (ui::EVENT() == ui::Event::AlertKey) {
      const int item = ui::KEYCODE() == ui::kKeyPageUp ? kPreviousItem : kNextItem;
      if (Enabled(item)) Choose(item);
      return ui::LoopResult::Continue;
    }
    if (ui::EVENT() == ui::Event::Accepted) Choose(ui::FIELD());
    return ui::LoopResult::Continue;
  }

  void Choose(int control) {
    switch (control) {
      case kRightFrame + 2:
      case kCentreFrame + 2:
        ui::POST(ui::Event::Accepted, kZoomItem);
        break;
      case kLeftFrame + 2:
        current_ = other_;
        ui::POST(ui::Event::Accepted, kZoomItem);
        break;
      case kCancelItem:
        ui::POST(ui::Event::CloseWindow);
        break;
      case kPrintItem:
        print_ = true;
        ui::POST(ui::Event::CloseWindow);
        break;
      case kPreviousItem:
        current_ = std::max(current_ - (mode_ == Mode::Facing ? 2 : 1), 1);
        Refresh();
        break;
      case kNextItem:
        current_ += mode_ == Mode::Facing ? 2 : 1;
        Refresh();
        break;
      case kZoomItem:
        Zoom();
        break;
      case kFacingItem:
        Facing();
        break;
      case kJumpItem:
        Jump();
        break;
      default:
        break;
    }
  }

  void Zoom() {
    if (total_ == 0) return;
    if (mode_ == Mode::Zoomed) {
      Enable(kFacingItem, total_ >= 2);  // a one-page report never faces
      SetItem(kZoomItem, "&Zoom In!", "Zoom in on a page of this report");
      mode_ = facing_before_zoom_ ? Mode::Facing : Mode::Single;
    } else {
      Enable(kFacingItem, false);
      facing_before_zoom_ = mode_ == Mode::Facing;
      // On a last spread without its right-hand page the page shown is the
      // left one.
      if (current_ > total_) current_ = std::max(other_, 1);
      mode_ = Mode::Zoomed;
      SetItem(kZoomItem, "&Zoom Out!",
              facing_before_zoom_ ? "Zoom out to facing page mode" : "Zoom out to full page mode");
    }
    Refresh();
  }

  void Facing() {
    if (mode_ == Mode::Facing) {
      if (current_ > total_) current_ = other_;
      mode_ = Mode::Single;
      SetItem(kFacingItem, "&Facing Pages!", "View the report two pages at a time");
    } else if (mode_ == Mode::Single && total_ >= 2) {
      if (current_ % 2 == 0) {
        ++current_;
        ++other_;
      }
      mode_ = Mode::Facing;
      SetItem(kFacingItem, "&Single Pages!", "View the report one page at a time");
    }
    Refresh();
  }

  void Jump() {
    if (total_ == 0) return;
    std::int32_t page = current_ > total_ ? other_ : current_;
    ui::Window jump(kModule, "REPORTPREVIEW$JUMPWINDOW");
    jump.Open();
    ui::SetProperty(kJumpSpin, property::kRangeLow, 1);
    ui::SetProperty(kJumpSpin, property::kRangeHigh, total_);
    ui::SetProperty(kJumpSpin, property::kValue, std::clamp(page, 1, total_));
    ui::ACCEPT([&] {
      if (ui::EVENT() != ui::Event::Accepted) return ui::LoopResult::Continue;
      if (ui::FIELD() == kJumpOk) {
        const std::int32_t chosen = std::atoi(ui::GetProperty(kJumpSpin, property::kValue).c_str());
        current_ = std::clamp(chosen, 1, total_);
        return ui::LoopResult::Break;
      }
      if (ui::FIELD() == kJumpCancel) return ui::LoopResult::Break;
      return ui::LoopResult::Continue;
    });
    jump.Close();
    Refresh();
  }

  void Refresh() {
    other_ = current_ - 1;
    ShowFrame(kLeftFrame, 0);
    ShowFrame(kRightFrame, 0);
    ShowFrame(kCentreFrame, 0);
    ShowImage(kZoomImage, 0);
    const std::string of = " of " + std::to_string(total_);
    std::string zone2;
    std::string zone3 = "Single Page";
    std::string zone4 = "Page " + std::to_string(current_) + of;
    if (total_ == 0) {
      zone4 = "Page 0 of 0";
    } else if (mode_ == Mode::Single) {
      ShowFrame(kCentreFrame, current_);
    } else if (mode_ == Mode::Facing) {
      if (current_ % 2 == 0) {
        ++current_;
        ++other_;
      }
      ShowFrame(kLeftFrame, other_);
      ShowFrame(kRightFrame, current_);
      zone3 = "Facing Pages";
      zone4 = FacingPagesText(other_, current_, total_);
    } else {
      ShowImage(kZoomImage, current_);
      zone2 = "ZOOM";
    }
    ui::SetProperty(0, property::kStatusText, zone2, 2);
    ui::SetProperty(0, property::kStatusText, zone3, 3);
    ui::SetProperty(0, property::kStatusText, zone4, 4);
    if (total_ > 0) {
      Enable(kPreviousItem, current_ > 1);
      Enable(kNextItem, current_ < total_);
    }
    ui::DISPLAY();
  }

  // A page frame (box, image, clickable area) showing `page`, hidden for no
  // page (0 or beyond the last).
  void ShowFrame(int first, std::int32_t page) {
    const bool shown = page >= 1 && page <= total_;
    ui::SetProperty(first, property::kHide, shown ? 0 : 1);
    ShowImage(first + 1, page);
    ui::SetProperty(first + 2, property::kHide, shown ? 0 : 1);
  }

  void ShowImage(int control, std::int32_t page) {
    const bool shown = page >= 1 && page <= total_;
    ui::SetProperty(control, property::kText, shown ? PageName(pages_, page) : std::string());
    ui::SetProperty(control, property::kHide, shown ? 0 : 1);
  }

  void Enable(int item, bool enabled) { ui::SetProperty(item, property::kDisable, enabled ? 0 : 1); }
  bool Enabled(int item) { return ui::GetProperty(item, property::kDisable) == "0"; }
  void SetItem(int item, std::string_view text, std::string_view message) {
    ui::SetProperty(item, property::kText, text);
    ui::SetProperty(item, property::kMessage, message);
  }

  const tavero::queues::Queue& pages_;
  ProcedureRequest request_;
  const std::int32_t total_;
  std::int32_t current_ = 1;
  std::int32_t other_ = 0;
  Mode mode_ = Mode::Single;
  bool facing_before_zoom_ = false;
  bool print_ = false;
};

}  // namespace

std::string FacingPagesText(std::int32_t other, std::int32_t current, std::int32_t total) {
  const std::string of = " of " + std::to_string(total);
  if (other >= 1 && current <= total) return "Pages " + std::to_string(other) + " and " + std::to_string(current) + of;
  if (current > total) return "Page " + std::to_string(other) + of;
  return "Page " + std::to_string(current) + of;
}

Response ReportPreview(const tavero::queues::Queue& pages) {
  Preview preview(pages);
  return preview.Run();
}

}  // namespace zephcol
