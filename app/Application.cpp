#include "Application.h"

#include <vector>

#include <QMessageBox>
#include <QPointer>

#include "Exception.h"
#include "LangQt.h"
#include "MessageBox.h"

// The resource lives in a static library, where nothing registers it by
// itself; Qt's macro must be used outside any namespace.
static void RegisterIconResource()
{
    Q_INIT_RESOURCE(ccdownload);
}

namespace Application {

namespace {

std::function<void()> TerminateHandler;
bool TerminateAsked = false;
std::vector<QPointer<QWidget>> Forms;

} // namespace

QString Title()
{
    return QCoreApplication::applicationName();
}

QIcon Icon()
{
    RegisterIconResource();
    return QIcon(QStringLiteral(":/ccdownload.svg"));
}

void ShowMessage(const QString& text)
{
    ShowMessageBox(nullptr, QMessageBox::NoIcon, Title(), text);
}

void ShowException(const std::exception* error)
{
    const auto* libraryError = dynamic_cast<const Exception*>(error);
    ShowMessage(libraryError ? LangQString(libraryError->Message()) : QString());
}

void Terminate()
{
    TerminateAsked = true;
    if (TerminateHandler)
        TerminateHandler();
    else
        QCoreApplication::quit();
}

bool Terminated()
{
    return TerminateAsked;
}

void OwnForm(QWidget* form)
{
    Forms.emplace_back(form);
}

void ReleaseForms()
{
    // Later forms first, as their owner would destroy them.
    while (!Forms.empty()) {
        delete Forms.back().data();
        Forms.pop_back();
    }
}

void SetTerminateHandler(std::function<void()> handler)
{
    TerminateHandler = std::move(handler);
}

void ResetTerminated()
{
    TerminateAsked = false;
}

} // namespace Application

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setWindowIcon(Application::Icon());
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        Application::ShowException(&error);
    } catch (...) {
        Application::ShowException(nullptr);
    }
    return false;
}
