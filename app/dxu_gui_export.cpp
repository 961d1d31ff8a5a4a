// Export of the displayed settings to a text file.
#include "app/dxu_gui.h"

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

ExportedGenerator displayedGenerator(QComboBox *source, QDoubleSpinBox *period, QSpinBox *pulses,
                                     QDoubleSpinBox *delay1, QDoubleSpinBox *width1,
                                     QDoubleSpinBox *delay2, QDoubleSpinBox *width2,
                                     QComboBox *timeBase)
{
    ExportedGenerator g;
    g.mode = source->currentText();
    g.period = period->value();
    g.pulses = pulses->value();
    g.delay[0] = delay1->value();
    g.width[0] = width1->value();
    g.delay[1] = delay2->value();
    g.width[1] = width2->value();
    g.timeUnit = timeBase->currentText();
    return g;
}

ExportedSettings displayedSettings(const Ui::dxu_guiClass &ui)
{
    ExportedSettings settings;
    settings.generator[0] =
        displayedGenerator(ui.sourceG1, ui.periodG1, ui.pulsesG1, ui.g1c1start, ui.g1c1stop,
                           ui.g1c2start, ui.g1c2stop, ui.timeUnitG1);
    settings.generator[1] =
        displayedGenerator(ui.sourceG2, ui.periodG2, ui.pulsesG2, ui.g2c1start, ui.g2c1stop,
                           ui.g2c2start, ui.g2c2stop, ui.timeUnitG2);
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
    const QString text = exportText(displayedSettings(ui), deviceIp, QDateTime::currentDateTime(),
                                    QLocale::system());
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
