// The about box: caption, texts and fonts in each language, its links and
// the operating-system line.
#include "Unit_lxcomm32_about.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>
#include <QTest>
#include <QUrl>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "AppLangAs.h"

#include "LangQt.h"

using namespace TOrvekFuncs;
using About = TForm_LXComm32_About;

using testsupport::AppLangAs;

namespace {

// Sets ORGANIZATION for one test (nullptr unsets it) and restores it.
class OrganizationAs {
public:
    explicit OrganizationAs(const char* value)
    {
        if (const char* previous = std::getenv("ORGANIZATION"))
            Saved = previous;
        value ? setenv("ORGANIZATION", value, 1) : unsetenv("ORGANIZATION");
    }
    ~OrganizationAs() { Saved ? setenv("ORGANIZATION", Saved->c_str(), 1) : unsetenv("ORGANIZATION"); }

private:
    std::optional<std::string> Saved;
};

// Receives the URLs the box asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder()
    {
        QDesktopServices::setUrlHandler("https", this, "Open");
        QDesktopServices::setUrlHandler("mailto", this, "Open");
    }
    ~UrlRecorder() override
    {
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("mailto");
    }
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened.append(url); }
};

QLabel* Label(const About& about, const char* name)
{
    auto* label = about.findChild<QLabel*>(name);
    EXPECT_NE(label, nullptr) << name;
    return label;
}

QString Text(const About& about, const char* name)
{
    const QLabel* label = Label(about, name);
    return label ? label->text() : QString();
}

TOsFacts Facts(TWindowsVersionInfo version) { return OsFactsFromWindowsVersion(version); }

} // namespace

TEST(AboutBox, EnglishCaptionAndTexts)
{
    AppLangAs english(ltEnglish);
    const About about(nullptr, "TLxCommDevice");
    EXPECT_EQ(about.windowTitle(), "About TLxCommDevice...");
    EXPECT_EQ(Text(about, "LabelCaption"), "TLxCommDevice");
    EXPECT_EQ(Text(about, "LabelVersion"), "Version: 1.3.3.5");
    EXPECT_EQ(Text(about, "LabelPmtUser"), "User:");
    EXPECT_EQ(Text(about, "LabelPmtOrgn"), "Orgn:");
    const auto* ok = about.findChild<QPushButton*>("BnOK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");

    // The links show their address; the mail link's hint is the mailto URL.
    const QString homepage = Text(about, "LabelHomepage");
    const QString mail = Text(about, "LabelEmail");
    EXPECT_TRUE(homepage.startsWith("https://")) << homepage.toStdString();
    EXPECT_TRUE(mail.contains('@')) << mail.toStdString();
    EXPECT_EQ(Label(about, "LabelHomepage")->toolTip(), homepage);
    EXPECT_EQ(Label(about, "LabelEmail")->toolTip(), "mailto:" + mail);
}

TEST(AboutBox, SimplifiedChineseCaptionEndsInTheGbkEllipsis)
{
    AppLangAs gbk(ltGbk);
    EXPECT_EQ(LangText(About::TextSet(), About::txtCaptionSuffix), TOrvekString("\xA1\xAD\xA1\xAD"));
    EXPECT_EQ(LangText(About::TextSet(), About::txtCaptionPrefix), TOrvekString("\xB9\xD8\xD3\xDA "));  // 关于
    const About about(nullptr, "TLxCommDevice");
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("关于 TLxCommDevice……"));
    EXPECT_EQ(Text(about, "LabelPmtUser"), QString::fromUtf8("用户:"));
    EXPECT_EQ(Text(about, "LabelPmtOrgn"), QString::fromUtf8("单位:"));
    EXPECT_EQ(Text(about, "LabelVersion"), QString::fromUtf8("版本: 1.3.3.5"));
    EXPECT_EQ(about.findChild<QPushButton*>("BnOK")->text(), QString::fromUtf8("确定"));
}

TEST(AboutBox, TraditionalChineseIsShownInBig5)
{
    AppLangAs big5(ltBig5);
    // The stored suffix is GBK; the Big5 system gets the Big5 ellipsis.
    EXPECT_EQ(About::TextSet().Entry(ltBig5, About::txtCaptionSuffix), TOrvekString("\xA1\xAD\xA1\xAD"));
    EXPECT_EQ(LangText(About::TextSet(), About::txtCaptionSuffix), TOrvekString("\xA1\x4B\xA1\x4B"));
    const About about(nullptr, "TLxCommDevice");
    EXPECT_EQ(about.windowTitle(), QString::fromUtf8("關於 TLxCommDevice……"));
    EXPECT_EQ(Text(about, "LabelPmtUser"), QString::fromUtf8("用戶:"));
    EXPECT_EQ(Text(about, "LabelPmtOrgn"), QString::fromUtf8("單位:"));
    EXPECT_EQ(about.findChild<QPushButton*>("BnOK")->text(), QString::fromUtf8("確定"));

    // Every traditional text of the box converts to itself.
    for (std::size_t i = 0; i < About::TextSet().Count(); ++i) {
        const TOrvekString stored = About::TextSet().Entry(ltBig5, i);
        EXPECT_EQ(CharsetToUtf8(LangText(About::TextSet(), i), 136), CharsetToUtf8(stored, 134)) << i;
    }
}

