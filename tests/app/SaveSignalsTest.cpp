// A stop signal during a save takes effect only after it; a file-size limit fails the write.
#include "platform/Platform.h"

#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Appends a line to a file with the plain system calls; false when the write failed.
bool appendLine(const std::string& path, const std::string& line) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return false;
    const bool written = std::fputs(line.c_str(), file) >= 0;
    return std::fclose(file) == 0 && written;
}

std::string readAll(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[256];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

} // namespace

TEST(SaveSignals, StopSignalsWaitForTheEndOfTheSave) {
    QTemporaryDir dir;
    const std::string trace = dir.filePath("trace").toStdString();
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        std::remove(trace.c_str());
        EXPECT_EXIT(
            {
                {
                    const platform::SaveSignalGuard held;
                    raise(signalNumber);
                    appendLine(trace, "saved\n");
                }
                appendLine(trace, "after\n");
                _exit(0);
            },
            testing::KilledBySignal(signalNumber), "");
        EXPECT_EQ(readAll(trace), "saved\n");
    }
}

namespace {

// Under a limit of four bytes, writes more while saving; exits 7 when the write failed.
void writePastALimit(const std::string& file) {
    const rlimit limit{4, 4};
    setrlimit(RLIMIT_FSIZE, &limit);
    bool failed = false;
    {
        const platform::SaveSignalGuard held;
        failed = !appendLine(file, "longer than four bytes\n");
    }
    _exit(failed ? 7 : 0);
}

} // namespace

TEST(SaveSignals, AFileSizeLimitFailsTheWriteInsteadOfKilling) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("limited").toStdString();
    EXPECT_EXIT(writePastALimit(file), testing::ExitedWithCode(7), "");
}
