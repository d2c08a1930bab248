#include "app/last_session.h"

#include <QDir>
#include <QStandardPaths>
#include <QtGlobal>

namespace glim::app {

QString lastSessionPath() {
  const QString name = QStringLiteral("last-session.txt");
#ifdef Q_OS_WIN
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QLatin1Char('/') + name;
#else
  // Qt knows the state folder only from 6.7 on.
  QString state = qEnvironmentVariable("XDG_STATE_HOME");
  if (state.isEmpty() || QDir::isRelativePath(state)) state = QDir::homePath() + QStringLiteral("/.local/state");
  return state + QStringLiteral("/glimmora/") + name;
#endif
}

QString windowSettingsPath() {
  return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/glimmora.ini");
}

}  // namespace glim::app
