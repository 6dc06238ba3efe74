#pragma once
// What the browser's verse list shows, as the browser tests read it.

#include "browser/Browser.h"
#include "browser/Verselist.h"

#include <QStringList>

// The references of the window's verse list, in order.
inline QStringList listed(const TF_Browser& form) {
    QStringList out;
    const TVerseList* list = form.verseList();
    for (int row = 0; row < list->rowCount(); ++row)
        out << list->index(row).data(TVerseList::ReferenceRole).toString();
    return out;
}
