#pragma once

#include "link/PortCatalogue.h"

#include <QString>
#include <vector>

// Where the program keeps the one port that last answered the instrument's handshake.
class IPortMemory {
public:
    virtual ~IPortMemory() = default;
    // The remembered port's name; empty when none is remembered or it cannot be read.
    virtual QString lastAnswered() const = 0;
    virtual void remember(const QString& port) = 0;
};

// The user's own settings (QSettings, per user); nothing but the port is stored there.
class SettingsPortMemory final : public IPortMemory {
public:
    // The user's settings of this program.
    SettingsPortMemory();
    // An INI file of the caller's choice (tests use a temporary one).
    explicit SettingsPortMemory(QString iniFile) : m_iniFile(std::move(iniFile)) {}
    QString lastAnswered() const override;
    void remember(const QString& port) override;

private:
    QString m_iniFile; // empty: the user's settings
};

// The port the program starts on: the remembered one when the selector lists it, else COM1.
QString startPort(const QString& remembered, const std::vector<PortInfo>& selectorPorts);
