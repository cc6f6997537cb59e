#pragma once

#include <QDialog>

class App;

// The graph window: plots the log table and writes its statistics.
class TForm2 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(App& app, QWidget* parent = nullptr);

private:
    App& m_app;
};
