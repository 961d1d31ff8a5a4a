// Export of the displayed settings to a text file.
#include "app/dxu_gui.h"

#include "device/record_fields.h"
#include "multidevice/generator_panels.h"
#include "persistence/export_text.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLocale>
#include <QStatusBar>

namespace {
const int kWarningMs = 4000;
const char *const kWarningStyle =
    "QStatusBar{padding-left:8px;background:rgba(0,0,0,0);color:rgb(255,0,0);font-weight:bold;}";

QString exportStartDirectory()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\");
#else
    return QDir::homePath();
#endif
}

ExportedSettings displayedSettings(QWidget *form)
{
    const GeneratorPanels panels(form);
    ExportedSettings settings;
    for (int i = 0; i < RecordFields::Count; ++i)
        if (RecordFields::isChoice(RecordFields::all()[i].kind))
            setExportedEntry(settings, i, panels.entryText(i));
        else
            setExportedNumber(settings, i, panels.value(i));
    return settings;
}

// Red and bold for as long as the warning stands; the next message, or the
// warning's time-out, brings the plain style back.
void showStatusWarning(QStatusBar *bar, const QString &warning)
{
    // A warning still standing hands over to this one: its watch must not
    // take the new warning for the next message.
    const QString watchName = QStringLiteral("statusWarningWatch");
    delete bar->findChild<QObject *>(watchName, Qt::FindDirectChildrenOnly);
    bar->setStyleSheet(QLatin1String(kWarningStyle));
    bar->showMessage(warning, kWarningMs);
    auto *watch = new QObject(bar);
    watch->setObjectName(watchName);
    QObject::connect(bar, &QStatusBar::messageChanged, watch,
                     [bar, watch, warning](const QString &message) {
                         if (message == warning)
                             return;
                         bar->setStyleSheet(QString());
                         watch->deleteLater();
                     });
}
} // namespace

void dxu_gui::exportDXUSettings()
{
    const QString chosen = QFileDialog::getSaveFileName(
        this, tr("Select file to export DXU settings"), exportStartDirectory(), tr("*.txt"));
    if (chosen.isEmpty())
        return; // cancelled: nothing to write, nothing to report
    const QString text = exportText(displayedSettings(ui.centralWidget), deviceIp,
                                    QDateTime::currentDateTime(), QLocale::system());
    const QString fileName = QDir::toNativeSeparators(chosen);
    QString reason;
    const ExportWriteResult result = writeExportFile(fileName, text, reason);
    if (result == ExportWriteResult::Written)
        return;
    const QString sentence = result == ExportWriteResult::OpenFailed
                                 ? tr("Warning: Can't open file for writing.")
                                 : tr("Warning: Can't write file.");
    showStatusWarning(statusBar(),
                      sentence + QLatin1Char(' ') + tr("%1: %2").arg(fileName, reason));
}
