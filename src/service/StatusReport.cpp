#include "service/StatusReport.h"

#include "link/ExchangeRunner.h"
#include "link/InstrumentLine.h"
#include "text/Cp1252.h"
#include "text/Dialogs.h"
#include "text/TextFieldHelpers.h"

namespace {
// Empty polls in a row that end the report (about 500 ms of silence).
constexpr int kReportSilencePolls = 10;

std::string percentEncoded(const std::string& bytes) {
    // Unreserved characters stay; everything else, "&", "#", "%", "?" and blanks included,
    // is escaped so it cannot cut the link or end up as a different header.
    const QByteArray encoded = fromCp1252(bytes).toUtf8().toPercentEncoding();
    return encoded.toStdString();
}
} // namespace

std::string statusDumpMailMessage() {
    return std::string("Click \"Copy to clipboard\" and paste the data in the message field in a "
                       "mail\n\rSend the mail to: ") +
           kSupportAddress;
}

namespace {
// "DPS" and the report until the instrument falls silent, line by line; the lines read so far
// stay in lines when a port error ends it.
void readReport(InstrumentLine& line, std::vector<std::string>& lines) {
    // No discarding here: the handshake before the window opened left the line clean.
    line.send("DPS");
    std::string current;
    size_t received = 0;
    // A device that never stops sending ends the report at the limit, as if it had gone quiet;
    // what it sends beyond stays unread.
    line.poll(
        InstrumentLine::kPollStep, kReportSilencePolls,
        [&] { return received >= InstrumentLine::kMaxReplyBytes; },
        [&](char byte) {
            ++received;
            if (byte == '\r') {
                lines.push_back(std::move(current));
                current.clear();
            } else if (byte != '\n') {
                current.push_back(byte);
            }
            return true;
        });
    if (!current.empty())
        lines.push_back(std::move(current));
}
} // namespace

void StatusReport::fetch(InstrumentLine& line, IDialogs& dialogs, IStatusDumpView& view,
                         IExchangeRunner* runner) {
    mailSubject = "Testmail";
    report.clear();
    view.repaintNow();

    // Lines collect here and reach the memo in one go, also when a port error ends the
    // collection: line by line would redraw the whole memo for every line.
    std::vector<std::string> lines;
    try {
        const IExchangeRunner::Exchange exchange = [&](ReadLogListener*) {
            readReport(line, lines);
        };
        if (runner)
            runner->run(nullptr, exchange);
        else
            exchange(nullptr);
    } catch (...) {
        report.setLines(std::move(lines));
        throw;
    }
    report.setLines(std::move(lines));

    dialogs.message(statusDumpMailMessage());
    view.focusCopyButton();
}

std::string StatusReport::mailLink() const {
    return mailToLink(kMailLinkRecipient, mailSubject, report.lines());
}

std::string mailToLink(const std::string& recipient, const std::string& subject,
                       const std::vector<std::string>& lines) {
    std::string link = "mailto:" + recipient + "?Subject=" + percentEncoded(subject) + "&Body=";
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            link += "%0D%0A";
        link += percentEncoded(lines[i]);
    }
    return link;
}
