#pragma once
// The serial library's about box: the component it was opened for, the
// library's version, homepage and mail address (as links), and the
// machine's operating system and registered user.
//
// Threads: window thread only (construction, exec, link clicks).
// The links open through QDesktopServices::openUrl, so a handler set with
// QDesktopServices::setUrlHandler for "https" or "mailto" receives them.
//
// Usage, as the settings dialog does it:
//   TForm_LXComm32_About about(nullptr, "TLxCommDevice");
//   about.exec();

#include <QDialog>
#include <QString>

#include "Lx_base.h"
#include "TSysInfo.h"

class QLabel;
class QPushButton;
class QFrame;

class TForm_LXComm32_About : public QDialog {
    Q_OBJECT

public:
    // `name` is the class name of the component shown in the caption and
    // in LabelCaption (for example "TLxCommDevice"). `owner` may be null;
    // the box is centred on the screen either way.
    TForm_LXComm32_About(QWidget* owner, const QString& name);
    ~TForm_LXComm32_About() override;

    // The about box's texts in three languages.
    static const TOrvekFuncs::TLangTextSet& TextSet();

    // Indices into TextSet().
    enum TextIndex : std::size_t {
        txtCaptionPrefix,
        txtCaptionSuffix,
        txtUserPrompt,
        txtOrgnPrompt,
        txtVersion,
        txtHomepage,
        txtEmail,
        txtEmailLink,
        txtOK,
        txtCount
    };

    static constexpr const char* Fmt_OSVer = "%s %d.%02d.%04d %s";
    // Name, version, build and service pack, as LabelOSVer shows them.
    static TOrvekFuncs::TOrvekString OsVersionText(TOrvekFuncs::TSysInfo& info);

public slots:
    void LabelHomepageClick();
    void LabelEmailClick();
    void BnOKClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void _CreateControls();
    void _ShowTexts(const QString& name);
    void _FitCaption();
    void _ShowSystem();
    QLabel* _NewLabel(const char* name, int left, int top);

    QLabel* Image1 = nullptr;
    QLabel* LabelCaption = nullptr;
    QLabel* LabelVersion = nullptr;
    QLabel* LabelHomepage = nullptr;
    QLabel* LabelEmail = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* LabelOSVer = nullptr;
    QLabel* LabelPmtUser = nullptr;
    QLabel* LabelUser = nullptr;
    QLabel* LabelPmtOrgn = nullptr;
    QLabel* LabelUserOrg = nullptr;
    QPushButton* BnOK = nullptr;
};
