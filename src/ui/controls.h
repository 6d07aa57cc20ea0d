// The simple controls: panel, label, button, edit (with caret, selection, read-only and
// number mode), edit with an ellipsis button, percentage gauge and read-only rich text.
// Methods named User... are the path a user's input takes (the toolkit's signals call
// them, and so do the drivers the tests use); the setters are what program code does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control.h"
#include "ui/handler.h"

namespace ryn::ui {

constexpr uint8_t kBevelLeft = 1;
constexpr uint8_t kBevelTop = 2;
constexpr uint8_t kBevelRight = 4;
constexpr uint8_t kBevelBottom = 8;

class RYN_UI_API Panel : public Control {
 public:
  Panel() : Control(ControlKind::kPanel) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  uint8_t Bevels() const { return bevels_; }
  void SetBevels(uint8_t bevels);

 private:
  std::string caption_;
  uint8_t bevels_ = 0;
};

class RYN_UI_API Label : public Control {
 public:
  Label() : Control(ControlKind::kLabel) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wrap);
  TextLayout Layout() const { return layout_; }
  void SetLayout(TextLayout layout);
  // The control this label names for a screen reader, and that its mnemonic focuses; the
  // control's accessible name is then the caption. Null: a label of its own.
  Control* FocusControl() const;
  void SetFocusControl(Control* control);
  // Both at once: the label names control, and Alt with the key focuses it.
  void LabelFor(Control& control, char mnemonic) {
    SetFocusControl(&control);
    SetMnemonic(mnemonic);
  }

 private:
  std::string caption_;
  WindowHandle focusControl_ = 0;
  bool wordWrap_ = false;
  TextLayout layout_ = TextLayout::kTop;
};

class RYN_UI_API Button : public Control {
 public:
  Button() : Control(ControlKind::kButton) {}
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool IsDefault() const { return default_; }
  void SetDefault(bool value);
  bool IsCancel() const { return cancel_; }
  void SetCancel(bool value);
  // Given to the form when the button is clicked.
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  // A click: the form takes the button's modal result (when not 0), then OnClick runs.
  void UserClick();

  Handler<void()> OnClick;

 private:
  std::string caption_;
  bool default_ = false;
  bool cancel_ = false;
  int modalResult_ = kMrNone;
};

// The characters of text that number mode lets through (digits, signs, decimal point).
RYN_UI_API std::string NumberChars(std::string_view text);

// Positions are byte offsets into the text.
class RYN_UI_API Edit : public Control {
 public:
  Edit() : Control(ControlKind::kEdit) {}
  const std::string& Text() const { return text_; }
  // Puts the caret at the start; fires OnChange when the text differs.
  void SetText(std::string text);
  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  std::string SelText() const;
  // Clamped to the text.
  void SetSelection(int start, int length);
  void SelectAll() { SetSelection(0, static_cast<int>(text_.size())); }
  // Replaces the selection (or inserts at the caret) and puts the caret after the text.
  void SetSelText(std::string_view text);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  // Only the characters of a number (digits, signs, decimal point) can be typed.
  bool NumberMode() const { return numberMode_; }
  void SetNumberMode(bool value);
  // Typing: nothing when read-only; in number mode other characters are dropped.
  void UserType(std::string_view text);
  // The whole text as the user's editing in a toolkit's entry left it (typing, paste,
  // delete, input methods): the same filter as typing, the caret after the text; false
  // when the edit is read-only.
  bool UserSetText(std::string_view text);

  Handler<void()> OnChange;

 protected:
  explicit Edit(ControlKind kind) : Control(kind) {}

 private:
  std::string text_;
  int selStart_ = 0;
  int selLength_ = 0;
  bool readOnly_ = false;
  bool numberMode_ = false;
};

class RYN_UI_API ButtonEdit : public Edit {
 public:
  ButtonEdit() : Edit(ControlKind::kButtonEdit) {}
  void UserClickButton();
  Handler<void()> OnButtonClick;
};

// A bar showing progress against its maximum, with the percentage as its text.
class RYN_UI_API Gauge : public Control {
 public:
  Gauge() : Control(ControlKind::kGauge) {}
  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  void SetMinValue(int value);
  void SetMaxValue(int value);
  int Progress() const { return progress_; }
  void SetProgress(int value);
  // Whole percent of the way from minimum to maximum; 0 for an empty range.
  int PercentDone() const;
  // The percentage as "%d%%" formats it.
  std::string Text() const;

 private:
  int min_ = 0;
  int max_ = 100;
  int progress_ = 0;
};

// Lines of text the user reads but does not edit.
class RYN_UI_API RichText : public Control {
 public:
  RichText() : Control(ControlKind::kRichText) {}
  const std::vector<std::string>& Lines() const { return lines_; }
  // Appending keeps the lines there: a view adds only the new ones, so a log of any length
  // costs time in proportion to what is added. Many lines at once are one change.
  void AddLine(std::string line);
  void AddLines(std::vector<std::string> lines);
  void ClearLines();
  // Counts the changes that replaced lines rather than appended to them.
  uint64_t Replacements() const { return replacements_; }
  // The lines, each ended by CR LF; setting splits at CR LF, LF or CR.
  std::string Text() const;
  void SetText(std::string_view text);
  // The lines setting that text gives.
  static std::vector<std::string> SplitLines(std::string_view text);
  // The text as the user's editing left it, when not read-only; OnChange follows a change.
  bool UserSetText(std::string_view text);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  ScrollBars Scrolling() const { return scrollBars_; }
  void SetScrollBars(ScrollBars bars);
  bool Border() const { return border_; }
  void SetBorder(bool value);

  Handler<void()> OnChange;

 private:
  std::vector<std::string> lines_;
  uint64_t replacements_ = 0;
  bool readOnly_ = true;
  bool wordWrap_ = true;
  bool border_ = true;
  ScrollBars scrollBars_ = ScrollBars::kNone;
};

}  // namespace ryn::ui
