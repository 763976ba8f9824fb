#include "popup/trigger.h"

#include <gtest/gtest.h>

namespace dravlin {
namespace {

KeystrokeFacts TextFieldFacts() {
  KeystrokeFacts facts;
  facts.keystrokeFlags = 0x011D0001;  // first key-down of right Ctrl
  facts.hostInForeground = true;
  facts.triggerKeyDown = true;
  facts.hasFocusWindow = true;
  facts.focusClassName = "Edit";
  facts.caretKnown = true;
  facts.caret = {17, 3};
  facts.clientOrigin = {100, 200};
  return facts;
}

TEST(Trigger, OpensAtTheCaretOnScreen) {
  EXPECT_EQ(DecideTrigger(TextFieldFacts()), (ScreenPoint{117, 203}));
}

TEST(Trigger, EachFailedTestOpensNothing) {
  struct Case {
    const char* name;
    void (*change)(KeystrokeFacts&);
  };
  const Case cases[] = {
      {"auto-repeat (bit 30)", [](KeystrokeFacts& f) { f.keystrokeFlags |= 1u << 30; }},
      {"key release (bit 31)", [](KeystrokeFacts& f) { f.keystrokeFlags |= 1u << 31; }},
      {"host not in front", [](KeystrokeFacts& f) { f.hostInForeground = false; }},
      {"trigger key up", [](KeystrokeFacts& f) { f.triggerKeyDown = false; }},
      {"no focus window", [](KeystrokeFacts& f) { f.hasFocusWindow = false; }},
      {"not a text field", [](KeystrokeFacts& f) { f.focusClassName = "ComboBox"; }},
  };
  for (const Case& c : cases) {
    KeystrokeFacts facts = TextFieldFacts();
    c.change(facts);
    EXPECT_FALSE(DecideTrigger(facts).has_value()) << c.name;
  }
}

TEST(Trigger, TextFieldClassNames) {
  for (const char* name : {"Edit", "EDIT", "edit", "ChatTextBox", "TEXTBOXEX", "textbox"})
    EXPECT_TRUE(IsTextFieldClass(name)) << name;
  for (const char* name : {"RichEdit20A", "ComboBox", "MyEditor", "Edit2", "", "Static"})
    EXPECT_FALSE(IsTextFieldClass(name)) << name;
}

TEST(Trigger, UnknownCaretOpensAtTheClientOrigin) {
  KeystrokeFacts facts = TextFieldFacts();
  facts.caretKnown = false;
  EXPECT_EQ(DecideTrigger(facts), (ScreenPoint{100, 200}));
}

TEST(Trigger, SidedKeysFromKeystrokeFlags) {
  EXPECT_EQ(SidedVirtualKey(0x11, 0x011D0001), 0xA3);  // extended: right Ctrl
  EXPECT_EQ(SidedVirtualKey(0x11, 0x001D0001), 0xA2);  // left Ctrl
  EXPECT_EQ(SidedVirtualKey(0x10, 0x00360001), 0xA1);  // scan code 0x36: right Shift
  EXPECT_EQ(SidedVirtualKey(0x10, 0x002A0001), 0xA0);  // left Shift
  EXPECT_EQ(SidedVirtualKey(0x2D, 0x01520001), 0x2D);  // Insert stays Insert
}

}  // namespace
}  // namespace dravlin
