#pragma once

#include "archive/ArchivedDownload.h"
#include "archive/TeamArchive.h"

#include <QString>
#include <memory>
#include <optional>
#include <string>

class App;
class Archive;

// The archive of downloads as the window and the command line use it.

// The archive's failures are told in these words; nothing else of the archive is.
inline constexpr const char* kArchivePrefix = "Archive: ";

// A save of the log in the table, when it came from the archive or went into it.
void recordSave(App& app, const QString& path);

// Puts an archived download into the table as it was when the download ended: its cells, its
// memo lines, its model and serial line. It counts as saved only when it was ever saved; saves
// from it are recorded with it.
void showArchivedDownload(App& app, const ArchivedDownload& download);

// The header and the lines of `logdump-cli archive list`.
std::string downloadListHeader();
std::string downloadListLine(const DownloadSummary& download);
// Those of `logdump-cli archive list --team`: the same, then the computer and the user.
std::string teamDownloadListHeader();
std::string teamDownloadListLine(const TeamDownloadSummary& line);

// The date and time a download started, as the window shows it ("2026-12-10 05:12:44").
QString downloadTime(const DownloadSummary& download);

// The question at start about a download the program lost before it was saved.
std::string unsavedDownloadQuestion(const DownloadSummary& download);

// At start: the newest download left interrupted and never saved, offered once; Yes puts it
// into the table. The archive is asked on the calling thread; a failure is told in the memo.
// The download opened, if it was.
std::optional<DownloadSummary> offerUnsavedDownload(App& app, const QString& archivePath);

// "Open" in the Downloads window: the question about unsaved data, then the download into the
// table. False when the user kept the table or the download is gone.
bool openArchivedDownload(App& app, Archive& archive, qint64 id);
