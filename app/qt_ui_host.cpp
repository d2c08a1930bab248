#include "app/qt_ui_host.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "script/line_runner.h"
#include "script/script_recorder.h"

namespace glim::app {

QStringList nameFiltersFrom(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    patterns.removeAll(QString());
    if (patterns.isEmpty()) continue;
    const QString joined = patterns.join(QLatin1Char(' '));
    if (description.isEmpty()) {
      filters << joined;
    } else if (description.contains(QLatin1Char('(')) && description.endsWith(QLatin1Char(')'))) {
      // Qt reads the patterns from the parentheses; make them the real ones.
      filters << description.left(description.lastIndexOf(QLatin1Char('('))).trimmed() + QStringLiteral(" (") + joined +
                     QLatin1Char(')');
    } else {
      filters << description + QStringLiteral(" (") + joined + QLatin1Char(')');
    }
  }
  return filters;
}

// The dialog adds the suffix to a typed name by the rule the script runner
// applies to its answers (forms::withDefaultExtension).
QString defaultSuffixFrom(const std::string& defaultExt) {
  return QString::fromStdString(forms::defaultSuffix(defaultExt));
}

void QtUiHost::messageBox(const std::string& text, const std::string& caption) {
  if (script_ != nullptr) script_->messageBoxShown(text, caption);
  if ((script_ != nullptr && unattended_) || ending_) return;
  const QString title = caption.empty() ? QString::fromLatin1(kApplicationName) : QString::fromStdString(caption);
  QMessageBox box(QMessageBox::NoIcon, title, QString::fromStdString(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

forms::FileChoice QtUiHost::fileDialog(forms::FileDialogKind kind, const forms::FileDialogSetup& setup) {
  if (script_ != nullptr) {
    if (auto answer = script_->fileDialogShown(kind, setup)) return *answer;
  }
  if (ending_) return forms::FileChoice::cancelled();
  QFileDialog dialog(QApplication::activeWindow());
  const bool save = kind == forms::FileDialogKind::Save;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(defaultSuffixFrom(setup.defaultExt));
  const QStringList filters = nameFiltersFrom(setup.filter);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  if (!setup.fileName.empty()) dialog.selectFile(QString::fromStdString(setup.fileName));
  forms::FileChoice choice = forms::FileChoice::cancelled();
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    choice = forms::FileChoice::chosen(dialog.selectedFiles().constFirst().toStdString());
  }
  if (recorder_ != nullptr) recorder_->fileDialogAnswered(choice);
  return choice;
}

}  // namespace glim::app
