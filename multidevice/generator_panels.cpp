#include "multidevice/generator_panels.h"

#include "device/generator_settings.h"
#include "device/record_fields.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>

namespace {
template <typename Box> Box *box(const QWidget *form, int index)
{
    return form->findChild<Box *>(QLatin1String(RecordFields::all()[index].widget));
}
} // namespace

double GeneratorPanels::value(int index) const
{
    switch (RecordFields::all()[index].kind) {
    case RecordFields::Kind::SourceG1:
        return sourceCodeFromIndexG1(box<QComboBox>(form, index)->currentIndex());
    case RecordFields::Kind::SourceG2:
        return sourceCodeFromIndexG2(box<QComboBox>(form, index)->currentIndex());
    case RecordFields::Kind::TimeBase:
        return box<QComboBox>(form, index)->currentIndex();
    case RecordFields::Kind::Pulses:
        return box<QSpinBox>(form, index)->value();
    case RecordFields::Kind::Period:
    case RecordFields::Kind::Start:
    case RecordFields::Kind::End:
        break;
    }
    return timeBox(index)->value();
}

void GeneratorPanels::show(int index, double value) const
{
    const int whole =
        RecordFields::isWholeNumber(RecordFields::all()[index].kind) ? static_cast<int>(value) : 0;
    switch (RecordFields::all()[index].kind) {
    case RecordFields::Kind::SourceG1:
    case RecordFields::Kind::SourceG2: {
        const bool g1 = RecordFields::all()[index].kind == RecordFields::Kind::SourceG1;
        const int entry = g1 ? sourceIndexFromCodeG1(whole) : sourceIndexFromCodeG2(whole);
        if (entry >= 0)
            box<QComboBox>(form, index)->setCurrentIndex(entry);
        return;
    }
    case RecordFields::Kind::TimeBase:
        showTimeBase(box<QComboBox>(form, index), whole);
        return;
    case RecordFields::Kind::Pulses:
        box<QSpinBox>(form, index)->setValue(whole);
        return;
    case RecordFields::Kind::Period:
    case RecordFields::Kind::Start:
    case RecordFields::Kind::End:
        break;
    }
    timeBox(index)->setValue(value);
}

QString GeneratorPanels::entryText(int index) const
{
    return box<QComboBox>(form, index)->currentText();
}

QDoubleSpinBox *GeneratorPanels::timeBox(int index) const
{
    return box<QDoubleSpinBox>(form, index);
}
