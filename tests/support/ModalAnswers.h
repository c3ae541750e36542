#pragma once
// Answers the modal windows the code under test opens, as a user would.
// Each message box (seen through ShowMessageBox's observer) runs for real,
// with its nested event loop, and is closed with OK once that loop turns,
// after the action the test gave for its text, if any; what it showed is
// recorded. A test may also queue an action for the next window that a
// matcher picks once it is shown (a settings dialog, the about box).
//
// Threads: window thread only.

#include <chrono>
#include <functional>
#include <vector>

#include <QHash>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

namespace testsupport {

using namespace std::chrono_literals;

struct ShownBox {
    QString Text;
    QString Title;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QPointer<QWidget> Parent;
    int Width = 0;         // as it ran
    int TitleWidth = 0;    // of its title, in its font
    std::chrono::steady_clock::time_point At = std::chrono::steady_clock::now();  // when it was shown
};

// Runs the event loop until `condition` holds or the time-out passes.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = 5s)
{
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

// The child of `parent` with this object name, which the test expects.
template <typename Control = QWidget>
Control* Find(const QWidget& parent, const char* name)
{
    auto* control = parent.findChild<Control*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
}

class ModalAnswers : public QObject {
public:
    ModalAnswers();
    ~ModalAnswers() override;

    const std::vector<ShownBox>& Boxes() const { return Shown; }
    QStringList Texts() const;
    int Count(const QString& text) const { return static_cast<int>(Texts().count(text)); }
    void Clear() { Shown.clear(); }
    // Runs the event loop until `count` boxes of `text` have been shown.
    bool WaitFor(const QString& text, int count = 1, std::chrono::milliseconds timeout = 5s) const
    {
        return WaitUntil([&] { return Count(text) >= count; }, timeout);
    }

    // Runs `action` inside the loop of the next box of `text`, before OK.
    void WhileShown(const QString& text, std::function<void()> action) { WhileShownActions[text] = std::move(action); }

    // Calls `action` with the next shown top-level window that `matches`,
    // once the event loop turns.
    void OnNextWindow(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> action)
    {
        Pending.push_back({std::move(matches), std::move(action)});
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct PendingAction {
        std::function<bool(QWidget*)> Matches;
        std::function<void(QWidget*)> Action;
    };
    std::vector<ShownBox> Shown;
    QHash<QString, std::function<void()>> WhileShownActions;
    std::vector<PendingAction> Pending;
};

} // namespace testsupport
