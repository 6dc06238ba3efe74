// check-structure: reads the source tree and reports, one line each, what
// breaks its layering:
//  - a source folder named "build", which build tools, code viewers and ignore
//    lists take for build output;
//  - a file that includes a higher layer, or another program's folder
//    (low to high: platform/core, concordance, platform/gui, package, then the
//    programs builder, importer, tips, browser, query side by side; tests and tools
//    may include anything);
//  - a Qt header other than QtCore's in platform/core or concordance, which
//    run without a display;
//  - include cycles among the units of one folder (a unit is a header and its
//    source file, Rebuild.h and Rebuild.cpp).
// Cycles named in the allow file are known and let pass; see that file.
//
//   check-structure SOURCE_ROOT [ALLOW_FILE]
//
// Exit status: 0 the structure holds, 1 it does not, 2 wrong command line.
// QtCore only, so that it runs wherever the programs build.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLibraryInfo>
#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>
#include <algorithm>
#include <functional>

namespace {

QTextStream out(stdout);

// The layers, by the folder that holds each. Programs share a rank and never
// include one another; tests and tools stand above everything.
struct Layer {
    const char* folder;
    int rank;
    bool program;
    bool coreOnly; // QtCore and SQLite only: no widgets, no GUI
};
constexpr int freeRank = 5;
constexpr Layer layers[] = {
    {"platform/core", 0, false, true}, {"concordance", 1, false, true},
    {"platform/gui", 2, false, false}, {"package", 3, false, false},
    {"builder", 4, true, false},       {"importer", 4, true, false},
    {"tips", 4, true, false},          {"browser", 4, true, false},
    {"query", 4, true, true},          {"tests", freeRank, false, false},
    {"tools", freeRank, false, false},
};
const char* const layerOrder =
    "platform/core, concordance, platform/gui, package, then each program alone";

const Layer* layerOf(const QString& relativePath) {
    const Layer* found = nullptr;
    for (const Layer& layer : layers) {
        const QString folder = QString::fromLatin1(layer.folder) + QLatin1Char('/');
        if (relativePath.startsWith(folder) &&
            (!found || qstrlen(layer.folder) > qstrlen(found->folder)))
            found = &layer;
    }
    return found;
}

bool isSource(const QString& name) {
    static const QStringList suffixes{QStringLiteral("cpp"), QStringLiteral("h"),
                                      QStringLiteral("cc"),  QStringLiteral("hpp"),
                                      QStringLiteral("cxx"), QStringLiteral("hxx")};
    return suffixes.contains(QFileInfo(name).suffix());
}

struct Include {
    int line = 0;
    QString written;  // as written, with its quotes or angle brackets
    QString name;     // between them
    QString resolved; // the project file it names, relative to the root; or empty
};

struct SourceFile {
    QString path; // relative to the root
    QList<Include> includes;
};

struct Problems {
    int count = 0;
    void add(const QString& line) {
        out << line << '\n';
        ++count;
    }
};

// The text with comments blanked out, lines kept, so that an include that
// is commented out does not count. String and character literals are passed
// over whole.
QString withoutComments(const QString& text) {
    QString result;
    result.reserve(text.size());
    enum { Code, Line, Block, String, Char } state = Code;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        switch (state) {
        case Code:
            if (c == QLatin1Char('/') && next == QLatin1Char('/')) {
                state = Line;
                continue;
            }
            if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
                state = Block;
                ++i;
                continue;
            }
            if (c == QLatin1Char('"'))
                state = String;
            else if (c == QLatin1Char('\''))
                state = Char;
            result += c;
            break;
        case Line:
            if (c == QLatin1Char('\n')) {
                state = Code;
                result += c;
            }
            break;
        case Block:
            if (c == QLatin1Char('*') && next == QLatin1Char('/')) {
                state = Code;
                ++i;
            } else if (c == QLatin1Char('\n')) {
                result += c;
            }
            break;
        case String:
        case Char:
            result += c;
            if (c == QLatin1Char('\\') && i + 1 < text.size()) {
                result += text[++i];
            } else if (c == QLatin1Char(state == String ? '"' : '\'') || c == QLatin1Char('\n')) {
                state = Code;
            }
            break;
        }
    }
    return result;
}

