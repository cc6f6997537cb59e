#include "service/widgets/StatusDump.h"

TForm3::TForm3(App& app, QWidget* parent) : QDialog(parent), m_app(app) {
    setWindowTitle(QStringLiteral("VELKOR - Virelon Instrument Status Dump"));
    setGeometry(192, 107, 473, 547);
}
