#pragma once
#include <clocale>
#include <string>

namespace glim::text {

// Switches the C locale for one test and restores it afterwards.
class LocaleGuard {
 public:
  LocaleGuard() : saved_(std::setlocale(LC_ALL, nullptr)) {}
  ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }
  LocaleGuard(const LocaleGuard&) = delete;
  LocaleGuard& operator=(const LocaleGuard&) = delete;

  // Selects an installed locale whose decimal separator is a comma; false when
  // the machine has none.
  bool useDecimalCommaLocale() const {
    for (const char* name :
         {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8", "ru_RU.UTF-8"}) {
      if (std::setlocale(LC_ALL, name) && std::string(std::localeconv()->decimal_point) == ",") return true;
    }
    std::setlocale(LC_ALL, saved_.c_str());
    return false;
  }

 private:
  std::string saved_;
};

}  // namespace glim::text
