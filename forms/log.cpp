#include "forms/log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <string>

namespace glim::forms {

void textAppend(TextBox& box, std::string_view text, std::string_view suffix) {
  std::string added;
  added.reserve(text.size() + suffix.size());
  added.append(text);
  added.append(suffix);
  box.appendText(added);
}

namespace {

std::size_t countLines(std::string_view text) {
  const auto ends = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  return ends + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

}  // namespace

Log::Log(TextBox& txtLog) : box_(txtLog) {
  // Emptied ("Clear Log") or replaced: the pane starts a new log, and a file
  // that held the old one is left as it is.
  follows_ = box_.subscribe([this](ControlEvent e) {
    if (e != ControlEvent::Text) return;
    kept_.close();
    keptIn_.clear();
    keepFailure_.clear();
    lastWasCr_ = false;
    recount();
  });
  recount();
}

void Log::recount() { lines_ = countLines(box_.text()); }

void Log::keepWholeLogIn(std::function<std::string()> keepFile, std::size_t maxLines) {
  keepFile_ = std::move(keepFile);
  maxLines_ = maxLines;
  if (maxLines_ != 0 && lines_ > maxLines_) trim();
}

void Log::logText(std::string_view text, std::string_view suffix) {
  // A last line without its end is counted once, whatever completes it.
  const bool open = !box_.text().empty() && box_.text().back() != '\n';
  textAppend(box_, text, suffix);
  const std::string_view added = box_.lastAppended();
  lines_ += countLines(added) - (open && !added.empty() ? 1 : 0);
  if (kept_.is_open()) keep(added);
  if (maxLines_ != 0 && lines_ > maxLines_) trim();
}

void Log::keep(std::string_view text) {
  // The lines as the pane shows them: CR LF, and a lone CR, end a line.
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\n' && lastWasCr_) {
      lastWasCr_ = false;
      continue;
    }
    lastWasCr_ = c == '\r';
    out.push_back(lastWasCr_ ? '\n' : c);
  }
  kept_.write(out.data(), static_cast<std::streamsize>(out.size()));
  if (!kept_ && keepFailure_.empty()) keepFailure_ = "could not write to " + keptIn_;
}

void Log::trim() {
  if (!kept_.is_open() && keptIn_.empty()) {
    keptIn_ = keepFile_ ? keepFile_() : std::string();
    if (keptIn_.empty()) {
      keepFailure_ = "no file to keep it in";
    } else {
      kept_.open(keptIn_, std::ios::binary | std::ios::trunc);
      if (!kept_.is_open()) {
        keepFailure_ = "could not create " + keptIn_ + ": " + std::strerror(errno);
      } else {
        keep(box_.text());
      }
    }
  }
  const std::string header = keepFailure_.empty()
                                 ? "Older lines have left this pane; the whole log is in " + keptIn_
                                 : "Older lines have left this pane, and the whole log was not kept: " + keepFailure_;
  // Down to 1 % of the bound below it (the header counts): moving the rest of
  // the text costs that much less per line.
  const std::size_t target = maxLines_ - std::max<std::size_t>(1, maxLines_ / 100);
  const std::size_t leaving = lines_ - std::min(lines_, target - 1);
  const std::string& text = box_.text();
  std::size_t cut = 0;
  for (std::size_t n = 0; n < leaving && cut < text.size(); ++n) {
    const std::size_t end = text.find('\n', cut);
    cut = end == std::string::npos ? text.size() : end + 1;
  }
  box_.replaceFront(cut, header + std::string(kCrLf));
  lines_ = lines_ - leaving + 1;
}

std::string Log::wholeLog(std::string* failure) {
  if (failure != nullptr) *failure = keepFailure_;
  if (!kept_.is_open()) {
    // The pane holds it all: the same conversion as the kept file's.
    std::string text;
    text.reserve(box_.text().size());
    bool cr = false;
    for (const char c : box_.text()) {
      if (c == '\n' && cr) {
        cr = false;
        continue;
      }
      cr = c == '\r';
      text.push_back(cr ? '\n' : c);
    }
    return text;
  }
  kept_.flush();
  std::ifstream in(keptIn_, std::ios::binary);
  std::ostringstream whole;
  whole << in.rdbuf();
  if (!in) {
    if (failure != nullptr) *failure = "could not read " + keptIn_;
    return {};
  }
  return std::move(whole).str();
}

}  // namespace glim::forms
