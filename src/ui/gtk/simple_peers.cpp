// Peers of the simple controls: panel, label, button, edit, edit with ellipsis button,
// gauge and read-only rich text.
#include <algorithm>
#include <cstdint>
#include <string>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/gtk/peers.h"

namespace ryn::ui::gtk {
namespace {

class PanelPeer : public ContainerPeer {
 public:
  explicit PanelPeer(Panel& panel) : ContainerPeer(panel) {}
};

class LabelPeer : public GtkPeer {
 public:
  explicit LabelPeer(Label& label) : GtkPeer(label, gtk_label_new(nullptr)), label_(label) {
    Connect(Outer(), "style-updated", G_CALLBACK(+[](GtkWidget*, gpointer self) {
              static_cast<LabelPeer*>(self)->FitWrapWidth();
            }));
  }

 protected:
  void Update(Change what) override {
    GtkLabel* widget = GTK_LABEL(Outer());
    // Only a label that names a control reads its caption as mnemonic text: the others
    // show data (file names, counts) whose underscores are their own.
    if (what == Change::kCaption || what == Change::kAccessible) {
      if (label_.FocusControl()) gtk_label_set_text_with_mnemonic(widget, MnemonicText(ToUtf8(label_.Caption()), label_.Mnemonic()).c_str());
      else gtk_label_set_text(widget, ToUtf8(label_.Caption()).c_str());
    }
    if (what == Change::kStyle) {
      gtk_label_set_line_wrap(widget, label_.WordWrap());
      FitWrapWidth();
      gtk_label_set_xalign(widget, 0);
      gtk_label_set_yalign(widget, label_.Layout() == TextLayout::kTop      ? 0.0f
                                   : label_.Layout() == TextLayout::kCenter ? 0.5f
                                                                            : 1.0f);
    }
  }

 private:
  // A wrapping label wraps at the width its bounds give it: left to itself it asks for the
  // width of its whole text, and the form would grow to make room for a long one. The
  // toolkit measures that limit in characters of the label's font.
  void FitWrapWidth() {
    GtkLabel* widget = GTK_LABEL(Outer());
    const int width = Scaled(label_.Bounds().width);
    if (!label_.WordWrap() || width <= 0) {
      gtk_label_set_max_width_chars(widget, -1);
      return;
    }
    PangoContext* context = gtk_widget_get_pango_context(Outer());
    PangoFontMetrics* metrics =
        pango_context_get_metrics(context, pango_context_get_font_description(context), pango_context_get_language(context));
    const int charWidth = std::max(pango_font_metrics_get_approximate_char_width(metrics),
                                   pango_font_metrics_get_approximate_digit_width(metrics));
    pango_font_metrics_unref(metrics);
    gtk_label_set_max_width_chars(widget, std::max(1, width * PANGO_SCALE / std::max(charWidth, 1)));
  }

  Label& label_;
};

class ButtonPeer : public GtkPeer {
 public:
  explicit ButtonPeer(Button& button) : GtkPeer(button, gtk_button_new()), button_(button) {
    Connect(Outer(), "clicked", G_CALLBACK(+[](GtkButton*, gpointer self) {
              auto* peer = static_cast<ButtonPeer*>(self);
              if (!peer->updating_) peer->Post([](Control& c) { static_cast<Button&>(c).UserClick(); });
            }));
  }

 protected:
  void Update(Change what) override {
    if (what == Change::kCaption || what == Change::kAccessible) {
      gtk_button_set_use_underline(GTK_BUTTON(Outer()), TRUE);
      gtk_button_set_label(GTK_BUTTON(Outer()), MnemonicText(ToUtf8(button_.Caption()), button_.Mnemonic()).c_str());
    }
    if (what == Change::kStyle) {
      gtk_widget_set_can_default(Outer(), button_.IsDefault());
      GtkStyleContext* style = gtk_widget_get_style_context(Outer());
      if (button_.IsDefault()) gtk_style_context_add_class(style, GTK_STYLE_CLASS_SUGGESTED_ACTION);
      else gtk_style_context_remove_class(style, GTK_STYLE_CLASS_SUGGESTED_ACTION);
    }
  }

 private:
  Button& button_;
};

// Character offsets of GTK from the byte offsets of the model.
int Chars(const std::string& narrow, int bytes) {
  std::string head = ToUtf8(narrow.substr(0, static_cast<size_t>(bytes)));
  return static_cast<int>(g_utf8_strlen(head.c_str(), -1));
}

// The widget owns the user's editing (caret, selection, paste, delete, cursor keys, input
// methods) and the control follows it: every change of the widget's text is posted to the
// control whole. While such texts are on their way the control's text is older than the
// widget's, and writing it back would undo keystrokes typed since (fast typing came out
// scrambled): the widget takes the control's text again only once the control has caught
// up, for a text the control refused or a handler changed.
class UserEdits {
 public:
  bool Pending() const { return pending_ > 0; }
  template <class Peer, class Apply>
  static void Report(Peer& peer, std::string text, Apply apply) {
    ++peer.edits_.pending_;
    peer.PostEdit([text = std::move(text), apply](Control& c) {
      // The peer of the control now: the one that posted unless the form was shown anew.
      if (auto* now = dynamic_cast<Peer*>(GtkPeer::Of(&c)); now && now->edits_.pending_ > 0) --now->edits_.pending_;
      apply(c, text);
    });
  }

