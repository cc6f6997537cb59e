#pragma once

#include "app/MainView.h"
#include "text/Cp1252.h"
#include "text/Dialogs.h"

#include <cstdio>
#include <optional>
#include <string>

class LogTable;

// One console stream shared by the console boxes and controls: keeps message lines and an open
// progress bar line from running into each other.
class ConsoleOutput {
public:
    // terminal: the stream is a terminal, so progress is drawn as a bar redrawn in place.
    ConsoleOutput(std::FILE* stream, bool terminal) : m_stream(stream), m_terminal(terminal) {}
    bool terminal() const { return m_terminal; }
    // Writes the system text (Windows-1252 bytes, any line breaks) as whole UTF-8 lines.
    void line(const std::string& text);
    // Writes a text of the system's own (a port's name) as it is.
    void systemLine(const QString& text);
    // Writes a line that came from the instrument, its control bytes escaped but for the line
    // end it came with.
    void instrumentLine(const std::string& text);
    // Progress of the records read against the announced count.
    void progress(int position, int max);
    // Ends an open progress bar line.
    void finishProgress();

private:
    std::FILE* m_stream;
    bool m_terminal;
    bool m_barOpen = false;
    int m_lastDecile = 0;
    int m_lastMax = -1;
};

// The program's boxes for a console: every text goes to the stream, no question is asked
// (confirmations proceed), no window is shown.
class ConsoleDialogs final : public IDialogs {
public:
    explicit ConsoleDialogs(ConsoleOutput& out) : m_out(out) {}
    void message(const std::string& text) override { m_out.line(text); }
    void messageText(const QString& text) override { m_out.systemLine(displayLines(text)); }
    bool confirmYesNo(const std::string& text) override;
    bool confirmOkCancel(const std::string& text) override;
    void error(const std::string& text) override { m_out.line(text); }
    // The command line names the files and the block; nothing is asked.
    std::optional<SaveDialogResult> saveFile(const SaveDialogSetup&) override {
        return std::nullopt;
    }
    std::optional<QString> openFile(const QStringList&) override { return std::nullopt; }
    std::optional<int> chooseItem(const std::string&, const std::vector<std::string>&,
                                  int) override {
        return std::nullopt;
    }
    void beep() override {}
    void setBusyCursor(bool) override {}
    void showModal(ModalWindow) override {}

private:
    ConsoleOutput& m_out;
};

// The main window's view for a console: messages and progress to the stream; a console has no
// commands to open or close.
class ConsoleView final : public IMainView {
public:
    explicit ConsoleView(ConsoleOutput& out) : m_out(out) {}
    void clearMessages() override {}
    // Message lines carry the instrument's replies.
    void addMessage(const std::string& line) override { m_out.instrumentLine(line); }
    void setProgressText(const std::string&) override {}
    void setProgressRange(int max) override { m_progressMax = max; }
    void setProgress(int position) override { m_out.progress(position, m_progressMax); }
    void setReadLogEnabled(bool) override {}
    void setGraphEnabled(bool) override {}
    void setGraphVisible(bool) override {}
    void setSaveAsEnabled(bool) override {}

private:
    ConsoleOutput& m_out;
    int m_progressMax = 0;
};

// Bytes as a terminal may show them: control bytes other than TAB (0x00 to 0x1F, 0x7F, and the
// Windows-1252 bytes that stand for C1 controls) as "\x1b", with highBytes all from 0x80 on. Escape
// sequences from the instrument could otherwise clear the screen, set the clipboard or fake a
// message.
std::string escapeControlBytes(const std::string& bytes, bool highBytes = false);

// The table as lines: every row from the header on, a TAB after every cell, the cells' bytes
// as they stand. False when a write or the flush failed (errno tells why).
bool writeTableText(const LogTable& table, std::FILE* stream);