class Tree {
public:
    explicit Tree(const QString& rootPath) : root(QDir(rootPath).absolutePath()) {}

    // Walks the tree: hidden folders, out/ and build trees of CMake are passed by.
    void scan(Problems& problems) { walk(QString(), problems); }
    const QList<SourceFile>& sources() const { return files; }
    int includeCount() const {
        int n = 0;
        for (const SourceFile& f : files)
            n += int(f.includes.size());
        return n;
    }

private:
    void walk(const QString& relative, Problems& problems) {
        const QDir dir(relative.isEmpty() ? root : root + QLatin1Char('/') + relative);
        if (!relative.isEmpty() && dir.exists(QStringLiteral("CMakeCache.txt")))
            return;
        if (dir.dirName() == QLatin1String("build") && !relative.isEmpty())
            problems.add(relative + QStringLiteral("/: a source folder named \"build\", which "
                                                   "build tools and ignore lists take for build "
                                                   "output; give it another name"));
        const QFileInfoList entries =
            dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& entry : entries) {
            const QString path = relative.isEmpty()
                                     ? entry.fileName()
                                     : relative + QLatin1Char('/') + entry.fileName();
            if (entry.isDir() && !entry.isSymLink()) {
                if (path != QLatin1String("out"))
                    walk(path, problems);
            } else if (entry.isFile() && isSource(path)) {
                files.append(read(path, problems));
            }
        }
    }

    SourceFile read(const QString& path, Problems& problems) const {
        static const QRegularExpression includeLine(
            QStringLiteral(R"(^\s*#\s*include\s*(["<])([^">]+)[">])"));
        SourceFile file{path, {}};
        QFile input(root + QLatin1Char('/') + path);
        if (!input.open(QIODevice::ReadOnly)) {
            problems.add(path + QStringLiteral(": cannot be read: ") + input.errorString());
            return file;
        }
        const QStringList lines =
            withoutComments(QString::fromUtf8(input.readAll())).split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QRegularExpressionMatch m = includeLine.match(lines[i]);
            if (!m.hasMatch())
                continue;
            Include inc;
            inc.line = int(i + 1);
            inc.name = m.captured(2).trimmed();
            const bool angle = m.captured(1) == QLatin1String("<");
            inc.written = angle ? QLatin1Char('<') + inc.name + QLatin1Char('>')
                                : QLatin1Char('"') + inc.name + QLatin1Char('"');
            inc.resolved = resolve(path, inc.name, angle);
            file.includes.append(inc);
        }
        return file;
    }

    // The project file an include names: from the root (the way includes name
    // their layer), or, for quoted includes, beside the including file.
    QString resolve(const QString& from, const QString& name, bool angle) const {
        QStringList candidates{QDir::cleanPath(name)};
        if (!angle)
            candidates.prepend(QDir::cleanPath(QFileInfo(from).path() + QLatin1Char('/') + name));
        for (const QString& candidate : candidates)
            if (!candidate.startsWith(QLatin1String("..")) &&
                QFileInfo(root + QLatin1Char('/') + candidate).isFile())
                return candidate;
        return QString();
    }

    QString root;
    QList<SourceFile> files;
};

// ---------------------------------------------------------------- layers

// The Qt module of a header (QtCore, QtWidgets, ...), or empty for a header
// that is not Qt's.
QString qtModule(const QString& name) {
    static const QString headers = QLibraryInfo::path(QLibraryInfo::HeadersPath);
    static QHash<QString, QString> known;
    if (name.startsWith(QLatin1String("Qt"))) {
        const QString first = name.section(QLatin1Char('/'), 0, 0);
        if (QFileInfo(headers + QLatin1Char('/') + first).isDir())
            return first;
    }
    if (!name.startsWith(QLatin1Char('Q')) && !name.startsWith(QLatin1Char('q')))
        return QString();
    if (const auto it = known.constFind(name); it != known.constEnd())
        return *it;
    QString module;
    QStringList modules = QDir(headers).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    modules.removeAll(QStringLiteral("QtCore"));
    modules.prepend(QStringLiteral("QtCore"));
    for (const QString& m : modules)
        if (QFileInfo(headers + QLatin1Char('/') + m + QLatin1Char('/') + name).isFile()) {
            module = m;
            break;
        }
    known.insert(name, module);
    return module;
}