 private:
  int pending_ = 0;
};

class EditPeer : public GtkPeer {
 public:
  explicit EditPeer(Edit& edit) : GtkPeer(edit, gtk_entry_new()), edit_(edit) {
    gtk_entry_set_width_chars(GTK_ENTRY(Outer()), 1);
    Connect(Outer(), "insert-text", G_CALLBACK(OnInsert));
    Connect(Outer(), "changed", G_CALLBACK(+[](GtkEditable* e, gpointer self) {
              auto* peer = static_cast<EditPeer*>(self);
              if (peer->updating_) return;
              UserEdits::Report(*peer, FromUtf8(gtk_entry_get_text(GTK_ENTRY(e))),
                                [](Control& c, const std::string& text) { static_cast<Edit&>(c).UserSetText(text); });
            }));
    // An entry leaves Enter to its window, as GTK's activates-default does: the form's
    // default button (the wizard's next page) answers it. A grid's cell editor is no peer
    // of ours and keeps its Enter.
    Connect(Outer(), "activate", G_CALLBACK(+[](GtkEntry*, gpointer self) {
              static_cast<EditPeer*>(self)->Post([](Control& c) {
                Form* top = nullptr;
                for (Control* p = &c; p; p = p->Parent())
                  if (p->Kind() == ControlKind::kForm) top = static_cast<Form*>(p);
                if (top) top->UserPressEnter();
              });
            }));
    if (edit.Kind() == ControlKind::kButtonEdit) {
      gtk_entry_set_icon_from_icon_name(GTK_ENTRY(Outer()), GTK_ENTRY_ICON_SECONDARY, "document-open-symbolic");
      Connect(Outer(), "icon-press", G_CALLBACK(+[](GtkEntry*, GtkEntryIconPosition, GdkEvent*, gpointer self) {
                static_cast<EditPeer*>(self)->Post([](Control& c) { static_cast<ButtonEdit&>(c).UserClickButton(); });
              }));
    }
  }

  void PostEdit(std::function<void(Control&)> action) { Post(std::move(action), Change::kText); }
  UserEdits edits_;

 protected:
  void Update(Change what) override {
    GtkEntry* entry = GTK_ENTRY(Outer());
    if (what == Change::kText && !edits_.Pending()) {
      const std::string text = ToUtf8(edit_.Text());
      if (text != gtk_entry_get_text(entry)) {
        gtk_entry_set_text(entry, text.c_str());
        gtk_editable_set_position(GTK_EDITABLE(entry), Chars(edit_.Text(), edit_.SelStart()));
      }
    }
    if (what == Change::kStyle) gtk_editable_set_editable(GTK_EDITABLE(entry), !edit_.ReadOnly());
    if (what == Change::kSelection) {
      const int start = Chars(edit_.Text(), edit_.SelStart());
      gtk_editable_select_region(GTK_EDITABLE(entry), start, Chars(edit_.Text(), edit_.SelStart() + edit_.SelLength()));
    }
  }

 private:
  // Number mode keeps other characters out of the entry itself, typed or pasted, so that
  // the entry never shows what the control would drop.
  static void OnInsert(GtkEditable* editable, const gchar* text, gint length, gint* position, gpointer self) {
    auto* peer = static_cast<EditPeer*>(self);
    if (peer->updating_ || !peer->edit_.NumberMode()) return;
    const std::string inserted(text, length < 0 ? std::char_traits<char>::length(text) : static_cast<size_t>(length));
    const std::string kept = NumberChars(inserted);
    if (kept == inserted) return;
    if (!kept.empty()) {
      g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(OnInsert), self);
      gtk_editable_insert_text(editable, kept.c_str(), static_cast<gint>(kept.size()), position);
      g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(OnInsert), self);
    }
    g_signal_stop_emission_by_name(editable, "insert-text");
  }

  Edit& edit_;
};

class GaugePeer : public GtkPeer {
 public:
  explicit GaugePeer(Gauge& gauge) : GtkPeer(gauge, gtk_progress_bar_new()), gauge_(gauge) {
    gtk_progress_bar_set_show_text(GTK_PROGRESS_BAR(Outer()), TRUE);
  }

 protected:
  void Update(Change what) override {
    if (what != Change::kValue) return;
    GtkProgressBar* bar = GTK_PROGRESS_BAR(Outer());
    gtk_progress_bar_set_fraction(bar, gauge_.PercentDone() / 100.0);
    gtk_progress_bar_set_text(bar, ToUtf8(gauge_.Text()).c_str());
  }

 private:
  Gauge& gauge_;
};

std::string BufferText(GtkTextBuffer* buffer) {
  GtkTextIter start, end;
  gtk_text_buffer_get_bounds(buffer, &start, &end);
  gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
  std::string result = text;
  g_free(text);
  return result;
}

