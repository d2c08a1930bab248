#pragma once
#include <QString>
#include <QStringList>
#include <string>

#include "forms/ui_host.h"

namespace glim::script {
class LineRunner;
class ScriptRecorder;
}  // namespace glim::script

namespace glim::app {

// The program's name, the title of message boxes that have none of their own.
inline constexpr const char* kApplicationName = "Glimmora";

// "Text File (*.txt) |*.txt | All Files (*.*)|*.*|" as Qt name filters:
// "Text File (*.txt)", "All Files (*.*)". A description without its patterns
// gets them appended; several patterns ("*.txt;*.cfg") are separated by spaces.
QStringList nameFiltersFrom(const std::string& filter);

// "txt" from ".txt" or "txt".
QString defaultSuffixFrom(const std::string& defaultExt);

// Message boxes and file dialogs as real Qt dialogs, modal to the active window.
// While a script plays, its runner hears of each one, and a file dialog the
// script has answered is not shown; a message box still waits for OK.
class QtUiHost : public forms::UiHost {
 public:
  void setScript(script::LineRunner* runner) { script_ = runner; }
  // The person's answers to file dialogs are told to `recorder`.
  void setRecorder(script::ScriptRecorder* recorder) { recorder_ = recorder; }
  // Unattended (glimmora --run SCRIPT --exit): a message box met while a
  // script plays is answered OK at once, as it has no other button.
  void setUnattended(bool unattended) { unattended_ = unattended; }
  // The program is ending at the system's request: message boxes are no
  // longer shown (a script still hears of them), file dialogs are cancelled.
  void setEnding() { ending_ = true; }

  void messageBox(const std::string& text, const std::string& caption) override;
  forms::FileChoice fileDialog(forms::FileDialogKind kind, const forms::FileDialogSetup& setup) override;

 private:
  script::LineRunner* script_ = nullptr;
  script::ScriptRecorder* recorder_ = nullptr;
  bool unattended_ = false;
  bool ending_ = false;
};

}  // namespace glim::app
