#pragma once
// What the tool's windows ask of the application object: its title, modal
// messages, the display of an escaped exception, the terminate request, and
// the forms it owns.
//
// Threads: window thread only.

#include <exception>
#include <functional>

#include <QApplication>
#include <QIcon>
#include <QString>

class QWidget;

namespace Application {

// The title of every message box.
QString Title();

// The tool's icon, which every window of the program shows.
QIcon Icon();

// A modal message box with the application's title and an OK button,
// shown through ShowMessageBox (whose observer a test may set). It runs a
// nested event loop, so timers keep firing until it is closed.
void ShowMessage(const QString& text);

// The display of an exception that escaped a handler or the start-up: the
// library's Exception shows its message, anything else an empty one.
void ShowException(const std::exception* error);

// Asks the event loop to end. Asked before the loop runs, the loop does not
// start (main checks Terminated()).
void Terminate();
bool Terminated();

// Forms owned by the application live until ReleaseForms, which main calls
// after the event loop has ended.
void OwnForm(QWidget* form);
void ReleaseForms();

// Test seam: the terminate handler replaces ending the event loop. Pass an
// empty function to restore the default.
void SetTerminateHandler(std::function<void()> handler);
void ResetTerminated();

} // namespace Application

// The application object of the program: its windows carry the tool's
// icon, and an exception that escapes an event handler is shown and the
// event loop goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
