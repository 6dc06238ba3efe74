// build-dialog: the build dialog of Build, which Build becomes when it is
// started without --batch ("Build Text KJV"). It takes Build's command line
// as it is and answers --help and --version as Build does.

#include "builder/Batch.h"
#include "builder/Oddsandsods.h"
#include "builder/Rebuild.h"
#include "platform/gui/application.h"
#include "platform/gui/messages.h"

#include <QTimer>
#include <memory>

int main(int argc, char** argv) {
    if (const auto answered = platform::answerCommandLine(buildCommandLine(), argc, argv))
        return *answered;
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));
    try {
        std::unique_ptr<TRebuildDlg> dialog = std::make_unique<TRebuildDlg>();
        RebuildDlg = dialog.get();
        dialog->show();
        // A text not imported yet: how to import it, before the build would fail.
        if (const QString advice = dialog->importAdvice(); !advice.isEmpty())
            QTimer::singleShot(0, dialog.get(), [advice] {
                platform::messageBox(QString::fromLatin1(applicationTitle), advice);
            });
        QApplication::exec();
        // The destructor saves the window's place.
        dialog.reset();
        RebuildDlg = nullptr;
    } catch (const std::exception& e) {
        RebuildDlg = nullptr;
        platform::showException(e);
    }
    return 0;
}
