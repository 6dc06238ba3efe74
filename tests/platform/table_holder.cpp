// A second process for the table tests.
//
//   table_holder <folder> <table> plain|exclusive
//       Opens the table, prints "ready" and holds it until a line arrives on
//       standard input (or the process is killed); then closes it and prints
//       "closed". An open that fails prints "error: " and the message.
//   table_holder <folder> <table> append|flushed-append
//       Opens the table (an integer field, then a text field) exclusively and
//       appends rows (k, "w<k>") for k = 1, 2, 3, ... for ever, printing
//       "ready" once 600,000 rows are posted. flushed-append calls
//       FlushBuffers after the first 1,000. The test kills it.
//   table_holder <folder> <table> flush
//       Appends 150,000 such rows, calls FlushBuffers, prints "ready" and
//       waits, holding the table, to be killed.

#include "platform/core/table.h"
#include "platform/core/tablefile.h"

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: table_holder <folder> <table> "
                             "plain|exclusive|append|flushed-append|flush\n");
        return 1;
    }
    const std::string mode = argv[3];
    // The least memory a bulk fill is given, whatever the machine: its rows
    // reach the file within the 600,000.
    platform::tables::TableFile::setMemoryLimit(size_t(64) << 20);
    TTable table;
    table.setDatabaseName(QString::fromLocal8Bit(argv[1]));
    table.setTableName(QString::fromLocal8Bit(argv[2]));
    table.setExclusive(mode != "plain");
    try {
        table.Open();
    } catch (const EDatabaseError& e) {
        std::printf("error: %s\n", qPrintable(e.message()));
        return 2;
    }
    const bool forEver = mode == "append" || mode == "flushed-append";
    for (int k = 1; forEver || (mode == "flush" && k <= 150000); ++k) {
        table.Append();
        table.Fields(0).setAsInteger(k);
        table.Fields(1).setAsString(QStringLiteral("w%1").arg(k));
        table.Post();
        if (k == 1000 && mode == "flushed-append")
            table.FlushBuffers();
        if (k == 600000)
            std::printf("ready\n"), std::fflush(stdout);
    }
    if (mode == "flush")
        table.FlushBuffers();
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    table.Close();
    std::printf("closed\n");
    return 0;
}
