// WriteConsoleA's text output on a screen buffer: printable bytes at the cursor in the text attribute,
// the control characters of processed output, wrapping at the end of a row, scrolling at the bottom of
// the buffer and the window following the cursor.
#pragma once

#include "platform/console_platform.hpp"

namespace kelvane::platform::emulated {

struct ScreenBuffer;
class FrameTracker;

// Writes `count` bytes at the cursor of `buffer`. `shown` is the frame tracker when `buffer` is the one
// on show, nullptr otherwise.
void WriteText(ScreenBuffer& buffer, const unsigned char* bytes, Dword count, FrameTracker* shown);

}  // namespace kelvane::platform::emulated
