#include "platform/core/tabledefs.h"

void TFieldDefs::Add(const QString& name, TFieldType dataType, int size, bool required) {
    items.push_back(TFieldDef{name, dataType, size, required});
}

int TFieldDefs::IndexOf(const QString& name) const {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    return -1;
}

QStringList TIndexDef::fieldList() const {
    QStringList names;
    for (const QString& name : Fields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!name.trimmed().isEmpty())
            names << name.trimmed();
    return names;
}

void TIndexDefs::Add(const QString& name, const QString& fields, TIndexOptions options) {
    items.push_back(TIndexDef{name, fields, options});
}

int TIndexDefs::IndexOf(const QString& name) const {
    for (size_t i = 0; i < items.size(); ++i) {
        const TIndexDef& def = items[i];
        if (name.isEmpty() ? def.Options.testFlag(ixPrimary)
                           : def.Name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}
