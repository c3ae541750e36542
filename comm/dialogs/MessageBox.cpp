#include "MessageBox.h"

#include <QGridLayout>
#include <QSpacerItem>

namespace {

// The title bar's own icon and buttons, beside the title.
constexpr int TitleBarRoom = 160;

std::function<void(QMessageBox&)> Observer;

// A box is as wide as its text; for a short text ("打开成功") that is so
// narrow that the window manager shows the title as "..". Title bars often
// use a larger, bold face: a quarter more than the box's own.
void MakeRoomForTitle(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    const int wanted = box.fontMetrics().horizontalAdvance(box.windowTitle()) * 5 / 4 + TitleBarRoom;
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    MakeRoomForTitle(box);
    if (Observer)
        Observer(box);
    box.exec();
}

void SetMessageBoxObserver(std::function<void(QMessageBox&)> observer)
{
    Observer = std::move(observer);
}
