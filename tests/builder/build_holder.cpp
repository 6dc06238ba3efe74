// The second process of the pipeline's tests.
//
//   build_holder <program folder>
//       Builds the text KJV of the program folder as "OK Build" does, prints
//       "built" and then keeps the dialog, and with it the tables, open until
//       it is killed. A build that does not complete prints "stopped".

#include "builder/Oddsandsods.h"
#include "builder/Rebuild.h"
#include "platform/core/process.h"
#include "platform/gui/application.h"
#include "platform/gui/messages.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: build_holder <program folder>\n", stderr);
        return 2;
    }
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));
    const QString folder = QString::fromLocal8Bit(argv[1]);
    platform::overrideProgramFolder(folder);
    platform::overrideCommandLine(folder + QStringLiteral("/Build Text KJV"));
    platform::setMessageSink(platform::printMessage);

    TRebuildDlg dialog;
    RebuildDlg = &dialog;
    dialog.B_BuildClick(nullptr);
    const bool built = dialog.buildState() == TRebuildDlg::BuildState::Done;
    std::puts(built ? "built" : "stopped");
    std::fflush(stdout);
    for (;;)
        ::pause();
}
