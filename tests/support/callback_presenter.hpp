// A presenter that hands each frame to a function, for tests that watch what would be shown.
#pragma once

#include <functional>
#include <utility>

#include "platform/emulated/frame.hpp"

namespace kelvane::platform::testing {

class CallbackPresenter final : public Presenter {
 public:
  explicit CallbackPresenter(std::function<void(const ConsoleFrame&)> present)
      : present_(std::move(present)) {}
  void Present(const ConsoleFrame& frame) noexcept override { present_(frame); }

 private:
  std::function<void(const ConsoleFrame&)> present_;
};

}  // namespace kelvane::platform::testing
