#include "link/WorkerThreadRunner.h"

#include "link/ReadLogListener.h"
#include "link/SerialLine.h"
#include "log/LogRecord.h"
#include "text/Dialogs.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <memory>
#include <utility>

ThreadHandOff::ThreadHandOff() {
    // A timer, not a queued call: Qt runs queued calls before timers that are due.
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    connect(&m_nextSlice, &QTimer::timeout, this, &ThreadHandOff::runPosted);
}

void ThreadHandOff::post(std::function<void()> call) {
    enqueue(std::move(call), false);
}

void ThreadHandOff::postNow(std::function<void()> call) {
    enqueue(std::move(call), true);
}

void ThreadHandOff::enqueue(std::function<void()> call, bool now) {
    bool notify = false;
    bool arm = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(std::move(call));
        ++m_posted;
        if (now)
            notify = !std::exchange(m_notified, true);
        else if (!m_notified && !m_gathering)
            arm = m_gathering = true;
    }
    if (notify)
        QMetaObject::invokeMethod(this, &ThreadHandOff::runPosted, Qt::QueuedConnection);
    if (arm)
        QMetaObject::invokeMethod(this, &ThreadHandOff::gather, Qt::QueuedConnection);
}

void ThreadHandOff::gather() {
    QTimer::singleShot(kGatherMs, this, &ThreadHandOff::runGathered);
}

void ThreadHandOff::runGathered() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_gathering = false;
    }
    runPosted();
}

void ThreadHandOff::call(const std::function<void()>& call) {
    std::exception_ptr error;
    unsigned long long ticket = 0;
    bool notify = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back([&] {
            try {
                call();
            } catch (...) {
                error = std::current_exception();
            }
        });
        ticket = ++m_posted;
        notify = !std::exchange(m_notified, true);
    }
    if (notify)
        QMetaObject::invokeMethod(this, &ThreadHandOff::runPosted, Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ran.wait(lock, [&] { return m_done >= ticket; });
    lock.unlock();
    if (error)
        std::rethrow_exception(error);
}

std::exception_ptr ThreadHandOff::takeFailure() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_failure, nullptr);
}

void ThreadHandOff::runPosted() {
    // The calls in order, for a slice of time; the rest go on from a timer. A queued
    // continuation would come before the window's timers and a burst of records would starve
    // them; a timer lets input, painting and other timers have their turn first. A call that
    // shows a box runs the window's events inside it, but the worker waits for that call's answer,
    // so nothing can overtake it.
    QElapsedTimer slice;
    slice.start();
    do {
        std::function<void()> next;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_calls.empty()) {
                m_notified = false;
                return;
            }
            next = std::move(m_calls.front());
            m_calls.pop_front();
        }
        std::exception_ptr failure;
        try {
            next();
        } catch (...) {
            failure = std::current_exception(); // nothing may cross the event loop
        }
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            ++m_done;
            if (failure && !m_failure)
                m_failure = failure;
        }
        m_ran.notify_all();
    } while (slice.elapsed() < kSliceMs);
    m_nextSlice.start();
}

