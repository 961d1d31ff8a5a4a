// The Generator settings record, the display unit and the value slots.
#include "app/dxu_gui.h"

#include "device/record_ranges.h"

namespace {
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
    if (generator == 1)
        return {ui.periodG1, ui.g1c1start, ui.g1c1stop, ui.g1c2start, ui.g1c2stop};
    return {ui.periodG2, ui.g2c1start, ui.g2c1stop, ui.g2c2start, ui.g2c2stop};
}

// Sources, periods, pulse counts and time bases: what a profile save takes
// from the form (it leaves the channels alone).
void dxu_gui::generatorFieldsToRecord() { generatorFieldsInto(record); }

void dxu_gui::generatorFieldsInto(GeneratorSettings &r) const
{
    const int code1 = sourceCodeFromIndexG1(ui.sourceG1->currentIndex());
    if (code1 >= 0)
        r.ts1 = static_cast<std::uint8_t>(code1);
    const int code2 = sourceCodeFromIndexG2(ui.sourceG2->currentIndex());
    if (code2 >= 0)
        r.ts2 = static_cast<std::uint8_t>(code2);
    r.p1 = ui.periodG1->value() * unitFactor;
    r.p2 = ui.periodG2->value() * unitFactor;
    r.pn1 = ui.pulsesG1->value();
    r.pn2 = ui.pulsesG2->value();
    r.freq1 = ui.timeUnitG1->currentIndex();
    r.freq2 = ui.timeUnitG2->currentIndex();
}

GeneratorSettings dxu_gui::fieldsAsRecord() const
{
    GeneratorSettings r = record;
    generatorFieldsInto(r);
    r.ch1_st1 = ui.g1c1start->value() * unitFactor;
    r.ch1_et1 = ui.g1c1stop->value() * unitFactor + r.ch1_st1;
    r.ch2_st1 = ui.g1c2start->value() * unitFactor;
    r.ch2_et1 = ui.g1c2stop->value() * unitFactor + r.ch2_st1;
    r.ch1_st2 = ui.g2c1start->value() * unitFactor;
    r.ch1_et2 = ui.g2c1stop->value() * unitFactor + r.ch1_st2;
    r.ch2_st2 = ui.g2c2start->value() * unitFactor;
    r.ch2_et2 = ui.g2c2stop->value() * unitFactor + r.ch2_st2;
    return r;
}

void dxu_gui::fieldsToRecord()
{
    record = fieldsAsRecord();
    handPreviewToLabel();
}

void dxu_gui::recordToFields()
{
    const int index1 = sourceIndexFromCodeG1(record.ts1);
    if (index1 >= 0)
        ui.sourceG1->setCurrentIndex(index1);
    const int index2 = sourceIndexFromCodeG2(record.ts2);
    if (index2 >= 0)
        ui.sourceG2->setCurrentIndex(index2);
    showTimeBase(ui.timeUnitG1, record.freq1);
    showTimeBase(ui.timeUnitG2, record.freq2);
    ui.periodG1->setValue(record.p1);
    ui.periodG2->setValue(record.p2);
    ui.pulsesG1->setValue(record.pn1);
    ui.pulsesG2->setValue(record.pn2);
    ui.g1c1start->setValue(record.ch1_st1);
    ui.g1c1stop->setValue(record.ch1_et1 - record.ch1_st1);
    ui.g1c2start->setValue(record.ch2_st1);
    ui.g1c2stop->setValue(record.ch2_et1 - record.ch2_st1);
    ui.g2c1start->setValue(record.ch1_st2);
    ui.g2c1stop->setValue(record.ch1_et2 - record.ch1_st2);
    ui.g2c2start->setValue(record.ch2_st2);
    ui.g2c2stop->setValue(record.ch2_et2 - record.ch2_st2);
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
    ui.periodG1->setValue(record.p1 * scale);
    ui.periodG2->setValue(record.p2 * scale);
    ui.g1c1start->setValue(record.ch1_st1 * scale);
    ui.g1c1stop->setValue(record.ch1_et1 * scale - scale * record.ch1_st1);
    ui.g1c2start->setValue(record.ch2_st1 * scale);
    ui.g1c2stop->setValue(record.ch2_et1 * scale - scale * record.ch2_st1);
    ui.g2c1start->setValue(record.ch1_st2 * scale);
    ui.g2c1stop->setValue(record.ch1_et2 * scale - scale * record.ch1_st2);
    ui.g2c2start->setValue(record.ch2_st2 * scale);
    ui.g2c2stop->setValue(record.ch2_et2 * scale - scale * record.ch2_st2);
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
