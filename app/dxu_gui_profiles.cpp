// Named profiles in the per-user store, listed in the Profiles menu.
#include "app/dxu_gui.h"

#include "device/counter_range.h"
#include "device/record_fields.h"
#include "multidevice/generator_panels.h"
#include "persistence/profile_names.h"
#include "persistence/profile_record.h"
#include "persistence/profile_store.h"
#include "persistence/profile_value.h"

#include <QInputDialog>
#include <QMessageBox>

#include <utility>

namespace {
using RecordFields::Kind;

const int kMaxProfiles = 10;
const char *const kProfileIcon = ":/dxu_gui/1408498221_script.png";
// The entry that counts the profiles the menu does not list.
const char *const kMoreEntryName = "moreProfilesEntry";

QAction *addProfileEntry(QMenu *menu, QList<QAction *> &entries, const QString &name)
{
    QAction *entry = menu->addAction(QIcon(QLatin1String(kProfileIcon)), name);
    entries.append(entry);
    return entry;
}

void dropProfileEntry(QMenu *menu, QList<QAction *> &entries, int index)
{
    QAction *entry = entries.takeAt(index);
    menu->removeAction(entry);
    entry->deleteLater();
}

// Asks for a name until the operator gives one the store can keep; an empty
// string when the operator cancels.
QString askProfileName(QWidget *parent)
{
    for (;;) {
        bool accepted = false;
        const QString name = QInputDialog::getText(parent, dxu_gui::tr("Set Profile Name"),
                                                   dxu_gui::tr("Profile Name:"), QLineEdit::Normal,
                                                   QString(), &accepted);
        if (!accepted)
            return QString();
        if (name.isEmpty())
            QMessageBox::warning(parent, dxu_gui::tr("Empty name"),
                                 dxu_gui::tr("Profile name should not be empty!"));
        else if (ProfileNames::hasForbiddenCharacter(name))
            QMessageBox::warning(parent, dxu_gui::tr("Wrong name"),
                                 dxu_gui::tr("Profile name should not contain \"/\" or \"\\\"!"));
        else
            return name;
    }
}

// Every entry of that name goes once the operator agrees to overwrite it;
// false when the operator keeps the old profile.
bool makeRoomForName(QWidget *parent, QMenu *menu, QList<QAction *> &entries, const QString &name)
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i)->text() != name)
            continue;
        const auto answer = QMessageBox::question(
            parent, dxu_gui::tr("DXU Profile"),
            dxu_gui::tr("Profile with name <b>%1</b> is already exist!<br>Overwrite it?")
                .arg(name.toHtmlEscaped()),
            QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return false;
        dropProfileEntry(menu, entries, i);
    }
    return true;
}

// Sources, periods, counts and time bases from the record; the channels as
// the form shows them (delay and width), in milliseconds.
ProfileValue profileOf(const GeneratorSettings &record, QWidget *form, double unitFactor)
{
    ProfileValue profile = profileFromRecord(record);
    const GeneratorPanels panels(form);
    for (int i : RecordFields::inOrder({{Kind::Start, Kind::End}}))
        setProfileNumber(profile, i, panels.value(i) * unitFactor);
    return profile;
}

// Time bases first (the boxes' steps follow them), the sources last; the
// channels as the profile holds them, delay and width.
void showProfileInForm(const ProfileValue &profile, const GeneratorSettings &record, QWidget *form)
{
    const GeneratorPanels panels(form);
    for (int i : RecordFields::inOrder({{Kind::TimeBase},
                                        {Kind::Period},
                                        {Kind::Pulses},
                                        {Kind::Start, Kind::End},
                                        {Kind::SourceG1, Kind::SourceG2}})) {
        const Kind kind = RecordFields::all()[i].kind;
        // A code without an entry (3, 5, anything unknown) leaves its combo.
        panels.show(i, kind == Kind::Start || kind == Kind::End ? profileNumber(profile, i)
                                                                : RecordFields::value(record, i));
    }
}
} // namespace

