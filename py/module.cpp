// The extension module behind the Python package `glimmora` (glimmora/__init__.py
// wraps it): sessions of the program without a window.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <string>

#include "py/session.h"
#include "usb/vendor_choice.h"
#include "usb/vendor_id.h"

namespace py = pybind11;

namespace glim::py {
namespace {

// Waits let other Python threads run; Ctrl+C is seen every few tens of
// milliseconds, and what Python's handler raised (KeyboardInterrupt) is kept
// until the operation has ended and the session is usable again.
class PythonInterpreter final : public Interpreter {
 public:
  void unlocked(const std::function<void()>& wait) override {
    // A transfer waited for inside a wait that let the interpreter go already.
    if (PyGILState_Check() == 0) return wait();
    const ::py::gil_scoped_release release;
    wait();
  }
  bool interrupted() override {
    const ::py::gil_scoped_acquire held;
    if (PyErr_CheckSignals() == 0) return false;
    if (type_ == nullptr) {
      PyErr_Fetch(&type_, &value_, &traceback_);
    } else {
      PyErr_Clear();
    }
    return true;
  }
  // Raises what was kept (KeyboardInterrupt when nothing was).
  void restore() {
    if (type_ == nullptr) {
      PyErr_SetNone(PyExc_KeyboardInterrupt);
      return;
    }
    PyErr_Restore(type_, value_, traceback_);
    type_ = value_ = traceback_ = nullptr;
  }

 private:
  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* traceback_ = nullptr;
};

PythonInterpreter& interpreter() {
  static PythonInterpreter* one = new PythonInterpreter;  // lives as long as the interpreter
  return *one;
}

void raise(const char* name, const ::py::object& instance) {
  const ::py::object type = ::py::module_::import("glimmora").attr(name);
  PyErr_SetObject(type.ptr(), instance.ptr());
}

void translate(std::exception_ptr thrown) {
  try {
    if (thrown) std::rethrow_exception(thrown);
  } catch (const Interrupted&) {
    interpreter().restore();
  } catch (const UnknownName& e) {
    PyErr_SetString(PyExc_KeyError, e.what());
  } catch (const Failed& e) {
    const ::py::module_ glimmora = ::py::module_::import("glimmora");
    if (e.kind.empty()) {
      raise("Error", glimmora.attr("Error")(e.what()));
    } else {
      raise("BoardError", glimmora.attr("BoardError")(e.what(), e.kind));
    }
  } catch (const ScriptFailed& e) {
    const ::py::module_ glimmora = ::py::module_::import("glimmora");
    const ::py::object line = e.line > 0 ? ::py::object(::py::int_(e.line)) : ::py::object(::py::none());
    raise("ScriptError", glimmora.attr("ScriptError")(e.what(), line, ::py::cast(e.output)));
  }
}

usb::DriverChoice boardChoice(const std::string& board) {
  if (board == "sim") return usb::DriverChoice::Sim;
  if (board == "sim-empty") return usb::DriverChoice::SimEmpty;
  if (board == "usb") return usb::DriverChoice::RealBoards;
  throw std::invalid_argument("board: \"sim\", \"sim-empty\" or \"usb\", not \"" + board + "\"");
}

// As --vendor-id: hexadecimal text, or a number; None: GLIMMORA_VENDOR_ID,
// else the built-in one.
uint16_t vendorChoice(const ::py::object& vendor) {
  if (vendor.is_none()) {
    const usb::VendorChoice chosen = usb::chooseVendorId(std::getenv("GLIMMORA_VENDOR_ID"), "GLIMMORA_VENDOR_ID");
    if (!chosen.outcome.ok()) throw std::invalid_argument(chosen.outcome.reason());
    return chosen.vendorId;
  }
  if (::py::isinstance<::py::str>(vendor)) {
    const std::string text = vendor.cast<std::string>();
    const usb::VendorChoice chosen = usb::chooseVendorId(text.c_str(), "vendor_id");
    if (!chosen.outcome.ok()) throw std::invalid_argument(chosen.outcome.reason());
    return chosen.vendorId;
  }
  if (::py::isinstance<::py::int_>(vendor) && !::py::isinstance<::py::bool_>(vendor)) {
    const auto value = vendor.cast<int64_t>();
    if (value < 1 || value > 0xFFFF)
      throw std::invalid_argument("vendor_id " + std::to_string(value) + " is outside 1..0xFFFF");
    return static_cast<uint16_t>(value);
  }
  throw std::invalid_argument("vendor_id: a number or hexadecimal text, not " +
                              ::py::str(vendor.get_type().attr("__name__")).cast<std::string>());
}

std::unique_ptr<Session> openSession(const std::string& board, const ::py::object& vendor, const std::string& registers,
                                     const std::string& shipped, const std::string& lastSession) {
  SessionOptions options;
  options.board = boardChoice(board);
  options.vendorId = vendorChoice(vendor);
  options.registers =
      shipped.empty() ? script::readStartRegisters(registers) : script::readStartRegisters(registers, shipped);
  if (!options.registers.outcome.ok()) throw std::invalid_argument("registers: " + options.registers.outcome.reason());
  if (!options.registers.leftOut.empty()) {
    PyErr_WarnEx(PyExc_RuntimeWarning,
                 (options.registers.leftOut + " (going on without register descriptions)").c_str(), 1);
  }
  options.lastSessionFile = lastSession;
  return std::make_unique<Session>(std::move(options), interpreter());
}

// A session's method as Python calls it: one call at a time.
template <typename R, typename... A>
auto guarded(R (Session::*method)(A...)) {
  return [method](Session& s, A... a) -> R {
    const Session::Busy busy(s);
    return (s.*method)(std::forward<A>(a)...);
  };
}
template <typename R>
auto guarded(R (Session::*method)() const) {
  return [method](const Session& s) -> R {
    const Session::Busy busy(s);
    return (s.*method)();
  };
}

}  // namespace
}  // namespace glim::py