TEST(AboutBox, TextSetHasTheSameAddressesInEveryLanguage)
{
    const TLangTextSet& set = About::TextSet();
    ASSERT_EQ(set.Count(), std::size_t(About::txtCount));
    for (TLangType type : {ltGbk, ltBig5}) {
        for (auto index : {About::txtHomepage, About::txtEmail, About::txtEmailLink})
            EXPECT_EQ(set.Entry(type, index), set.Entry(ltEnglish, index)) << int(type) << ' ' << index;
    }
    EXPECT_EQ(set.Entry(ltEnglish, About::txtEmailLink), TOrvekString("mailto:") + set.Entry(ltEnglish, About::txtEmail));
}

TEST(AboutBox, ControlsSitWhereTheLayoutPutsThem)
{
    AppLangAs english(ltEnglish);
    const About about(nullptr, "TLxCommDevice");
    EXPECT_EQ(about.size(), QSize(266, 132));
    struct Place { const char* name; int left, top; };
    for (const Place& p : {Place{"Image1", 16, 32}, Place{"LabelCaption", 72, 8}, Place{"LabelVersion", 184, 16},
                           Place{"LabelHomepage", 80, 46}, Place{"LabelEmail", 80, 60}, Place{"LabelOSVer", 8, 86},
                           Place{"LabelPmtUser", 8, 100}, Place{"LabelUser", 40, 100}, Place{"LabelPmtOrgn", 8, 114},
                           Place{"LabelUserOrg", 40, 114}}) {
        const QLabel* label = Label(about, p.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->pos(), QPoint(p.left, p.top)) << p.name;
        EXPECT_FALSE(label->autoFillBackground()) << p.name;
    }
    EXPECT_EQ(Label(about, "Image1")->size(), QSize(32, 32));
    EXPECT_FALSE(Label(about, "Image1")->pixmap().isNull());
    const auto* bevel = about.findChild<QFrame*>("Bevel1");
    ASSERT_NE(bevel, nullptr);
    EXPECT_EQ(bevel->geometry(), QRect(0, 80, 266, 2));
    const auto* ok = about.findChild<QPushButton*>("BnOK");
    EXPECT_EQ(ok->geometry(), QRect(184, 102, 75, 25));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(ok->icon().isNull());
}

TEST(AboutBox, FontsFollowTheProcessLanguage)
{
    for (TLangType type : {ltEnglish, ltGbk}) {
        AppLangAs language(type);
        const About about(nullptr, "TLx");
        EXPECT_EQ(about.font().family(), LangDialogFont().family()) << int(type);
        EXPECT_EQ(about.font().pointSize(), AppLang.FontSize()) << int(type);
        EXPECT_EQ(Label(about, "LabelCaption")->font().pointSize(), 12);
        EXPECT_EQ(Label(about, "LabelCaption")->font().family(), LangDialogFont().family());
    }
}

TEST(AboutBox, ANameTooWideForItsPlaceIsSetSmaller)
{
    AppLangAs english(ltEnglish);
    const About about(nullptr, "TLxCommDevice");
    const QLabel* caption = Label(about, "LabelCaption");
    const QLabel* version = Label(about, "LabelVersion");
    EXPECT_LE(caption->geometry().right(), version->x() - 4);
    EXPECT_LE(caption->font().pointSize(), 12);
    EXPECT_GE(caption->font().pointSize(), AppLang.MinFontSize());
    EXPECT_EQ(caption->text(), "TLxCommDevice");

    // A name no size can fit stops at the language's smallest size.
    const About wide(nullptr, QString(60, 'W'));
    EXPECT_EQ(Label(wide, "LabelCaption")->font().pointSize(), AppLang.MinFontSize());
}

TEST(AboutBox, LinksAreBlueUnderlinedAndOpenTheirAddress)
{
    AppLangAs english(ltEnglish);
    UrlRecorder desktop;
    About about(nullptr, "TLxCommDevice");
    about.show();
    for (const char* name : {"LabelHomepage", "LabelEmail"}) {
        QLabel* link = Label(about, name);
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255)) << name;
        EXPECT_TRUE(link->font().underline()) << name;
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << name;
        EXPECT_FALSE(Label(about, "LabelVersion")->font().underline());
    }
    // A press dragged off the link opens nothing; a right click neither.
    QLabel* homepage = Label(about, "LabelHomepage");
    QTest::mousePress(homepage, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(homepage, Qt::LeftButton, {}, QPoint(2, homepage->height() + 20));
    QTest::mouseClick(homepage, Qt::RightButton);
    EXPECT_TRUE(desktop.Opened.isEmpty());

    QTest::mouseClick(homepage, Qt::LeftButton);
    QTest::mouseClick(Label(about, "LabelEmail"), Qt::LeftButton);
    QTest::mouseClick(Label(about, "LabelVersion"), Qt::LeftButton);
    ASSERT_EQ(desktop.Opened.size(), 2);
    EXPECT_EQ(desktop.Opened[0], QUrl(Text(about, "LabelHomepage")));
    EXPECT_EQ(desktop.Opened[1], QUrl("mailto:" + Text(about, "LabelEmail")));
    EXPECT_EQ(desktop.Opened[1].scheme(), "mailto");
}