void checkLayers(const Tree& tree, Problems& problems) {
    for (const SourceFile& file : tree.sources()) {
        const Layer* from = layerOf(file.path);
        if (!from) {
            problems.add(file.path + QStringLiteral(": its folder is in no layer; place it in "
                                                    "one (tools/check-structure.cpp names them)"));
            continue;
        }
        if (from->rank == freeRank)
            continue;
        const QString where = file.path + QLatin1Char(':');
        for (const Include& inc : file.includes) {
            const QString at =
                where + QString::number(inc.line) + QStringLiteral(": includes ") + inc.written;
            if (from->coreOnly) {
                const QString module = qtModule(inc.name);
                if (!module.isEmpty() && module != QLatin1String("QtCore"))
                    problems.add(at + QStringLiteral(" from %1: %2 may use QtCore and SQLite only")
                                          .arg(module, QLatin1String(from->folder)));
            }
            if (inc.resolved.isEmpty())
                continue;
            const Layer* to = layerOf(inc.resolved);
            if (!to || to == from)
                continue;
            if (to->rank > from->rank)
                problems.add(at + QStringLiteral(" of %1, a higher layer than %2 (low to high: %3)")
                                      .arg(QLatin1String(to->folder), QLatin1String(from->folder),
                                           QLatin1String(layerOrder)));
            else if (to->rank == from->rank && from->program)
                problems.add(at + QStringLiteral(": the program folder %1 includes the program "
                                                 "folder %2; what both need belongs in a lower "
                                                 "layer")
                                      .arg(QLatin1String(from->folder), QLatin1String(to->folder)));
        }
    }
}

// ---------------------------------------------------------------- cycles

struct Edge {
    QString from, to; // units
    QString evidence; // "builder/Rebuild.cpp:5: includes "builder/Wordlists.h""
};

struct Folder {
    QStringList units;                   // sorted
    QMap<QString, QList<Edge>> outgoing; // by unit
};

QString unitOf(const QString& path) {
    return QFileInfo(path).completeBaseName();
}

QMap<QString, Folder> foldersOf(const Tree& tree) {
    QMap<QString, Folder> folders;
    for (const SourceFile& file : tree.sources()) {
        const QString folder = QFileInfo(file.path).path();
        Folder& f = folders[folder];
        const QString unit = unitOf(file.path);
        if (!f.units.contains(unit))
            f.units.append(unit);
        for (const Include& inc : file.includes) {
            if (inc.resolved.isEmpty() || QFileInfo(inc.resolved).path() != folder)
                continue;
            const QString target = unitOf(inc.resolved);
            if (target != unit)
                f.outgoing[unit].append({unit, target,
                                         QStringLiteral("%1:%2: includes %3")
                                             .arg(file.path)
                                             .arg(inc.line)
                                             .arg(inc.written)});
        }
    }
    for (Folder& f : folders)
        f.units.sort();
    return folders;
}

// The strongly connected groups of more than one unit (Tarjan).
QList<QStringList> cyclesOf(const Folder& folder) {
    QHash<QString, int> index, low;
    QStringList stack;
    QSet<QString> onStack;
    QList<QStringList> groups;
    int next = 0;
    std::function<void(const QString&)> visit = [&](const QString& u) {
        index[u] = low[u] = next++;
        stack.append(u);
        onStack.insert(u);
        for (const Edge& e : folder.outgoing.value(u)) {
            if (!index.contains(e.to)) {
                visit(e.to);
                low[u] = std::min(low[u], low[e.to]);
            } else if (onStack.contains(e.to)) {
                low[u] = std::min(low[u], index[e.to]);
            }
        }
        if (low[u] != index[u])
            return;
        QStringList group;
        QString w;
        do {
            w = stack.takeLast();
            onStack.remove(w);
            group.append(w);
        } while (w != u);
        if (group.size() > 1) {
            group.sort();
            groups.append(group);
        }
    };
    for (const QString& u : folder.units)
        if (!index.contains(u))
            visit(u);
    return groups;
}

