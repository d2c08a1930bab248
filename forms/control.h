#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "forms/signal.h"

namespace glim::forms {

enum class ControlKind { TextBox, CheckBox, OptionButton, CommandButton, MenuItem, Label, Frame };

// What changed in a control, for the views that show it.
enum class ControlEvent {
  Text,       // the whole text was replaced
  Appended,   // text was added at the end (TextBox::appendText)
  Selection,  // caret or selection moved
  Value,      // check box or option button state
  Enabled,
  Caption,
  Note,  // the note on the control's value came or went (subscribeNotes)
  Hint,
  Front,  // the start of the text was replaced (TextBox::replaceFront)
};

// A named control with state. Handlers (the program's `_Change`/`_Click`) run
// synchronously and nested, exactly where the state changes; observers (views)
// are told first, so that a view always shows the state a handler sees.
class Control {
 public:
  using Observer = std::function<void(ControlEvent)>;

  Control(std::string name, int index = -1) : name_(std::move(name)), index_(index) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  virtual ControlKind kind() const = 0;
  const std::string& name() const { return name_; }
  int index() const { return index_; }  // -1 when not part of a control array
  std::string qualifiedName() const;    // "tbCPLDdata(9)" or "txtLog"

  bool enabled() const { return enabled_; }
  void setEnabled(bool on);
  const std::string& caption() const { return caption_; }
  void setCaption(std::string caption);
  // What the control holds, its unit and its range or rule, for a tooltip
  // ("SCLK divider, bits 11 to 8: 0 to 15"). Mostly set once, when the form
  // is built; views are told when it changes.
  const std::string& hint() const { return hint_; }
  void setHint(std::string hint) {
    if (hint == hint_) return;
    hint_ = std::move(hint);
    notify(ControlEvent::Hint);
  }
  // What the person should know about the control's value (a value that is
  // old, or not the one asked for); views show it as a tooltip and mark the
  // control while there is one. Empty: nothing to say. Told only to those
  // who subscribed to notes (ControlEvent::Note), not to every observer.
  const std::string& note() const { return note_; }
  void setNote(std::string note);
  Connection subscribeNotes(Observer observer) { return noteObservers_.connectScoped(std::move(observer)); }

  // Told until the connection goes; one that goes while observers are told is
  // not told again.
  Connection subscribe(Observer observer) { return observers_.connectScoped(std::move(observer)); }

 protected:
  void notify(ControlEvent event) { observers_.notify(event); }

 private:
  std::string name_;
  int index_;
  bool enabled_ = true;
  std::string caption_;
  std::string hint_;
  std::string note_;
  Signal<Observer> observers_;
  Signal<Observer> noteObservers_;
};

class TextBox : public Control {
 public:
  using Control::Control;
  ControlKind kind() const override { return ControlKind::TextBox; }

  const std::string& text() const { return text_; }
  // Replaces the text. When it differs, views are told and the change handler
  // runs before this returns.
  void setText(std::string text);
  // As setText, but the change handler runs even when the text is the same
  // (a value entered into the box counts as one change).
  void enterText(std::string text);
  // Adds text at the end and puts the caret after it. Views are told only of
  // the added part, so the cost does not grow with the length of the text.
  void appendText(std::string_view text);

  // Replaces the first `count` characters with `with`; the caret keeps its
  // place in the rest. Views are told only of the two parts (lastRemoved and
  // frontAdded), so the cost grows with them and not with the rest.
  void replaceFront(std::size_t count, std::string_view with);

  std::size_t selStart() const { return selStart_; }
  std::size_t selLength() const { return selLength_; }
  void setSelection(std::size_t start, std::size_t length = 0);
  // What the last appendText added (for views).
  std::string_view lastAppended() const;
  // What the last replaceFront took away, and how long its new start is.
  const std::string& lastRemoved() const { return removed_; }
  std::size_t frontAdded() const { return frontAdded_; }

  bool multiLine = false;
  bool locked = false;  // a display field the user cannot edit
  // The box's one change handler, set by the form that owns it (observers
  // subscribe instead).
  void setChangeHandler(std::function<void()> handler) { onChange_ = std::move(handler); }
  bool hasChangeHandler() const { return static_cast<bool>(onChange_); }

 private:
  void changed();
  std::function<void()> onChange_;
  std::string text_;
  std::size_t selStart_ = 0;
  std::size_t selLength_ = 0;
  std::size_t appendedFrom_ = 0;
  std::string removed_;
  std::size_t frontAdded_ = 0;
};

class CheckBox : public Control {
 public:
  enum Value { Unchecked = 0, Checked = 1, Grayed = 2 };
  using Control::Control;
  ControlKind kind() const override { return ControlKind::CheckBox; }

  int value() const { return value_; }
  // A changed value runs the click handler, as the toolkit does for a program's
  // assignment.
  void setValue(int value);
  // The user's click: unchecked <-> checked (a greyed box becomes unchecked).
  void userClick();

  // The one click handler, set by the form that owns the box.
  void setClickHandler(std::function<void()> handler) { onClick_ = std::move(handler); }

 private:
  std::function<void()> onClick_;
  int value_ = Unchecked;
};

class OptionButton;

// The option buttons of one frame: one selected at a time.
class OptionGroup {
 public:
  void add(OptionButton& button) { buttons_.push_back(&button); }
  const std::vector<OptionButton*>& buttons() const { return buttons_; }
  OptionButton* selected() const;

 private:
  std::vector<OptionButton*> buttons_;
};

class OptionButton : public Control {
 public:
  OptionButton(std::string name, int index, OptionGroup& group);
  ControlKind kind() const override { return ControlKind::OptionButton; }

  bool value() const { return value_; }
  // Selecting an option clears the others of its group and runs its click
  // handler when it was not selected before; clearing runs nothing.
  void setValue(bool selected);
  // The user's click: selects it and runs the click handler.
  void userClick();
  // Selects it without running the click handler: a window put back in a
  // state it was in, not a choice made now.
  void restoreSelected();

  // The one click handler, set by the form that owns the button.
  void setClickHandler(std::function<void()> handler) { onClick_ = std::move(handler); }

 private:
  void select();
  std::function<void()> onClick_;
  OptionGroup& group_;
  bool value_ = false;
};

class CommandButton : public Control {
 public:
  using Control::Control;
  ControlKind kind() const override { return ControlKind::CommandButton; }
  void click();
  // The one click handler, set by the form that owns the button.
  void setClickHandler(std::function<void()> handler) { onClick_ = std::move(handler); }

 private:
  std::function<void()> onClick_;
};

class MenuItem : public CommandButton {
 public:
  MenuItem(std::string name, std::string caption, std::string shortcut)
      : CommandButton(std::move(name)), shortcut_(std::move(shortcut)) {
    setCaption(std::move(caption));
  }
  ControlKind kind() const override { return ControlKind::MenuItem; }
  const std::string& shortcut() const { return shortcut_; }

 private:
  std::string shortcut_;
};

class Label : public Control {
 public:
  Label(std::string name, int index = -1, std::string caption = {}) : Control(std::move(name), index) {
    setCaption(std::move(caption));
  }
  ControlKind kind() const override { return ControlKind::Label; }
};

class Frame : public Control {
 public:
  Frame(std::string name, std::string caption) : Control(std::move(name)) { setCaption(std::move(caption)); }
  ControlKind kind() const override { return ControlKind::Frame; }
};

}  // namespace glim::forms
