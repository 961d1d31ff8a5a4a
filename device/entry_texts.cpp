#include "device/entry_texts.h"

#include "device/generator_settings.h"

namespace {
const char *const kSourcesG1[] = {"Software", "Ext. Sync", "Ext.Trig. Rising Edge",
                                  "Ext.Trig. Lowering Edge", "Ext.Trig. High Level"};
const char *const kSourcesG2[] = {"Software", "Gen1 Slave"};
const char *const kTimeBases[] = {"20 ns", "40 ns", "80 ns", "160 ns"};
} // namespace

QString sourceEntryText(int generator, int code)
{
    const int index = generator == 1 ? sourceIndexFromCodeG1(code) : sourceIndexFromCodeG2(code);
    if (index < 0)
        return QString();
    return QLatin1String(generator == 1 ? kSourcesG1[index] : kSourcesG2[index]);
}

QString timeBaseEntryText(int index)
{
    return index >= 0 && index < 4 ? QLatin1String(kTimeBases[index]) : QString();
}
