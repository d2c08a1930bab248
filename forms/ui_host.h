#pragma once
#include <string>
#include <string_view>
#include <utility>

namespace glim::forms {

enum class FileDialogKind { Open, Save };

// What a file dialog is set up with before it is shown.
struct FileDialogSetup {
  std::string defaultExt;  // added when the user types a name without one
  std::string filter;      // "Description |pattern | Description|pattern|"
  std::string fileName;    // the name chosen last, shown at the start
};

// The default extension as a file name suffix: blanks around it and leading
// dots dropped (" .txt" -> "txt").
std::string defaultSuffix(std::string_view defaultExt);

// A file name typed into a file dialog as the dialog returns it: the default
// extension is added when the name's last part has no '.' at all and the path
// is not a directory ("setup" -> "setup.txt"; "setup.", ".setup", "a.b/setup.cfg"
// stay). A path that names no file (empty, or ending in a separator) stays too.
std::string withDefaultExtension(std::string path, std::string_view defaultExt);

// What a file dialog answered: the file name chosen, or Cancel. Cancel is an
// answer of its own, not a missing name.
class FileChoice {
 public:
  static FileChoice cancelled() { return FileChoice(); }
  static FileChoice chosen(std::string path) {
    FileChoice choice;
    choice.cancelled_ = false;
    choice.path_ = std::move(path);
    return choice;
  }

  bool isCancelled() const { return cancelled_; }
  // The file name chosen ("" after Cancel).
  const std::string& path() const { return path_; }

  bool operator==(const FileChoice&) const = default;

 private:
  FileChoice() = default;
  bool cancelled_ = true;
  std::string path_;
};

// Message boxes and file dialogs are requests to the front end: the Qt program
// shows real ones, the script runner prints and answers from the script, tests
// record.
class UiHost {
 public:
  virtual ~UiHost() = default;
  // A message box with an OK button only; an empty caption means the box has no
  // title of its own (the program's name serves).
  virtual void messageBox(const std::string& text, const std::string& caption) = 0;
  // The chosen file name, or Cancel.
  virtual FileChoice fileDialog(FileDialogKind kind, const FileDialogSetup& setup) = 0;
};

}  // namespace glim::forms
