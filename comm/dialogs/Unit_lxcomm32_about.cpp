#include "Unit_lxcomm32_about.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "ButtonGlyphs.h"
#include "LangQt.h"

using namespace TOrvekFuncs;

namespace {

constexpr int ClientWidth = 266;
constexpr int ClientHeight = 132;
constexpr int CaptionFontSize = 12;
constexpr int CaptionGap = 4;   // pixels kept between the name and the version
constexpr int SystemLineMinFontSize = 6;
const QColor LinkColour(0x00, 0x00, 0xFF);

// The library's picture: a nine-pin serial connector.
QPixmap LibraryIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shell;
    shell.moveTo(2, 9);
    shell.lineTo(30, 9);
    shell.lineTo(26, 24);
    shell.lineTo(6, 24);
    shell.closeSubpath();
    painter.setPen(QPen(QColor(0x10, 0x3A, 0x78), 1.5));
    painter.setBrush(QColor(0x2E, 0x6B, 0xC6));
    painter.drawPath(shell);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF2, 0xC1, 0x4E));
    for (int pin = 0; pin < 5; ++pin)
        painter.drawEllipse(QPointF(7.0 + pin * 4.5, 14.0), 1.6, 1.6);
    for (int pin = 0; pin < 4; ++pin)
        painter.drawEllipse(QPointF(9.25 + pin * 4.5, 19.5), 1.6, 1.6);
    return pixmap;
}

void MakeLink(QLabel* label)
{
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, LinkColour);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
}

// A click is a left release over the label that was pressed; a press
// dragged off the label opens nothing.
bool IsClickOn(QObject* label, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    return mouse->button() == Qt::LeftButton &&
           static_cast<QWidget*>(label)->rect().contains(mouse->position().toPoint());
}

// Faces here run wider than the ones the layout was drawn for: a text that
// would run past `right` is set smaller, down to `minPointSize`.
void ShrinkToFit(QLabel* label, int right, int minPointSize)
{
    QFont font = label->font();
    while (label->x() + label->width() > right && font.pointSize() > minPointSize) {
        font.setPointSize(font.pointSize() - 1);
        label->setFont(font);
        label->adjustSize();
    }
}

QString TextOf(TForm_LXComm32_About::TextIndex index)
{
    return LangQText(TForm_LXComm32_About::TextSet(), index);
}

} // namespace

const TLangTextSet& TForm_LXComm32_About::TextSet()
{
    // Homepage and mail address lie under a reserved example domain.
    static const TLangTextSet texts(
        {"关于 ", "……", "用户:", "单位:", "版本: 1.3.3.5", "https://ccdownload.example/",
         "lib@ccdownload.example", "mailto:lib@ccdownload.example", "确定"},
        {"關於 ", "……", "用戶:", "單位:", "版本: 1.3.3.5", "https://ccdownload.example/",
         "lib@ccdownload.example", "mailto:lib@ccdownload.example", "確定"},
        {"About ", "...", "User:", "Orgn:", "Version: 1.3.3.5", "https://ccdownload.example/",
         "lib@ccdownload.example", "mailto:lib@ccdownload.example", "OK"});
    return texts;
}

TOrvekString TForm_LXComm32_About::OsVersionText(TSysInfo& info)
{
    return TOrvekString::Format(Fmt_OSVer, info.OsName(), static_cast<int>(info.MajorVersion()),
                                static_cast<int>(info.MinorVersion()), static_cast<int>(info.BuildNumber()),
                                info.CsdVersion());
}

TForm_LXComm32_About::TForm_LXComm32_About(QWidget* owner, const QString& name)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName("Form_LXComm32_About");
    setFont(LangDialogFont());
    setFixedSize(ClientWidth, ClientHeight);
    _CreateControls();
    _ShowTexts(name);
    _ShowSystem();
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm_LXComm32_About::~TForm_LXComm32_About() = default;

QLabel* TForm_LXComm32_About::_NewLabel(const char* name, int left, int top)
{
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->move(left, top);
    return label;
}

