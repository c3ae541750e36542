#include "Unit2.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "WindowOnPty.h"

namespace {

using testsupport::Bytes;
using apptest::U;

const char* const Names[12] = {"SR01E", "SR02E", "SR03E", "UR04E", "UR03E", "UR02E",
                               "UR01E", "UR07E", "UR05E", "UR06E", "SR05E", "SR04E"};

class SensorDialog : public ::testing::Test {
protected:
    // The dialog of the given starting levels, with every command it sends
    // recorded.
    TForm2& Open(const std::uint8_t (&levels)[12])
    {
        Dialog = std::make_unique<TForm2>(levels, [this](const std::uint8_t* cmd, int count) {
            Sent.emplace_back(cmd, cmd + count);
        });
        return *Dialog;
    }

    QLineEdit* Edit(int channel) { return Dialog->findChild<QLineEdit*>(QString("Edit%1").arg(channel)); }
    QLabel* Label(int number) { return Dialog->findChild<QLabel*>(QString("Label%1").arg(number)); }

    // Clears the edit and types `text` key by key, as an operator would.
    void Type(int channel, const QString& text)
    {
        Edit(channel)->clear();
        QTest::keyClicks(Edit(channel), text);
    }

    testsupport::ModalAnswers Boxes;
    std::uint8_t Zero[12] = {};
    std::vector<Bytes> Sent;
    std::unique_ptr<TForm2> Dialog;
};

TEST(LevelToMilliamps, CurrentTextsInFourSignificantDigits)
{
    const std::pair<int, const char*> expected[] = {
        {0, "约合3.974(mA)"},   {1, "约合4.048(mA)"},   {100, "约合11.39(mA)"},
        {128, "约合13.46(mA)"}, {200, "约合18.8(mA)"}, {255, "约合22.87(mA)"},
    };
    for (const auto& [level, text] : expected)
        EXPECT_EQ(CurrentText(level), U(text)) << level;
}

// A new dialog starts from the levels it is given: in the edits, the
// current labels and the levels it would send. An entry outside 0-255
// falls back to the channel's own starting level with its own message.
TEST_F(SensorDialog, StartsFromItsLevelsAndFallsBackToThemWithTheChannelsMessage)
{
    std::uint8_t levels[12] = {0, 1, 100, 128, 200, 255, 12, 13, 14, 15, 16, 17};
    TForm2& form = Open(levels);
    for (int channel = 1; channel <= 12; ++channel) {
        const int start = levels[channel - 1];
        EXPECT_EQ(Edit(channel)->text(), QString::number(start)) << channel;
        EXPECT_EQ(Label(channel + 12)->text(), CurrentText(start)) << channel;
        EXPECT_EQ(form.ServiceLevel(channel), start) << channel;
        Edit(channel)->setText("-1");
        EXPECT_EQ(form.ServiceLevel(channel), start) << channel;
        EXPECT_EQ(Edit(channel)->text(), QString::number(start)) << channel;
        EXPECT_EQ(Label(channel + 12)->text(), CurrentText(start)) << channel;
        EXPECT_EQ(Boxes.Texts().value(channel - 1), QString(Names[channel - 1]) + U("电流参数设置错误"));
    }
}

// The level is the leading decimal number, as typed key by key.
TEST_F(SensorDialog, SetSendsTheCommandWithTheTwelveLevels)
{
    Open(Zero);
    for (int channel = 1; channel <= 12; ++channel)
        Type(channel, QString::number(channel) + "ab");
    EXPECT_EQ(Label(24)->text(), CurrentText(12));
    // Enter in a level edit of the shown dialog sends nothing.
    Dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Dialog.get()));
    Edit(12)->setFocus();
    QTest::keyClick(Edit(12), Qt::Key_Return);
    QTest::mouseClick(Dialog->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    ASSERT_EQ(Sent.size(), 1u);
    EXPECT_EQ(FrameText(Sent[0]), "A3 01 02 03 04 05 06 07 08 09 0A 0B 0C");

    // A refused entry sends the level it fell back to.
    Type(7, "999");
    Dialog->findChild<QPushButton*>("Button1")->click();
    EXPECT_EQ(FrameText(Sent.back()), "A3 01 02 03 04 05 06 00 08 09 0A 0B 0C");
}

TEST_F(SensorDialog, TabOrderRunsFromSetThroughTheLevelsToDone)
{
    TForm2& form = Open(Zero);
    QStringList order;
    QWidget* widget = form.Button1;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != form.Button1);
    QStringList expected{"Button1"};
    for (int channel = 1; channel <= 12; ++channel)
        expected << QString("Edit%1").arg(channel);
    EXPECT_EQ(order, expected << "Button2");
}

} // namespace
