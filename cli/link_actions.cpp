#include "cli/link_actions.h"

#include "cli/assignments.h"
#include "device/counter_range.h"
#include "device/record_ranges.h"
#include "persistence/profile_record.h"
#include "persistence/profile_store.h"
#include "persistence/profile_value.h"

namespace LinkActions {

namespace {

// The panel's limit on profiles it creates.
const int kMaxProfiles = 10;

Result refused(const QString &why) { return {Status::Refused, why, {}}; }
Result failed(const QString &why) { return {Status::Failed, why, {}}; }

// A value the instrument held already is its own fault; one the caller
// brought in is refused.
Result checkToSend(const GeneratorSettings &record, const GeneratorSettings &asRead)
{
    const QString problem = sendProblem(record);
    if (problem.isEmpty())
        return {};
    if (problem == sendProblem(asRead))
        return failed(QStringLiteral("the DXU holds %1; nothing sent").arg(problem));
    return refused(problem);
}

} // namespace

QString sendProblem(const GeneratorSettings &record)
{
    const QString problem = RecordRanges::firstProblem(record);
    if (!problem.isEmpty())
        return problem;
    const CounterRange::Problem counter = CounterRange::firstProblem(record);
    return counter.key.isEmpty() ? QString() : counter.key + QStringLiteral(": ") + counter.text;
}

Result readState(InstrumentLink &link, InstrumentState &state)
{
    if (!link.readState(state))
        return failed(link.failure());
    QString problem = RecordRanges::firstChoiceProblem(state.record);
    if (problem.isEmpty() && state.thresholdVolts &&
        !RecordRanges::allowsThreshold(*state.thresholdVolts))
        problem = QStringLiteral("threshold=%1 is out of range (%2)")
                      .arg(*state.thresholdVolts)
                      .arg(RecordRanges::thresholdRangeText());
    if (!problem.isEmpty())
        return failed(QStringLiteral("the DXU's settings are not plausible: %1").arg(problem));
    return {};
}

Result setValues(InstrumentLink &link, bool ethernet, const Assignments &assignments)
{
    InstrumentState state;
    Result result = readState(link, state);
    if (!result.ok())
        return result;
    const QStringList named = assignments(state.record);
    GeneratorSettings record = state.record;
    QStringList notes = ethernet ? keepUnnamedEnds(named, record) : QStringList();
    QString problem;
    if (!applySettingAssignments(named, record, problem))
        return refused(problem);
    result = checkToSend(record, state.record);
    if (!result.ok())
        return result;
    if (ethernet)
        notes += queryRoundings(named, record);
    result = link.sendSettings(record) ? Result() : failed(link.failure());
    result.notes = notes;
    return result;
}

Result runHeld(InstrumentLink &link, bool ethernet, bool gen1, bool gen2)
{
    InstrumentState state;
    Result result = readState(link, state);
    if (!result.ok())
        return result;
    GeneratorSettings record = state.record;
    QStringList notes;
    if (ethernet) {
        result = checkToSend(state.record, state.record);
        if (!result.ok())
            return result;
        notes = keepUnnamedEnds({}, record);
    }
    result = link.run(record, gen1, gen2) ? Result() : failed(link.failure());
    result.notes = notes;
    return result;
}

Result loadProfile(InstrumentLink &link, const QString &name)
{
    const ProfileStore::Contents store = ProfileStore::load();
    if (store.status != ProfileStore::Status::Ok)
        return failed(store.problem);
    if (!store.names.contains(name))
        return refused(QStringLiteral("no profile named \"%1\"").arg(name));
    const ProfileValue profile = parseProfileValue(store.values.value(name));
    // Checked before the codes are narrowed to bytes.
    QString problem;
    if (!RecordRanges::allows(RecordFields::Kind::SourceG1, profile.ts1) ||
        !RecordRanges::allows(RecordFields::Kind::SourceG2, profile.ts2))
        problem =
            QStringLiteral("ts1=%1, ts2=%2 is out of range").arg(profile.ts1).arg(profile.ts2);
    const GeneratorSettings record = recordFromProfile(profile);
    if (problem.isEmpty())
        problem = sendProblem(record);
    if (!problem.isEmpty())
        return refused(QStringLiteral("profile \"%1\": %2; nothing sent").arg(name, problem));
    return link.sendSettingsAndStop(record) ? Result() : failed(link.failure());
}

// Checked before the read, and again under the store's lock: another
// program may have saved in between.
Result saveProfile(InstrumentLink &link, const QString &name)
{
    const ProfileStore::Contents store = ProfileStore::load();
    if (store.status != ProfileStore::Status::Ok)
        return failed(store.problem);
    const QString full = QStringLiteral("Only 10 DXU profiles could be created!");
    if (!store.names.contains(name) && store.names.size() >= kMaxProfiles)
        return refused(full);
    InstrumentState state;
    const Result result = readState(link, state);
    if (!result.ok())
        return result;
    const ProfileStore::Outcome saved = ProfileStore::save(
        name, formatProfileValue(profileFromRecord(state.record)), kMaxProfiles, true);
    if (saved.status == ProfileStore::Status::Full)
        return refused(full);
    return saved.status == ProfileStore::Status::Ok ? Result() : failed(saved.problem);
}

} // namespace LinkActions
