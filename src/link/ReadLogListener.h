#pragma once

#include "log/LogRecord.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

struct InstrumentModel;

// What an exchange with the instrument reports as it goes, in the order it happens, from the
// thread it runs on: what it tells the user, and for "Read log" what it learns, from which the
// front-end keeps the session, the table and its view up to date. An event not overridden is
// let pass.
class ReadLogListener {
public:
    virtual ~ReadLogListener() = default;
    // A message box with OK; the exchange goes on once the user has closed it.
    virtual void tell(const std::string& message) { (void)message; }
    // The busy cursor on or off; calls nest.
    virtual void busy(bool on) { (void)on; }
    // A line for the message memo.
    virtual void note(const std::string& line) { (void)line; }
    // The handshake was answered on the port in use.
    virtual void portAnswered() {}
    // The records the log status announced; -1 for a reply that was not understood.
    virtual void logStatus(int32_t announced) { (void)announced; }
    // The identification named this model (the unknown model when it named none known).
    virtual void identified(const InstrumentModel& model, const std::string& identLine) {
        (void)model, (void)identLine;
    }
    // The download starts with the number of records announced.
    virtual void downloadStarting(int32_t announced) { (void)announced; }
    // The instrument answered the wake-up: what the table holds from now on may be saved.
    virtual void streamOpened() {}
    // Bytes of the log stream as the port gave them, in order, in pieces of a line or so.
    virtual void streamBytes(const std::string& bytes) { (void)bytes; }
    // A line of the log stream ended; row is the table row it takes (a new row from row 2 on),
    // which a line without a record gives back.
    virtual void lineEnded(int row) { (void)row; }
    // The log's serial number line, from "S/N" on.
    virtual void serialLine(const std::string& line) { (void)line; }
    // A record for the table row.
    virtual void record(int row, const LogRecord& record) { (void)row, (void)record; }
    // The stream ended with so many records; the table is complete and not saved.
    virtual void streamEnded(int records) { (void)records; }
    // An error ended the stream after records had come: they are not saved.
    virtual void recordsUnsaved() {}
    // The download is over, however it went.
    virtual void downloadEnded() {}
    // "Find instrument" tries the port, index from 0 of count.
    virtual void portTried(int index, int count, const QString& port) {
        (void)index, (void)count, (void)port;
    }
};

// Passes every event on as a call on another listener: to another thread, or with something
// done around it. An event the exchange waits on (a box, the cursor) says so.
class ListenerRelay : public ReadLogListener {
public:
    using Event = std::function<void(ReadLogListener&)>;

    void tell(const std::string& message) override {
        relay([message](ReadLogListener& l) { l.tell(message); }, true);
    }
    void busy(bool on) override {
        relay([on](ReadLogListener& l) { l.busy(on); }, true);
    }
    void note(const std::string& line) override {
        relay([line](ReadLogListener& l) { l.note(line); });
    }
    void portAnswered() override {
        relay([](ReadLogListener& l) { l.portAnswered(); });
    }
    void logStatus(int32_t announced) override {
        relay([announced](ReadLogListener& l) { l.logStatus(announced); });
    }
    void identified(const InstrumentModel& model, const std::string& identLine) override {
        relay([&model, identLine](ReadLogListener& l) { l.identified(model, identLine); });
    }
    void downloadStarting(int32_t announced) override {
        relay([announced](ReadLogListener& l) { l.downloadStarting(announced); });
    }
    void streamOpened() override {
        relay([](ReadLogListener& l) { l.streamOpened(); });
    }
    void streamBytes(const std::string& bytes) override {
        relay([bytes](ReadLogListener& l) { l.streamBytes(bytes); });
    }
    void lineEnded(int row) override {
        relay([row](ReadLogListener& l) { l.lineEnded(row); });
    }
    void serialLine(const std::string& line) override {
        relay([line](ReadLogListener& l) { l.serialLine(line); });
    }
    void record(int row, const LogRecord& record) override {
        relay([row, record](ReadLogListener& l) { l.record(row, record); });
    }
    void streamEnded(int records) override {
        relay([records](ReadLogListener& l) { l.streamEnded(records); });
    }
    void recordsUnsaved() override {
        relay([](ReadLogListener& l) { l.recordsUnsaved(); });
    }
    void downloadEnded() override {
        relay([](ReadLogListener& l) { l.downloadEnded(); });
    }
    void portTried(int index, int count, const QString& port) override {
        relay([index, count, port](ReadLogListener& l) { l.portTried(index, count, port); });
    }

protected:
    // waits: the exchange needs the event to have been heard before it goes on.
    virtual void relay(Event event, bool waits = false) = 0;
};
