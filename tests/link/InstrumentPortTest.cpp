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
        int messageNo;
        const char* text;
    } const cases[] = {
        {"DiscardBuffers", [&] { port.discardBuffers(true, true); }, 5,
         "PurgeComm function failed"},
        {"BytesWaiting", [&] { port.bytesWaiting(); }, 10, "ClearCommError function failed"},
        {"ReadBytes", [&] { port.readBytes(&byte, 1); }, 3, "ReadFile function failed"},
        {"WriteText", [&] { port.writeText("\r\n"); }, 2, "WriteFile function failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation);
        try {
            c.call();
            ADD_FAILURE() << "no error";
        } catch (const PortError& e) {
            EXPECT_EQ(e.messageNo, c.messageNo);
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
        int messageNo;
        const char* text;
    } const cases[] = {
        {1, "Unable to open com port"},
        {2, "WriteFile function failed"},
        {3, "ReadFile function failed"},
        {5, "PurgeComm function failed"},
        {7, "SetCommState function failed"},
        {8, "SetCommTimeouts failed"},
        {9, "SetupComm function failed"},
        {10, "ClearCommError function failed"},
        {11, "GetCommModemStatus function failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.messageNo);
        EXPECT_STREQ(portErrorMessage(c.messageNo), c.text);
        const PortError e(c.messageNo, 1234);
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
