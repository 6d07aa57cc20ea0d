#include "ui/controls.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "ui/application.h"
#include "ui/form.h"

namespace ryn::ui {
namespace {

void Fire(const std::function<void()>& handler) {
  if (handler) Application::Instance().Guard(handler);
}

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; }

}  // namespace

std::string NumberChars(std::string_view text) {
  std::string kept;
  // Byte-wise: the trail bytes of GBK and UTF-8 (0x40 and up) never pass for these.
  for (char c : text)
    if (IsNumberChar(c)) kept += c;
  return kept;
}

void Panel::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  Changed(Change::kCaption);
}

void Panel::SetBevels(uint8_t bevels) {
  bevels_ = bevels;
  Changed(Change::kStyle);
}

void Label::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(Change::kCaption);
  if (Control* named = FocusControl()) named->Changed(Change::kAccessible);
}

void Label::SetWordWrap(bool wrap) {
  wordWrap_ = wrap;
  Changed(Change::kStyle);
}

void Label::SetLayout(TextLayout layout) {
  layout_ = layout;
  Changed(Change::kStyle);
}

Control* Label::FocusControl() const {
  return focusControl_ ? Application::Instance().FindWindow(focusControl_) : nullptr;
}

void Label::SetFocusControl(Control* control) {
  Control* old = FocusControl();
  if (old == control) return;
  if (old && old->labelledBy_ == tableHandle_) {
    old->labelledBy_ = 0;
    old->Changed(Change::kAccessible);
  }
  focusControl_ = control ? control->tableHandle_ : 0;
  if (control) {
    control->labelledBy_ = tableHandle_;
    control->Changed(Change::kAccessible);
  }
  Changed(Change::kAccessible);
}

void Button::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(Change::kCaption);
}

void Button::SetDefault(bool value) {
  default_ = value;
  Changed(Change::kStyle);
}

void Button::SetCancel(bool value) {
  cancel_ = value;
  Changed(Change::kStyle);
}

void Button::UserClick() {
  if (modalResult_ != kMrNone)
    if (Form* form = ParentForm()) form->SetModalResult(modalResult_);
  Fire(OnClick);
}

void Edit::SetText(std::string text) {
  const bool changed = text != text_;
  text_ = std::move(text);
  selStart_ = 0;
  selLength_ = 0;
  if (!changed) return;
  Changed(Change::kText);
  Fire(OnChange);
}

std::string Edit::SelText() const { return text_.substr(static_cast<size_t>(selStart_), static_cast<size_t>(selLength_)); }

void Edit::SetSelection(int start, int length) {
  const int size = static_cast<int>(text_.size());
  selStart_ = std::clamp(start, 0, size);
  selLength_ = std::clamp(length, 0, size - selStart_);
  Changed(Change::kSelection);
}

void Edit::SetSelText(std::string_view text) {
  text_.replace(static_cast<size_t>(selStart_), static_cast<size_t>(selLength_), text);
  selStart_ += static_cast<int>(text.size());
  selLength_ = 0;
  Changed(Change::kText);
  Fire(OnChange);
}

void Edit::SetReadOnly(bool value) {
  readOnly_ = value;
  Changed(Change::kStyle);
}

void Edit::SetNumberMode(bool value) {
  numberMode_ = value;
  Changed(Change::kStyle);
}

void Edit::UserType(std::string_view text) {
  if (readOnly_) return;
  std::string typed(text);
  if (numberMode_) typed = NumberChars(typed);
  if (typed.empty() && selLength_ == 0) return;
  SetSelText(typed);
}

bool Edit::UserSetText(std::string_view text) {
  if (readOnly_) return false;
  std::string next = numberMode_ ? NumberChars(text) : std::string(text);
  const bool changed = next != text_;
  text_ = std::move(next);
  selStart_ = static_cast<int>(text_.size());
  selLength_ = 0;
  if (!changed) return true;
  Changed(Change::kText);
  Fire(OnChange);
  return true;
}

void ButtonEdit::UserClickButton() { Fire(OnButtonClick); }

void Gauge::SetMinValue(int value) {
  min_ = value;
  Changed(Change::kValue);
}

void Gauge::SetMaxValue(int value) {
  max_ = value;
  Changed(Change::kValue);
}

void Gauge::SetProgress(int value) {
  if (value == progress_) return;
  progress_ = value;
  Changed(Change::kValue);
}

int Gauge::PercentDone() const {
  const int64_t range = static_cast<int64_t>(max_) - min_;
  if (range <= 0) return 0;
  return static_cast<int>((static_cast<int64_t>(progress_) - min_) * 100 / range);
}

std::string Gauge::Text() const {
  char text[16];
  std::snprintf(text, sizeof text, "%d%%", PercentDone());
  return text;
}

void RichText::AddLine(std::string line) {
  lines_.push_back(std::move(line));
  Changed(Change::kText);
}

void RichText::AddLines(std::vector<std::string> lines) {
  if (lines.empty()) return;
  lines_.insert(lines_.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
  Changed(Change::kText);
}

void RichText::ClearLines() {
  ++replacements_;
  lines_.clear();
  Changed(Change::kText);
}

std::string RichText::Text() const {
  std::string text;
  for (const std::string& line : lines_) text += line + "\r\n";
  return text;
}

std::vector<std::string> RichText::SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return lines;
}

void RichText::SetText(std::string_view text) {
  ++replacements_;
  lines_ = SplitLines(text);
  Changed(Change::kText);
}

bool RichText::UserSetText(std::string_view text) {
  if (readOnly_) return false;
  const std::string before = Text();
  SetText(text);
  if (Text() != before) Fire(OnChange);
  return true;
}

void RichText::SetReadOnly(bool value) {
  readOnly_ = value;
  Changed(Change::kStyle);
}

void RichText::SetWordWrap(bool value) {
  wordWrap_ = value;
  Changed(Change::kStyle);
}

void RichText::SetScrollBars(ScrollBars bars) {
  scrollBars_ = bars;
  Changed(Change::kStyle);
}

void RichText::SetBorder(bool value) {
  border_ = value;
  Changed(Change::kStyle);
}

}  // namespace ryn::ui
