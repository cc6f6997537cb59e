#include "app/App.h"
#include "app/Commands.h"
#include "app/TeamArchiveSetting.h"
#include "archive/Archive.h"
#include "archive/ArchiveWriter.h"
#include "link/InstrumentPort.h"
#include "link/PortCatalogue.h"
#include "link/PortMemory.h"
#include "platform/Platform.h"
#include "text/Clock.h"
#include "widgets/graph/GraphDialog.h"
#include "widgets/main/AboutDialog.h"
#include "widgets/main/MainWindow.h"
#include "widgets/main/QtDialogs.h"
#include "widgets/status/StatusDumpDialog.h"

#include <QApplication>
#include <QProxyStyle>
#include <QTimer>

namespace {
// The program's hints (buttons, menu items, table cells) appear after 200 ms.
class HintDelayStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay)
            return 200;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

int main(int argc, char* argv[]) {
    // The 5 ms and 50 ms poll steps need 1 ms sleep granularity, not the default 15.6 ms.
    const platform::FineTimer fineTimer;
    // Taken before the application object removes its own options from argv.
    const QStringList arguments = argumentsAsGiven(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Virelon Log Dump"));
    QApplication::setStyle(new HintDelayStyle);
    QApplication::setApplicationDisplayName(QString());

    InstrumentPort port;
    SystemClock clock;
    // The program starts on the port that last answered, while the system still reports it.
    const std::unique_ptr<IPortCatalogue> catalogue = makePortCatalogue();
    SettingsPortMemory memory;
    port.setPort(startPort(memory.lastAnswered(), selectorPorts(catalogue->ports())));
    MainWindow mainWindow(port, clock, arguments);
    mainWindow.usePorts(*catalogue, &memory, [] { return std::make_unique<InstrumentPort>(); });
    AboutDialog aboutBox(&mainWindow);
    App& app = mainWindow.app();
    GraphDialog graphDialog(app.table(), app.session(), app.statistics(), app.dialogs(), &mainWindow);
    StatusDumpDialog statusDumpDialog(app.line(), app.dialogs(), app.runner(), &mainWindow);
    mainWindow.dialogs().setWindow(ModalWindow::About, &aboutBox);
    mainWindow.dialogs().setWindow(ModalWindow::Graph, &graphDialog);
    mainWindow.dialogs().setWindow(ModalWindow::StatusDump, &statusDumpDialog);
    // Every download is kept in the user's archive, written on a thread of its own.
    ArchiveWriter archive(Archive::defaultPath());
    mainWindow.useArchive(&archive);
    // And sent to the team archive, when one is set, in the background.
    SettingsTeamArchiveSetting teamSetting;
    mainWindow.useTeamArchive(&teamSetting);
    mainWindow.show();
    QTimer::singleShot(0, &mainWindow, [&mainWindow] { mainWindow.offerUnsavedDownload(); });
    const int result = QApplication::exec();
    mainWindow.useTeamArchive(nullptr); // its pusher asks the writer, which goes first
    port.closePort();
    return result;
}
