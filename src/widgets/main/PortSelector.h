#pragma once

#include "link/PortCatalogue.h"

#include <QComboBox>
#include <vector>

// The port selector: COM1 to COM4 and every port the catalogue reports, listed anew each time
// the drop-down opens. The box shows the name; the drop-down tells what each adapter is.
class PortSelector final : public QComboBox {
    Q_OBJECT
public:
    // The item role holding an entry's drop-down text.
    static constexpr int kLabelRole = Qt::UserRole + 1;

    explicit PortSelector(QWidget* parent = nullptr);

    // Without a catalogue only COM1 to COM4 are offered.
    void setCatalogue(IPortCatalogue* catalogue) { m_catalogue = catalogue; }
    // Lists the ports anew, keeping the current one (even when it has gone).
    void refresh();
    // The entries as last listed.
    const std::vector<PortInfo>& ports() const { return m_ports; }
    // Shows the port as chosen, listing it if it is not.
    void setCurrentPort(const QString& name);

    void showPopup() override;

private:
    IPortCatalogue* m_catalogue = nullptr;
    std::vector<PortInfo> m_ports;
};
