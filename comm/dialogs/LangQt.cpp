#include "LangQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

using namespace TOrvekFuncs;

QString LangQString(const TOrvekString& text)
{
    return QString::fromStdString(CharsetToUtf8(text, AppLang.Charset()));
}

QString LangQText(const TLangTextSet& set, std::size_t index)
{
    return LangQString(LangText(set, index));
}

namespace {

// The Windows faces the library names are rarely installed here, and
// fontconfig's default stand-in is much wider than they are, which runs
// the dialogs' fixed-position labels into each other. Offer faces of
// similar width first; Qt takes the first one installed.
void RegisterFaceSubstitutes()
{
    static const bool registered = [] {
        QFont::insertSubstitutions(TAppLang::Str_MsSansSerif,
                                   {"Nimbus Sans", "Liberation Sans", "Arimo", "Arial", "Helvetica"});
        const QStringList cjk = {"Noto Sans CJK SC", "Noto Sans CJK TC", "WenQuanYi Zen Hei", "Droid Sans Fallback"};
        QFont::insertSubstitutions(QString::fromUtf8("宋体"), cjk);
        QFont::insertSubstitutions(QString::fromUtf8("細明體"), cjk);
        return true;
    }();
    (void)registered;
}

} // namespace

QFont LangDialogFont(int pointSize)
{
    // The face name is stored in the language's own coding (宋体 in GBK,
    // 細明體 in Big5).
    RegisterFaceSubstitutes();
    QFont font(LangQString(AppLang.FontName()));
    font.setPointSize(pointSize > 0 ? pointSize : AppLang.FontSize());
    return font;
}

QTranslator* LoadQtTranslations(QCoreApplication& application)
{
    const char* locale = AppLang.LangType() == ltGbk ? "zh_CN" : AppLang.LangType() == ltBig5 ? "zh_TW" : nullptr;
    if (locale == nullptr)
        return nullptr;
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_") + QLatin1String(locale),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}
