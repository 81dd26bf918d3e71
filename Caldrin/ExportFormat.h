#pragma once

#include <QString>
#include <QStringList>

// The file formats the app list can be exported to.
enum class ExportFormat { Csv, Json };

namespace ExportFormats {

// The save dialog's filters, CSV first.
QStringList fileFilters();
QString fileFilter(ExportFormat format);
QString suffix(ExportFormat format);
// The format of a file name by its suffix; otherwise the one of the chosen
// filter (CSV when it is none of ours).
ExportFormat forFile(const QString& path, const QString& chosenFilter);
// The path with the format's suffix added when it has none of ours.
QString withSuffix(const QString& path, ExportFormat format);

} // namespace ExportFormats
