#include "forms/form.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "forms/control_array.h"

namespace glim::forms {
namespace {

struct TestForm {
  Form form{"Glimmora_interface", "Glimmora QXB40218 USB Interface"};
  TextBox txtLog{"txtLog"};
  CommandButton cmdClearLog{"cmdClearLog"};
  ControlArray<TextBox> tbCPLDdata{"tbCPLDdata", 43};
  OptionGroup frGroup;
  ControlArray<OptionButton> obMode{"obMode", 2, frGroup};

  TestForm() {
    form.addAll(txtLog, cmdClearLog);
    form.addArray(tbCPLDdata);
    form.addArray(obMode);
  }
};

TEST(Form, FindsControlsByNameAndIndex) {
  TestForm f;
  EXPECT_EQ(f.form.find("txtLog"), &f.txtLog);
  EXPECT_EQ(f.form.find("tbCPLDdata(9)"), &f.tbCPLDdata[9]);
  EXPECT_EQ(f.form.find("tbCPLDdata(42)"), &f.tbCPLDdata[42]);
  EXPECT_EQ(f.form.findAs<TextBox>("tbCPLDdata(0)"), &f.tbCPLDdata[0]);
  EXPECT_EQ(f.form.findAs<OptionButton>("obMode(1)"), &f.obMode[1]);
  EXPECT_EQ(f.tbCPLDdata[9].qualifiedName(), "tbCPLDdata(9)");

  EXPECT_EQ(f.form.find("tbCPLDdata"), nullptr);
  EXPECT_EQ(f.form.find("tbCPLDdata(43)"), nullptr);
  EXPECT_EQ(f.form.find("txtLog(0)"), nullptr);
  EXPECT_EQ(f.form.find(""), nullptr);
  EXPECT_EQ(f.form.findAs<CheckBox>("txtLog"), nullptr);
}

TEST(Form, KeepsTheOrderOfRegistration) {
  TestForm f;
  ASSERT_EQ(f.form.controls().size(), 2u + 43u + 2u);
  EXPECT_EQ(f.form.controls().front(), &f.txtLog);
  EXPECT_EQ(f.form.controls()[2], &f.tbCPLDdata[0]);
  EXPECT_EQ(f.form.controls().back(), &f.obMode[1]);
}

TEST(Form, RegisteringANameTwiceIsAnError) {
  TestForm f;
  TextBox again("tbCPLDdata", 9);
  EXPECT_THROW(f.form.add(again), std::logic_error);
  EXPECT_EQ(f.form.find("tbCPLDdata(9)"), &f.tbCPLDdata[9]);
  EXPECT_EQ(f.form.controls().size(), 47u);
}

TEST(ControlArray, OptionButtonsOfAnArrayShareTheirGroup) {
  TestForm f;
  f.obMode[0].setValue(true);
  f.obMode[1].userClick();
  EXPECT_FALSE(f.obMode[0].value());
  EXPECT_EQ(f.frGroup.selected(), &f.obMode[1]);
  EXPECT_THROW(f.tbCPLDdata[43], std::out_of_range);
}

}  // namespace
}  // namespace glim::forms
