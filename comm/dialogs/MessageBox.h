#pragma once
// Every modal message box of the library's dialogs and of the tool is shown
// here, so that a test can read each one and close it as a user would.
//
// Threads: window thread only.

#include <functional>

#include <QMessageBox>
#include <QString>

class QWidget;

// A modal box with an OK button. It runs a nested event loop, so timers
// keep firing until it is closed.
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text);

// Test seam: the observer sees each box just before it runs, and may close
// it at once or later; the box itself runs as in the program. An empty
// function restores the default.
void SetMessageBoxObserver(std::function<void(QMessageBox&)> observer);
