#pragma once

#include "link/PortCatalogue.h"
#include "link/WorkerThreadRunner.h"

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class IClock;
class ISerialLine;
class QLabel;
class QProgressBar;
class QPushButton;
class QThread;

// A fresh line for a port search, used on the search's own thread only.
using SearchLineFactory = std::function<std::unique_ptr<ISerialLine>()>;

// "Find instrument": tries the ports on a thread of its own behind a progress box with a Stop
// button, so the window keeps painting while a silent port is waited for.
class PortSearchDialog final : public QDialog {
    Q_OBJECT
public:
    PortSearchDialog(std::vector<PortInfo> ports, SearchLineFactory makeLine, IClock& clock,
                     QWidget* parent = nullptr);
    ~PortSearchDialog() override;

    // Runs the search until a port answers, none is left or the user stops it.
    std::optional<QString> run();
    bool stopped() const { return m_stop.load(); }

    // Escape and the close button stop the search; the box closes once the port being tried
    // lets go.
    void reject() override;

private:
    void showProgress(int index, int count, const QString& port);

    std::vector<PortInfo> m_ports;
    SearchLineFactory m_makeLine;
    IClock& m_clock;
    std::atomic<bool> m_stop{false};
    std::optional<QString> m_found;
    // The progress reaches the box under a lock a race checker sees, like a run's events.
    ThreadHandOff m_handOff;
    QThread* m_thread = nullptr;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_stopButton = nullptr;
};
