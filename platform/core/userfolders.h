#pragma once
// Where a program keeps what it writes: its settings files ("*.data") and the
// folder of texts ("Text/<NAME>/").
//
// A program folder that the user may write (the build tree, a copy in the
// user's home, a portable folder) keeps both, beside the programs. An
// installed program folder that the user may not write leaves them to the
// user's own folders: settings to $XDG_CONFIG_HOME/concordance/ (by default
// ~/.config/concordance/) and texts to $XDG_DATA_HOME/concordance/ (by
// default ~/.local/share/concordance/). The program's own read-only files
// (pictures, the tips table, help) are always read from the program folder.

#include <QString>

namespace platform {

// The name of the user's own folders below the XDG base folders.
inline constexpr char userFolderName[] = "concordance";

// Whether `folder` can be the home of settings and texts: the process may
// write it, and it is not marked read-only for everyone (no write bit at
// all), which holds for root as well.
bool isWritableFolder(const QString& folder);

// Whether the program folder keeps the settings and texts.
bool programFolderIsHome();

// The folder of the settings files, ending in "/": the program folder, or the
// user's configuration folder (created when missing; should that fail, the
// writes of the settings fail and are reported there).
QString settingsFolder();
// The folder that holds the folders of texts, ending in "/": the program
// folder, or the user's data folder (created when missing).
QString dataFolder();

} // namespace platform