void dxu_gui::addProfile()
{
    const QString name = askProfileName(this);
    if (name.isEmpty())
        return;
    const QString full = tr("Only 10 DXU profiles could be created!");
    if (profileActions.size() >= kMaxProfiles) {
        QMessageBox::information(this, tr("DXU"), full);
        return;
    }
    if (!makeRoomForName(this, ui.menuProfiles, profileActions, name))
        return;

    generatorFieldsToRecord();
    const QString value = formatProfileValue(profileOf(record, ui.centralWidget, unitFactor));
    // The store counts again under its lock: another program may have saved.
    const ProfileStore::Outcome saved = ProfileStore::save(name, value, kMaxProfiles, false);
    if (saved.status == ProfileStore::Status::Full)
        QMessageBox::information(this, tr("DXU"), full);
    else if (saved.status != ProfileStore::Status::Ok)
        QMessageBox::warning(this, tr("DXU Profile"),
                             tr("Profile <b>%1</b> could not be saved: %2.")
                                 .arg(name.toHtmlEscaped(), saved.problem.toHtmlEscaped()));
    else
        addProfileEntry(ui.menuProfiles, profileActions, name);
}

void dxu_gui::deleteProfile()
{
    if (profileActions.isEmpty()) {
        QMessageBox::warning(this, tr("Profiles"), tr("Nothing to delete!"));
        return;
    }
    QStringList names;
    for (const QAction *entry : std::as_const(profileActions))
        names << entry->text();
    bool accepted = false;
    const QString chosen =
        QInputDialog::getItem(this, tr("DXU"), tr("Profile:"), names, 0, false, &accepted);
    if (!accepted || chosen.isEmpty())
        return;

    const int index = names.indexOf(chosen);
    if (index < 0)
        return;
    const ProfileStore::Outcome removed = ProfileStore::remove(chosen);
    if (removed.status == ProfileStore::Status::Ok)
        dropProfileEntry(ui.menuProfiles, profileActions, index);
    else
        QMessageBox::warning(this, tr("DXU Profile"),
                             tr("Profile <b>%1</b> could not be deleted: %2.")
                                 .arg(chosen.toHtmlEscaped(), removed.problem.toHtmlEscaped()));
}

void dxu_gui::loadProfileList()
{
    while (!profileActions.isEmpty())
        dropProfileEntry(ui.menuProfiles, profileActions, 0);
    delete ui.menuProfiles->findChild<QAction *>(QLatin1String(kMoreEntryName));
    // Read anew each time: another program may have changed the store since.
    const ProfileStore::Contents store = ProfileStore::load();
    if (store.status != ProfileStore::Status::Ok) {
        QMessageBox::critical(this, tr("Errorr"), tr("Error 5"));
        return;
    }
    // The panel's limit governs what the menu offers; profiles written by
    // other means beyond it are counted, not listed, so that a crowded
    // store keeps the menu quick and on the screen.
    for (const QString &name : store.names.mid(0, kMaxProfiles)) {
        QAction *entry = addProfileEntry(ui.menuProfiles, profileActions, name);
        entry->setToolTip(tr("Click to load <b>%1</b>").arg(tr("What?")));
    }
    if (store.names.size() > kMaxProfiles) {
        QAction *more = ui.menuProfiles->addAction(
            tr("%1 more profiles not shown").arg(store.names.size() - kMaxProfiles));
        more->setObjectName(QLatin1String(kMoreEntryName));
        more->setEnabled(false);
    }
}

void dxu_gui::loadProfileDXUSettings(QAction *action)
{
    // The menu reports its own two actions through the same signal.
    if (action->text() == ui.actionAdd_Profile->text() ||
        action->text() == ui.actionDelete_Profile->text())
        return;
    const ProfileStore::Contents store = ProfileStore::load();
    if (store.status != ProfileStore::Status::Ok) {
        QMessageBox::warning(
            this, tr("DXU Profile"),
            tr("Profile <b>%1</b> could not be loaded: %2.")
                .arg(action->text().toHtmlEscaped(), store.problem.toHtmlEscaped()));
        return;
    }
    const ProfileValue profile = parseProfileValue(
        store.values.value(action->text(), QLatin1String(ProfileFormat::DefaultValue)));
    timeUnitMilli(true);
    record = recordFromProfile(profile);

    // Filling the form must not send by itself: sourceG1() below sends the
    // reset and the whole settings once.
    disconnectSourceCombos();
    showProfileInForm(profile, record, ui.centralWidget);
    // Loading programs the instrument; what its time base cannot count is
    // left in the form for the operator to mend, and nothing goes out.
    const CounterRange::Problem problem = CounterRange::firstProblem(fieldsAsRecord());
    if (problem.text.isEmpty())
        sourceG1();
    else
        QMessageBox::warning(this, tr("DXU Profile"),
                             tr("Profile <b>%1</b> is shown in the panel, but nothing was sent: "
                                "%2.")
                                 .arg(action->text().toHtmlEscaped(), problem.text));
    connectSourceCombos();
}
