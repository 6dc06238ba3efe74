#pragma once
// The folders of texts: a text's name, as a command line gives it, names one
// folder below the folder of texts, and never a path that could lead out of it.

#include <QString>

namespace concordance {

// Whether `name` names exactly one folder: not empty, no "/", and neither "."
// nor "..". Blanks and other characters are part of the name.
bool isFolderName(const QString& name);

} // namespace concordance

namespace concordance {

// The folder of the texts: "Text/" in the program's folder, ending in "/".
QString textsFolder();

} // namespace concordance
