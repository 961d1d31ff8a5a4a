#include "persistence/export_text.h"

#include "device/number_format.h"

#include <QDateTime>
#include <QLocale>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>

namespace {
const QLatin1String kLineEnd("\r\n");

QString line(const char *label, const QString &value)
{
    return QLatin1String(label) + value + kLineEnd;
}

// Channels are numbered across both generators: Ch1, Ch2, then Ch3, Ch4.
QString generatorLines(const ExportedGenerator &g, int generatorNumber)
{
    QString text = QStringLiteral("Genarator#%1:").arg(generatorNumber) + kLineEnd;
    text += line("Mode: ", g.mode);
    text += line("Period: ", formatGeneral(g.period));
    text += line("Pulses: ", QString::number(g.pulses));
    for (int ch = 0; ch < 2; ++ch) {
        const int channelNumber = 2 * (generatorNumber - 1) + ch + 1;
        text += QStringLiteral("Ch%1 Delay: ").arg(channelNumber) + formatGeneral(g.delay[ch]) +
                kLineEnd;
        text += QStringLiteral("Ch%1 Width: ").arg(channelNumber) + formatGeneral(g.width[ch]) +
                kLineEnd;
    }
    text += line("Time Unit: ", g.timeUnit);
    return text;
}
} // namespace

QString exportTimeStamp(const QDateTime &when, const QLocale &language)
{
    const QDate date = when.date();
    const QString dateText = QStringLiteral("%1 %2 %3 %4")
                                 .arg(language.dayName(date.dayOfWeek(), QLocale::ShortFormat),
                                      language.monthName(date.month(), QLocale::ShortFormat),
                                      QString::number(date.day()), QString::number(date.year()));
    return dateText + QLatin1Char(' ') + when.time().toString(QStringLiteral("HH:mm:ss"));
}

QString exportText(const ExportedSettings &settings, const QString &deviceAddress,
                   const QDateTime &when, const QLocale &language)
{
    // Both placeholders in one arg(): an address typed with "%2" in it stays as typed.
    QString text = QStringLiteral("DXU Settings: %1 (%2)")
                       .arg(deviceAddress, exportTimeStamp(when, language)) +
                   kLineEnd;
    text += generatorLines(settings.generator[0], 1);
    text += generatorLines(settings.generator[1], 2);
    return text;
}

ExportWriteResult writeExportFile(const QString &fileName, const QString &text)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return ExportWriteResult::OpenFailed;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::System);
    out << text;
    out.flush();
    if (out.status() != QTextStream::Ok) {
        file.cancelWriting();
        file.commit();
        return ExportWriteResult::WriteFailed;
    }
    return file.commit() ? ExportWriteResult::Written : ExportWriteResult::WriteFailed;
}
