// The system calls of src/platform/ on the system the test runs on. The same source runs in the
// Linux suite and, cross-built for Windows, under Wine (tools/windows-check.sh), so each outcome
// is pinned on both systems. No Qt: the Windows build has none.
#include "platform/Platform.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
extern char** environ;
#endif

#ifdef _WIN32
namespace platform {
// The handler SaveSignalGuard installs (PlatformWin32.cpp), handed the events a console cannot
// send to the program itself.
BOOL WINAPI holdConsoleStop(DWORD event);
} // namespace platform
#endif

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The numbers each system gives for these failures.
#ifdef _WIN32
constexpr int kMissingFolder = 3; // ERROR_PATH_NOT_FOUND
constexpr int kBadHandle = 6;     // ERROR_INVALID_HANDLE
constexpr int kBusyPort = 5;      // ERROR_ACCESS_DENIED
constexpr int kNotRegular = 87;   // ERROR_INVALID_PARAMETER
constexpr int kFolder = 5;        // ERROR_ACCESS_DENIED
constexpr int kIoError = 29;      // ERROR_WRITE_FAULT, not 5: that is access denied there
const char* const kNullDevice = "NUL";
#else
constexpr int kMissingFolder = 2; // ENOENT
constexpr int kBadHandle = 9;     // EBADF
constexpr int kBusyPort = 16;     // EBUSY
constexpr int kNotRegular = 22;   // EINVAL
constexpr int kFolder = 21;       // EISDIR
constexpr int kIoError = 5;       // EIO
const char* const kNullDevice = "/dev/null";
#endif
constexpr int kMissingFile = 2; // ENOENT and ERROR_FILE_NOT_FOUND alike

