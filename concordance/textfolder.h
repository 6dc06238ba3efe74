#pragma once
// The folders of texts: a text's name, as a command line gives it, names one
// folder below the folder of texts, and never a path that could lead out of it.
//
// The folder of texts ("Text/") lies in the data folder of platform/core's
// userfolders.h: beside the programs where the user may write the program
// folder, otherwise in the user's own data folder. Every program finds a text
// through textFolder, so all of them agree on where it lives.

#include <QString>

namespace concordance {

// The word that names the folder of texts on command lines ("Build Text KJV").
inline constexpr char textsFolderWord[] = "Text";

// Whether `name` names exactly one folder: not empty, no "/", and neither "."
// nor "..". Blanks and other characters are part of the name.
bool isFolderName(const QString& name);

// The folder of texts, ending in "/": "<data folder>/Text/", or another folder
// word's folder there.
QString textsFolder(const QString& folderWord = QLatin1String(textsFolderWord));
// The folder of the text `name`, ending in "/" (name as isFolderName accepts).
QString textFolder(const QString& name, const QString& folderWord = QLatin1String(textsFolderWord));

// One message for a text whose verse table (Bible.db) is not there yet: how to
// import it from an installed SWORD module of that name, and where it goes.
// The command is the one the user can type: the importer beside the programs
// where their folder is the home of the texts, otherwise the installed command.
QString importAdvice(const QString& name);

} // namespace concordance
