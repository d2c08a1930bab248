#pragma once
#include <QWidget>
#include <array>
#include <vector>

#include "forms/signal.h"

class QComboBox;
class QEvent;
class QGridLayout;
class QLabel;
class QPushButton;

namespace glim::i2c {
class RegisterForm;
}

namespace glim::app {

class Binder;

// The bits of one register of the register window: the row selected last
// (the focus entered its write or read box). Eight toggles edit the write box
// and follow its text as the hexadecimal rule reads it; eight indicators show
// the read box, marking the bits that differ from the write box. Described
// fields stand over their bits, and a field whose values have names offers
// them as a choice that sets its bits of the write box.
class RegisterBitsPanel : public QWidget {
 public:
  // Edits go through `binder` as a person's edits of the write box do.
  RegisterBitsPanel(i2c::RegisterForm& form, Binder& binder, QWidget* parent = nullptr);
  ~RegisterBitsPanel() override;

  // Selects a row whenever the focus enters its write or read box, as found
  // by name under `rows`.
  void followRows(QWidget* rows);
  void select(int reg);
  // The register shown, -1 before any row was selected.
  int selected() const { return reg_; }
  // Cuts every tie to the form (it is about to be destroyed).
  void detach();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Choice {
    QComboBox* box;
    std::size_t field;  // its index in the register's description
  };

  void build();
  // Field names and choices for the selected register, as described now.
  void describe();
  void clearFields();
  // Shows the boxes' texts now, or at the end of the handler changing them.
  void refreshSoon();
  void refresh();
  void flip(int bit);
  void choose(const Choice& choice, int index);
  // Gives the write box a new value, as a person's edit.
  void enterValue(unsigned value);
  QString bitTip(int bit) const;

  i2c::RegisterForm* form_;
  Binder& binder_;
  int reg_ = -1;
  bool refreshQueued_ = false;

  QLabel* heading_ = nullptr;
  QLabel* note_ = nullptr;
  QGridLayout* bits_ = nullptr;
  QGridLayout* choices_ = nullptr;
  std::array<QPushButton*, 8> writeBits_{};  // by bit number
  std::array<QLabel*, 8> readBits_{};
  std::array<bool, 8> marked_{};
  std::vector<QWidget*> fieldWidgets_;  // names and choices of the register shown
  std::vector<Choice> choiceBoxes_;
  std::vector<forms::Connection> connections_;
};

}  // namespace glim::app
