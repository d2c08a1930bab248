#pragma once
#include <optional>
#include <string>

namespace glim::forms {

enum class FileDialogKind { Open, Save };

// What a file dialog is set up with before it is shown.
struct FileDialogSetup {
  std::string defaultExt;  // added when the user types a name without one
  std::string filter;      // "Description |pattern | Description|pattern|"
  std::string fileName;    // the name chosen last, shown at the start
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
  // The chosen file name, or nothing when the user cancelled.
  virtual std::optional<std::string> fileDialog(FileDialogKind kind, const FileDialogSetup& setup) = 0;
};

}  // namespace glim::forms
