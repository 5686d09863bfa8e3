// MESSAGE and POPUP: the engine shows the box or menu through the platform
// and waits for the answer the platform posts back, with the engine lock
// given up (except inside a transaction, see RunDialog).
#include <cassert>
#include <cstdio>

#include "runtime/halt.h"

#include "storage/driver/transaction.h"
#include "ui/engine_core.h"
#include "ui/message_box.h"
#include "ui/popup_menu.h"

namespace tavero::ui {

// The calling thread waits for the dialog's answer. Other input for its
// windows meanwhile is handled as the window procedure would (queued for
// their loops); a quit ends the wait with answer 0. Inside a transaction the
// thread keeps the engine lock while it waits, as it does waiting for a
// lock: another thread's writes would otherwise join a transaction that may
// yet roll back.
int EngineCore::RunDialog(WindowId dialog, const std::function<void()>& show) {
  assert(LockHeld());
  const int slot = current_slot_;
  if (Slot().quit) return 0;
  inbox_.Route(dialog, slot);
  show();
  const bool keep_lock = driver::TransactionActive();
  int answer = 0;
  for (;;) {
    InboxItem item = keep_lock ? inbox_.Wait(slot) : WaitForMessage();
    if (item.kind == InboxItem::Kind::Platform && item.message.window == dialog) {
      if (item.message.kind != MessageKind::DialogAnswer) continue;
      answer = item.message.value;
      break;
    }
    const bool quit = item.kind == InboxItem::Kind::Quit;
    HandleMessage(std::move(item));
    if (quit) {
      platform_.EndDialog(dialog);
      break;
    }
  }
  inbox_.Unroute(dialog);
  return answer;
}

int EngineCore::Message(MessageBoxSpec box) {
  assert(LockHeld());
  WindowObject* owner = CurrentWindow();
  box.owner = owner != nullptr ? owner->id : kNoWindow;
  const WindowId dialog = next_window_id_++;
  return RunDialog(dialog, [&] { platform_.ShowMessageBox(dialog, box); });
}

std::string EngineCore::ApplicationTitle() const {
  return application_ != nullptr ? application_->blueprint.title : std::string();
}

int EngineCore::Popup(PopupSpec popup) {
  assert(LockHeld());
  WindowObject* owner = CurrentWindow();
  popup.owner = owner != nullptr ? owner->id : kNoWindow;
  const WindowId dialog = next_window_id_++;
  const int answer = RunDialog(dialog, [&] { platform_.ShowPopup(dialog, popup); });
  // Only a choosable item answers: a platform cannot make a greyed one count.
  const PopupItem* chosen = NumberedItem(popup.items, answer);
  return chosen != nullptr && !chosen->greyed ? answer : 0;
}

int MESSAGE(std::string_view text, std::string_view caption, std::string_view icon, int buttons, int default_button,
            bool system_modal) {
  EngineCore* engine = EngineCore::Installed();
  assert(engine != nullptr && engine->LockHeld() && "called outside an engine thread");
  return engine->Message(BuildMessageBox(text, caption, icon, buttons, default_button, system_modal));
}

// Without the window system the text goes to stderr.
void HALT(int exit_code, std::string_view text) {
  EngineCore* engine = EngineCore::Installed();
  if (engine != nullptr && engine->LockHeld()) {
    MessageBoxSpec box = BuildMessageBox(text, engine->ApplicationTitle(), {}, button::kOk, button::kOk, false);
    box.icon = MessageIcon{MessageIcon::Kind::Stock, kStockStopIcon, {}};
    engine->Message(std::move(box));
  } else {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
  Halt(exit_code);
}

void SETCURSOR(int stock_cursor) {
  EngineCore* engine = EngineCore::Installed();
  assert(engine != nullptr && engine->LockHeld() && "called outside an engine thread");
  engine->platform().SetCursor(stock_cursor);
}

int POPUP(std::string_view description, int x, int y) {
  EngineCore* engine = EngineCore::Installed();
  assert(engine != nullptr && engine->LockHeld() && "called outside an engine thread");
  PopupSpec popup;
  popup.items = ParsePopup(description);
  popup.x = x;
  popup.y = y;
  return engine->Popup(std::move(popup));
}

}  // namespace tavero::ui
