#include "ModalWatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QTimer>

#include "MessageBox.h"

namespace dialogtest {

ModalWatcher::ModalWatcher()
{
    SetMessageBoxObserver([this](QMessageBox& box) {
        Shown.push_back({box.text(), box.windowTitle(), box.icon(), box.parentWidget()});
        // Delivered by the box's own loop, so the box has really run.
        QTimer::singleShot(0, &box, [&box] { box.button(QMessageBox::Ok)->click(); });
    });
    qApp->installEventFilter(this);
}

ModalWatcher::~ModalWatcher()
{
    qApp->removeEventFilter(this);
    SetMessageBoxObserver({});
}

void ModalWatcher::OnNextWindow(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> action)
{
    Pending.push_back({std::move(matches), std::move(action)});
}

bool ModalWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Show || !watched->isWidgetType() || !static_cast<QWidget*>(watched)->isWindow())
        return false;
    auto* window = static_cast<QWidget*>(watched);
    for (auto it = Pending.begin(); it != Pending.end(); ++it) {
        if (it->Matches(window)) {
            QTimer::singleShot(0, window, [action = std::move(it->Action), window] { action(window); });
            Pending.erase(it);
            break;
        }
    }
    return false;
}

} // namespace dialogtest
