#pragma once

#include "text/TextMemo.h"

#include <string>
#include <vector>

class IDialogs;
class IExchangeRunner;
class InstrumentLine;

// The maker's support: where the user is told to mail the report, and the recipient of the
// mail link. Two different fixed addresses.
inline constexpr const char* kSupportAddress = "support@virelon.example";
inline constexpr const char* kMailLinkRecipient = "service@virelon.example";

// The question before the status dump window opens; LF CR LF CR between its two sentences.
inline constexpr const char* kStatusDumpQuestion =
    "In case of trouble you can generate an instrument repport and mail it to VELKOR"
    "\n\r\n\r"
    "Press OK when the instrument is turn on and connected to the pc";

// The message after the report has arrived: LF CR, then the support address.
std::string statusDumpMailMessage();

// What the status dump window does on screen while its core works.
class IStatusDumpView {
public:
    virtual ~IStatusDumpView() = default;
    // Paints the window and its memo now, without handling other events.
    virtual void repaintNow() = 0;
    virtual void focusCopyButton() = 0;
};

// The status dump window in core terms: its report memo, the mail subject, and the fetch of the
// instrument's report on each showing.
class StatusReport {
public:
    // One showing of the window: "DPS", the report into the memo until the instrument falls
    // silent, then the message naming the support address.
    // The exchange runs on the runner when there is one.
    void fetch(InstrumentLine& line, IDialogs& dialogs, IStatusDumpView& view,
               IExchangeRunner* runner = nullptr);
    // The "mailto:" link for the memo as it stands.
    std::string mailLink() const;

    TextMemo report; // the report, one line per report line; the user may edit it
    std::string mailSubject;
};

// A "mailto:" link: subject and each line percent-encoded (RFC 6068, Windows-1252 bytes taken
// to UTF-8), lines joined by "%0D%0A".
std::string mailToLink(const std::string& recipient, const std::string& subject,
                       const std::vector<std::string>& lines);