TEST(AboutBox, EnterAndOkCloseWithTheOkResult)
{
    AppLangAs english(ltEnglish);
    {
        About about(nullptr, "TLxCommDevice");
        about.show();
        QSignalSpy accepted(&about, &QDialog::accepted);
        QTest::keyClick(&about, Qt::Key_Return);
        EXPECT_EQ(accepted.count(), 1);
        EXPECT_EQ(about.result(), QDialog::Accepted);
    }
    {
        About about(nullptr, "TLxCommDevice");
        about.show();
        QTest::mouseClick(about.findChild<QPushButton*>("BnOK"), Qt::LeftButton);
        EXPECT_EQ(about.result(), QDialog::Accepted);
        EXPECT_FALSE(about.isVisible());
    }
}

TEST(AboutBox, OsVersionTextPadsMinorAndBuild)
{
    struct Case { TOsFacts facts; const char* text; };
    const Case cases[] = {
        {Facts({2, 5, 1, 2600, "Service Pack 2"}), "Windows XP 5.01.2600 Service Pack 2"},
        {Facts({1, 4, 0, 950, "ignored"}), "Windows 95 4.00.0950 "},
        {Facts({1, 4, 0, 1111, ""}), "Windows 95 OSR2 4.00.1111 "},
        {Facts({1, 4, 10, 2222, ""}), "Windows 98 SE 4.10.2222 "},
        {Facts({2, 10, 0, 19045, ""}), "Windows NT 10.00.19045 "},
        {TOsFacts{}, " 0.00.0000 "},   // the version query failed
    };
    for (const Case& c : cases) {
        TSysInfo info([facts = c.facts] { return facts; });
        EXPECT_EQ(About::OsVersionText(info), TOrvekString(c.text));
    }
}

// This machine's line ("Debian GNU/Linux 12 (bookworm) 6.18.0044 x86_64"
// where this was written) fits the box in every language, set smaller if
// need be.
TEST(AboutBox, SystemLineFitsTheBox)
{
    for (TLangType type : {ltEnglish, ltGbk, ltBig5}) {
        AppLangAs language(type);
        const About about(nullptr, "TLxCommDevice");
        const QLabel* line = Label(about, "LabelOSVer");
        EXPECT_LE(line->x() + line->fontMetrics().horizontalAdvance(line->text()), about.width() - line->x())
            << int(type) << ' ' << line->font().pointSize();
    }
}

TEST(AboutBox, ShowsThisMachinesSystemAndUser)
{
    AppLangAs english(ltEnglish);
    {
        OrganizationAs organization("Acme Works");
        const About about(nullptr, "TLxCommDevice");
        TSysInfo info;
        EXPECT_EQ(Text(about, "LabelOSVer"), QString::fromUtf8(About::OsVersionText(info).c_str()));
        EXPECT_EQ(Label(about, "LabelOSVer")->toolTip(), Text(about, "LabelOSVer"));
        EXPECT_EQ(Text(about, "LabelUser"), QString::fromUtf8(info.RegOwner()));
        EXPECT_FALSE(Text(about, "LabelUser").isEmpty());
        EXPECT_EQ(Text(about, "LabelUserOrg"), "Acme Works");
    }
    {
        OrganizationAs none(nullptr);
        const About about(nullptr, "TLxCommDevice");
        EXPECT_EQ(Text(about, "LabelPmtOrgn"), "Orgn:");
        EXPECT_EQ(Text(about, "LabelUserOrg"), "");
    }
}

// Qt's own buttons speak the process language.
TEST(QtTranslations, StandardButtonsFollowTheProcessLanguage)
{
    struct Case { TLangType type; const char* ok; };
    for (const Case& c : {Case{ltGbk, "确定"}, Case{ltBig5, "確定"}, Case{ltEnglish, "OK"}}) {
        AppLangAs language(c.type);
        const std::unique_ptr<QTranslator> translator(LoadQtTranslations(*QCoreApplication::instance()));
        const QMessageBox box(QMessageBox::NoIcon, "", "", QMessageBox::Ok);
        EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QString::fromUtf8(c.ok)) << int(c.type);
    }
}

#include "AboutTest.moc"
