#pragma once

#include <QString>
#include <string>

class QThread;

// The serial line to the instrument: the operations the procedures use. The real port and the
// in-process simulator both implement it. Failures raise PortError.
class ISerialLine {
public:
    virtual ~ISerialLine() = default;
    virtual void openPort() = 0;
    virtual void closePort() = 0;
    virtual bool connected() const = 0;
    // The selector's name of the port ("COM1" ... "COM4"), as messages show it.
    virtual QString port() const = 0;
    virtual void setPort(const QString& name) = 0;
    virtual void discardBuffers(bool input, bool output) = 0;
    virtual int bytesWaiting() = 0;
    virtual int readBytes(char* buffer, int count) = 0;
    // Sends the bytes and waits until they are out or the write time limit has passed.
    virtual int writeText(const std::string& text) = 0;
    // The thread that uses the port from now on; called by the thread that uses it now. That
    // thread calls takeOwnership() before it uses the port.
    virtual void setOwnerThread(QThread*) {}
    virtual void takeOwnership() {}
};
