#include "ModalAnswers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QTimer>

#include "MessageBox.h"

namespace testsupport {

ModalAnswers::ModalAnswers()
{
    SetMessageBoxObserver([this](QMessageBox& box) {
        Shown.push_back({box.text(), box.windowTitle(), box.icon(), box.parentWidget(), 0,
                         box.fontMetrics().horizontalAdvance(box.windowTitle())});
        // Delivered by the box's own loop, so the box has really run.
        QTimer::singleShot(0, &box, [this, &box, shown = Shown.size() - 1, action = WhileShownActions.take(box.text())] {
            Shown[shown].Width = box.width();
            if (action)
                action();
            box.button(QMessageBox::Ok)->click();
        });
    });
    qApp->installEventFilter(this);
}

ModalAnswers::~ModalAnswers()
{
    qApp->removeEventFilter(this);
    SetMessageBoxObserver({});
}

QStringList ModalAnswers::Texts() const
{
    QStringList texts;
    for (const ShownBox& box : Shown)
        texts << box.Text;
    return texts;
}

bool ModalAnswers::eventFilter(QObject* watched, QEvent* event)
{
    // The receiver first: the engine's notifications, posted from its
    // threads to a plain object, are not read before that object has told
    // ThreadSanitizer it took them over.
    if (!watched->isWidgetType() || event->type() != QEvent::Show || !static_cast<QWidget*>(watched)->isWindow())
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

} // namespace testsupport
