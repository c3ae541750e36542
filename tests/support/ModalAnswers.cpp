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
        Shown.push_back({box.text(), box.windowTitle(), box.icon(), box.parentWidget()});
        if (HeldTexts.contains(box.text())) {
            Held.emplace_back(&box);
            return;
        }
        // Delivered by the box's own loop, so the box has really run.
        QTimer::singleShot(0, &box, [&box] { box.button(QMessageBox::Ok)->click(); });
    });
    qApp->installEventFilter(this);
}

ModalAnswers::~ModalAnswers()
{
    ReleaseHeld();
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

void ModalAnswers::ReleaseHeld()
{
    HeldTexts.clear();
    for (auto& box : Held)
        if (box)
            box->button(QMessageBox::Ok)->click();
    Held.clear();
}

bool ModalAnswers::eventFilter(QObject* watched, QEvent* event)
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

} // namespace testsupport
