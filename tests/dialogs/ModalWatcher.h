#pragma once
// Answers the modal windows a dialog under test opens, as a user would:
// each message box (seen through ShowMessageBox's observer) runs for real,
// with its nested event loop, and is closed with OK once that loop turns;
// what it showed is recorded. A test may also queue an action for the next
// window of a given kind that is shown (the settings dialog inside
// SettingsDialog, the about box).
//
// Threads: window thread only.

#include <functional>
#include <vector>

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

namespace dialogtest {

struct ShownBox {
    QString Text;
    QString Title;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QPointer<QWidget> Parent;
};

class ModalWatcher : public QObject {
public:
    ModalWatcher();
    ~ModalWatcher() override;

    const std::vector<ShownBox>& Boxes() const { return Shown; }
    void Clear() { Shown.clear(); }

    // Calls `action` with the next shown top-level window that `matches`,
    // once the event loop turns.
    void OnNextWindow(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct PendingAction {
        std::function<bool(QWidget*)> Matches;
        std::function<void(QWidget*)> Action;
    };
    std::vector<ShownBox> Shown;
    std::vector<PendingAction> Pending;
};

} // namespace dialogtest
