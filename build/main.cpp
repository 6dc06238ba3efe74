// Build: builds the concordance database and word lists of one Bible text,
// named on the command line ("Build Text KJV"), from a small dialog.

#include "Rebuild.h"
#include "application.h"
#include "messages.h"

#include <memory>

int main(int argc, char** argv) {
    platform::Application app(argc, argv, QString::fromLatin1(applicationTitle));
    try {
        std::unique_ptr<TRebuildDlg> dialog = std::make_unique<TRebuildDlg>();
        RebuildDlg = dialog.get();
        dialog->show();
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
