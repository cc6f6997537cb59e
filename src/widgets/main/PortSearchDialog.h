#pragma once

#include "link/PortCatalogue.h"
#include "link/ReadLogListener.h"

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class IClock;
class IExchangeRunner;
class ISerialLine;
class QLabel;
class QProgressBar;
class QPushButton;

// A fresh line for a port search, used on the search's own thread only.
using SearchLineFactory = std::function<std::unique_ptr<ISerialLine>()>;

// "Find instrument": tries the ports as an exchange on the runner (a worker thread) behind a
// progress box with a Stop button, so the window keeps painting while a silent port is waited
// for. The app's own port must be let go meanwhile.
class PortSearchDialog final : public QDialog, private ReadLogListener {
    Q_OBJECT
public:
    PortSearchDialog(std::vector<PortInfo> ports, SearchLineFactory makeLine, IClock& clock,
                     IExchangeRunner& runner, QWidget* parent = nullptr);

    // Runs the search until a port answers, none is left or the user stops it.
    std::optional<QString> run();
    bool stopped() const { return m_stop.load(); }

    // Escape and the close button stop the search; the box closes once the port being tried
    // lets go.
    void reject() override;

private:
    void portTried(int index, int count, const QString& port) override;

    std::vector<PortInfo> m_ports;
    SearchLineFactory m_makeLine;
    IClock& m_clock;
    IExchangeRunner& m_runner;
    std::atomic<bool> m_stop{false};
    bool m_searching = false;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_stopButton = nullptr;
};
