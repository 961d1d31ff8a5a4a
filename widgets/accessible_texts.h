#pragma once

#include <QString>

#include <cstddef>

class QMenu;
class QWidget;

// What a screen reader says for one control of a window's form: its name,
// unique in the window, and a plain-text description where the tool tip is
// none (a rich-text table); without one, the tool tip is the description.
struct AccessibleText
{
    const char *object; // the control's object name
    const char *name;
    const char *description = nullptr;
};

// Gives the controls of the table their texts, translated in `context`.
void setAccessibleTexts(QWidget *window, const char *context, const AccessibleText *table,
                        std::size_t count);
template <std::size_t N>
void setAccessibleTexts(QWidget *window, const char *context, const AccessibleText (&table)[N])
{
    setAccessibleTexts(window, context, table, N);
}

// The sixteen boxes of the two generator panels, alike in the main window and
// the slave dialog ("Generator 1 period", "Channel 3 delay", …).
void nameGeneratorPanels(QWidget *window);

// The name the menu and its entry in the menu bar have for assistive tools,
// when the visible title says too little (a bare "?").
void setAccessibleMenuName(QMenu *menu, const QString &name);
