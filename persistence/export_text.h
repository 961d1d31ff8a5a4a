#pragma once

#include <QString>

class QDateTime;
class QLocale;

// One generator as the window displays it: the numbers as the boxes show
// them, in the unit the window displays, and the combo entries' texts.
struct ExportedGenerator
{
    QString mode; // start-source entry, e.g. "Software"
    double period = 0;
    int pulses = 0;
    double delay[2] = {0, 0}; // its first and second channel
    double width[2] = {0, 0};
    QString timeUnit; // time-base entry, e.g. "20 ns"
};

struct ExportedSettings
{
    ExportedGenerator generator[2];
};

// Sets record field `index` (RecordFields) in its generator: a number as its
// box shows it (an End as the width), a choice as its combo entry's text.
void setExportedNumber(ExportedSettings &settings, int index, double shown);
void setExportedEntry(ExportedSettings &settings, int index, const QString &entryText);

// The date and time as "Sat Dec 5 2026 01:13:09": day and month names of
// the given language, the numbers in plain digits.
QString exportTimeStamp(const QDateTime &when, const QLocale &language);

// The nineteen lines of the export file, each ended by "\r\n", the first
// naming the instrument's address and the time stamp.
QString exportText(const ExportedSettings &settings, const QString &deviceAddress,
                   const QDateTime &when, const QLocale &language);

enum class ExportWriteResult { Written, OpenFailed, WriteFailed };

// Writes the text in the system's local 8-bit encoding, following symbolic
// links. A regular file is replaced only once everything was written; after
// a failure an existing file keeps its old content and no new file is left
// behind. A file in a folder that takes no new file is rewritten in place, as
// are a device and a FIFO, which stay what they are. After a failure `reason`
// holds the system's word on it.
ExportWriteResult writeExportFile(const QString &fileName, const QString &text, QString &reason);
