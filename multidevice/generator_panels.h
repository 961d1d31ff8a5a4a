#pragma once

#include <QString>

class QDoubleSpinBox;
class QWidget;

// The boxes of the two generator panels, found by the widget names of the
// record fields' table (device/record_fields): the main window's form and the
// slave dialog's panels name them alike. Fields go by their table index.
class GeneratorPanels
{
public:
    explicit GeneratorPanels(const QWidget *form) : form(form) {}

    // A spin box's value; a source combo the code of its entry (-1 for
    // none); a time-base combo its entry's index.
    double value(int index) const;
    // The other way round; a source code or time base without an entry
    // leaves its combo as it is.
    void show(int index, double value) const;
    // A combo's entry text.
    QString entryText(int index) const;
    QDoubleSpinBox *timeBox(int index) const;

private:
    const QWidget *form;
};
