#pragma once
#include <optional>
#include <string>
#include <string_view>

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

// Message boxes and file dialogs are requests to the front end: the Qt program
// shows real ones, the script runner prints and answers from the script, tests
// record.
class UiHost {
 public:
  virtual ~UiHost() = default;
  // A message box with an OK button only; an empty caption means the box has no
  // title of its own (the program's name serves).
  virtual void messageBox(const std::string& text, const std::string& caption) = 0;
  // The chosen file name, or nothing when the user cancelled.
  virtual std::optional<std::string> fileDialog(FileDialogKind kind, const FileDialogSetup& setup) = 0;
};

}  // namespace glim::forms
