#include "drawing/line_styles.hpp"

#include <array>

namespace KelvaneConsole {

namespace {

constexpr std::array<LineStyleCharacters, 9> kStyles{{
    {0, 0, 0, 0, 0, 0},                    // kcLineColorOnly
    {' ', ' ', 0, 0, 0, 0},                // kcLinePlain
    {0xC4, 0xB3, 0xDA, 0xBF, 0xC0, 0xD9},  // kcLineSingleLine: ─ │ ┌ ┐ └ ┘
    {0xCD, 0xBA, 0xC9, 0xBB, 0xC8, 0xBC},  // kcLineDoubleLine: ═ ║ ╔ ╗ ╚ ╝
    {'-', '|', '+', '+', '+', '+'},        // kcLinePlusMinusPipeLine
    {'*', '*', 0, 0, 0, 0},                // kcLineAsterisks
    {0xB0, 0xB0, 0, 0, 0, 0},              // kcLineGray25Percent: ░
    {0xB1, 0xB1, 0, 0, 0, 0},              // kcLineGray50Percent: ▒
    {0xB2, 0xB2, 0, 0, 0, 0},              // kcLineGray75Percent: ▓
}};

}  // namespace

const LineStyleCharacters& CharactersOf(KSConsoleLineStyles style) noexcept {
  auto value = static_cast<Long>(style);
  return kStyles[value >= 0 && value < static_cast<Long>(kStyles.size()) ? static_cast<size_t>(value) : 0];
}

}  // namespace KelvaneConsole
