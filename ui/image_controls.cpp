// Image controls and list icons on the engine's side: the picture files
// they name are found and decoded here (images/), so every platform shows
// the same pixels and none reads a picture file itself.
//
// An image control shows the file its text names: when the window opens,
// and again whenever the text property changes. A file that cannot be found
// or decoded shows nothing; it is never an error of the procedure.
#include <cassert>
#include <fstream>
#include <optional>
#include <vector>
#include <system_error>

#include "images/image.h"
#include "images/metafile.h"
#include "runtime/runtime_error.h"
#include "ui/engine_core.h"

namespace tavero::ui {

// A name with a directory is taken as it stands; a bare name is looked for
// in the working directory, then beside the program, in any case.
images::Image LoadNamedPicture(std::string_view file) {
  if (file.empty()) return {};
  std::optional<std::filesystem::path> path = images::FindImageFile(file);
  std::error_code error;
  if (!path && file.find('/') != std::string_view::npos && std::filesystem::is_regular_file(file, error)) {
    path = std::filesystem::path(file);
  }
  if (!path) return {};
  images::DecodeResult decoded = images::LoadImageFile(*path);
  return decoded.ok() ? std::move(decoded.image) : images::Image{};
}

// A report's page: a placeable metafile (its key first), read whole up to
// 64 MiB and checked record by record; nullopt for any other file.
std::optional<images::Metafile> LoadPage(std::string_view file) {
  constexpr std::uint32_t kKey = images::kPlaceableKey;
  constexpr std::streamsize kMaxBytes = std::streamsize{64} << 20;
  if (file.empty()) return std::nullopt;
  std::ifstream in{std::string(file), std::ios::binary};
  std::uint8_t key[4] = {};
  if (!in.read(reinterpret_cast<char*>(key), 4) ||
      (key[0] | key[1] << 8 | key[2] << 16 | static_cast<std::uint32_t>(key[3]) << 24) != kKey) {
    return std::nullopt;
  }
  in.seekg(0, std::ios::end);
  const std::streamsize size = in.tellg();
  if (size <= 0 || size > kMaxBytes) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return std::nullopt;
  images::MetafileReadResult read = images::ReadMetafile(bytes);
  if (!read.ok()) return std::nullopt;
  return std::move(read.metafile);
}

void EngineCore::ShowImageFile(WindowObject& window, const ControlSpec& control) {
  if (std::optional<images::Metafile> page = LoadPage(control.text)) {
    platform_.SetPage(window.id, control.handle, *page);
  } else {
    platform_.SetImage(window.id, control.handle, LoadNamedPicture(control.text));
  }
}

void EngineCore::ShowImageControls(WindowObject& window) {
  assert(LockHeld());
  for (const ControlSpec& control : window.blueprint.controls) {
    if (control.kind == ControlKind::Image && !control.text.empty()) ShowImageFile(window, control);
  }
}

void EngineCore::SetImageFile(WindowObject& window, ControlSpec& control, std::string_view file) {
  assert(LockHeld() && control.kind == ControlKind::Image);
  control.text = file;
  if (!window.open()) return;
  platform_.SetControlText(window.id, control.handle, file);  // the file it shows, for readers of the screen
  ShowImageFile(window, control);
}

void EngineCore::SetPicture(WindowObject& window, int control_number, const images::Image& picture) {
  assert(LockHeld());
  if (!window.open()) return ReportRuntimeError(536);
  ControlSpec* control = window.Control(window.FindControl(control_number));
  if (control == nullptr || control->kind != ControlKind::Image) return;
  control->text.clear();  // the picture is no file's
  platform_.SetImage(window.id, control->handle, picture);
}

void Window::SetPicture(int control, const images::Image& picture) {
  EngineCore* engine = EngineCore::Installed();
  assert(engine != nullptr && engine->LockHeld());
  engine->SetPicture(*object_, control, picture);
}

}  // namespace tavero::ui
