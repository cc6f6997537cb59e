#pragma once

#include <QDialog>

class App;

// The status dump window: fetches the instrument's report for support.
class TForm3 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(App& app, QWidget* parent = nullptr);

private:
    App& m_app;
};
