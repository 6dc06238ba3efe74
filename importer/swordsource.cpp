#include "importer/swordsource.h"

#include "importer/osis.h"
#include "importer/progress.h"

#ifdef HAVE_SWORD
#include <markupfiltmgr.h>
#include <swmgr.h>
#include <swmodule.h>
#include <versekey.h>

#include <algorithm>
#include <cstring>
#include <memory>
#endif

namespace sword_source {

#ifndef HAVE_SWORD

bool available() {
    return false;
}

QList<ModuleInfo> bibleModules() {
    return {};
}

bool read(const QString&, verses::Collection& verses, Progress&, bool (*)()) {
    verses.error(QStringLiteral("this import-text was built without the SWORD library; install "
                                "libsword-dev and build it again to read SWORD modules"));
    return false;
}

#else

namespace {

QString text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

bool isBible(const sword::SWModule* module) {
    return std::strcmp(module->getType(), sword::SWMgr::MODTYPE_BIBLES) == 0;
}

// All values of a configuration entry of the module (an entry may repeat).
QStringList configValues(const sword::SWModule* module, const char* entry) {
    QStringList values;
    const sword::ConfigEntMap& config = module->getConfig();
    const auto range = config.equal_range(entry);
    for (auto it = range.first; it != range.second; ++it)
        values << text(it->second.c_str());
    return values;
}

ModuleInfo infoOf(const sword::SWModule* module) {
    return ModuleInfo{text(module->getName()), text(module->getConfigEntry("Abbreviation")),
                      text(module->getDescription())};
}

QString moduleList(sword::SWMgr& manager) {
    QStringList names;
    for (const auto& [name, module] : manager.getModules()) {
        if (!isBible(module))
            continue;
        const ModuleInfo info = infoOf(module);
        names << (info.abbreviation.isEmpty()
                      ? info.name
                      : QStringLiteral("%1 (%2)").arg(info.name, info.abbreviation));
    }
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// The module by its own name, then by its short name, then by a former name,
// each without regard to case. Null, with `message` set, when there is none or
// more than one.
sword::SWModule* findModule(sword::SWMgr& manager, const QString& wanted, QString& message) {
    using Match = bool (*)(const sword::SWModule*, const QString&);
    const Match matches[] = {
        [](const sword::SWModule* m, const QString& w) {
            return text(m->getName()).compare(w, Qt::CaseInsensitive) == 0;
        },
        [](const sword::SWModule* m, const QString& w) {
            return text(m->getConfigEntry("Abbreviation")).compare(w, Qt::CaseInsensitive) == 0;
        },
        [](const sword::SWModule* m, const QString& w) {
            return configValues(m, "Obsoletes").contains(w, Qt::CaseInsensitive);
        },
    };
    for (Match match : matches) {
        QList<sword::SWModule*> found;
        for (const auto& [name, module] : manager.getModules()) {
            if (isBible(module) && match(module, wanted))
                found << module;
        }
        if (found.size() == 1)
            return found.front();
        if (found.size() > 1) {
            QStringList names;
            for (const sword::SWModule* m : found)
                names << text(m->getName());
            message = QStringLiteral("\"%1\" names more than one SWORD module: %2; give the "
                                     "module's own name")
                          .arg(wanted, names.join(QStringLiteral(", ")));
            return nullptr;
        }
    }
    message = QStringLiteral("no installed SWORD Bible module is called \"%1\" (installed: %2)")
                  .arg(wanted, moduleList(manager));
    return nullptr;
}

// Markup options that would add text of their own (notes, numbers, headings)
// are switched off; options that change letters, such as vowel points, are not.
void switchOffMarkup(sword::SWMgr& manager) {
    static const char* const options[] = {
        "Strong's Numbers", "Morphological Tags",     "Footnotes",    "Cross-references",
        "Headings",         "Words of Christ in Red", "Lemmas",       "Morpheme Segmentation",
        "Glosses",          "Transliterated Forms",   "Enumerations", "Transliteration",
        "Word Javascript",
    };
    for (const char* option : options) {
        const sword::StringList values = manager.getGlobalOptionValues(option);
        if (std::find(values.begin(), values.end(), sword::SWBuf("Off")) != values.end())
            manager.setGlobalOption(option, "Off");
    }
}

// The canonical titles that the module keeps before the current verse, as plain
// text. The module's entry attributes hold the headings of the verse rendered last.
QByteArray canonicalTitles(sword::SWMgr& manager, sword::SWModule* module) {
    sword::AttributeTypeList& attributes = module->getEntryAttributes();
    const auto headings = attributes.find("Heading");
    if (headings == attributes.end())
        return {};
    const auto preverse = headings->second.find("Preverse");
    if (preverse == headings->second.end())
        return {};
    // Headings are numbered "0", "1", …; keep their order.
    std::vector<std::pair<int, QByteArray>> found;
    for (const auto& [index, markup] : preverse->second) {
        const QByteArray heading(markup.c_str(), qsizetype(markup.length()));
        const auto details = headings->second.find(index);
        bool canonical = osis::isCanonicalTitle(heading);
        if (!canonical && details != headings->second.end()) {
            const auto flag = details->second.find("canonical");
            canonical = flag != details->second.end() && flag->second == "true";
        }
        if (canonical)
            found.emplace_back(QByteArray(index.c_str()).toInt(), heading);
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QByteArray titles;
    // The heading filter drops titles unless headings are on; render this one with them on.
    manager.setGlobalOption("Headings", "On");
    for (const auto& [index, markup] : found) {
        const sword::SWBuf plain = module->renderText(markup.constData(), int(markup.size()));
        const QByteArray title = verses::simplified(QByteArray(plain.c_str()));
        if (!title.isEmpty())
            titles += title + ' ';
    }
    manager.setGlobalOption("Headings", "Off");
    return titles;
}

// The current verse's entry as UTF-8, up to the end of its book.
QByteArray rawEntry(sword::SWModule* module) {
    const sword::SWBuf& buffer = module->getRawEntryBuf();
    QByteArray raw(buffer.c_str(), qsizetype(buffer.length()));
    if (module->getEncoding() == sword::ENC_LATIN1)
        raw = QString::fromLatin1(raw).toUtf8();
    return osis::cutAtBookEnd(raw);
}

// The plain text of the current verse of an OSIS module, canonical titles included.
QByteArray osisText(sword::SWModule* module) {
    return verses::simplified(osis::plainText(osis::read(rawEntry(module))));
}

// The plain text of the current verse as the library renders it, canonical
// titles before it; empty when the verse itself is.
QByteArray renderedText(sword::SWMgr& manager, sword::SWModule* module) {
    const sword::SWBuf rendered = module->renderText(); // also fills the entry attributes
    const QByteArray raw(module->getRawEntry());
    QByteArray plain(rendered.c_str(), qsizetype(rendered.length()));
    const QByteArray own = osis::cutAtBookEnd(raw);
    if (own.size() != raw.size()) {
        const sword::SWBuf cut = module->renderText(own.constData(), int(own.size()));
        plain = QByteArray(cut.c_str(), qsizetype(cut.length()));
    }
    plain = verses::simplified(plain);
    if (plain.isEmpty())
        return plain;
    return verses::simplified(canonicalTitles(manager, module) + plain);
}

} // namespace

bool available() {
    return true;
}

QList<ModuleInfo> bibleModules() {
    sword::SWMgr manager;
    QList<ModuleInfo> list;
    for (const auto& [name, module] : manager.getModules()) {
        if (isBible(module))
            list << infoOf(module);
    }
    return list;
}

bool read(const QString& name, verses::Collection& verses, Progress& progress,
          bool (*interrupted)()) {
    sword::SWMgr manager(new sword::MarkupFilterMgr(sword::FMT_PLAIN));
    QString message;
    sword::SWModule* module = findModule(manager, name, message);
    if (!module) {
        verses.error(message);
        return false;
    }
    const QString moduleName = text(module->getName());
    switchOffMarkup(manager);
    // An OSIS module's entries are read as they are stored; other modules go
    // through the library's plain rendering.
    const bool osisMarkup = module->getMarkup() == sword::FMT_OSIS;
    module->setProcessEntryAttributes(!osisMarkup);

    std::unique_ptr<sword::SWKey> key(module->createKey());
    auto* verse = dynamic_cast<sword::VerseKey*>(key.get());
    if (!verse) {
        verses.error(QStringLiteral("%1: the module is not arranged by verses").arg(moduleName));
        return false;
    }
    verse->setIntros(false); // no testament, book or chapter introductions

    qint64 total = 0;
    for (*verse = sword::TOP; !verse->popError(); (*verse)++)
        ++total;

    progress.start(QStringLiteral("Reading %1").arg(moduleName), total);
    int extraBooks = 0;
    int bookNumber = 0;
    QString bookName;
    int bookVerses = 0; // verses with text in the current book
    QStringList emptyBooks;
    std::unique_ptr<sword::VerseKey> previous; // the last verse with text
    qint64 done = 0;
    int lastTestament = -1;
    int lastBook = -1;

    auto closeBook = [&] {
        if (bookNumber > 0 && bookVerses == 0)
            emptyBooks << bookName;
    };

    for (*verse = sword::TOP; !verse->popError(); (*verse)++, ++done) {
        if (interrupted && interrupted()) {
            progress.interrupt();
            return false;
        }
        if (verse->getTestament() != lastTestament || verse->getBook() != lastBook) {
            closeBook();
            lastTestament = verse->getTestament();
            lastBook = verse->getBook();
            const QString osisId = text(verse->getOSISBookName());
            const int fixed = verses::bookNumberFromOsis(osisId);
            bookNumber = fixed >= 1 && fixed <= verses::protestantBooks
                             ? fixed
                             : verses::protestantBooks + ++extraBooks;
            bookName = fixed >= 1 && fixed <= verses::protestantBooks ? verses::bookName(fixed)
                                                                      : text(verse->getBookName());
            verses.setBookName(bookNumber, bookName);
            bookVerses = 0;
        }
        progress.update(done, bookName);

        const verses::Place place{bookNumber, verse->getChapter(), verse->getVerse()};
        const QString origin = QStringLiteral("%1: %2").arg(moduleName, verses.reference(place));
        if (!place.isValid()) {
            verses.error(QStringLiteral("%1: a verse key holds books 1 to %2 and chapters and "
                                        "verses 1 to %3 only")
                             .arg(origin)
                             .arg(verses::maxBook)
                             .arg(verses::maxPart));
            return false;
        }

        module->setKey(verse);
        QByteArray plain = osisMarkup ? osisText(module) : renderedText(manager, module);
        if (plain.isEmpty()) {
            verses.skip(QStringLiteral("empty in the module"));
            continue;
        }
        if (previous && module->isLinked(previous.get(), verse)) {
            verses.skip(QStringLiteral("sharing the text of the verse before"));
            continue;
        }
        if (!verses.add(place, plain, origin))
            return false;
        ++bookVerses;
        previous = std::make_unique<sword::VerseKey>(*verse);
    }
    closeBook();
    progress.finish(QStringLiteral("done"));

    const QString description = text(module->getDescription());
    const QString versification = text(module->getConfigEntry("Versification"));
    QString about = QStringLiteral("Module %1").arg(moduleName);
    if (!description.isEmpty())
        about += QStringLiteral(" (%1)").arg(description);
    about += QStringLiteral(", versification %1")
                 .arg(versification.isEmpty() ? QStringLiteral("KJV") : versification);
    verses.note(about);
    if (!emptyBooks.isEmpty())
        verses.note(QStringLiteral("Books without any text in the module (their verses count as "
                                   "empty): %1")
                        .arg(emptyBooks.join(QStringLiteral(", "))));
    return true;
}

#endif

} // namespace sword_source