namespace {

// The boxes of the window thread, asked from the worker: each call waits for its answer.
class HandedOffDialogs final : public IDialogs {
public:
    HandedOffDialogs(IDialogs& dialogs, ThreadHandOff& handOff)
        : m_dialogs(dialogs), m_handOff(handOff) {}
    void message(const std::string& text) override {
        m_handOff.call([&] { m_dialogs.message(text); });
    }
    void messageText(const QString& text) override {
        m_handOff.call([&] { m_dialogs.messageText(text); });
    }
    bool confirmYesNo(const std::string& text) override {
        bool yes = false;
        m_handOff.call([&] { yes = m_dialogs.confirmYesNo(text); });
        return yes;
    }
    bool confirmOkCancel(const std::string& text) override {
        bool ok = false;
        m_handOff.call([&] { ok = m_dialogs.confirmOkCancel(text); });
        return ok;
    }
    void error(const std::string& text) override {
        m_handOff.call([&] { m_dialogs.error(text); });
    }
    std::optional<SaveDialogResult> saveFile(const SaveDialogSetup& setup) override {
        std::optional<SaveDialogResult> chosen;
        m_handOff.call([&] { chosen = m_dialogs.saveFile(setup); });
        return chosen;
    }
    std::optional<QString> openFile(const QStringList& filters) override {
        std::optional<QString> chosen;
        m_handOff.call([&] { chosen = m_dialogs.openFile(filters); });
        return chosen;
    }
    std::optional<int> chooseItem(const std::string& question,
                                  const std::vector<std::string>& items, int index) override {
        std::optional<int> chosen;
        m_handOff.call([&] { chosen = m_dialogs.chooseItem(question, items, index); });
        return chosen;
    }
    void beep() override {
        m_handOff.call([&] { m_dialogs.beep(); });
    }
    void setBusyCursor(bool busy) override {
        m_handOff.call([&] { m_dialogs.setBusyCursor(busy); });
    }
    void showModal(ModalWindow window) override {
        m_handOff.call([&] { m_dialogs.showModal(window); });
    }

private:
    IDialogs& m_dialogs;
    ThreadHandOff& m_handOff;
};

// What a run reports, carried to the window thread as copies, in order, without waiting.
class HandedOffListener final : public ReadLogListener {
public:
    HandedOffListener(ReadLogListener& listener, ThreadHandOff& handOff)
        : m_listener(listener), m_handOff(handOff) {}
    void note(const std::string& line) override {
        post([line](ReadLogListener& l) { l.note(line); });
    }
    void portAnswered() override {
        post([](ReadLogListener& l) { l.portAnswered(); });
    }
    void logStatus(int32_t announced) override {
        post([announced](ReadLogListener& l) { l.logStatus(announced); });
    }
    void identified(const InstrumentModel& model, const std::string& identLine) override {
        post([&model, identLine](ReadLogListener& l) { l.identified(model, identLine); });
    }
    void downloadStarting(int32_t announced) override {
        post([announced](ReadLogListener& l) { l.downloadStarting(announced); });
    }
    void streamOpened() override {
        post([](ReadLogListener& l) { l.streamOpened(); });
    }
    void streamBytes(const std::string& bytes) override {
        post([bytes](ReadLogListener& l) { l.streamBytes(bytes); });
    }
    void lineEnded(int row) override {
        post([row](ReadLogListener& l) { l.lineEnded(row); });
    }
    void serialLine(const std::string& line) override {
        post([line](ReadLogListener& l) { l.serialLine(line); });
    }
    void record(int row, const LogRecord& record) override {
        post([row, record](ReadLogListener& l) { l.record(row, record); });
    }
    void streamEnded(int records) override {
        post([records](ReadLogListener& l) { l.streamEnded(records); });
    }
    void recordsUnsaved() override {
        post([](ReadLogListener& l) { l.recordsUnsaved(); });
    }
    void downloadEnded() override {
        post([](ReadLogListener& l) { l.downloadEnded(); });
    }

private:
    template <typename Event> void post(Event event) {
        m_handOff.post([this, event] { event(m_listener); });
    }
    ReadLogListener& m_listener;
    ThreadHandOff& m_handOff;
};

} // namespace

void WorkerThreadRunner::run(IDialogs& dialogs, ReadLogListener* listener,
                             const Exchange& exchange) {
    ThreadHandOff handOff;
    HandedOffDialogs workerDialogs(dialogs, handOff);
    std::unique_ptr<HandedOffListener> workerListener;
    if (listener)
        workerListener = std::make_unique<HandedOffListener>(*listener, handOff);
    QThread* const caller = QThread::currentThread();
    QEventLoop loop;
    std::exception_ptr error;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            m_port.takeOwnership();
            exchange(workerDialogs, workerListener.get());
        } catch (...) {
            error = std::current_exception();
        }
        m_port.setOwnerThread(caller);
        // After every call of the exchange, so the loop ends when they all ran.
        handOff.postNow([&loop] { loop.quit(); });
    }));
    m_running = true;
    if (onRunning)
        onRunning(true);
    m_port.setOwnerThread(worker.get());
    worker->start();
    loop.exec();
    // A quitting application ends the loop early: the worker's calls still get their answers.
    while (!worker->wait(10))
        handOff.runPosted();
    m_running = false;
    if (onRunning)
        onRunning(false);
    try {
        m_port.takeOwnership();
    } catch (...) {
        if (!error)
            error = std::current_exception();
    }
    if (!error)
        error = handOff.takeFailure();
    if (error)
        std::rethrow_exception(error);
}
