#include "export/SaveAs.h"

#include "export/TextLogExport.h"
#include "export/TitledTable.h"
#include "export/WorkbookExport.h"
#include "log/Session.h"
#include "text/Cp1252.h"
#include "text/Dialogs.h"

#include <QFileInfo>

namespace {

constexpr int kWorkbookEntry = 1;
constexpr int kTextLogEntry = 2;
constexpr int kXlsxEntry = 3;

SaveDialogSetup normalSetup() {
    SaveDialogSetup setup;
    setup.defaultSuffix = QStringLiteral("Log");
    setup.filters = {QStringLiteral("Excel files (*.xls)"),
                     QStringLiteral("Comma seperated file (*.Log)"),
                     QStringLiteral("Excel workbook (*.xlsx)")};
    // A typed "RVM4711" must get the extension of the chosen format, or a workbook would
    // replace the text log "RVM4711.Log" collected over many downloads.
    setup.filterSuffixes = {QStringLiteral("xls"), QStringLiteral("Log"), QStringLiteral("xlsx")};
    return setup;
}

// As the old file routines: a dot anywhere in the file's own name is an extension.
bool hasExtension(const QString& path) {
    return QFileInfo(path).fileName().contains(QLatin1Char('.'));
}

void writeTextLog(const SaveSource& source, IFileLayer& files, const QString& path) {
    const TitledTable titled(source.table, logTitle(source.session));
    appendTextLog(files, path, buildTextLogBlock(titled, source.statistics));
}

RequiredClasses storedClasses(const SaveSource& source) {
    return source.requiredClasses ? source.requiredClasses->load() : defaultRequiredClasses();
}

void writeWorkbook(const SaveSource& source, IFileLayer& files, const QString& path,
                   const RequiredClasses& required) {
    const TitledTable titled(source.table, logTitle(source.session));
    if (!source.sections) {
        saveToWorkbook(titled, path, files);
        return;
    }
    const SectionReport sections = source.sections(required);
    saveToWorkbook(titled, path, files, &sections);
}

} // namespace

void saveAs(const SaveSource& source, IDialogs& dialogs, IFileLayer& files,
            const QString& workFolder) {
    Session& s = source.session;
    SaveDialogSetup setup = normalSetup();
    if (s.productionMode) {
        setup.proposedName = QStringLiteral("RVM") + fromCp1252(s.serialNo);
        setup.selectedFilter = kTextLogEntry;
        setup.folder = QFileInfo(workFolder).isDir() ? workFolder : s.saveFolder;
        setup.confirmOverwrite = false;
        if (!s.graphViewed && !dialogs.confirmYesNo("Graph not viewed! - Save any way?"))
            return;
    } else {
        setup.folder = s.saveFolder;
    }

    const std::optional<SaveDialogResult> chosen = dialogs.saveFile(setup);
    if (!chosen || chosen->fileName.isEmpty())
        return;
    s.saveFolder = QFileInfo(chosen->fileName).absolutePath() + QLatin1Char('/');

    std::string openError;
    {
        BusyCursor busy(dialogs);
        // The name the user typed wins over the entry left selected, or a workbook would replace
        // a text log of many downloads, or a text block break a workbook.
        const TableFormat typed = tableFormatOf(chosen->fileName);
        const int entry = chosen->filterIndex;
        if (typed == TableFormat::None ? entry == kWorkbookEntry || entry == kXlsxEntry
                                       : typed == TableFormat::Workbook) {
            writeWorkbook(source, files, chosen->fileName, storedClasses(source));
            s.dataSaved = true;
            return;
        }
        // A name without extension writes nothing, so nothing counts as saved.
        if (!hasExtension(chosen->fileName))
            return;
        try {
            writeTextLog(source, files, chosen->fileName);
            s.dataSaved = true;
        } catch (const OpenFileError& e) {
            openError = e.what();
        }
    }
    if (!openError.empty())
        dialogs.message(openError);
}

void saveTableToFile(const SaveSource& source, const QString& path, IFileLayer& files,
                     const RequiredClasses* required) {
    switch (tableFormatOf(path)) {
    case TableFormat::TextLog:
        writeTextLog(source, files, path);
        break;
    case TableFormat::Workbook:
        writeWorkbook(source, files, path, required ? *required : storedClasses(source));
        break;
    case TableFormat::None:
        throw AppError(kTableNameRule + toCp1252(path));
    }
    source.session.dataSaved = true;
}

TableFormat tableFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("log"), Qt::CaseInsensitive) == 0)
        return TableFormat::TextLog;
    if (suffix.compare(QLatin1String("xls"), Qt::CaseInsensitive) == 0 ||
        suffix.compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0)
        return TableFormat::Workbook;
    return TableFormat::None;
}
