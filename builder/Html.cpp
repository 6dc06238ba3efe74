#include "builder/Html.h"

#include "builder/Oddsandsods.h"
#include "platform/gui/messages.h"
#include "platform/gui/shellopen.h"

#include <atomic>

namespace {
std::atomic<int> liveThreads{0};
}

HtmlThread::HtmlThread(bool createSuspended) {
    ++liveThreads;
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    if (!createSuspended)
        start(QThread::NormalPriority);
}

HtmlThread::~HtmlThread() {
    wait();
    --liveThreads;
}

void HtmlThread::setFileName(const QString& name) {
    fileName = name;
}

int HtmlThread::liveCount() {
    return liveThreads.load();
}

// Nothing may escape a thread's run: it would end the program.
void HtmlThread::run() {
    platform::reportExceptions([this] { Execute(); });
}

void HtmlThread::Execute() {
    const int code = platform::openDocument(fileName);
    showShellError(code, fileName);
}

QString HtmlThread::shellErrorText(int code, const QString& name) {
    switch (code) {
    case 0:
        return QStringLiteral("The operating system is out of memory or resources.");
    case 2:
        return name + QStringLiteral("  was not found.");
    case 3:
        return QStringLiteral("The path to ") + name + QStringLiteral(" was not found.");
    case 5:
        return QStringLiteral("The operating system denied access to ") + name;
    case 8:
        return QStringLiteral("There was not enough memory to complete the operation.");
    case 11:
        return QStringLiteral("The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).");
    case 26:
        return QStringLiteral("A sharing violation occurred.");
    case 27:
        return QStringLiteral("The filename association is incomplete or invalid.");
    case 28:
        return QStringLiteral(
            "The DDE transaction could not be completed because the request timed out.");
    case 29:
        return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not be completed because other DDE "
                              "transactions were being processed.");
    case 31:
        return QStringLiteral("There is no application associated with ") + name;
    case 32:
        return QStringLiteral("The specified dynamic-link library was not found.");
    default:
        return QString();
    }
}

void HtmlThread::showShellError(int code, const QString& name) {
    const QString text = shellErrorText(code, name);
    if (!text.isEmpty())
        msgBox(applicationTitle, text);
}
