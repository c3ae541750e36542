#include "PortComboBox.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace {

class TDetailDelegate : public QStyledItemDelegate {
public:
    TDetailDelegate(const TPortComboBox* box) : QStyledItemDelegate(const_cast<TPortComboBox*>(box)), Box(box) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = Box->ShownText(index.row());
    }

private:
    const TPortComboBox* const Box;
};

} // namespace

TPortComboBox::TPortComboBox(QWidget* parent) : QComboBox(parent)
{
    setItemDelegate(new TDetailDelegate(this));
}

QString TPortComboBox::ShownText(int index) const
{
    const QString name = itemText(index);
    const QString detail = itemData(index, DetailRole).toString();
    return detail.isEmpty() ? name : name + QString::fromUtf8(" \u2014 ") + detail;
}

void TPortComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    // Cut with an ellipsis where the narrow field ends, not mid-letter.
    const int room = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this).width();
    if (currentIndex() >= 0)
        option.currentText = fontMetrics().elidedText(ShownText(currentIndex()), Qt::ElideRight, room);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

// The box keeps the dialog's narrow field; its drop-down is as wide as its
// longest entry.
void TPortComboBox::showPopup()
{
    int widest = width();
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, fontMetrics().horizontalAdvance(ShownText(i)) + 4 * fontMetrics().averageCharWidth());
    view()->setMinimumWidth(widest);
    QComboBox::showPopup();
}
