// The process start: the application object, the main window, the hidden
// sensor channel dialog, the event loop. An exception that escapes is shown
// and the exit code stays 0.
#include <exception>
#include <iostream>

#include "Application.h"
#include "LangQt.h"
#include "Lx_base.h"
#include "Unit1.h"
#include "Unit2.h"

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    using TOrvekFuncs::AppLang;
    if (const auto usable = TOrvekFuncs::UsableLangType(AppLang.LangType(), std::cerr); usable != AppLang.LangType())
        AppLang.fSetLangType(usable);
    LoadQtTranslations(application);
    try {
        Form1 = new TForm1;
        Application::OwnForm(Form1);
        Form2 = Form1->CreateSensorDialog();
        // A cancelled settings dialog during construction has already asked
        // to end: the window is never shown then.
        if (!Application::Terminated()) {
            Form1->show();
            application.exec();
        }
    } catch (const std::exception& error) {
        Application::ShowException(&error);
    } catch (...) {
        Application::ShowException(nullptr);
    }
    Application::ReleaseForms();
    return 0;
}
