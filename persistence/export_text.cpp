#include "persistence/export_text.h"

#include "device/number_format.h"
#include "device/record_fields.h"

#include <QDateTime>
#include <QLocale>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>

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

void setExportedNumber(ExportedSettings &settings, int index, double shown)
{
    const RecordFields::Field &f = RecordFields::all()[index];
    ExportedGenerator &g = settings.generator[f.generator - 1];
    const int ch = (f.channel - 1) % 2; // its first or second channel
    if (f.kind == RecordFields::Kind::Period)
        g.period = shown;
    else if (f.kind == RecordFields::Kind::Pulses)
        g.pulses = static_cast<int>(shown);
    else if (f.kind == RecordFields::Kind::Start)
        g.delay[ch] = shown;
    else if (f.kind == RecordFields::Kind::End)
        g.width[ch] = shown;
}

void setExportedEntry(ExportedSettings &settings, int index, const QString &entryText)
{
    const RecordFields::Field &f = RecordFields::all()[index];
    ExportedGenerator &g = settings.generator[f.generator - 1];
    (f.kind == RecordFields::Kind::TimeBase ? g.timeUnit : g.mode) = entryText;
}

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

namespace {
// The file a chain of symbolic links ends at (which need not exist yet).
QString followLinks(const QString &fileName)
{
    QFileInfo info(fileName);
    for (int depth = 0; depth < 40 && info.isSymbolicLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

ExportWriteResult failure(ExportWriteResult result, const QFileDevice &file, QString &reason)
{
    reason = file.errorString();
    return result;
}

// Unbuffered, so that every error is seen here, with the system's reason;
// a short write is followed by the rest, which then meets the error.
bool writeAll(QFileDevice &file, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// A device or a FIFO stays what it is: the text goes into it as it stands.
ExportWriteResult writeInPlace(const QString &path, const QByteArray &bytes, QString &reason)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(ExportWriteResult::OpenFailed, file, reason);
    return writeAll(file, bytes) ? ExportWriteResult::Written
                                 : failure(ExportWriteResult::WriteFailed, file, reason);
}
} // namespace

ExportWriteResult writeExportFile(const QString &fileName, const QString &text, QString &reason)
{
    const QByteArray bytes = QStringEncoder(QStringConverter::System).encode(text);
    const QString path = followLinks(fileName);
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return writeInPlace(path, bytes, reason);
    QSaveFile file(path);
    // A folder that takes no new file still lets its writable files be rewritten.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(ExportWriteResult::OpenFailed, file, reason);
    if (!writeAll(file, bytes)) {
        reason = file.errorString();
        file.cancelWriting();
        file.commit();
        return ExportWriteResult::WriteFailed;
    }
    return file.commit() ? ExportWriteResult::Written
                         : failure(ExportWriteResult::WriteFailed, file, reason);
}
