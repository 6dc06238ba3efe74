#pragma once
// Inside the table layer: the layout as a table file stores it. Beside the
// SQL table of the rows, "_layout_fields" records the fields in order and
// "_layout_indexes" the indexes, each with a column built that is 0 while a
// bulk fill has the index dropped; the file's application id marks it as a
// table of this layer.

#include "platform/core/tableconnection.h"
#include "platform/core/tablelayout.h"

namespace platform::tables::catalogue {

// Creates the SQL table, the layout tables and every index of `layout` in a
// new, empty file, and marks the file as a table of this layer.
void create(Connection& conn, const Layout& layout);

// Refuses, before the engine reads it, a file that has some bytes but fewer
// than the engine's header: not a table (the engine would call it damaged).
void requireWholeHeader(const QString& path);

// Reads the layout of table `table` and checks it against the file: the file
// must be a table of this layer (NotATable), of a version this layer reads
// (NewerVersion), as long as its header says and with a layout that matches
// its SQL table (Damaged).
Layout read(Connection& conn, const QString& table);

// Creates index `i` of `layout` in the file (unless it is the primary index,
// which the SQL table's key is) and records it as built.
void addIndex(Connection& conn, const Layout& layout, size_t i);
// Drops index `i` of `layout` from the file, recording it as not built.
void dropIndex(Connection& conn, Layout& layout, size_t i);
// Creates index `i`, recorded as not built, and records it as built.
void buildIndex(Connection& conn, Layout& layout, size_t i);
// Sets the built marks of `layout` to what the file records (after a
// rollback); a failure leaves them, and an index is built again when needed.
void rereadBuiltMarks(Connection& conn, Layout& layout) noexcept;

} // namespace platform::tables::catalogue
