#include "app/app_fixture.h"

namespace glim::testing {

bool WindowTest::start() {
  f = std::make_unique<AppFixture>();
  return f->showActive();
}

void WindowTest::initTestCase() { QVERIFY(fontsAvailable()); }
void WindowTest::init() { QVERIFY(start()); }
void WindowTest::cleanup() { f.reset(); }

}  // namespace glim::testing
