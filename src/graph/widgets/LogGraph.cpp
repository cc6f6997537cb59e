#include "graph/widgets/LogGraph.h"

TForm2::TForm2(App& app, QWidget* parent) : QDialog(parent), m_app(app) {
    setWindowTitle(QStringLiteral("VELKOR - Virelon Log Graph"));
    resize(801, 571);
}
