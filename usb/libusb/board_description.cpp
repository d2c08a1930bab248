#include "usb/libusb/board_description.h"

namespace glim::usb::libusb {

namespace {

DeviceDescriptor copyDescriptor(const libusb_device_descriptor& d) {
  DeviceDescriptor out;
  out.bLength = d.bLength;
  out.bDescriptorType = d.bDescriptorType;
  out.bcdUSB = d.bcdUSB;
  out.bDeviceClass = d.bDeviceClass;
  out.bDeviceSubClass = d.bDeviceSubClass;
  out.bDeviceProtocol = d.bDeviceProtocol;
  out.bMaxPacketSize0 = d.bMaxPacketSize0;
  out.idVendor = d.idVendor;
  out.idProduct = d.idProduct;
  out.bcdDevice = d.bcdDevice;
  out.iManufacturer = d.iManufacturer;
  out.iProduct = d.iProduct;
  out.iSerialNumber = d.iSerialNumber;
  out.bNumConfigurations = d.bNumConfigurations;
  return out;
}

PipeInfo pipeOf(const libusb_endpoint_descriptor& e) {
  PipeInfo pipe;
  pipe.number = e.bEndpointAddress;
  pipe.maxPacketSize = e.wMaxPacketSize;
  pipe.type = static_cast<PipeType>(e.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK);
  pipe.in = (e.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0;
  pipe.interval = e.bInterval;
  return pipe;
}

}  // namespace

DeviceInfo describeBoard(const libusb_device_descriptor& device, const libusb_config_descriptor* config,
                         uint8_t interfaceNumber, uint8_t alternateSetting) {
  DeviceInfo info;
  info.descriptor = copyDescriptor(device);
  AlternateSettingInfo& active = info.activeInterface.activeAltSetting;
  active.interfaceNumber = interfaceNumber;
  active.alternateSetting = alternateSetting;
  active.numEndpoints = 0;
  if (config == nullptr) return info;

  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& iface = config->interface[i];
    if (iface.num_altsetting <= 0 || iface.altsetting[0].bInterfaceNumber != interfaceNumber) continue;
    info.activeInterface.numAltSettings = static_cast<uint8_t>(iface.num_altsetting);
    for (int a = 0; a < iface.num_altsetting; ++a) {
      const libusb_interface_descriptor& setting = iface.altsetting[a];
      if (setting.bAlternateSetting != alternateSetting) continue;
      active.interfaceClass = setting.bInterfaceClass;
      active.numEndpoints = setting.bNumEndpoints;
      for (int e = 0; e < setting.bNumEndpoints; ++e) active.pipes.push_back(pipeOf(setting.endpoint[e]));
      return info;
    }
  }
  return info;
}

DeviceInfo describeBoard(libusb_device* device, uint8_t interfaceNumber, uint8_t alternateSetting) {
  libusb_device_descriptor descriptor{};
  libusb_get_device_descriptor(device, &descriptor);
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS) {
    // Not configured yet, or the platform cannot tell: the first configuration
    // is the one the board runs in.
    config = nullptr;
    if (libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS) config = nullptr;
  }
  DeviceInfo info = describeBoard(descriptor, config, interfaceNumber, alternateSetting);
  if (config != nullptr) libusb_free_config_descriptor(config);
  return info;
}

}  // namespace glim::usb::libusb
