#include "widgets/accessible_texts.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleWidget>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

const char *const kSpokenName = "dxuSpokenName";

// The time-base tool tip is a table; read aloud, its markup would be noise.
const char *const kTimeBaseTable = QT_TRANSLATE_NOOP(
    "GeneratorPanel", "Time base 20, 40, 80 or 160 ns: maximum period 1342, 2684, 5368 or "
                      "10736 ms; minimum length 4e-5, 8e-5, 1.6e-4 or 3.2e-4 ms; at most 131072 "
                      "pulses.");

const AccessibleText kGeneratorPanels[] = {
    {"sourceG1", QT_TRANSLATE_NOOP("GeneratorPanel", "Generator 1 start source")},
    {"periodG1", QT_TRANSLATE_NOOP("GeneratorPanel", "Generator 1 period")},
    {"pulsesG1", QT_TRANSLATE_NOOP("GeneratorPanel", "Generator 1 pulses")},
    {"g1c1start", QT_TRANSLATE_NOOP("GeneratorPanel", "Channel 1 delay")},
    {"g1c1stop", QT_TRANSLATE_NOOP("GeneratorPanel", "Channel 1 width")},
    {"g1c2start", QT_TRANSLATE_NOOP("GeneratorPanel", "Channel 2 delay")},
    {"g1c2stop", QT_TRANSLATE_NOOP("GeneratorPanel", "Channel 2 width")},
    {"timeUnitG1", QT_TRANSLATE_NOOP("GeneratorPanel", "Generator 1 time base"), kTimeBaseTable},
    {"sourceG2", QT_TRANSLATE_NOOP("GeneratorPanel", "Generator 2 start source")},
    {"periodG2", QT_TRANSLATE_NOOP("GeneratorPanel", "Generator 2 period")},
    {"pulsesG2", QT_TRANSLATE_NOOP("GeneratorPanel", "Generator 2 pulses")},
    {"g2c1start", QT_TRANSLATE_NOOP("GeneratorPanel", "Channel 3 delay")},
    {"g2c1stop", QT_TRANSLATE_NOOP("GeneratorPanel", "Channel 3 width")},
    {"g2c2start", QT_TRANSLATE_NOOP("GeneratorPanel", "Channel 4 delay")},
    {"g2c2stop", QT_TRANSLATE_NOOP("GeneratorPanel", "Channel 4 width")},
    {"timeUnitG2", QT_TRANSLATE_NOOP("GeneratorPanel", "Generator 2 time base"), kTimeBaseTable},
};

// A menu's entry in the menu bar, as Qt's own one but for its name: Qt names
// the entry after the visible title, and a QAction has no accessible name.
class SpokenMenuEntry : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    explicit SpokenMenuEntry(QAction *action) : action(action) {}

    bool isValid() const override { return action && owner(); }
    QObject *object() const override { return action; }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(owner());
    }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 && action->menu() ? QAccessible::queryAccessibleInterface(action->menu())
                                            : nullptr;
    }
    int childCount() const override { return action->menu() ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && action->menu() && child->object() == action->menu() ? 0 : -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        QAccessibleInterface *menu = child(0);
        return menu && menu->rect().contains(x, y) ? menu : nullptr;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? action->property(kSpokenName).toString() : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override
    {
        auto *bar = qobject_cast<QMenuBar *>(owner());
        return bar ? bar->actionGeometry(action).translated(bar->mapToGlobal(QPoint(0, 0)))
                   : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        auto *bar = qobject_cast<QMenuBar *>(owner());
        state.invisible = !action->isVisible() || !bar || !bar->isVisible();
        state.disabled = !action->isEnabled();
        state.focused = bar && bar->activeAction() == action;
        return state;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface
                   ? static_cast<QAccessibleActionInterface *>(this)
                   : nullptr;
    }
    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString &name) override
    {
        auto *bar = qobject_cast<QMenuBar *>(owner());
        if (!bar || !action->isEnabled() || name != showMenuAction())
            return;
        if (action->menu() && action->menu()->isVisible())
            action->menu()->hide();
        else
            bar->setActiveAction(action);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QWidget *owner() const
    {
        if (!action)
            return nullptr;
        for (QObject *holder : action->associatedObjects())
            if (auto *bar = qobject_cast<QMenuBar *>(holder))
                return bar;
        return nullptr;
    }

    QPointer<QAction> action;
};

// A combo box as Qt's own one, but named by its accessible name: Qt on Unix
// names a combo box after its current entry (leaving its name to a label
// relation our forms do not have), so that two boxes showing "Software"
// sound alike. On Windows Qt's own would say the same as this one.
class NamedComboBox : public QAccessibleWidget
{
public:
    explicit NamedComboBox(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int childCount() const override { return 1; }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->currentText();
        if (t == QAccessible::Accelerator)
            return QKeySequence(Qt::Key_Down).toString(QKeySequence::NativeText);
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = box()->view()->isVisible();
        return state;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name != showMenuAction() && name != pressAction())
            return QAccessibleWidget::doAction(name);
        if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }

private:
    QComboBox *box() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *namedInterface(const QString &className, QObject *object)
{
    auto *action = qobject_cast<QAction *>(object);
    if (className == QLatin1String("QAction") && action && action->property(kSpokenName).isValid())
        return new SpokenMenuEntry(action);
    auto *box = qobject_cast<QComboBox *>(object);
    if (className == QLatin1String("QComboBox") && box && !box->isEditable() &&
        !box->accessibleName().isEmpty())
        return new NamedComboBox(box);
    return nullptr;
}

// The interfaces above replace Qt's own for the objects they serve, also
// one made before the name was given (a screen reader asks as the form is
// built): it is dropped, and the factory makes the new one.
void renewInterface(QObject *object)
{
    static const bool installed = [] {
        QAccessible::installFactory(namedInterface);
        return true;
    }();
    Q_UNUSED(installed);
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
    if (face && !dynamic_cast<NamedComboBox *>(face) && !dynamic_cast<SpokenMenuEntry *>(face)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(face));
        QAccessible::queryAccessibleInterface(object);
    }
}

} // namespace

void setAccessibleTexts(QWidget *window, const char *context, const AccessibleText *table,
                        std::size_t count)
{
    for (const AccessibleText *entry = table; entry != table + count; ++entry) {
        auto *control = window->findChild<QWidget *>(QLatin1String(entry->object));
        if (!control) {
            qWarning("No control %s to name in %s", entry->object, context);
            continue;
        }
        control->setAccessibleName(QCoreApplication::translate(context, entry->name));
        if (qobject_cast<QComboBox *>(control))
            renewInterface(control);
        if (entry->description)
            control->setAccessibleDescription(
                QCoreApplication::translate(context, entry->description));
    }
}

void nameGeneratorPanels(QWidget *window)
{
    setAccessibleTexts(window, "GeneratorPanel", kGeneratorPanels);
}

void setAccessibleMenuName(QMenu *menu, const QString &name)
{
    menu->setAccessibleName(name);
    menu->menuAction()->setProperty(kSpokenName, name);
    renewInterface(menu->menuAction());
}
