// concordance-browser: shows a Bible text verse by verse and looks words up in
// the concordance that Build made of it.
//
//   concordance-browser [--word WORD] [Text] [NAME]

#include "browser/Browser.h"
#include "platform/gui/application.h"
#include "platform/gui/messages.h"

#include <QCommandLineParser>
#include <memory>

int main(int argc, char** argv) {
    platform::Application app(argc, argv, QString::fromLatin1(browserTitle));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows a Bible text verse by verse and looks words up in the concordance "
                       "that Build made of it. The texts are the folders below Text/ in the "
                       "program's folder."));
    parser.addHelpOption();
    const QCommandLineOption word(QStringLiteral("word"),
                                  QStringLiteral("Looks WORD up once the text is open."),
                                  QStringLiteral("WORD"));
    parser.addOption(word);
    parser.addPositionalArgument(
        QStringLiteral("NAME"),
        QStringLiteral("The text to open (\"Text NAME\" as for Build works too); without it, "
                       "the text shown last."),
        QStringLiteral("[Text] [NAME]"));
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
