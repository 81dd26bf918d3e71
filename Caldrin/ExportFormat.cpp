#include "ExportFormat.h"

QStringList ExportFormats::fileFilters() {
    return {fileFilter(ExportFormat::Csv), fileFilter(ExportFormat::Json)};
}

QString ExportFormats::fileFilter(ExportFormat format) {
    return format == ExportFormat::Json ? QStringLiteral("JSON (*.json)") : QStringLiteral("CSV (*.csv)");
}

QString ExportFormats::suffix(ExportFormat format) {
    return format == ExportFormat::Json ? QStringLiteral(".json") : QStringLiteral(".csv");
}

ExportFormat ExportFormats::forFile(const QString& path, const QString& chosenFilter) {
    for (const ExportFormat format : {ExportFormat::Csv, ExportFormat::Json}) {
        if (path.endsWith(suffix(format), Qt::CaseInsensitive))
            return format;
    }
    return chosenFilter == fileFilter(ExportFormat::Json) ? ExportFormat::Json : ExportFormat::Csv;
}

QString ExportFormats::withSuffix(const QString& path, ExportFormat format) {
    for (const ExportFormat known : {ExportFormat::Csv, ExportFormat::Json}) {
        if (path.endsWith(suffix(known), Qt::CaseInsensitive))
            return path;
    }
    return path + suffix(format);
}
