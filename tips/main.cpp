// Tips: the tip-of-the-day window. One copy runs per user: a second start
// asks the running copy to come forward and ends with exit code 1; a run
// ends with 0, also when it was asked to end by a signal or ended on an
// error it showed. Qt's own options (-platform and the like) are taken;
// besides --help and --version nothing else is read from the command line.

#include "platform/core/commandline.h"
#include "platform/gui/application.h"
#include "platform/gui/messages.h"
#include "platform/gui/singleinstance.h"
#include "platform/gui/termination.h"
#include "tips/Tip.h"

#include <memory>

namespace {

enum ExitCode { Ran = 0, AnotherCopyRuns = 1 };

const char usage[] = "Usage: Tips\n"
                     "       Tips --help | --version\n";

const char description[] =
    "Shows a tip of the day, and the next one at each start. One copy runs per\n"
    "user: a second start brings the running copy forward and ends with exit\n"
    "status 1.\n"
    "\n"
    "The settings (which tip comes next, whether tips are wanted at start) are\n"
    "kept in Tips.data beside the program where the user may write the program's\n"
    "folder, otherwise in $XDG_CONFIG_HOME/concordance/ (by default\n"
    "~/.config/concordance/).\n"
    "\n"
    "  --help     Show this text.\n"
    "  --version  Show the program's version.\n";

} // namespace

int main(int argc, char** argv) {
    const platform::CommandLineSpec spec{QStringLiteral("Tips"),
                                         QString::fromLatin1(usage),
                                         QString::fromLatin1(description),
                                         {},
                                         true,
                                         {}};
    if (const auto answered = platform::answerCommandLine(spec, argc, argv))
        return *answered;
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));

    platform::SingleInstance instance(QString::fromLatin1(instanceMarker));
    if (instance.claim() != platform::SingleInstance::Claim::First) {
        app.setApplicationName(QString::fromLatin1(secondCopyTitle));
        return AnotherCopyRuns;
    }

    // Asked to end (at logout, by kill), Tips closes its window and saves
    // its settings as after Close.
    platform::quitOnTerminationSignals();
    try {
        // Asked while the window is still being made (a message is up),
        // the message comes forward.
        QObject::connect(&instance, &platform::SingleInstance::comeForwardRequested, &app,
                         [] { platform::bringToFront(F_Tip); });
        auto form = std::make_unique<TF_Tip>();
        F_Tip = form.get();
        form->show();
        QApplication::exec();
        // The destructor saves the settings.
        form.reset();
    } catch (const std::exception& e) {
        F_Tip = nullptr;
        platform::showException(e);
    }
    return Ran;
}
