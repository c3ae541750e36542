// The about box: its texts in each language, what must fit, its links, the
// operating-system line; and Qt's own texts in the process language.
#include "Unit_lxcomm32_about.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <QUrl>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "AppLangAs.h"
#include "LangQt.h"
#include "ModalAnswers.h"

using namespace TOrvekFuncs;
using About = TForm_LXComm32_About;
using testsupport::AppLangAs;

namespace {

// Receives the URLs the box asks the desktop to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    UrlRecorder()
    {
        for (const char* scheme : {"https", "mailto"})
            QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~UrlRecorder() override
    {
        for (const char* scheme : {"https", "mailto"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> Opened;
public slots:
    void Open(const QUrl& url) { Opened.append(url); }
};

QLabel* Label(const About& about, const char* name) { return testsupport::Find<QLabel>(about, name); }

} // namespace

// The texts in each language. A name too wide for its place is set
// smaller, down to the language's smallest size. This machine's system
// line ("Debian GNU/Linux 12 (bookworm) 6.18.0044 x86_64" where this was
// written) fits the box in every language.
TEST(AboutBox, TextsInEachLanguageFitTheirPlaces)
{
    struct Case { TLangType type; const char* title; const char* version; const char* ok; };
    for (const Case& c : {Case{ltEnglish, "About TLxCommDevice...", "Version: 1.3.3.5", "OK"},
                          Case{ltGbk, "关于 TLxCommDevice……", "版本: 1.3.3.5", "确定"},
                          Case{ltBig5, "關於 TLxCommDevice……", "版本: 1.3.3.5", "確定"}}) {
        AppLangAs language(c.type);
        const About about(nullptr, "TLxCommDevice");
        EXPECT_EQ(about.windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(Label(about, "LabelVersion")->text(), QString::fromUtf8(c.version));
        EXPECT_EQ(about.findChild<QPushButton*>("BnOK")->text(), QString::fromUtf8(c.ok));
        EXPECT_EQ(about.font().pointSize(), AppLang.FontSize());

        EXPECT_LE(Label(about, "LabelCaption")->geometry().right(), Label(about, "LabelVersion")->x() - 4);
        const QLabel* line = Label(about, "LabelOSVer");
        EXPECT_LE(line->x() + line->fontMetrics().horizontalAdvance(line->text()), about.width() - line->x())
            << int(c.type) << ' ' << line->font().pointSize();
        const About wide(nullptr, QString(60, 'W'));
        EXPECT_EQ(Label(wide, "LabelCaption")->font().pointSize(), AppLang.MinFontSize());
    }
}

TEST(AboutBox, LinksOpenTheirAddressOnAClickAndEnterCloses)
{
    AppLangAs english(ltEnglish);
    UrlRecorder desktop;
    About about(nullptr, "TLxCommDevice");
    about.show();
    // A press dragged off the link opens nothing; a right click neither.
    QLabel* homepage = Label(about, "LabelHomepage");
    EXPECT_EQ(homepage->text(), "https://ccdownload.example/");
    QTest::mousePress(homepage, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(homepage, Qt::LeftButton, {}, QPoint(2, homepage->height() + 20));
    QTest::mouseClick(homepage, Qt::RightButton);
    EXPECT_TRUE(desktop.Opened.isEmpty());

    QTest::mouseClick(homepage, Qt::LeftButton);
    QTest::mouseClick(Label(about, "LabelEmail"), Qt::LeftButton);
    QTest::mouseClick(Label(about, "LabelVersion"), Qt::LeftButton);
    EXPECT_EQ(desktop.Opened, (QList<QUrl>{QUrl(homepage->text()),
                                           QUrl("mailto:" + Label(about, "LabelEmail")->text())}));
    QTest::keyClick(&about, Qt::Key_Return);
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(AboutBox, OsVersionTextPadsMinorAndBuild)
{
    struct Case { TWindowsVersionInfo version; const char* text; };
    for (const Case& c : {Case{{2, 5, 1, 2600, "Service Pack 2"}, "Windows XP 5.01.2600 Service Pack 2"},
                          Case{{1, 4, 0, 950, "ignored"}, "Windows 95 4.00.0950 "},
                          Case{{1, 4, 10, 2222, ""}, "Windows 98 SE 4.10.2222 "},
                          Case{{2, 10, 0, 19045, ""}, "Windows NT 10.00.19045 "}}) {
        TSysInfo info([facts = OsFactsFromWindowsVersion(c.version)] { return facts; });
        EXPECT_EQ(About::OsVersionText(info), TOrvekString(c.text));
    }
    TSysInfo failed([] { return TOsFacts{}; });
    EXPECT_EQ(About::OsVersionText(failed), TOrvekString(" 0.00.0000 "));
}

TEST(AboutBox, ShowsThisMachinesSystemAndOrganisation)
{
    AppLangAs english(ltEnglish);
    const char* previous = std::getenv("ORGANIZATION");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    setenv("ORGANIZATION", "Acme Works", 1);
    const About about(nullptr, "TLxCommDevice");
    saved ? setenv("ORGANIZATION", saved->c_str(), 1) : unsetenv("ORGANIZATION");
    TSysInfo info;
    EXPECT_EQ(Label(about, "LabelOSVer")->text(), QString::fromUtf8(About::OsVersionText(info).c_str()));
    EXPECT_EQ(Label(about, "LabelUser")->text(), QString::fromUtf8(info.RegOwner()));
    EXPECT_EQ(Label(about, "LabelUserOrg")->text(), "Acme Works");
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
