#pragma once
// Answers the tool's message boxes as an operator would: each box runs for
// real (modal, with its nested event loop) and is closed with OK as soon as
// that loop turns, unless the test holds boxes of its text open.
//
// Also the terminate request: recorded instead of ending the event loop.

#include <chrono>
#include <functional>
#include <vector>

#include <QPointer>
#include <QString>
#include <QStringList>

class QMessageBox;
class QTimer;
class QWidget;

namespace apptest {

using namespace std::chrono_literals;

class MessageBoxes {
public:
    MessageBoxes();
    ~MessageBoxes();
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    // Texts of every box shown so far, in order.
    const QStringList& Texts() const { return Shown; }
    QString Title(int index) const { return Titles.value(index); }
    int Count(const QString& text) const { return static_cast<int>(Shown.count(text)); }
    void Clear();

    // Boxes with this text stay open until ReleaseHeld.
    void Hold(const QString& text);
    int HeldOpen() const;
    void ReleaseHeld();

    // Runs the event loop until `count` boxes of `text` have been shown.
    bool WaitFor(const QString& text, int count = 1, std::chrono::milliseconds timeout = 5s) const;

    bool TerminateRequested() const { return Terminates > 0; }

private:
    void Observe(QMessageBox& box);

    QStringList Shown;
    QStringList Titles;
    QStringList HeldTexts;
    std::vector<QPointer<QMessageBox>> Held;
    int Terminates = 0;
};

// Runs the event loop until `condition` holds or the time-out passes.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = 5s);

// Calls `action` once on the next modal window that is not a message box,
// as soon as the event loop shows one (the port settings dialog). Stops
// watching when destroyed.
class NextDialog {
public:
    explicit NextDialog(std::function<void(QWidget*)> action);
    ~NextDialog();
    NextDialog(const NextDialog&) = delete;
    NextDialog& operator=(const NextDialog&) = delete;
    bool Answered() const { return Done; }

private:
    QTimer* Watch;
    bool Done = false;
};

} // namespace apptest

#include <QTest>

template <typename Condition>
bool apptest::WaitUntil(Condition condition, std::chrono::milliseconds timeout)
{
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}
