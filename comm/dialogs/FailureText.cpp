#include "FailureText.h"

#include "Exception.h"
#include "LangQt.h"
#include "TComm32.h"

QString FailureText(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const OrvekComm32::EComm32Error& error) {
        QString text = LangQString(error.Message());
        // The system's text is in the locale's coding.
        if (!error.OsReason.empty())
            text += QLatin1Char('\n') + QString::fromLocal8Bit(error.OsReason.c_str());
        if (const auto hint = error.Hint(); hint.Length() > 0)
            text += QLatin1Char('\n') + LangQString(hint);
        return text;
    } catch (const Exception& error) {
        return LangQString(error.Message());
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QString();
    }
}