void TForm_LXComm32_About::_CreateControls()
{
    Image1 = _NewLabel("Image1", 16, 32);
    Image1->setPixmap(LibraryIcon());
    Image1->resize(32, 32);

    LabelCaption = _NewLabel("LabelCaption", 72, 8);
    LabelCaption->setFont(LangDialogFont(CaptionFontSize));
    LabelVersion = _NewLabel("LabelVersion", 184, 16);
    LabelHomepage = _NewLabel("LabelHomepage", 80, 46);
    LabelEmail = _NewLabel("LabelEmail", 80, 60);
    for (QLabel* link : {LabelHomepage, LabelEmail}) {
        MakeLink(link);
        link->installEventFilter(this);
    }

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 80, ClientWidth, 2);

    LabelOSVer = _NewLabel("LabelOSVer", 8, 86);
    LabelPmtUser = _NewLabel("LabelPmtUser", 8, 100);
    LabelUser = _NewLabel("LabelUser", 40, 100);
    LabelPmtOrgn = _NewLabel("LabelPmtOrgn", 8, 114);
    LabelUserOrg = _NewLabel("LabelUserOrg", 40, 114);

    BnOK = new QPushButton(this);
    BnOK->setObjectName("BnOK");
    BnOK->setGeometry(184, 102, 75, 25);
    BnOK->setDefault(true);
    BnOK->setCursor(Qt::PointingHandCursor);
    BnOK->setIcon(OkGlyph());
    BnOK->setIconSize(QSize(18, 16));
    connect(BnOK, &QPushButton::clicked, this, &TForm_LXComm32_About::BnOKClick);
}

void TForm_LXComm32_About::_ShowTexts(const QString& name)
{
    setWindowTitle(TextOf(txtCaptionPrefix) + name + TextOf(txtCaptionSuffix));
    LabelCaption->setText(name);
    LabelVersion->setText(TextOf(txtVersion));
    LabelHomepage->setText(TextOf(txtHomepage));
    LabelHomepage->setToolTip(TextOf(txtHomepage));
    LabelEmail->setText(TextOf(txtEmail));
    LabelEmail->setToolTip(TextOf(txtEmailLink));
    LabelPmtUser->setText(TextOf(txtUserPrompt));
    LabelPmtOrgn->setText(TextOf(txtOrgnPrompt));
    BnOK->setText(TextOf(txtOK));
    for (QLabel* label : {LabelCaption, LabelVersion, LabelHomepage, LabelEmail, LabelPmtUser, LabelPmtOrgn})
        label->adjustSize();
    _FitCaption();
}

void TForm_LXComm32_About::_FitCaption()
{
    ShrinkToFit(LabelCaption, LabelVersion->x() - CaptionGap, AppLang.MinFontSize());
}

void TForm_LXComm32_About::_ShowSystem()
{
    // The system's texts are in its own coding, not the library's.
    TSysInfo sysInfo;
    LabelOSVer->setText(QString::fromUtf8(OsVersionText(sysInfo).c_str()));
    // A distribution's name can be longer than the box is wide.
    LabelOSVer->setToolTip(LabelOSVer->text());
    LabelUser->setText(QString::fromUtf8(sysInfo.RegOwner()));
    LabelUserOrg->setText(QString::fromUtf8(sysInfo.RegOrganization()));
    for (QLabel* label : {LabelOSVer, LabelUser, LabelUserOrg})
        label->adjustSize();
    // The line has a row of its own, so it may go below the dialog font's
    // size; the margin on the right matches the one on the left.
    ShrinkToFit(LabelOSVer, ClientWidth - LabelOSVer->x(), SystemLineMinFontSize);
}

bool TForm_LXComm32_About::eventFilter(QObject* watched, QEvent* event)
{
    if (IsClickOn(watched, event)) {
        if (watched == LabelHomepage) {
            LabelHomepageClick();
            return true;
        }
        if (watched == LabelEmail) {
            LabelEmailClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm_LXComm32_About::LabelHomepageClick()
{
    QDesktopServices::openUrl(QUrl(TextOf(txtHomepage)));
}

void TForm_LXComm32_About::LabelEmailClick()
{
    QDesktopServices::openUrl(QUrl(TextOf(txtEmailLink)));
}

void TForm_LXComm32_About::BnOKClick()
{
    accept();
}
