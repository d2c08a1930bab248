#pragma once
#include <QString>

class QWidget;

namespace glim::app {

// "name(i)": the object name of member i of a row of like widgets.
QString indexedName(const char* name, int i);

// Makes a value stand out (or not); the "changed" property tells tests.
void markChanged(QWidget* w, bool changed);

}  // namespace glim::app
