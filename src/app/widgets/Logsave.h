#pragma once

#include "app/MainControls.h"
#include "app/widgets/PortSearchDialog.h"
#include "app/widgets/PortSelector.h"

#include <QMainWindow>
#include <memory>

class App;
class IClock;
class IDialogs;
class IPortCatalogue;
class IPortMemory;
class ISerialLine;
class QtDialogs;
class QAction;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;

// The main window: shows the log table, the progress and the messages, and hands every event to
// the core's handlers.
class TForm1 final : public QMainWindow, public IMainControls {
    Q_OBJECT
public:
    TForm1(ISerialLine& port, IClock& clock, const QStringList& arguments,
           QWidget* parent = nullptr);
    // With the boxes and modal windows handed in (tests answer them without blocking).
    TForm1(ISerialLine& port, IClock& clock, const QStringList& arguments, IDialogs& dialogs,
           QWidget* parent = nullptr);
    ~TForm1() override;

    App& app() { return *m_app; }
    QtDialogs& dialogs() { return *m_dialogs; }

    // The ports the selector lists and "Find instrument" tries, where the port that answered is
    // remembered, and the lines the search opens. Without it: COM1 to COM4, nothing remembered.
    void usePorts(IPortCatalogue& catalogue, IPortMemory* memory, SearchLineFactory makeLine);

    // Runs the activation steps once (the first time the window is shown).
    void activateOnce();

    // IMainControls
    void memErrClear() override;
    void memErrAddLine(const std::string& line) override;
    void setDataReadCaption(const std::string& caption) override;
    void repaintDataRead() override;
    void setGaugeMax(int max) override;
    void setGaugePosition(int position) override;
    void setReadLogEnabled(bool enabled) override;
    void focusReadLog() override;
    void focusPortSelector() override;
    void setGraphEnabled(bool enabled) override;
    void setGraphVisible(bool visible) override;
    void setSaveAsEnabled(bool enabled) override;
    void setTableClientWidth(int width) override;
    int tableClientHeight() const override;
    void scrollTableToEnd() override;
    void repaintNow() override;

    // The controls, by their names, for tests and screenshots.
    QTableView* grdData() const { return m_grdData; }
    QPushButton* btnEmpty() const { return m_btnEmpty; }
    QPushButton* btnGraph() const { return m_btnGraph; }
    QComboBox* comboBox1() const { return m_comboBox1; }
    QLabel* lblDataRead() const { return m_lblDataRead; }
    QProgressBar* logGauge() const { return m_logGauge; }
    QPlainTextEdit* memErr() const { return m_memErr; }
    QAction* btnSaveAs() const { return m_btnSaveAs; }
    QAction* btnStDump() const { return m_btnStDump; }
    QAction* btnFind() const { return m_btnFind; }
    PortSelector* portSelector() const { return m_comboBox1; }
    QAction* btnAbout() const { return m_btnAbout; }
    QAction* exit1() const { return m_exit1; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm1(ISerialLine& port, IClock& clock, const QStringList& arguments, IDialogs* dialogs,
           QWidget* parent);
    void buildControls();
    void buildMenu();
    void applyColumnWidths();
    void guarded(const std::function<void()>& handler);
    void findInstrument();

    std::unique_ptr<QtDialogs> m_dialogs;
    std::unique_ptr<App> m_app;
    bool m_activated = false;
    int m_tableClientWidth = 0;

    QTableView* m_grdData = nullptr;
    QPushButton* m_btnEmpty = nullptr;
    QPushButton* m_btnGraph = nullptr;
    PortSelector* m_comboBox1 = nullptr;
    QLabel* m_lblDataRead = nullptr;
    QProgressBar* m_logGauge = nullptr;
    QLabel* m_label1 = nullptr;
    QPlainTextEdit* m_memErr = nullptr;
    QAction* m_btnSaveAs = nullptr;
    QAction* m_exit1 = nullptr;
    QAction* m_btnStDump = nullptr;
    QAction* m_btnAbout = nullptr;
    QAction* m_btnFind = nullptr;
    SearchLineFactory m_makeSearchLine;
};
