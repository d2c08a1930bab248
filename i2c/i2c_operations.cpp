#include "i2c/i2c_operations.h"

namespace glim::i2c {
void I2cOperations::do_i2c_write(int16_t) {}
void I2cOperations::do_i2c_writeall() {}
void I2cOperations::do_i2c_read(int16_t) {}
void I2cOperations::do_i2c_readall(int16_t) {}
}  // namespace glim::i2c
