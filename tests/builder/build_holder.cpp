// The second process of the pipeline's tests.
//
//   build_holder <program folder> [texts]
//       Builds the text KJV of the program folder as "OK Build" does, prints
//       "built" and then keeps the dialog, and with it the tables, open until
//       it is killed. A build that does not complete prints "stopped". With
//       "texts", every text of the dialog is printed as it changes, as
//       "<what>: <text>" (caption, action, status, ...), so that a test can
//       kill the build at a moment of its choosing.

#include "builder/Oddsandsods.h"
#include "builder/Rebuild.h"
#include "platform/core/process.h"
#include "platform/gui/application.h"
#include "platform/gui/messages.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "texts") != 0)) {
        std::fputs("usage: build_holder <program folder> [texts]\n", stderr);
        return 2;
    }
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    platform::overrideProgramFolder(folder);
    platform::overrideCommandLine(folder + QStringLiteral("/Build Text KJV"));
    platform::setMessageSink(platform::printMessage);

    TRebuildDlg dialog;
    RebuildDlg = &dialog;
    if (argc == 3)
        QObject::connect(&dialog, &TRebuildDlg::textChanged,
                         [](const QString& what, const QString& text) {
                             std::printf("%s: %s\n", qPrintable(what), qPrintable(text));
                             std::fflush(stdout);
                         });
    dialog.B_BuildClick(nullptr);
    const bool built = dialog.buildState() == TRebuildDlg::BuildState::Done;
    std::puts(built ? "built" : "stopped");
    std::fflush(stdout);
    for (;;)
        ::pause();
}
