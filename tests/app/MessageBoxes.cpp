#include "MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "Application.h"
#include "MessageBox.h"

namespace apptest {

MessageBoxes::MessageBoxes()
{
    SetMessageBoxObserver([this](QMessageBox& box) { Observe(box); });
    Application::SetTerminateHandler([this] { ++Terminates; });
    Application::ResetTerminated();
}

MessageBoxes::~MessageBoxes()
{
    ReleaseHeld();
    SetMessageBoxObserver({});
    Application::SetTerminateHandler({});
    Application::ResetTerminated();
}

void MessageBoxes::Clear()
{
    Shown.clear();
    Titles.clear();
}

void MessageBoxes::Hold(const QString& text)
{
    HeldTexts.append(text);
}

int MessageBoxes::HeldOpen() const
{
    int open = 0;
    for (const auto& box : Held)
        open += box && box->isVisible() ? 1 : 0;
    return open;
}

void MessageBoxes::ReleaseHeld()
{
    HeldTexts.clear();
    for (auto& box : Held)
        if (box)
            box->button(QMessageBox::Ok)->click();
    Held.clear();
}

bool MessageBoxes::WaitFor(const QString& text, int count, std::chrono::milliseconds timeout) const
{
    return WaitUntil([&] { return Count(text) >= count; }, timeout);
}

void MessageBoxes::Observe(QMessageBox& box)
{
    Shown.append(box.text());
    Titles.append(box.windowTitle());
    if (HeldTexts.contains(box.text())) {
        Held.emplace_back(&box);
        return;
    }
    // The box's own loop delivers this, so the box has really run.
    QTimer::singleShot(0, &box, [&box] { box.button(QMessageBox::Ok)->click(); });
}

NextDialog::NextDialog(std::function<void(QWidget*)> action) : Watch(new QTimer)
{
    Watch->setInterval(10);
    QObject::connect(Watch, &QTimer::timeout, Watch, [this, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || qobject_cast<QMessageBox*>(modal) != nullptr || !modal->isVisible())
            return;
        Watch->stop();
        Done = true;
        action(modal);
    });
    Watch->start();
}

NextDialog::~NextDialog()
{
    delete Watch;
}

} // namespace apptest
