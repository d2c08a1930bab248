// Random desired texts and cell texts against a model written straight from the
// formulas, with its own parsing and its own decimal formatter: every cell and
// every display must agree digit for digit.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "timing_fixture.h"

namespace glim::testing {
namespace {

// ---- An independent decimal formatter --------------------------------------

// |v| as N x 10^e, N the decimal digits of v rounded to 15 significant digits
// (ties to even on the exact binary value, as correctly rounded output does).
struct Scaled {
  std::string n;  // no leading zeros; "0" for zero
  int e = 0;
};

Scaled fifteenDigits(double v) {
  char buf[1200];
  std::snprintf(buf, sizeof buf, "%.330f", std::fabs(v));  // glibc prints the exact expansion
  std::string s(buf);
  const std::size_t dot = s.find('.');
  std::string digits = s.substr(0, dot) + s.substr(dot + 1);
  int e = -static_cast<int>(s.size() - dot - 1);
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return {"0", 0};
  digits = digits.substr(first);
  if (digits.size() <= 15) return {digits, e};
  std::string head = digits.substr(0, 15);
  const std::string tail = digits.substr(15);
  e += static_cast<int>(tail.size());
  const bool aboveHalf = tail[0] > '5' || (tail[0] == '5' && tail.find_first_not_of('0', 1) != std::string::npos);
  const bool half = tail[0] == '5' && !aboveHalf;
  if (aboveHalf || (half && (head.back() - '0') % 2 == 1)) {
    int k = 14;
    while (k >= 0 && head[k] == '9') head[k--] = '0';
    if (k < 0) {
      head = "1" + head;
      head.pop_back();
      ++e;
    } else {
      ++head[k];
    }
  }
  return {head, e};
}

std::string fixedModel(double v, int decimals) {
  const Scaled s = fifteenDigits(v);
  std::string m;  // round(|v| x 10^decimals), half away from zero
  const int shift = s.e + decimals;
  if (shift >= 0) {
    m = s.n + std::string(static_cast<std::size_t>(shift), '0');
  } else {
    const std::size_t drop = static_cast<std::size_t>(-shift);
    const char next = drop <= s.n.size() ? s.n[s.n.size() - drop] : '0';
    m = drop < s.n.size() ? s.n.substr(0, s.n.size() - drop) : "0";
    if (next >= '5') {
      int k = static_cast<int>(m.size()) - 1;
      while (k >= 0 && m[k] == '9') m[k--] = '0';
      if (k < 0)
        m = "1" + m;
      else
        ++m[k];
    }
  }
  while (m.size() < static_cast<std::size_t>(decimals) + 1) m = "0" + m;
  const std::string out = m.substr(0, m.size() - decimals) + "." + m.substr(m.size() - decimals);
  const bool zero = m.find_first_not_of('0') == std::string::npos;
  return (v < 0 && !zero ? "-" : "") + out;
}

std::string generalModel(double v) {
  Scaled s = fifteenDigits(v);
  if (s.n == "0") return "0";
  while (s.n.back() == '0') {
    s.n.pop_back();
    ++s.e;
  }
  std::string out;
  if (s.e >= 0) {
    out = s.n + std::string(static_cast<std::size_t>(s.e), '0');
  } else if (s.n.size() > static_cast<std::size_t>(-s.e)) {
    out = s.n.substr(0, s.n.size() + s.e) + "." + s.n.substr(s.n.size() + s.e);
  } else {
    out = "0." + std::string(static_cast<std::size_t>(-s.e) - s.n.size(), '0') + s.n;
  }
  return (v < 0 ? "-" : "") + out;
}

double plainValue(const std::string& text) {  // a number text the model wrote itself
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

TEST(DifferentialModel, FormatterAgreesWithHandPickedCases) {
  EXPECT_EQ(fixedModel(195.3125, 3), "195.313");
  EXPECT_EQ(fixedModel(50000, 1), "50000.0");
  EXPECT_EQ(fixedModel(0.0004, 3), "0.000");
  EXPECT_EQ(fixedModel(0.0005, 3), "0.001");
  EXPECT_EQ(fixedModel(9.9996, 3), "10.000");
  EXPECT_EQ(generalModel(1320), "1320");
  EXPECT_EQ(generalModel(99.99999999999999), "100");
  EXPECT_EQ(generalModel(299.99940000119998), "299.9994000012");
  EXPECT_EQ(generalModel(0.00025), "0.00025");
}

// ---- Random texts with the values they stand for ----------------------------

struct Sample {
  std::string text;
  double value;
};

class RandomTexts {
 public:
  explicit RandomTexts(uint32_t seed) : rng_(seed) {}

  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  std::string digits(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s.push_back(static_cast<char>('0' + pick(0, 9)));
    return s;
  }

  // A cell text: mostly in range, sometimes above it, below zero or not a number.
  Sample cell(bool nibble) {
    static const std::vector<Sample> kOdd = {{"", 0},     {"abc", 0},  {"&H1F", 31},  {"1e3", 1000},
                                             {" 12", 12}, {"7x", 7},   {"1.5E1", 15}, {"&HFFFF", -1},
                                             {".5", 0.5}, {"2D1", 20}, {"-0", 0},     {"&H0", 0}};
    const int kind = pick(0, 9);
    if (kind == 0) return kOdd[static_cast<std::size_t>(pick(0, static_cast<int>(kOdd.size()) - 1))];
    std::string text = std::to_string(pick(0, nibble ? 20 : 300));
    if (kind <= 3) text += "." + digits(pick(1, 4));
    if (kind == 4) text = "-" + text;
    return {text, plainValue(text)};
  }

  // A desired text: any magnitude, sometimes zero, negative or not a number.
  Sample desired() {
    static const std::vector<Sample> kOdd = {{"", 0}, {"0", 0}, {"-5", -5}, {"abc", 0}, {"0.000", 0}};
    if (pick(0, 15) == 0) return kOdd[static_cast<std::size_t>(pick(0, static_cast<int>(kOdd.size()) - 1))];
    std::string text = std::to_string(pick(1, 99999));
    if (pick(0, 1) == 1) text += "." + digits(pick(1, 3));
    const int exponent = pick(-4, 2);
    if (exponent != 0) text += "e" + std::to_string(exponent);
    return {text, plainValue(text)};
  }

 private:
  std::mt19937 rng_;
};

// ---- The model: cells as text and value, displays from the formulas ----------

struct Model {
  std::array<Sample, 43> cells;
  std::string sicAct, pwmiAct, pwmiPw, stvTc, sclkDiv, sclkAct, stvAct, stvPw;

  double v(int i) const { return cells[static_cast<std::size_t>(i)].value; }

  void setCell(int i, Sample s) {
    const double hi = (i == 6 || i == 8) ? 15 : 255;
    if (s.value < 0) s = {"0", 0};
    if (s.value > hi) s = {hi == 15 ? "15" : "255", hi};
    cells[static_cast<std::size_t>(i)] = s;
    recompute();
  }
  void setWhole(int i, double whole) { setCell(i, {std::to_string(static_cast<long long>(whole)), whole}); }

  // The byte the settings packet carries for a cell; the displays use it.
  double b(int i) const {
    const double r = std::nearbyint(v(i));
    return !(r >= 0) ? 0 : std::min(r, 255.0);
  }
  void recompute() {
    sicAct = b(0) == 0 ? "50000.0" : fixedModel(50000000 / b(0) / 1000, 1);
    pwmiAct = b(2) == 0 ? "50000.0" : fixedModel(50000000 / b(2) / 1000, 1);
    pwmiPw = generalModel((1 / plainValue(pwmiAct)) * b(3) * 1000000);
    stvTc = generalModel(b(6) * 256 + b(7));
    sclkDiv = generalModel(b(8) * 256 + b(9));
    const double f = 50000000 / ((plainValue(sclkDiv) + 1) * 2);
    sclkAct = fixedModel(f / 1000, 3);
    const double count = plainValue(stvTc);
    stvAct = count == 0 ? "infinite" : fixedModel(1 / ((1 / f) * count), 3);
    stvPw = fixedModel(b(5) * (1 / f) * 1000000, 3);
  }

  void desiredByte(int cell, double x) {
    if (!(x > 0)) return;
    const double r = 50000000 / (x * 1000);
    setWhole(cell, r < 1.5 ? 0 : r > 255 ? 255 : std::floor(r + 0.5));
  }
  void desiredSclk(double x) {
    if (!(x > 0)) return;
    const double r = 50000000 / (x * 1000);
    const double d = r < 1.5 ? 0 : std::min(std::floor(r / 2 + 0.5) - 1, 4095.0);
    setWhole(8, std::floor(d / 256));
    setWhole(9, d - 256 * std::floor(d / 256));
  }
  void desiredStv(double x) {
    if (!(x > 0)) return;
    const double r = plainValue(sclkAct) / x * 1000;
    const double count = r < 1.5 ? 0 : r > 4095 ? 4095 : std::floor(r + 0.5);
    setWhole(6, std::floor(count / 256));
    setWhole(7, count - 256 * std::floor(count / 256));
  }
};

TEST(TimingDifferential, DisplaysAgreeWithTheFormulasDigitForDigit) {
  SimProgram p;
  auto& t = p.main().timing;
  Model m;
  for (int i = 0; i < 43; ++i) {
    m.cells[static_cast<std::size_t>(i)] = {t.tbCPLDdata[i].text(), plainValue(t.tbCPLDdata[i].text())};
  }
  m.recompute();

  RandomTexts texts(20240611);
  const std::array<int, 10> groupCells = {0, 2, 3, 5, 6, 7, 8, 9, 6, 8};
  constexpr int kSteps = 4000;
  for (int step = 0; step < kSteps; ++step) {
    std::string action;
    const int kind = texts.pick(0, 9);
    if (kind < 4) {
      const int cell = kind == 0 ? texts.pick(0, 42) : groupCells[static_cast<std::size_t>(texts.pick(0, 9))];
      const Sample s = texts.cell(cell == 6 || cell == 8);
      action = "cell " + std::to_string(cell) + " \"" + s.text + "\"";
      t.tbCPLDdata[cell].setText(s.text);
      m.setCell(cell, s);
    } else {
      const Sample s = texts.desired();
      forms::TextBox* field = nullptr;
      switch (kind) {
        case 4:
          field = &t.tbSICclkfreqdes;
          m.desiredByte(0, s.value);
          break;
        case 5:
          field = &t.tbPWMIclkfreqdes;
          m.desiredByte(2, s.value);
          break;
        case 6:
        case 7:
          field = &t.tbSCLKfreqdes;
          m.desiredSclk(s.value);
          break;
        default:
          field = &t.tbSTVfreqdes;
          m.desiredStv(s.value);
          break;
      }
      action = field->name() + " \"" + s.text + "\"";
      field->enterText(s.text);
    }
    SCOPED_TRACE("step " + std::to_string(step) + ": " + action);
    for (int i = 0; i < 43; ++i) {
      ASSERT_EQ(t.tbCPLDdata[i].text(), m.cells[static_cast<std::size_t>(i)].text) << "cell " << i;
    }
    ASSERT_EQ(t.tbSICclkfreqact.text(), m.sicAct);
    ASSERT_EQ(t.tbPWMIclkfreqact.text(), m.pwmiAct);
    ASSERT_EQ(t.tbPWMIpw.text(), m.pwmiPw);
    ASSERT_EQ(t.tbSTVtc.text(), m.stvTc);
    ASSERT_EQ(t.tbSCLKdiv.text(), m.sclkDiv);
    ASSERT_EQ(t.tbSCLKfreqact.text(), m.sclkAct);
    ASSERT_EQ(t.tbSTVfreqact.text(), m.stvAct);
    ASSERT_EQ(t.tbSTVpw.text(), m.stvPw);
  }
}

}  // namespace
}  // namespace glim::testing
