#include "app/Console.h"

#include "log/LogTable.h"

#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// What was written to a console stream.
struct Captured {
    Captured() : file(std::tmpfile()) {}
    ~Captured() { std::fclose(file); }
    std::string text() const {
        std::fflush(file);
        std::rewind(file);
        std::string all;
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            all.append(buffer, n);
        return all;
    }
    std::FILE* file;
};

} // namespace

TEST(Console, ProgressIsOneLinePerTenPercentOrABarOnATerminal) {
    struct Case {
        bool terminal;
        int max;
        std::vector<int> positions;
        std::string text;
    } const cases[] = {
        {false,
         20,
         {1, 2, 3, 4, 5, 19, 20, 21},
         "10 % (2 of 20)\n20 % (4 of 20)\n90 % (19 of 20)\n100 % (20 of 20)\n"},
        {false, 3, {1, 2, 3}, "30 % (1 of 3)\n60 % (2 of 3)\n100 % (3 of 3)\n"},
        {true,
         4,
         {1, 4},
         "\r[##########                              ] 1 of 4"
         "\r[########################################] 4 of 4\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Captured out;
        ConsoleOutput console(out.file, c.terminal);
        ConsoleView view(console);
        view.setProgressRange(c.max);
        for (int p : c.positions)
            view.setProgress(p);
        console.finishProgress();
        EXPECT_EQ(out.text(), c.text);
    }
    // A second read of the same log in the same process shows its progress too.
    Captured out;
    ConsoleOutput console(out.file, false);
    ConsoleView view(console);
    for (int run = 0; run < 2; ++run) {
        view.setProgressRange(2);
        view.setProgress(2);
        console.finishProgress();
    }
    EXPECT_EQ(out.text(), "100 % (2 of 2)\n100 % (2 of 2)\n");
}

TEST(Console, BoxesAreLinesAndConfirmationsProceed) {
    Captured out;
    ConsoleOutput console(out.file, true);
    ConsoleDialogs dialogs(console);
    ConsoleView view(console);
    view.setProgressRange(10);
    view.setProgress(5);
    dialogs.message("Status Code Breakdown: \r\rNo errors");
    EXPECT_TRUE(dialogs.confirmYesNo("Data not saved - continue?"));
    dialogs.error("caf\xE9.");
    view.addMessage("Virelon VX40\r\n");
    EXPECT_EQ(out.text(), "\r[####################                    ] 5 of 10\n"
                          "Status Code Breakdown: \n\nNo errors\n"
                          "Data not saved - continue?\n"
                          "caf\xC3\xA9.\n"
                          "Virelon VX40\n\n");
}

TEST(Console, InstrumentLinesBreakAtTheirOwnLineEndsOnly) {
    struct Case {
        const char* name;
        std::string line;
        std::string shown;
    } const cases[] = {
        {"identification of two lines", "Virelon RVM600PK reflectometer\r\nRl and Qd\r\n",
         "Virelon RVM600PK reflectometer\nRl and Qd\n\n"},
        {"LF alone breaks too", "a\nb", "a\nb\n"},
        {"a lone CR stays escaped", "a\rb\r\n", "a\\x0db\n\n"},
        {"CR before CR LF", "a\r\r\nb", "a\\x0d\nb\n"},
        {"an empty line inside", "a\n\nb", "a\n\nb\n"},
        {"escapes on both sides of a break", "\x1b[2J\r\n\x07x", "\\x1b[2J\n\\x07x\n"},
        {"only line ends", "\r\n", "\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Captured out;
        ConsoleOutput console(out.file, false);
        console.instrumentLine(c.line);
        EXPECT_EQ(out.text(), c.shown);
    }
}

TEST(Console, TableTextHasATabAfterEveryCell) {
    LogTable table;
    table.setCols(3);
    table.setRows(3);
    table.setCell(0, 0, "#");
    table.setCell(1, 0, "Rl");
    table.setCell(0, 1, "1");
    table.setCell(2, 1, "S\xE9");
    Captured out;
    EXPECT_TRUE(writeTableText(table, out.file));
    EXPECT_EQ(out.text(), "#\tRl\t\t\n1\t\tS\xE9\t\n\t\t\t\n");

    // A full device fails at the latest when the table is flushed.
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    errno = 0;
    EXPECT_FALSE(writeTableText(table, full));
    EXPECT_EQ(errno, ENOSPC);
    std::fclose(full);
}