class RichTextPeer : public GtkPeer {
 public:
  explicit RichTextPeer(RichText& rich) : GtkPeer(rich, gtk_scrolled_window_new(nullptr, nullptr)), rich_(rich) {
    view_ = gtk_text_view_new();
    gtk_widget_set_can_focus(Outer(), FALSE);  // the text in it takes the focus, not its frame
    gtk_container_add(GTK_CONTAINER(Outer()), view_);
    gtk_widget_show(view_);
    Connect(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view_)), "changed", G_CALLBACK(+[](GtkTextBuffer* buffer, gpointer self) {
              auto* peer = static_cast<RichTextPeer*>(self);
              if (peer->updating_) return;
              UserEdits::Report(*peer, FromUtf8(BufferText(buffer).c_str()),
                                [](Control& c, const std::string& text) { static_cast<RichText&>(c).UserSetText(text); });
            }));
  }
  ~RichTextPeer() override { g_signal_handlers_disconnect_by_data(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view_)), this); }

  void PostEdit(std::function<void(Control&)> action) { Post(std::move(action), Change::kText); }
  UserEdits edits_;

 protected:
  GtkWidget* Inner() override { return view_; }
  void Update(Change what) override {
    GtkTextView* view = GTK_TEXT_VIEW(view_);
    if (what == Change::kText && !edits_.Pending()) {
      const std::vector<std::string>& lines = rich_.Lines();
      GtkTextBuffer* buffer = gtk_text_view_get_buffer(view);
      if (rich_.ReadOnly() && shownReplacements_ == rich_.Replacements() && shownLines_ <= lines.size()) {
        // Lines were only appended (a log): the buffer takes the new ones, never the whole
        // text again, so a long log stays linear.
        std::string added;
        for (size_t i = shownLines_; i < lines.size(); ++i) added += (i == 0 ? "" : "\n") + ToUtf8(lines[i]);
        GtkTextIter end;
        gtk_text_buffer_get_end_iter(buffer, &end);
        if (!added.empty()) gtk_text_buffer_insert(buffer, &end, added.c_str(), static_cast<gint>(added.size()));
      } else {
        std::string text;
        for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + ToUtf8(line);
        // A text the user made stays as it is, caret and all, when the control holds its
        // lines (a last line ended by a line break is one the control does not count).
        if (rich_.ReadOnly() || RichText::SplitLines(FromUtf8(BufferText(buffer).c_str())) != lines)
          gtk_text_buffer_set_text(buffer, text.c_str(), -1);
      }
      shownLines_ = lines.size();
      shownReplacements_ = rich_.Replacements();
    }
    if (what == Change::kStyle) {
      gtk_text_view_set_editable(view, !rich_.ReadOnly());
      gtk_text_view_set_cursor_visible(view, !rich_.ReadOnly());
      // A read-only text shows no caret: as a tab stop it would be one the user cannot see.
      gtk_widget_set_can_focus(view_, !rich_.ReadOnly());
      gtk_text_view_set_wrap_mode(view, rich_.WordWrap() ? GTK_WRAP_WORD_CHAR : GTK_WRAP_NONE);
      const ScrollBars bars = rich_.Scrolling();
      auto policy = [](bool on) { return on ? GTK_POLICY_AUTOMATIC : GTK_POLICY_NEVER; };
      gtk_scrolled_window_set_policy(
          GTK_SCROLLED_WINDOW(Outer()),
          policy(bars == ScrollBars::kHorizontal || bars == ScrollBars::kBoth) == GTK_POLICY_NEVER && rich_.WordWrap()
              ? GTK_POLICY_NEVER
              : GTK_POLICY_AUTOMATIC,
          policy(bars == ScrollBars::kVertical || bars == ScrollBars::kBoth));
      gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(Outer()), rich_.Border() ? GTK_SHADOW_IN : GTK_SHADOW_NONE);
    }
  }

 private:
  RichText& rich_;
  GtkWidget* view_;
  // What the buffer holds of the control's lines: how many, as of which replacement.
  size_t shownLines_ = 0;
  uint64_t shownReplacements_ = UINT64_MAX;
};

}  // namespace

std::unique_ptr<GtkPeer> MakeSimplePeer(Control& c) {
  switch (c.Kind()) {
    case ControlKind::kPanel: return std::make_unique<PanelPeer>(static_cast<Panel&>(c));
    case ControlKind::kLabel: return std::make_unique<LabelPeer>(static_cast<Label&>(c));
    case ControlKind::kButton: return std::make_unique<ButtonPeer>(static_cast<Button&>(c));
    case ControlKind::kEdit:
    case ControlKind::kButtonEdit: return std::make_unique<EditPeer>(static_cast<Edit&>(c));
    case ControlKind::kGauge: return std::make_unique<GaugePeer>(static_cast<Gauge&>(c));
    case ControlKind::kRichText: return std::make_unique<RichTextPeer>(static_cast<RichText&>(c));
    default: return nullptr;
  }
}

}  // namespace ryn::ui::gtk