// The shortest way round from the group's first unit back to it.
QString shortestCycle(const Folder& folder, const QStringList& group) {
    const QString start = group.first();
    QHash<QString, QString> parent;
    QStringList queue{start};
    while (!queue.isEmpty()) {
        const QString u = queue.takeFirst();
        for (const Edge& e : folder.outgoing.value(u)) {
            if (!group.contains(e.to))
                continue;
            if (e.to == start) {
                QStringList path{start};
                for (QString w = u; w != start; w = parent.value(w))
                    path.prepend(w);
                path.prepend(start);
                return path.join(QStringLiteral(" -> "));
            }
            if (!parent.contains(e.to) && e.to != start) {
                parent.insert(e.to, u);
                queue.append(e.to);
            }
        }
    }
    return group.join(QStringLiteral(" -> "));
}

// Known cycles: "FOLDER: UNIT UNIT ..." lines; a cycle of that folder all of
// whose units are named on one line passes.
struct Allowance {
    QString folder;
    QStringList units;
    int line = 0;
    bool used = false;
};

QList<Allowance> readAllowances(const QString& path, Problems& problems) {
    QList<Allowance> allowances;
    QFile file(path);
    if (path.isEmpty() || !file.exists())
        return allowances;
    if (!file.open(QIODevice::ReadOnly)) {
        problems.add(path + QStringLiteral(": cannot be read"));
        return allowances;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QString folder = line.section(QLatin1Char(':'), 0, 0).trimmed();
        const QStringList units =
            line.section(QLatin1Char(':'), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!line.contains(QLatin1Char(':')) || folder.isEmpty() || units.size() < 2) {
            problems.add(
                QStringLiteral("%1:%2: not a line \"FOLDER: UNIT UNIT ...\"").arg(path).arg(i + 1));
            continue;
        }
        allowances.append({folder, units, int(i + 1)});
    }
    return allowances;
}

void checkCycles(const Tree& tree, const QString& allowPath, Problems& problems) {
    QList<Allowance> allowances = readAllowances(allowPath, problems);
    const QMap<QString, Folder> folders = foldersOf(tree);
    for (auto it = folders.constBegin(); it != folders.constEnd(); ++it) {
        for (const QStringList& group : cyclesOf(it.value())) {
            const QString head = QStringLiteral("%1: include cycle %2 (units in it: %3)")
                                     .arg(it.key(), shortestCycle(it.value(), group),
                                          group.join(QStringLiteral(", ")));
            Allowance* allowed = nullptr;
            for (Allowance& a : allowances)
                if (a.folder == it.key() &&
                    std::all_of(group.begin(), group.end(),
                                [&a](const QString& u) { return a.units.contains(u); }))
                    allowed = &a;
            if (allowed) {
                allowed->used = true;
                out << QStringLiteral("known, let pass by %1:%2: ")
                           .arg(allowPath)
                           .arg(allowed->line)
                    << head << '\n';
                continue;
            }
            problems.add(head);
            for (const QString& unit : group)
                for (const Edge& e : it.value().outgoing.value(unit))
                    if (group.contains(e.to))
                        out << "  " << e.evidence << '\n';
        }
    }
    for (const Allowance& a : allowances)
        if (!a.used)
            out << QStringLiteral("%1:%2: no cycle in %3 is left among these units; delete the "
                                  "line\n")
                       .arg(allowPath)
                       .arg(a.line)
                       .arg(a.folder);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.size() > 2 || !QFileInfo(args[0]).isDir()) {
        QTextStream(stderr) << "Usage: check-structure SOURCE_ROOT [ALLOW_FILE]\n";
        return 2;
    }
    if (!QFileInfo(QLibraryInfo::path(QLibraryInfo::HeadersPath) + QStringLiteral("/QtCore"))
             .isDir()) {
        QTextStream(stderr) << "check-structure: Qt's headers are not installed, so Qt headers "
                               "cannot be told apart by module\n";
        return 2;
    }
    Problems problems;
    Tree tree(args[0]);
    tree.scan(problems);
    checkLayers(tree, problems);
    checkCycles(tree, args.value(1), problems);
    if (problems.count > 0) {
        out << "check-structure: " << problems.count
            << (problems.count == 1 ? " problem" : " problems") << " in " << args[0] << '\n';
        return 1;
    }
    out << "check-structure: " << tree.sources().size() << " files, " << tree.includeCount()
        << " includes: the layers hold and no unit includes itself round a circle\n";
    return 0;
}
