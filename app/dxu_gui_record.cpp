// The Generator settings record, the display unit and the value slots.
#include "app/dxu_gui.h"

#include "device/record_fields.h"
#include "device/record_ranges.h"
#include "multidevice/generator_panels.h"

namespace {
using RecordFields::Kind;

// Milliseconds per displayed microsecond. Exact in double (not 0.001 rounded
// to single precision, which made 1,000,000 us go out as 50000002 ticks), so
// the ticks sent are the count of the value shown.
const double kMicroFactor = 0.001;

// One tick of time base index i in milliseconds (20 ns << i), computed in
// single precision as the spin boxes' steps always were.
double tickMs(int timeBaseIndex)
{
    return static_cast<double>(static_cast<float>(static_cast<float>(1 << timeBaseIndex) * 2e-5));
}

double tickUs(int timeBaseIndex)
{
    return static_cast<double>(static_cast<float>(static_cast<float>(1 << timeBaseIndex) * 0.02));
}
} // namespace

QList<QDoubleSpinBox *> dxu_gui::timeBoxes(int generator) const
{
    const GeneratorPanels panels(ui.centralWidget);
    QList<QDoubleSpinBox *> boxes;
    for (int i : RecordFields::inOrder({{Kind::Period, Kind::Start, Kind::End}}))
        if (RecordFields::all()[i].generator == generator)
            boxes << panels.timeBox(i);
    return boxes;
}

// Sources, periods, pulse counts and time bases: what a profile save takes
// from the form (it leaves the channels alone).
void dxu_gui::generatorFieldsToRecord() { generatorFieldsInto(record); }

void dxu_gui::generatorFieldsInto(GeneratorSettings &r) const
{
    const GeneratorPanels panels(ui.centralWidget);
    for (int i : RecordFields::inOrder(
             {{Kind::SourceG1, Kind::SourceG2, Kind::Period, Kind::Pulses, Kind::TimeBase}})) {
        const Kind kind = RecordFields::all()[i].kind;
        const double value = panels.value(i);
        // A source combo without an entry leaves its code; a time base is taken as it is.
        if (value >= 0 || !(kind == Kind::SourceG1 || kind == Kind::SourceG2))
            RecordFields::setValue(r, i, kind == Kind::Period ? value * unitFactor : value);
    }
}

GeneratorSettings dxu_gui::fieldsAsRecord() const
{
    GeneratorSettings r = record;
    generatorFieldsInto(r);
    // An end box holds the width after its start.
    const GeneratorPanels panels(ui.centralWidget);
    for (int i : RecordFields::inOrder({{Kind::Start, Kind::End}})) {
        const double ms = panels.value(i) * unitFactor;
        const bool end = RecordFields::all()[i].kind == Kind::End;
        RecordFields::setValue(r, i, end ? ms + RecordFields::value(r, i - 1) : ms);
    }
    return r;
}

void dxu_gui::fieldsToRecord()
{
    record = fieldsAsRecord();
    handPreviewToLabel();
}

void dxu_gui::recordToFields()
{
    const GeneratorPanels panels(ui.centralWidget);
    for (int i : RecordFields::inOrder({{Kind::SourceG1, Kind::SourceG2},
                                        {Kind::TimeBase},
                                        {Kind::Period},
                                        {Kind::Pulses},
                                        {Kind::Start, Kind::End}}))
        panels.show(i, RecordFields::shown(record, i));
    handPreviewToLabel();
}

void dxu_gui::setTimeBoxDecimals(int decimals)
{
    for (int generator : {1, 2})
        for (QDoubleSpinBox *box : timeBoxes(generator))
            box->setDecimals(decimals);
}

void dxu_gui::setTimeBoxMaximum(double maximum)
{
    for (int generator : {1, 2})
        for (QDoubleSpinBox *box : timeBoxes(generator))
            box->setMaximum(maximum);
}

// Periods, starts and widths (end - start) of the record, times scale.
void dxu_gui::fillTimeBoxesFromRecord(double scale)
{
    const GeneratorPanels panels(ui.centralWidget);
    for (int i : RecordFields::inOrder({{Kind::Period}, {Kind::Start, Kind::End}})) {
        const double scaled = RecordFields::value(record, i) * scale;
        const bool end = RecordFields::all()[i].kind == Kind::End;
        panels.show(i, end ? scaled - scale * RecordFields::value(record, i - 1) : scaled);
    }
}

