// The public members: each enters through a guard that gives the platform its end-of-call signal when
// the outermost call of the thread returns, so a frame is shown once per client call, never halfway.
#include <kelvane/console.hpp>

#include "core/console_impl.hpp"
#include "platform/console_platform.hpp"

namespace KelvaneConsole {

namespace {

thread_local int t_call_depth = 0;

class CallGuard {
 public:
  CallGuard() noexcept { ++t_call_depth; }
  ~CallGuard() {
    // The platform is looked up as the call leaves, not as it enters: Load and Unload inside the call
    // may have changed what there is to show.
    if (--t_call_depth == 0) kelvane::platform::Platform().EndOfCall();
  }
  CallGuard(const CallGuard&) = delete;
  CallGuard& operator=(const CallGuard&) = delete;
};

}  // namespace

Console::Console() : impl_(std::make_unique<Impl>()) {}

Console::~Console() {
  CallGuard guard;
  impl_.reset();
}

String Console::Caption() {
  CallGuard guard;
  return impl_->Caption();
}
void Console::Caption(const String& New_Caption) {
  CallGuard guard;
  impl_->Caption(New_Caption);
}
bool Console::DrawBox(Integer X, Integer Y, Integer& Width, Integer& Height, Long ForeColor, Long BackColor,
                      KSConsoleLineStyles LineStyle, bool DrawShadow, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->DrawBox(X, Y, Width, Height, ForeColor, BackColor, LineStyle, DrawShadow, PageIndex);
}
bool Console::DrawHLine(Integer X, Integer Y, Integer& Width, Long ForeColor, Long BackColor,
                        KSConsoleLineStyles LineStyle, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->DrawHLine(X, Y, Width, ForeColor, BackColor, LineStyle, PageIndex);
}
bool Console::DrawVLine(Integer X, Integer Y, Integer& Height, Long ForeColor, Long BackColor,
                        KSConsoleLineStyles LineStyle, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->DrawVLine(X, Y, Height, ForeColor, BackColor, LineStyle, PageIndex);
}
bool Console::SaveScreen(const String& FileName, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->SaveScreen(FileName, PageIndex);
}
bool Console::LoadScreen(const String& FileName, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->LoadScreen(FileName, PageIndex);
}
bool Console::SetColor(Long ForeColor, const Variant& BackColor, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->SetColor(ForeColor, BackColor, PageIndex);
}
bool Console::SetScreenData(String& Char, Long ForeColor, const Variant& BackColor, const Variant& X,
                            const Variant& Y, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->SetScreenData(Char, ForeColor, BackColor, X, Y, PageIndex);
}
bool Console::SetScreenData(const String& Char, Long ForeColor, const Variant& BackColor, const Variant& X,
                            const Variant& Y, const Variant& PageIndex) {
  CallGuard guard;
  String copy = Char;
  return impl_->SetScreenData(copy, ForeColor, BackColor, X, Y, PageIndex);
}
bool Console::GetScreenData(String& Char, Long& ForeColor, Long& BackColor, const Variant& X,
                            const Variant& Y, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->GetScreenData(Char, ForeColor, BackColor, X, Y, PageIndex);
}
void Console::ToggleFullScreen() {
  CallGuard guard;
  impl_->ToggleFullScreen();
}
bool Console::ClearScreen(const Variant& ForeColor, const Variant& BackColor, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->ClearScreen(ForeColor, BackColor, PageIndex);
}
Integer Console::CursorSize() {
  CallGuard guard;
  return impl_->CursorSize();
}
void Console::CursorSize(Integer New_CursorSize) {
  CallGuard guard;
  impl_->CursorSize(New_CursorSize);
}
bool Console::CursorVisible() {
  CallGuard guard;
  return impl_->CursorVisible();
}
void Console::CursorVisible(bool New_CursorVisible) {
  CallGuard guard;
  impl_->CursorVisible(New_CursorVisible);
}
bool Console::GetWindowSize(Integer& Width, Integer& Height) {
  CallGuard guard;
  return impl_->GetWindowSize(Width, Height);
}
Integer Console::GetInputKey(bool NoCursor) {
  CallGuard guard;
  return impl_->GetInputKey(NoCursor);
}
String Console::GetInputChar(bool NoCursor) {
  CallGuard guard;
  return impl_->GetInputChar(NoCursor);
}
void Console::Load(bool StartFullScreen) {
  CallGuard guard;
  impl_->Load(StartFullScreen);
}
Integer Console::Page() {
  CallGuard guard;
  return impl_->Page();
}
void Console::Page(Integer New_Page) {
  CallGuard guard;
  impl_->Page(New_Page);
}
bool Console::PageCopy(Integer SourcePage, Integer DestPage) {
  CallGuard guard;
  return impl_->PageCopy(SourcePage, DestPage);
}
bool Console::SetCursorPos(Integer X, Integer Y, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->SetCursorPos(X, Y, PageIndex);
}
bool Console::GetCursorPos(Integer& X, Integer& Y, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->GetCursorPos(X, Y, PageIndex);
}
String Console::GetInputLine(const String& Prompt, Long MaxLength, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->GetInputLine(Prompt, MaxLength, PageIndex);
}
bool Console::WriteText(String Text, const Variant& ForeColor, const Variant& BackColor,
                        bool KeepCursorOnCurrentLine, const Variant& PageIndex) {
  CallGuard guard;
  return impl_->WriteText(std::move(Text), ForeColor, BackColor, KeepCursorOnCurrentLine, PageIndex);
}
void Console::Unload() {
  CallGuard guard;
  impl_->Unload();
}

}  // namespace KelvaneConsole
