#include "i2c/register_form.h"

#include "i2c/i2c_operations.h"

namespace glim::i2c {
RegisterForm::RegisterForm(I2cOperations& ops, RegisterWindow& window) : ops_(ops), window_(window) {
  form.addArray(Label1);
  form.add(tbI2Caddr);
  form.addArray(tbI2Creg);
  form.addArray(cbWritei2c);
  form.addArray(tbI2Cregread);
  form.addArray(cbReadi2c);
  form.addArray(cbCopyi2c);
  form.addAll(cbClose, cbWriteall, cbReadall, cbCopyall);
}
void RegisterForm::cbWritei2c_Click(int) {}
void RegisterForm::cbReadi2c_Click(int) {}
void RegisterForm::cbCopyi2c_Click(int) {}
void RegisterForm::cbWriteall_Click() {}
void RegisterForm::cbReadall_Click() {}
void RegisterForm::cbCopyall_Click() {}
void RegisterForm::cbClose_Click() {}
}  // namespace glim::i2c
