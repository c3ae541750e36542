#include "MessageBox.h"

namespace {

std::function<void(QMessageBox&)> Observer;

} // namespace

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    if (Observer)
        Observer(box);
    box.exec();
}

void SetMessageBoxObserver(std::function<void(QMessageBox&)> observer)
{
    Observer = std::move(observer);
}
