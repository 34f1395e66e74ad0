// Keyboard: Qt keys as Windows virtual-key codes (German layout for the OEM keys) and the key
// state that GET_KEY_STATE reports.
#include "quillon/backend/backend.h"

#include <QGuiApplication>

#include <bitset>

namespace {

struct key_state {
  std::bitset<256> down;
  Qt::KeyboardModifiers modifiers;  // the state the last key or mouse event left
};
key_state& st() {
  static key_state s;
  return s;
}

constexpr int32_t VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12;

int32_t keypad_vk(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x60 + (key - Qt::Key_0);  // VK_NUMPAD0..9
  switch (key) {
    case Qt::Key_Asterisk: return 0x6A;  // VK_MULTIPLY
    case Qt::Key_Plus: return 0x6B;      // VK_ADD
    case Qt::Key_Minus: return 0x6D;     // VK_SUBTRACT
    case Qt::Key_Period: case Qt::Key_Comma: case Qt::Key_Delete: return 0x6E;  // VK_DECIMAL
    case Qt::Key_Slash: return 0x6F;     // VK_DIVIDE
    case Qt::Key_Enter: case Qt::Key_Return: return 0x0D;
    default: return 0;
  }
}

}  // namespace

namespace qnb {

int32_t qt_key_to_vk(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier)
    if (int32_t vk = keypad_vk(key)) return vk;
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 0x41 + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return 0x30 + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Clear: return 0x0C;
    case Qt::Key_Return: case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_CapsLock: return 0x14;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Print: return 0x2C;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    case Qt::Key_Help: return 0x2F;
    case Qt::Key_Meta: return 0x5B;
    case Qt::Key_Menu: return 0x5D;
    case Qt::Key_NumLock: return 0x90;
    case Qt::Key_ScrollLock: return 0x91;
    // Shifted digits of the German layout stay on their digit keys.
    case Qt::Key_Equal: case Qt::Key_BraceRight: return 0x30;
    case Qt::Key_Exclam: return 0x31;
    case Qt::Key_QuoteDbl: case Qt::Key_twosuperior: return 0x32;
    case Qt::Key_section: case Qt::Key_threesuperior: return 0x33;
    case Qt::Key_Dollar: return 0x34;
    case Qt::Key_Percent: return 0x35;
    case Qt::Key_Ampersand: return 0x36;
    case Qt::Key_Slash: case Qt::Key_BraceLeft: return 0x37;
    case Qt::Key_ParenLeft: case Qt::Key_BracketLeft: return 0x38;
    case Qt::Key_ParenRight: case Qt::Key_BracketRight: return 0x39;
    case Qt::Key_At: return 0x51;
    case Qt::Key_mu: return 0x4D;
    case 0x20AC: return 0x45;  // the euro sign, AltGr+E
    // The OEM keys of the German layout.
    case Qt::Key_Udiaeresis: return 0xBA;  // VK_OEM_1
    case Qt::Key_Plus: case Qt::Key_Asterisk: case Qt::Key_AsciiTilde: case Qt::Key_Dead_Tilde: return 0xBB;
    case Qt::Key_Comma: case Qt::Key_Semicolon: return 0xBC;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period: case Qt::Key_Colon: return 0xBE;
    case Qt::Key_NumberSign: case Qt::Key_Apostrophe: return 0xBF;  // VK_OEM_2
    case Qt::Key_Odiaeresis: return 0xC0;                            // VK_OEM_3
    case Qt::Key_ssharp: case Qt::Key_Question: case Qt::Key_Backslash: return 0xDB;  // VK_OEM_4
    case Qt::Key_AsciiCircum: case Qt::Key_Dead_Circumflex: case Qt::Key_degree: return 0xDC;
    case Qt::Key_acute: case Qt::Key_Dead_Acute: case Qt::Key_QuoteLeft: case Qt::Key_Dead_Grave: return 0xDD;
    case Qt::Key_Adiaeresis: return 0xDE;  // VK_OEM_7
    case Qt::Key_Less: case Qt::Key_Greater: case Qt::Key_Bar: return 0xE2;  // VK_OEM_102
    default: return 0;
  }
}

void note_key(int32_t vk, bool down) {
  if (vk <= 0 || vk >= 256) return;
  st().down[size_t(vk)] = down;
  // For the event of Shift or Ctrl itself the flags may still be those from before the key
  // (X11 reports the state at the moment of the key): the key decides.  (The Alt code also
  // stands for AltGr, which is no Alt for the hot keys: its flag stays the event's.)
  if (vk == VK_SHIFT || vk == VK_CONTROL)
    st().modifiers.setFlag(vk == VK_SHIFT ? Qt::ShiftModifier : Qt::ControlModifier, down);
}

void note_modifiers(Qt::KeyboardModifiers modifiers) { st().modifiers = modifiers; }

std::string typed_characters(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
  // Ctrl (without Alt, which together with Ctrl stands for AltGr) types a control character
  // with a letter only, as the Windows keyboard translation does.  Ctrl with a digit or with
  // "^" types nothing: the platform's own control codes (X11 makes 0x1E of Ctrl+^) would reach
  // the program as characters.  Space, Enter, Tab, Backspace and Escape keep their own.
  if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier)) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return std::string(1, char(key - Qt::Key_A + 1));
    switch (key) {
      case Qt::Key_Space: return " ";
      case Qt::Key_Return: case Qt::Key_Enter: return "\r";
      case Qt::Key_Tab: case Qt::Key_Backtab: return "\t";
      case Qt::Key_Backspace: return "\b";
      case Qt::Key_Escape: return "\x1b";
      default: return {};
    }
  }
  std::string typed;
  for (char ch : to_1252(text))
    if (ch != 0x7F && ch != 0) typed.push_back(ch);  // Delete gives no character
  return typed;
}

void keys_reset() {
  st().down.reset();
  st().modifiers = Qt::NoModifier;
}

}  // namespace qnb

int32_t GET_KEY_STATE(int32_t virtual_key) {
  constexpr int32_t DOWN = int32_t(0xFFFF8000u);  // the 16-bit state with its top bit, widened
  if (!QGuiApplication::instance()) return 0;
  // The state the last key or mouse event of a library window left, as for every other key.
  // Not the platform's: that is the state its last event reported, which for the release of
  // Ctrl on X11 is the state from before the key, with Ctrl still down.
  const Qt::KeyboardModifiers mods = st().modifiers;
  const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
  switch (virtual_key) {
    case VK_SHIFT: return (mods & Qt::ShiftModifier) ? DOWN : 0;
    case VK_CONTROL: return (mods & Qt::ControlModifier) ? DOWN : 0;
    case VK_MENU: return (mods & Qt::AltModifier) ? DOWN : 0;
    case 0x01: return (buttons & Qt::LeftButton) ? DOWN : 0;
    case 0x02: return (buttons & Qt::RightButton) ? DOWN : 0;
    case 0x04: return (buttons & Qt::MiddleButton) ? DOWN : 0;
    default: break;
  }
  if (virtual_key <= 0 || virtual_key > 255) return 0;
  return st().down[size_t(virtual_key)] ? DOWN : 0;
}
