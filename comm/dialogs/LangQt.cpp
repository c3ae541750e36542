#include "LangQt.h"

using namespace TOrvekFuncs;

QString LangQString(const TOrvekString& text)
{
    return QString::fromStdString(CharsetToUtf8(text, AppLang.Charset()));
}

QString LangQText(const TLangTextSet& set, std::size_t index)
{
    return LangQString(LangText(set, index));
}

QFont LangDialogFont(int pointSize)
{
    // The face name is stored in the language's own coding (宋体 in GBK,
    // 細明體 in Big5); fontconfig substitutes an installed CJK face when the
    // named one is missing.
    QFont font(LangQString(AppLang.FontName()));
    font.setPointSize(pointSize > 0 ? pointSize : AppLang.FontSize());
    return font;
}
