#pragma once
// Build's command line, and its batch mode: the build run at once without a
// window or a user, reported on standard output and standard error, its end
// told in the exit status. QtCore only, so that a batch build loads no
// display library.

#include "platform/core/commandline.h"

// What Build answers on its command line (--help, --version, an unknown
// option), for Build and for the program that opens its dialog.
platform::CommandLineSpec buildCommandLine();

// The options before the word "Text"; what follows it is the text's name,
// which the pipeline reads from the whole command line itself. Anything else
// before it is left to the toolkit (-platform NAME and the like).
struct BuildOptions {
    bool batch = false;
    bool verbose = false;
    bool textNamed = false; // an argument starts with "Text"
};
BuildOptions readBuildOptions(int argc, char** argv);

// The exit status of a batch build.
enum BatchExit { Completed = 0, Stopped = 1, BadCommandLine = 2, CompletedWithErrors = 3 };

// Builds the text that the command line names, without a window, and returns
// how the build ended. Makes the application object itself; standard output
// gets the report, standard error every message. A command line naming no
// text at all is told on standard error with the usage.
int runBatch(int& argc, char** argv, bool verbose);