// Each generator's time boxes step by one tick of its time base, in the
// displayed unit.
void dxu_gui::setTimeBoxSteps()
{
    const bool micro = unitFactor != 1.0;
    const int indexes[2] = {ui.timeUnitG1->currentIndex(), ui.timeUnitG2->currentIndex()};
    for (int generator : {1, 2}) {
        const int i = qMax(0, indexes[generator - 1]);
        const double step = micro ? tickUs(i) : tickMs(i);
        for (QDoubleSpinBox *box : timeBoxes(generator))
            box->setSingleStep(step);
    }
}

void dxu_gui::timeUnitMilli(bool on)
{
    if (!on)
        return;
    setTimeBoxDecimals(5);
    ui.actionMicroseconds->setChecked(false);
    ui.label->setText(tr("Period, ms:"));
    ui.label_18->setText(tr("Period, ms:"));
    ui.groupCh1->setTitle(tr("Ch1, ms"));
    ui.groupCh2->setTitle(tr("Ch2, ms"));
    ui.groupCh3->setTitle(tr("Ch3, ms"));
    ui.groupCh4->setTitle(tr("Ch4, ms"));
    setTimeBoxMaximum(RecordRanges::MaxTimeMs);
    fillTimeBoxesFromRecord(1.0);
    unitFactor = 1.0;
    setTimeBoxSteps();
}

void dxu_gui::timeUnitMicro(bool on)
{
    if (!on)
        return;
    ui.actionMiliseconds->setChecked(false);
    ui.label->setText(tr("Period, us:"));
    ui.label_18->setText(tr("Period, us:"));
    ui.groupCh1->setTitle(tr("Ch1, us"));
    ui.groupCh2->setTitle(tr("Ch2, us"));
    ui.groupCh3->setTitle(tr("Ch3, us"));
    ui.groupCh4->setTitle(tr("Ch4, us"));
    setTimeBoxMaximum(RecordRanges::MaxTimeMs * 1000);
    setTimeBoxDecimals(2);
    fillTimeBoxesFromRecord(1000.0);
    unitFactor = kMicroFactor;
    setTimeBoxSteps();
}

// The steps of both generators, each from its own time base:
// float(float(2^i) * 2e-5 / unitFactor).
void dxu_gui::timeUnitG1()
{
    record.freq1 = ui.timeUnitG1->currentIndex();
    for (int generator : {1, 2}) {
        const int i =
            qMax(0, generator == 1 ? ui.timeUnitG1->currentIndex() : ui.timeUnitG2->currentIndex());
        const double step =
            static_cast<double>(static_cast<float>(static_cast<float>(1 << i) * 2e-5 / unitFactor));
        for (QDoubleSpinBox *box : timeBoxes(generator))
            box->setSingleStep(step);
    }
}

void dxu_gui::timeUnitG2()
{
    record.freq2 = ui.timeUnitG2->currentIndex();
    // Same recomputation as for generator 1; freq1 is rewritten unchanged.
    timeUnitG1();
}

// Every edit previews its own generator and redraws.
void dxu_gui::valueEdited(bool generator1)
{
    (generator1 ? ui.showG1 : ui.showG2)->setChecked(true);
    updatePreviewGeometry();
}

void dxu_gui::startG1C1() { valueEdited(true); }
void dxu_gui::stopG1C1() { valueEdited(true); }
void dxu_gui::startG1C2() { valueEdited(true); }
void dxu_gui::stopG1C2() { valueEdited(true); }
void dxu_gui::startG2C1() { valueEdited(false); }
void dxu_gui::stopG2C1() { valueEdited(false); }
void dxu_gui::startG2C2() { valueEdited(false); }
void dxu_gui::stopG2C2() { valueEdited(false); }
void dxu_gui::periodG2() { valueEdited(false); }

void dxu_gui::periodG1()
{
    valueEdited(true);
    updatePreviewGeometry();
    ui.dl->repaint();
}

void dxu_gui::pulsesG1()
{
    ui.showG1->setChecked(true);
    handPreviewToLabel();
    updatePreviewGeometry();
}

void dxu_gui::pulsesG2()
{
    ui.showG2->setChecked(true);
    handPreviewToLabel();
    updatePreviewGeometry();
}
