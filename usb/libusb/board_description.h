#pragma once
#include <libusb.h>

#include <cstdint>

#include "usb/driver.h"

namespace glim::usb::libusb {

// The device information of a board from its real descriptors: the device
// descriptor, and the given alternate setting of the given interface of the
// configuration (its endpoints become the pipes, the pipe number being the
// endpoint address). Without a configuration, or when it lacks that setting,
// the active setting has no pipes.
DeviceInfo describeBoard(const libusb_device_descriptor& device, const libusb_config_descriptor* config,
                         uint8_t interfaceNumber, uint8_t alternateSetting);

// The same, read from the device (cached descriptors; no bus traffic on most
// platforms).
DeviceInfo describeBoard(libusb_device* device, uint8_t interfaceNumber, uint8_t alternateSetting);

}  // namespace glim::usb::libusb