PYBIND11_MODULE(_glimmora, m) {
  using glim::py::guarded;
  using glim::py::Session;
  m.doc() = "The program without a window, one session at a time (see the package glimmora).";
  ::py::register_exception_translator(&glim::py::translate);

  ::py::class_<Session>(m, "Session")
      .def(::py::init(&glim::py::openSession), ::py::arg("board"), ::py::arg("vendor_id"), ::py::arg("registers"),
           ::py::arg("shipped"), ::py::arg("last_session"))
      .def("close", guarded(&Session::close))
      .def_property_readonly("closed", &Session::closed)
      .def_property_readonly("not_kept", guarded(&Session::notKept))
      .def("set", guarded(&Session::set))
      .def("click", guarded(&Session::click))
      .def("text", guarded(&Session::text))
      .def("play", guarded(&Session::play))
      .def("run", guarded(&Session::run))
      .def("wait", guarded(&Session::wait))
      .def_property_readonly("log", guarded(&Session::log))
      .def_property_readonly("status", guarded(&Session::status))
      .def_property_readonly("messages", guarded(&Session::messages))
      .def_property_readonly("board_held", guarded(&Session::boardHeld))
      .def_property("address", guarded(&Session::address), guarded(&Session::setAddress))
      .def("read", guarded(&Session::read))
      .def("read_all", guarded(&Session::readAll))
      .def("write", guarded(&Session::write))
      .def("write_all", guarded(&Session::writeAll))
      .def("write_changed", guarded(&Session::writeChanged))
      .def("decode", guarded(&Session::decode))
      .def("write_settings", guarded(&Session::writeSettings))
      .def("save_config", guarded(&Session::saveConfig))
      .def("load_config", guarded(&Session::loadConfig))
      .def_property_readonly("simulated", guarded(&Session::simulated))
      .def("board", guarded(&Session::board))
      .def("chip_register", guarded(&Session::chipRegister))
      .def_property_readonly("packets", guarded(&Session::packets))
      .def("clear_packets", guarded(&Session::clearPackets));
}
