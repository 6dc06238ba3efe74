#include "concordance/lexiconsource.h"

#ifdef HAVE_SWORD
#include <encfiltmgr.h>
#include <swmgr.h>
#include <swmodule.h>

#include <memory>
#endif

namespace concordance::lexicon {

namespace {

const char* moduleName(const StrongsNumber& number) {
    return number.language == 'H' ? "StrongsHebrew" : "StrongsGreek";
}

QString missing(const StrongsNumber& number) {
    return QStringLiteral("The %1 lexicon is not installed: install the Debian package %2 "
                          "(apt install %2) to see what %3 means.")
        .arg(number.language == 'H' ? QStringLiteral("Hebrew") : QStringLiteral("Greek"),
             number.language == 'H' ? QStringLiteral("sword-dict-strongs-hebrew")
                                    : QStringLiteral("sword-dict-strongs-greek"),
             number.toString());
}

void setMessage(QString* message, const QString& text) {
    if (message)
        *message = text;
}

} // namespace

#ifndef HAVE_SWORD

std::optional<Entry> lookUp(const StrongsNumber& number, QString* message) {
    setMessage(message, missing(number));
    return std::nullopt;
}

#else

std::optional<Entry> lookUp(const StrongsNumber& number, QString* message) {
    // The modules are found once per process; reading one entry is quick.
    static std::unique_ptr<sword::SWMgr> manager;
    if (!manager)
        manager = std::make_unique<sword::SWMgr>(new sword::EncodingFilterMgr(sword::ENC_UTF8));
    sword::SWModule* module = manager->getModule(moduleName(number));
    if (!module) {
        setMessage(message, missing(number));
        return std::nullopt;
    }
    const QByteArray key = number.lexiconKey();
    module->setKey(key.constData());
    const QByteArray markup = undoDoubleEncoding(QByteArray(module->getRawEntry()));
    // A dictionary module answers with the nearest entry when it has no entry
    // of the key: the entry's own number tells.
    const qsizetype at = markup.indexOf(" n=\"");
    const qsizetype end = at < 0 ? -1 : markup.indexOf('"', at + 4);
    const bool same = end > at && markup.mid(at + 4, end - at - 4).toInt() == number.number;
    if (!same) {
        setMessage(message, QStringLiteral("The %1 lexicon has no entry %2.")
                                .arg(number.language == 'H' ? QStringLiteral("Hebrew")
                                                            : QStringLiteral("Greek"),
                                     number.toString()));
        return std::nullopt;
    }
    setMessage(message, {});
    return parseEntry(markup);
}

#endif

} // namespace concordance::lexicon