std::string utf8(const fs::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder of the test's own, removed afterwards.
class PlatformFiles : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        m_folder = fs::temp_directory_path() /
                   ("logdump-platform-" +
                    std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                    "-" + std::to_string(++serial));
        fs::create_directories(m_folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    // A path in the folder as the program hands it over: UTF-8.
    std::string path(const char* name) const { return utf8(m_folder / fs::u8path(name)); }

    fs::path m_folder;
};

// Writes through a descriptor as Qt does; false when not every byte went.
bool writeAll(int descriptor, const std::string& bytes) {
#ifdef _WIN32
    return _write(descriptor, bytes.data(), static_cast<unsigned>(bytes.size())) ==
           static_cast<int>(bytes.size());
#else
    return ::write(descriptor, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
#endif
}

TEST_F(PlatformFiles, AnAppendedFileTakesEveryWriteAtItsEndAndIsSynced) {
    // A name outside ASCII: Windows takes it in UTF-16, converted from UTF-8.
    const std::string name = path("Pr\xC3\xBC"
                                  "fung.Log");
    std::ofstream(fs::u8path(name), std::ios::binary) << "first block\r\n";
    int error = -1;
    const platform::AppendDescriptor file = platform::openForAppend(name.c_str(), error);
    ASSERT_GE(file.descriptor, 0);
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(file.created);
    // Another writer between two blocks does not make the next one overwrite it.
    std::ofstream(fs::u8path(name), std::ios::binary | std::ios::app) << "other\r\n";
    EXPECT_TRUE(writeAll(file.descriptor, "*** End ***\r\n"));
    EXPECT_EQ(platform::syncDescriptor(file.descriptor), 0);
    EXPECT_EQ(platform::closeDescriptor(file.descriptor), 0);
    EXPECT_EQ(contents(fs::u8path(name)), "first block\r\nother\r\n*** End ***\r\n");
}

TEST_F(PlatformFiles, FailuresGiveTheSystemsNumbers) {
    int openError = 0;
    const platform::AppendDescriptor missing =
        platform::openForAppend(path("no-such-folder/x.Log").c_str(), openError);
    EXPECT_LT(missing.descriptor, 0);
    struct Case {
        const char* what;
        int error;
        int expected;
    } const cases[] = {
        {"opening in a missing folder", openError, kMissingFolder},
        {"syncing a file that did not open", platform::syncDescriptor(missing.descriptor),
         kBadHandle},
        {"a write cut short without a reason", platform::ioError(), kIoError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.error, c.expected);
    }
}

TEST(PlatformErrors, AnErrorNumberReadsAsTheSystemsWordsOnOneLine) {
    // "No such file or directory" here, "The system cannot find the file specified" there.
    for (const int error : {kMissingFile, kMissingFolder, kIoError}) {
        SCOPED_TRACE(error);
        const std::string text = platform::errorText(error);
        EXPECT_GT(text.size(), 10u) << text;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_NE(text.back(), '.') << text;
    }
}

TEST_F(PlatformFiles, OnlyARegularFileIsOpenedAndANewOneIsToldApart) {
    const std::string fresh = path("new.Log");
    const std::string kept = path("kept.Log");
    std::ofstream(fs::u8path(kept), std::ios::binary) << "earlier log\r\n";
    ASSERT_TRUE(fs::create_directory(fs::u8path(path("folder.Log"))));
    EXPECT_EQ(platform::notRegularError(), kNotRegular);
    struct Case {
        const char* what;
        std::string name;
        int error;    // of the open
        bool created; // by the open
    } const cases[] = {
        {"a new file", fresh, 0, true},
        {"an existing file", kept, 0, false},
        {"the null device", kNullDevice, kNotRegular, false},
        {"a folder", path("folder.Log"), kFolder, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int error = -1;
        const platform::AppendDescriptor opened = platform::openForAppend(c.name.c_str(), error);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(opened.descriptor >= 0, c.error == 0);
        EXPECT_EQ(opened.created, c.created);
        if (opened.descriptor >= 0) {
            EXPECT_EQ(platform::closeDescriptor(opened.descriptor), 0);
        }
    }
    EXPECT_EQ(contents(fs::u8path(kept)), "earlier log\r\n");
    EXPECT_TRUE(fs::is_directory(fs::u8path(path("folder.Log"))));
}

#ifndef _WIN32
TEST_F(PlatformFiles, APipeNobodyReadsIsRefusedWithoutWaiting) {
    const std::string pipe = path("pipe.Log");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    int error = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_LT(platform::openForAppend(pipe.c_str(), error).descriptor, 0);
    EXPECT_EQ(error, ENXIO);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    // With a reader it opens, but is still no file to keep a log in.
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_LT(platform::openForAppend(pipe.c_str(), error).descriptor, 0);
    EXPECT_EQ(error, kNotRegular);
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(fs::u8path(pipe)));
}
#endif

TEST_F(PlatformFiles, ProcessFiguresFollowTheOpenFiles) {
    const int64_t self = platform::currentProcessId();
    const platform::ProcessResources before = platform::processResources(self);
    EXPECT_GT(before.residentKb, 0);
    int error = 0;
    const platform::AppendDescriptor file =
        platform::openForAppend(path("held.Log").c_str(), error);
    ASSERT_GE(file.descriptor, 0);
#ifdef _WIN32
    // Wine counts no handles (it reports 0), so the count is only pinned on Linux here.
    EXPECT_GE(platform::processResources(self).openHandles, before.openHandles);
#else
    EXPECT_EQ(platform::processResources(self).openHandles, before.openHandles + 1);
    // Another process, watched from outside as the soak bench watches the command line: it
    // holds what it opened, and a process that is gone tells nothing.
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        char byte = 0;
        ::close(channel[1]);
        const ssize_t n = ::read(channel[0], &byte, 1); // until the parent has looked
        ::_exit(n < 0 ? 1 : 0);
    }
    ::close(channel[0]);
    const platform::ProcessResources held = platform::processResources(child);
    EXPECT_GT(held.residentKb, 0);
    EXPECT_GE(held.openHandles, 1); // at least the pipe it waits on
    ::close(channel[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    const platform::ProcessResources gone = platform::processResources(child);
    EXPECT_EQ(gone.residentKb, -1);
    EXPECT_EQ(gone.openHandles, -1);
#endif
    // Neither is a terminal: the progress goes out as lines.
    std::FILE* stream = std::fopen(path("progress.txt").c_str(), "w");
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(platform::isTerminal(stream));
    std::fclose(stream);
    EXPECT_EQ(platform::closeDescriptor(file.descriptor), 0);
}

TEST(PlatformProcess, AnOpenStandardOutputIsLeftAlone) {
    EXPECT_FALSE(platform::holdClosedStdout());
}

#ifndef _WIN32
// A closed stdout is held by the null device, so the next file opened does not become the
// table's destination; exits 0 when that holds.
void openWithStdoutClosed() {
    ::close(STDOUT_FILENO);
    if (!platform::holdClosedStdout())
        _exit(1);
    const int next = ::open("/dev/null", O_RDONLY);
    _exit(next >= 0 && next != STDOUT_FILENO && ::fcntl(STDOUT_FILENO, F_GETFD) != -1 ? 0 : 2);
}

TEST(PlatformProcess, AClosedStandardOutputIsHeldByTheNullDevice) {
    EXPECT_EXIT(openWithStdoutClosed(), testing::ExitedWithCode(0), "");
}
#endif

#ifdef _WIN32
// What the console's own handler ends a stopped program with (STATUS_CONTROL_C_EXIT).
constexpr int kConsoleStopExit = static_cast<int>(0xC000013Au);

// Hands the guard's handler a console event during a save, as the console does: on a thread of
// its own. Says on stderr what happened, in order; exits 0 when the process outlives the guard.
void consoleEventDuringSave(DWORD event) {
    std::atomic<int> answer{-1}; // -1 while the handler has not returned
    {
        const platform::SaveSignalGuard held;
        std::thread([event, &answer] {
            answer = platform::holdConsoleStop(event) != FALSE ? 1 : 0;
        }).detach();
        Sleep(200);
        std::fprintf(stderr, "%s saved\n",
                     answer == -1  ? "waiting"
                     : answer == 1 ? "taken"
                                   : "refused");
    }
    std::fprintf(stderr, "after\n");
    _exit(0);
}

TEST(PlatformProcess, AConsoleStopWaitsForTheEndOfTheSave) {
    const struct Case {
        const char* what;
        DWORD event;
        int exitCode;
        const char* said;
    } cases[] = {
        {"Ctrl+C", CTRL_C_EVENT, kConsoleStopExit, "^taken saved\n$"},
        {"Ctrl+Break", CTRL_BREAK_EVENT, kConsoleStopExit, "^taken saved\n$"},
        // The system ends the process once the handler returns: it waits for the save.
        {"the console window closed", CTRL_CLOSE_EVENT, kConsoleStopExit, "^waiting saved\n$"},
        {"a logoff, not a stop", CTRL_LOGOFF_EVENT, 0, "^refused saved\nafter\n$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EXIT(consoleEventDuringSave(c.event), testing::ExitedWithCode(c.exitCode), c.said);
    }
}

// Ctrl+C from the console itself while saving; exits 0 when the process outlives the guard.
void consoleCtrlCDuringSave() {
    {
        const platform::SaveSignalGuard held;
        if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0))
            _exit(3);
        Sleep(500); // the console delivers it on a thread of its own
        std::fprintf(stderr, "saved\n");
    }
    _exit(0);
}

BOOL WINAPI ignoreConsoleStop(DWORD) {
    return TRUE;
}

TEST(PlatformProcess, CtrlCFromTheConsoleWaitsForTheEndOfTheSave) {
    // Wine gives a program a console only on a terminal.
    if (!GetConsoleWindow())
        GTEST_SKIP() << "no console to send Ctrl+C on";
    // The console sends it to every program on it, this one too.
    SetConsoleCtrlHandler(ignoreConsoleStop, TRUE);
    EXPECT_EXIT(consoleCtrlCDuringSave(), testing::ExitedWithCode(kConsoleStopExit), "^saved\n$");
    SetConsoleCtrlHandler(ignoreConsoleStop, FALSE);
}
#endif

TEST(PlatformTime, FineTimerHoldsWhileItLives) {
    const platform::FineTimer timer;
    EXPECT_TRUE(timer.active());
}

// ---- Serial port

// A serial device opened and set up as the serial library does it: 9600 8N1, XON/XOFF both
// ways, raw bytes. Reads do not wait.
class TestPort {
public:
    // Opens the device; 0 or the system's number.
    int open(const std::string& device) {
#ifdef _WIN32
        const std::string name = "\\\\.\\" + device;
        m_handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (m_handle == INVALID_HANDLE_VALUE)
            return platform::lastError();
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(m_handle, &dcb))
            return platform::lastError();
        dcb.BaudRate = CBR_9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fOutX = TRUE;
        dcb.fInX = TRUE;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.fDtrControl = DTR_CONTROL_DISABLE;
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        if (!SetCommState(m_handle, &dcb))
            return platform::lastError();
        // Reads return at once with what is there; a held write gives up after 200 ms.
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.WriteTotalTimeoutConstant = 200;
        if (!SetCommTimeouts(m_handle, &timeouts))
            return platform::lastError();
#else
        m_handle = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_handle < 0)
            return platform::lastError();
        termios settings{};
        if (::tcgetattr(m_handle, &settings) != 0)
            return platform::lastError();
        ::cfmakeraw(&settings);
        ::cfsetspeed(&settings, B9600);
        settings.c_iflag |= IXON | IXOFF;
        settings.c_cc[VSTART] = 0x11;
        settings.c_cc[VSTOP] = 0x13;
        if (::tcsetattr(m_handle, TCSANOW, &settings) != 0)
            return platform::lastError();
#endif
        m_open = true;
        return 0;
    }
    ~TestPort() {
        if (!m_open)
            return;
#ifdef _WIN32
        CloseHandle(m_handle);
#else
        ::close(m_handle);
#endif
    }

    platform::NativeHandle handle() const {
        return m_handle;
    }

    // Bytes taken by the device; fewer while its output is held.
    size_t write(const std::string& bytes) {
#ifdef _WIN32
        DWORD written = 0;
        if (!WriteFile(m_handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return 0;
        return written;
#else
        const ssize_t n = ::write(m_handle, bytes.data(), bytes.size());
        return n > 0 ? static_cast<size_t>(n) : 0;
#endif
    }

    // What arrives until `until` has come or the time is up.
    std::string read(const std::string& until, std::chrono::milliseconds limit) {
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline &&
               (until.empty() || received.find(until) == std::string::npos)) {
            char buffer[256];
#ifdef _WIN32
            DWORD n = 0;
            if (ReadFile(m_handle, buffer, sizeof buffer, &n, nullptr) && n > 0) {
#else
            const ssize_t n = ::read(m_handle, buffer, sizeof buffer);
            if (n > 0) {
#endif
                received.append(buffer, static_cast<size_t>(n));
                continue;
            }
            std::this_thread::sleep_for(10ms);
        }
        return received;
    }

private:
    platform::NativeHandle m_handle{};
    bool m_open = false;
};

// The device the serial library would open for a port that does not exist.
#ifdef _WIN32
const char* const kMissingPort = "COM199";
const platform::NativeHandle kNoHandle = nullptr;
#else
const char* const kMissingPort = "/dev/ttyS-missing";
const platform::NativeHandle kNoHandle = -1;
#endif

TEST(PlatformPort, FailuresGiveTheSystemsNumbers) {
    TestPort port;
    platform::clearLastError();
    const int openError = port.open(kMissingPort);
    struct Case {
        const char* what;
        int number;
        int expected;
    } cases[] = {
        {"a missing port as the system reports it",
         platform::portErrorNumber(platform::PortFailure::Missing, openError), kMissingFile},
        {"a missing port whose number the library lost",
         platform::portErrorNumber(platform::PortFailure::Missing, 0), kMissingFile},
        {"a busy port whose number the library lost",
         platform::portErrorNumber(platform::PortFailure::Refused, 0), kBusyPort},
        {"any other failure without a number",
         platform::portErrorNumber(platform::PortFailure::Other, 0), 0},
        {"resuming output on a port that is not open", platform::resumeOutput(kNoHandle),
         kBadHandle},
        {"the number for a port that is not open", platform::badHandleError(), kBadHandle},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.number, c.expected);
    }
    EXPECT_EQ(platform::portErrorText("Unable to open com port", cases[0].number),
              "Unable to open com port (win error code: 2)");
}

// The instrument simulator serving the scenario of this folder on a device. On Windows the
// check script runs it and names the COM port Wine maps to its terminal in LOGDUMP_TEST_COM.
class SimDevice {
public:
    SimDevice() {
#ifdef _WIN32
        if (const char* port = std::getenv("LOGDUMP_TEST_COM"))
            m_device = port;
#else
        m_link = fs::temp_directory_path() / ("logdump-platform-com-" + std::to_string(::getpid()));
        const std::string link = m_link.string();
        const char* argv[] = {LOGDUMP_SIM_PATH,          "--link", link.c_str(), "--scenario",
                              LOGDUMP_PLATFORM_SCENARIO, nullptr};
        // Its output (the link's path) is of no use here.
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        const int spawned = ::posix_spawn(&m_pid, LOGDUMP_SIM_PATH, &actions, nullptr,
                                          const_cast<char**>(argv), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            m_pid = -1;
            return;
        }
        for (int i = 0; i < 200 && !fs::is_symlink(m_link); ++i)
            std::this_thread::sleep_for(25ms);
        if (fs::is_symlink(m_link))
            m_device = link;
#endif
    }
    ~SimDevice() {
#ifndef _WIN32
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
#endif
    }
    const std::string& device() const {
        return m_device;
    }

private:
    std::string m_device;
#ifndef _WIN32
    fs::path m_link;
    pid_t m_pid = -1;
#endif
};

TEST(PlatformPort, OutputHeldByAReceivedXoffIsResumed) {
    const SimDevice sim;
    ASSERT_FALSE(sim.device().empty()) << "no simulated instrument (on Windows: run "
                                          "tools/windows-check.sh, which sets LOGDUMP_TEST_COM)";
    TestPort port;
    ASSERT_EQ(port.open(sim.device()), 0) << sim.device();
    // The status report ends with an XOFF, as noise or an answer may leave one on the line.
    ASSERT_EQ(port.write("DPS\r"), 4u);
    EXPECT_EQ(port.read("Lamp hours: 1234\r\n", 5s), "Lamp hours: 1234\r\n");
    std::this_thread::sleep_for(100ms);
    // The XOFF holds the next command back: the instrument does not answer it.
    size_t sent = port.write("\r");
    EXPECT_EQ(port.read("", 500ms), "") << "the XOFF did not hold the output";
    ASSERT_EQ(platform::resumeOutput(port.handle()), 0);
    if (sent == 0)
        sent = port.write("\r");
    EXPECT_EQ(sent, 1u);
    EXPECT_EQ(port.read("?\r\n", 5s), "?\r\n");
}

TEST(PlatformPort, TheDeviceIsClaimedForOneHolder) {
    const SimDevice sim;
    ASSERT_FALSE(sim.device().empty());
    {
        platform::DeviceClaim first;
        EXPECT_EQ(first.claim(sim.device().c_str()), 0);
#ifndef _WIN32
        // A second claim of the same device, as a second instance would make it, is busy.
        // (Windows refuses the second open itself, which Wine does not do, so there is no case
        // there.)
        platform::DeviceClaim second;
        EXPECT_EQ(second.claim(sim.device().c_str()), kBusyPort);
        EXPECT_EQ(second.claim((sim.device() + ".missing").c_str()), kMissingFile);
#endif
    }
    // The claim goes with its holder.
    platform::DeviceClaim again;
    EXPECT_EQ(again.claim(sim.device().c_str()), 0);
}

} // namespace
