// concordance-browser: shows a Bible text verse by verse and looks words up in
// the concordance that Build made of it.
//
//   concordance-browser [--word WORD] [Text] [NAME]

#include "browser/Browser.h"
#include "platform/core/commandline.h"
#include "platform/gui/application.h"
#include "platform/gui/messages.h"

#include <QCommandLineParser>
#include <memory>

namespace {

const char usage[] = "Usage: concordance-browser [--word WORD] [Text] [NAME]\n"
                     "       concordance-browser --help | --version\n";

const char description[] =
    "Shows a Bible text verse by verse and looks words up in the concordance that\n"
    "Build made of it. The texts are the folders below the folder of texts: Text/\n"
    "beside the program where the user may write the program's folder, otherwise\n"
    "$XDG_DATA_HOME/concordance/Text/ (by default ~/.local/share/concordance/Text/).\n"
    "\n"
    "  NAME         The text to open (\"Text NAME\" as for Build works too);\n"
    "               without it, the text shown last.\n"
    "  --word WORD  Look WORD up once the text is open.\n"
    "  --help       Show this text.\n"
    "  --version    Show the program's version.\n";

} // namespace

int main(int argc, char** argv) {
    const platform::CommandLineSpec spec{QStringLiteral("concordance-browser"),
                                         QString::fromLatin1(usage),
                                         QString::fromLatin1(description),
                                         {{"--word", true}},
                                         true,
                                         {}};
    if (const auto answered = platform::answerCommandLine(spec, argc, argv))
        return *answered;

    platform::Application app(argc, argv, QString::fromLatin1(browserTitle));
    // The command line has been checked: what is left is the word and the text.
    QCommandLineParser parser;
    const QCommandLineOption word(QStringLiteral("word"), QString(), QStringLiteral("WORD"));
    parser.addOption(word);
    parser.process(app);
    QStringList names = parser.positionalArguments();
    if (names.size() > 1 && names.first() == QLatin1String("Text"))
        names.removeFirst();

    int exitCode = 0;
    try {
        auto form = std::make_unique<TF_Browser>(names.value(0));
        form->show();
        if (parser.isSet(word))
            form->lookUp(parser.value(word));
        exitCode = QApplication::exec();
        // The destructor saves the window's place and what it showed.
        form.reset();
    } catch (const std::exception& e) {
        platform::showException(e);
        exitCode = 1;
    }
    return exitCode;
}
