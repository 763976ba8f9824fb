#include "popup/trigger.h"

namespace dravlin {
namespace {

constexpr std::uint32_t kPreviousStateAndTransitionBits = 0xC0000000u;
constexpr std::uint32_t kExtendedKeyBit = 1u << 24;
constexpr int kShift = 0x10, kControl = 0x11;
constexpr int kLeftShift = 0xA0, kRightShift = 0xA1, kLeftControl = 0xA2, kRightControl = 0xA3;
constexpr unsigned kRightShiftScanCode = 0x36;

}  // namespace

bool IsTextFieldClass(const std::string& className) {
  std::string lower = className;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower.find("textbox") != std::string::npos || lower == "edit";
}

int SidedVirtualKey(int virtualKey, std::uint32_t keystrokeFlags) {
  const unsigned scanCode = (keystrokeFlags >> 16) & 0xFF;
  if (virtualKey == kControl) return (keystrokeFlags & kExtendedKeyBit) ? kRightControl : kLeftControl;
  if (virtualKey == kShift) return scanCode == kRightShiftScanCode ? kRightShift : kLeftShift;
  return virtualKey;
}

bool IsFirstKeyDown(std::uint32_t keystrokeFlags) {
  return (keystrokeFlags & kPreviousStateAndTransitionBits) == 0;
}

std::optional<ScreenPoint> DecideTrigger(const KeystrokeFacts& facts) {
  if (!IsFirstKeyDown(facts.keystrokeFlags)) return std::nullopt;
  if (!facts.hostInForeground || !facts.triggerKeyDown || !facts.hasFocusWindow) return std::nullopt;
  if (!IsTextFieldClass(facts.focusClassName)) return std::nullopt;
  ScreenPoint at = facts.clientOrigin;
  if (facts.caretKnown) {
    at.x += facts.caret.x;
    at.y += facts.caret.y;
  }
  return at;
}

}  // namespace dravlin
