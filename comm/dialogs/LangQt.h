#pragma once
// The bridge from the library's 8-bit texts to Qt: decoding by the process
// language's character set, and the dialog font of that language.
//
// Threads: window thread (QFont); LangQString may be called from any thread.

#include <QFont>
#include <QString>

#include "Lx_base.h"

// A library text (GBK, Big5 or Windows-1252 coded, as AppLang's Charset
// says) as a QString.
QString LangQString(const TOrvekFuncs::TOrvekString& text);

// LangText of an entry, decoded.
QString LangQText(const TOrvekFuncs::TLangTextSet& set, std::size_t index);

// AppLang's dialog font (face FontName, size FontSize points); pointSize
// overrides the size when above 0.
QFont LangDialogFont(int pointSize = 0);

class QCoreApplication;
class QTranslator;

// Installs Qt's own translations (the texts of standard buttons such as
// "OK" and "Cancel") for AppLang's language: Chinese (PRC) for simplified,
// Chinese (Taiwan) for traditional texts, none for English. The translator
// belongs to the application; null when none applies or none is installed,
// and Qt's texts then stay English.
QTranslator* LoadQtTranslations(QCoreApplication& application);
