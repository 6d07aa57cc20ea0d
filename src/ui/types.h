// Plain values of the windowing adapter: handles, geometry, fonts, colours, the kinds of
// controls and of changes a backend hears about, and the numbers of modal results and
// message boxes. Texts are bytes in whatever encoding the caller uses.
#pragma once

#include <cstdint>
#include <string>

namespace ryn::ui {

// A native window: a handle of the process-wide window table, or a host's foreign value.
using WindowHandle = intptr_t;

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// 0xRRGGBB, or a system colour (high bit set) that a backend maps to its theme.
using ColorRef = uint32_t;
constexpr ColorRef kColorWhite = 0xFFFFFF;
constexpr ColorRef kColorDefault = 0x80000000u;  // whatever the control's kind shows
constexpr ColorRef kColorDialog = 0x80000001u;   // face of dialogs and buttons
constexpr ColorRef kColorInfo = 0x80000002u;     // background of tool tips

// Character sets a font may ask for.
constexpr int kCharsetDefault = 1;
constexpr int kCharsetGb2312 = 134;

struct FontInfo {
  std::string name;  // empty: the backend's default face
  int size = 9;      // points; 9 points are 12 pixels at 96 dots per inch
  bool bold = false;
  int charset = kCharsetDefault;
  friend bool operator==(const FontInfo&, const FontInfo&) = default;
};

// How a control places itself in its parent's client area, in creation order.
enum class AlignMode : uint8_t { kNone, kTop, kBottom, kLeft, kRight, kClient };

enum class FormBorder : uint8_t { kNone, kSingle, kDialog, kSizeable };
enum class FormPosition : uint8_t { kDesigned, kScreenCenter };
enum class ScrollBars : uint8_t { kNone, kHorizontal, kVertical, kBoth };
enum class TextLayout : uint8_t { kTop, kCenter, kBottom };

enum class ControlKind : uint8_t {
  kForm, kPanel, kLabel, kEdit, kButtonEdit, kButton, kComboBox, kListBox, kListView,
  kRichText, kGauge, kPageControl, kPage, kTabControl, kValueListEditor, kGridView,
};

// What changed on a control, for its peer.
enum class Change : uint8_t {
  kCaption, kText, kSelection, kBounds, kVisible, kEnabled, kFont, kColor, kParent, kItems,
  kItemIndex, kColumns, kValue, kActivePage, kStyle, kRepaint, kCurrentCell,
  kAccessible,  // the accessible name, the mnemonic, or the label naming the control
  kFocus,       // program code gave the control the keyboard focus
};

// Modal results, which are also the answers of message boxes.
constexpr int kMrNone = 0;
constexpr int kMrOk = 1;
constexpr int kMrCancel = 2;
constexpr int kMrAbort = 3;
constexpr int kMrRetry = 4;
constexpr int kMrIgnore = 5;
constexpr int kMrYes = 6;
constexpr int kMrNo = 7;

// Message box flags: one set of buttons ored with one icon.
constexpr uint32_t kMbOk = 0x00;
constexpr uint32_t kMbOkCancel = 0x01;
constexpr uint32_t kMbAbortRetryIgnore = 0x02;
constexpr uint32_t kMbYesNoCancel = 0x03;
constexpr uint32_t kMbYesNo = 0x04;
constexpr uint32_t kMbRetryCancel = 0x05;
constexpr uint32_t kMbButtonsMask = 0x0F;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconWarning = 0x30;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbIconMask = 0xF0;

// Private window messages are numbered from here up.
constexpr uint32_t kFirstPrivateMessage = 1025;

struct Message {
  WindowHandle window = 0;
  uint32_t msg = 0;
  intptr_t wparam = 0;
  intptr_t lparam = 0;
};

}  // namespace ryn::ui
