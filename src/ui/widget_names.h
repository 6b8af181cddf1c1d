#pragma once
// Small helpers for building windows in code: every control gets the name
// the program knows it by, and hints show as tool tips and status tips.
#include <QAction>
#include <QString>
#include <QWidget>

namespace quiltor::ui {

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

inline void SetHint(QWidget* widget, const char* hint) {
  widget->setToolTip(QString::fromUtf8(hint));
  widget->setStatusTip(QString::fromUtf8(hint));
}

inline void SetHint(QAction* action, const char* hint) {
  action->setToolTip(QString::fromUtf8(hint));
  action->setStatusTip(QString::fromUtf8(hint));
}

}  // namespace quiltor::ui
