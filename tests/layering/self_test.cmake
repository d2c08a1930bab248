# The layer check against a small tree (fixture/) that breaks the layers in
# every way it can, beside includes that keep to them: it must name exactly the
# broken ones, and fail.
execute_process(
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_CURRENT_LIST_DIR}/fixture -P ${CHECK}
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree that breaks the layers:\n${out}")
endif()

set(expected
  "app/main.cpp: includes cli/script_runner.h (cli), which app may not use"
  "cli/main.cpp: includes app/main_window.h (app), which cli may not use"
  "forms/form.cpp: includes timing/timing_panel.h (timing), which forms may not use"
  "i2c/register_form.cpp: includes ../timing/timing_panel.h (timing), which i2c may not use"
  "shell/main_form.cpp: includes nowhere/helper.h, which belongs to no layer"
  "timing/timing_panel.h: includes QString (<Qt>), which timing may not use"
  "timing/timing_panel.h: includes i2c/register_form.h (i2c), which timing may not use"
  "usb/board_link.cpp: includes usb/sim/sim_driver.h (usb/sim), which usb may not use"
  "usb/driver_factory.cpp: includes libusb.h (<libusb>), which usb/backends may not use"
  "usb/sim/sim_board.cpp: includes usb/libusb/session.h (usb/libusb), which usb/sim may not use")
string(REGEX MATCHALL "[^\n]*: includes [^\n]*" found "${out}")
if(NOT found STREQUAL expected)
  list(JOIN expected "\n" expected_text)
  list(JOIN found "\n" found_text)
  message(FATAL_ERROR "expected:\n${expected_text}\nfound:\n${found_text}\n\nwhole output:\n${out}")
endif()
