#include "StartupAlert.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

namespace {

void show(QMessageBox::Icon icon, const QString& text, const QString& details) {
    QMessageBox box(icon, QStringLiteral("Caldrin"), text, QMessageBox::Ok);
    box.setInformativeText(details);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

} // namespace

bool StartupAlert::isDisplayAvailable() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != QLatin1String("offscreen") &&
           platform != QLatin1String("minimal");
}

void StartupAlert::showFatal(const QString& message) {
    if (!isDisplayAvailable())
        return;
    show(QMessageBox::Critical, QStringLiteral("Caldrin could not start."), message);
}

void StartupAlert::showStoreFatal(const QString& cause, const QString& storePath, bool storeWasReplaced) {
    if (!isDisplayAvailable())
        return;
    const QString where = QDir::toNativeSeparators(storePath);
    show(QMessageBox::Critical, QStringLiteral("Caldrin could not open its database and has to stop."),
         cause + QStringLiteral("\n\n") +
             (storeWasReplaced
                  ? QStringLiteral("A new, empty database could not be created at %1 either.").arg(where)
                  : QStringLiteral("Nothing was moved or deleted: the database is still at %1. "
                                   "Once the cause is removed, Caldrin will open it as before.")
                        .arg(where)));
}

void StartupAlert::showReset(const QString& cause, const QString& copyPath) {
    if (!isDisplayAvailable())
        return;
    show(QMessageBox::Warning,
         QStringLiteral("Caldrin found its database damaged and started with an empty one."),
         cause + QStringLiteral("\n\n") +
             (copyPath.isEmpty()
                  ? QStringLiteral("There was nothing to keep of the old database.")
                  : QStringLiteral("A copy of the damaged database, with your favourites and folders, "
                                   "was kept at %1.")
                        .arg(QDir::toNativeSeparators(copyPath))));
}
