#include "ui/main_form.h"

#include <utility>

#include "base/paths.h"

namespace veltrane::ui {

TProTarvoCompatibility::TProTarvoCompatibility(MainView& view, Desktop& desktop, UiThread& ui,
                                               const ConsoleClock& clock, net::Transport& transport,
                                               app::IniOpener open_ini, std::string_view pack_key)
    : view_(view),
      desktop_(desktop),
      open_ini_(std::move(open_ini)),
      console_(ui, clock),
      seat_(view, state_),
      context_{view, desktop, transport, state_, console_, ui, pack_key},
      folder_(context_),
      check_(context_, open_ini_),
      extras_(context_),
      commands_(context_, [this] { folder_.SaveSettings(); }),
      runs_(context_, clock,
            sync::RunHooks{[this] { return check_.conecteon(); },
                           [this] { extras_.StartSetupsPlus(); },
                           [this] { return OpenCleanup(); }}) {}

void TProTarvoCompatibility::FormCreate() {
  const WindowLayout layout = LayoutOf(view_);
  view_.Window().SetWidth(CompactWidth(layout));
  view_.Window().SetHeight(CompactHeight(layout));
  view_.SelectSkin(kStartSkin);
  view_.SetCaption(app::WindowCaption());
  state_.DataFolder = app::DataFolderIn(desktop_.ExpandEnvText("%appdata%"));
  // A folder that cannot be made is not reported here: the first write to the settings fails.
  ForceDirectories(state_.DataFolder);
  state_.SettingsIni = open_ini_(app::SettingsIniPath(state_.DataFolder));
  state_.ManifestIni = open_ini_(app::ManifestIniPath(state_.DataFolder));
}

void TProTarvoCompatibility::FormShow() {
  view_.Focus(Control::Button1);
}

bool TProTarvoCompatibility::FormCloseQuery() {
  state_.Timer6Tag = 1;
  view_.SetTimerEnabled(Timer::Timer6, true);
  return false;
}

void TProTarvoCompatibility::Timer6Timer() {
  if (state_.Timer6Tag == 1) {
    CloseTick();
    return;
  }
  runs_.Timer6Timer();
}

void TProTarvoCompatibility::CloseTick() {
  const int alpha = view_.Alpha();
  if (alpha == 0) {
    view_.EndApplication();
    return;
  }
  // Asked for once only: a new request restarts the engine's timer, and a timer that fires
  // after this one every time (as under Wine) would then never let the engine take a step.
  if (!collapse_requested_) {
    collapse_requested_ = true;
    view_.SetTimerEnabled(Timer::Timer5, false);
    StopAnimations();
    AnimateControl(&view_.Window(), ClosingCollapseTarget(view_.WindowBounds()));
  }
  view_.SetAlpha(alpha <= kFadeStep ? 0 : alpha - kFadeStep);
}

void TProTarvoCompatibility::FormSeat::TakeBack(const Rect& bounds) {
  Animatable& window = view_.Window();
  window.SetLeft(bounds.left);
  window.SetTop(bounds.top);
  window.SetWidth(bounds.width);
  window.SetHeight(bounds.height);
  state_.MainWindowTag = 1;
  view_.SetWindowEnabled(true);
  view_.ShowWindow(true);
  AnimateControl(&window, CleanupHandBackTarget(LayoutOf(view_), view_.Screen()));
}

bool TProTarvoCompatibility::OpenCleanup() {
  if (!open_cleanup_) return false;
  open_cleanup_();
  return true;
}

}  // namespace veltrane::ui
