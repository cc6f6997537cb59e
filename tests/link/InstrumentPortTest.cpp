#include "link/InstrumentPort.h"

#include <cerrno>
#include <functional>
#include <gtest/gtest.h>

TEST(InstrumentPort, EveryOperationOnAClosedPortGivesItsMessage) {
    InstrumentPort port;
    char byte = 0;
    struct Case {
        const char* operation;
        std::function<void()> call;
        PortOperation failed;
        const char* text;
    } const cases[] = {
        {"DiscardBuffers", [&] { port.discardBuffers(true, true); }, PortOperation::Purge,
         "PurgeComm function failed"},
        {"BytesWaiting", [&] { port.bytesWaiting(); }, PortOperation::Status,
         "ClearCommError function failed"},
        {"ReadBytes", [&] { port.readBytes(&byte, 1); }, PortOperation::Read,
         "ReadFile function failed"},
        {"WriteText", [&] { port.writeText("\r\n"); }, PortOperation::Write,
         "WriteFile function failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation);
        try {
            c.call();
            ADD_FAILURE() << "no error";
        } catch (const PortError& e) {
            EXPECT_EQ(e.operation, c.failed);
            EXPECT_EQ(e.systemError, EBADF);
            EXPECT_EQ(std::string(e.what()),
                      std::string(c.text) + " (win error code: " + std::to_string(EBADF) + ")");
        }
    }
    // Only an empty write succeeds, because it sends nothing.
    EXPECT_EQ(port.writeText(""), 0);
    port.closePort();
    EXPECT_FALSE(port.connected());
}

TEST(InstrumentPort, SettingTheNameWhileClosedOnlyStoresIt) {
    InstrumentPort port;
    EXPECT_EQ(port.port(), QStringLiteral("COM1"));
    port.setPort(QStringLiteral("COM3"));
    EXPECT_EQ(port.port(), QStringLiteral("COM3"));
    EXPECT_FALSE(port.connected());
}

TEST(InstrumentPort, MessagesOfTheTable) {
    struct Case {
        PortOperation operation;
        const char* text;
    } const cases[] = {
        {PortOperation::Open, "Unable to open com port"},
        {PortOperation::Write, "WriteFile function failed"},
        {PortOperation::Read, "ReadFile function failed"},
        {PortOperation::Purge, "PurgeComm function failed"},
        {PortOperation::Settings, "SetCommState function failed"},
        {PortOperation::Status, "ClearCommError function failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_STREQ(portErrorMessage(c.operation), c.text);
        const PortError e(c.operation, 1234);
        EXPECT_EQ(std::string(e.what()), std::string(c.text) + " (win error code: 1234)");
        EXPECT_EQ(e.systemError, 1234);
    }
}

TEST(InstrumentPort, SelectorNamesMapToDevices) {
    qputenv("LOGDUMP_COM2", "/dev/serial/by-id/usb-adapter");
    qunsetenv("LOGDUMP_COM1");
    qunsetenv("LOGDUMP_COM4");
    struct Case {
        const char* name;
        const char* device;
    } const cases[] = {
#ifdef Q_OS_WIN
        {"COM1", "COM1"},
        {"COM4", "COM4"},
#else
        {"COM1", "/dev/ttyS0"},
        {"COM4", "/dev/ttyS3"},
#endif
        {"COM2", "/dev/serial/by-id/usb-adapter"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(deviceForPortName(QString::fromLatin1(c.name)), QString::fromLatin1(c.device));
    }
    qunsetenv("LOGDUMP_COM2");
}
