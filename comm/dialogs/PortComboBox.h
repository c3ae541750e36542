#pragma once
// The settings dialog's port list. Each entry's text is the port's name
// alone ("COM33"), which is what the dialog's checks read back and what a
// name search finds; its detail (DetailRole: "ttyUSB0, FT232R USB UART") is
// shown beside the name, in the drop-down and in the closed box, so that
// two adapters can be told apart without hovering.
//
// Threads: window thread only.

#include <QComboBox>

class TPortComboBox : public QComboBox {
    Q_OBJECT

public:
    static constexpr int DetailRole = Qt::UserRole + 1;

    explicit TPortComboBox(QWidget* parent = nullptr);

    // "COM33 — ttyUSB0, FT232R USB UART"; the name alone without a detail.
    QString ShownText(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showPopup() override;
};
