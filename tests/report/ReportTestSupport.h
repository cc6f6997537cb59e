#pragma once

#include "graph/SectionReport.h"
#include "log/InstrumentModel.h"
#include "log/LogRecord.h"
#include "log/LogTable.h"
#include "log/Session.h"

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

// Logs as a download leaves them, and the Debian tools that read a PDF back.
namespace reportfix {

// Seq-Id of the record with the given index (0-based).
using SeqIds = std::function<std::string(int)>;

inline SeqIds sectionsOf(int perSection) {
    return [perSection](int i) { return "S" + std::to_string(i / perSection + 1); };
}

// A log of count records of the model, written row by row as the download writes them: the
// values vary, every seventh record carries a warning status, every 13th an error.
inline void fillLog(LogTable& table, Session& session, const std::string& modelName, int count,
                    const SeqIds& seqId = sectionsOf(50)) {
    const InstrumentModel& model = modelNamed(modelName);
    session.model = &model;
    session.identLine = modelName + " V2.10";
    session.serialLine = "S/N: 4711";
    session.serialNo = "4711";
    session.logCount = count;
    session.logOrigin = "Download complete";
    applyLayout(table, *model.layout, model.valueName);
    table.setRows(count + 1);
    const bool combined = modelName == "RVM600PK";
    for (int i = 0; i < count; ++i) {
        LogRecord r;
        r.combined = combined;
        r.date = "12.03.2026";
        r.time = QStringLiteral("08:%1:%2")
                     .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                     .arg(i % 60, 2, 10, QLatin1Char('0'))
                     .toStdString();
        r.value = std::to_string(120 + (i * 37) % 160);
        r.status = i % 13 == 12 ? "1" : i % 7 == 6 ? "16" : "0";
        if (combined) {
            r.qd = std::to_string(90 + (i * 11) % 80);
            r.qdStatus = "0";
        }
        r.seqId = seqId(i);
        r.seqNo = std::to_string(i + 1);
        writeRecord(table, i + 1, r, model);
    }
}

// Runs a tool of poppler-utils; its standard output, or "<failed>".
inline QString runTool(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("<failed>");
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of each page, as pdftotext lays it out.
inline QStringList pageTexts(const QString& pdf) {
    QStringList pages =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                              QStringLiteral("UTF-8"), pdf, QStringLiteral("-")})
            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The text in the order it was drawn: the lines of a wrapped cell one after the other.
inline QString drawnText(const QString& pdf) {
    return runTool(QStringLiteral("pdftotext"),
                   {QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                    QStringLiteral("-")});
}

inline int pdfPageCount(const QString& pdf) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                                          .match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The fonts of the document that are not embedded, by name; "<failed>" when none were listed.
inline QStringList fontsNotEmbedded(const QString& pdf) {
    const QStringList lines =
        runTool(QStringLiteral("pdffonts"), {pdf}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() < 3)
        return {QStringLiteral("<failed>")};
    QStringList missing;
    // name, type (one or two words), encoding, emb, sub, uni, object ID
    const QRegularExpression row(QStringLiteral("^(\\S+)\\s+.*\\s(yes|no)\\s+(yes|no)\\s+(yes|no)"
                                                "\\s+\\d+\\s+\\d+\\s*$"));
    for (int i = 2; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = row.match(lines[i]);
        if (!m.hasMatch() || m.captured(2) != QLatin1String("yes"))
            missing << lines[i];
    }
    return missing;
}

// The rows of the section CSV as patterns of a report line: the fields from the given one on, in
// order with blanks between, the verdict in words.
inline QStringList sectionRowPatterns(const SectionReport& report, size_t firstField = 0) {
    QStringList patterns;
    for (const SeriesSections& series : report) {
        for (const SectionStats& row : series.rows) {
            QStringList fields;
            std::vector<std::string> texts = sectionRowTexts(series, row, ".");
            texts.back() = row.pass ? "pass" : "fail";
            for (size_t i = firstField; i < texts.size(); ++i)
                if (!texts[i].empty())
                    fields << QRegularExpression::escape(QString::fromStdString(texts[i]));
            patterns << fields.join(QStringLiteral("\\s+"));
        }
    }
    return patterns;
}

} // namespace reportfix
