#include "graph/RequiredClassSettings.h"

#include "graph/PerformanceClasses.h"
#include "text/UserSettings.h"

#include <QSettings>

namespace {

class SettingsRequiredClasses final : public IRequiredClassMemory {
public:
    RequiredClasses load() const override {
        RequiredClasses required = defaultRequiredClasses();
        const auto settings = openUserSettings();
        if (!settings || settings->status() != QSettings::NoError)
            return required;
        for (Quantity s : kQuantities) {
            const std::string name =
                settings->value(QLatin1String(describe(s).settingsKey)).toString().toStdString();
            const int index = findClass(s, name);
            if (index >= 0)
                required[static_cast<size_t>(s)] = index;
        }
        return required;
    }

    void save(const RequiredClasses& required) override {
        const auto settings = openUserSettings();
        // As for the port: a file that could not be read is not overwritten.
        if (!settings || settings->status() != QSettings::NoError)
            return;
        for (Quantity s : kQuantities) {
            const auto& classes = performanceClasses(s);
            const int index = required[static_cast<size_t>(s)];
            if (index >= 0 && index < static_cast<int>(classes.size()))
                settings->setValue(
                    QLatin1String(describe(s).settingsKey),
                    QString::fromStdString(classes[static_cast<size_t>(index)].name));
        }
    }
};

} // namespace

IRequiredClassMemory& userRequiredClasses() {
    static SettingsRequiredClasses memory;
    return memory;
}
