#include "app/store/Database.h"

#include "app/store/JsonFile.h"
#include "app/store/RollRows.h"
#include "steps/StepTable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <unordered_set>
#include <utility>

namespace velmora {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("velmora::Database", text); }
QString qt(const std::string& text) { return QString::fromStdString(text); }

constexpr const char* kSchemaSql[] = {
    "CREATE TABLE IF NOT EXISTS rolls ("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " id INTEGER NOT NULL UNIQUE,"
    " rolled_at INTEGER NOT NULL," // ms since 1970
    " time TEXT NOT NULL," // hh:mm:ss, local time
    " step INTEGER NOT NULL,"
    " karma INTEGER NOT NULL,"
    " outcome TEXT NOT NULL,"
    " total INTEGER NOT NULL,"
    " modifier INTEGER NOT NULL,"
    " error TEXT,"
    " character TEXT NOT NULL DEFAULT '',"
    " talent TEXT NOT NULL DEFAULT '',"
    " dice TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS rolls_in_order ON rolls (rolled_at, seq)",
    "CREATE TABLE IF NOT EXISTS characters ("
    " position INTEGER PRIMARY KEY,"
    " name TEXT NOT NULL,"
    " current INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS talents ("
    " character INTEGER NOT NULL,"
    " position INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " step INTEGER NOT NULL,"
    " PRIMARY KEY (character, position))",
};

// Less than this free, and the disk is as good as full: a connection's
// shared memory alone takes 32 KiB.
constexpr qint64 kRoomNeeded = 1 << 20;

// SQLite's primary result codes, as Qt passes them on.
Database::Fault faultOf(const QSqlError& error, const QString& folder)
{
    if (error.type() == QSqlError::NoError) {
        return Database::Fault::None;
    }
    switch (error.nativeErrorCode().toInt() & 0xff) {
    case 5: // BUSY
    case 6: // LOCKED
        return Database::Fault::Busy;
    case 13: // FULL
        return Database::Fault::Full;
    case 3: // PERM
    case 8: // READONLY
    case 23: // AUTH
        return Database::Fault::NoPermission;
    case 10: // IOERR
    case 14: // CANTOPEN: a folder it may not write to, most often
        // A disk that has no room left for the journal's shared memory
        // fails reads and writes alike, as an I/O error.
        if (const QStorageInfo disk(folder);
            disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < kRoomNeeded) {
            return Database::Fault::Full;
        }
        if ((error.nativeErrorCode().toInt() & 0xff) == 10) {
            return Database::Fault::Other;
        }
        return QFileInfo(folder).isWritable() ? Database::Fault::CannotOpen : Database::Fault::NoPermission;
    case 11: // CORRUPT
    case 26: // NOTADB
        return Database::Fault::Damaged;
    default:
        return Database::Fault::Other;
    }
}

// One statement after another on one connection, stopping at the first
// fault, which it keeps with SQLite's words.
class Statements {
public:
    Statements(const QString& connection, QString folder, QString& lastError)
        : m_db(QSqlDatabase::database(connection, false))
        , m_folder(std::move(folder))
        , m_lastError(lastError)
    {
    }

    Database::Fault fault() const { return m_fault; }
    bool ok() const { return m_fault == Database::Fault::None; }

    // A statement with its values bound in order; the query, to read rows from.
    QSqlQuery run(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery query(m_db);
        if (!ok()) {
            return query;
        }
        query.setForwardOnly(true);
        if (!query.prepare(sql)) {
            fail(query.lastError());
            return query;
        }
        for (const QVariant& value : values) {
            query.addBindValue(value);
        }
        if (!query.exec()) {
            fail(query.lastError());
        }
        return query;
    }
    QVariant value(const QString& sql)
    {
        QSqlQuery query = run(sql);
        return ok() && query.next() ? query.value(0) : QVariant();
    }

    void fail(const QSqlError& error)
    {
        const Database::Fault fault = faultOf(error, m_folder);
        fail(fault == Database::Fault::None ? Database::Fault::Other : fault, error.text());
    }
    // The first fault stays: what followed it is its consequence.
    void fail(Database::Fault fault, const QString& why)
    {
        if (ok() && fault != Database::Fault::None) {
            m_fault = fault;
            m_lastError = why;
        }
    }

    // The statements of `work` in one transaction that takes the write lock
    // at once, so that a busy database is found before anything is done.
    template <typename Work>
    Database::Fault transaction(Work&& work)
    {
        run(QStringLiteral("BEGIN IMMEDIATE"));
        if (!ok()) {
            return m_fault;
        }
        work();
        if (ok()) {
            run(QStringLiteral("COMMIT"));
        }
        if (!ok()) {
            // SQLite may have rolled back already, on a full disk: what is
            // said is the fault, not the rollback's complaint.
            const Database::Fault fault = std::exchange(m_fault, Database::Fault::None);
            const QString why = m_lastError;
            run(QStringLiteral("ROLLBACK"));
            m_fault = fault;
            m_lastError = why;
        }
        return m_fault;
    }

private:
    QSqlDatabase m_db;
    QString m_folder;
    QString& m_lastError;
    Database::Fault m_fault = Database::Fault::None;
};

QString folderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

QVariantList rowOf(const RollLog::Entry& entry)
{
    const RollRecord& roll = entry.roll;
    return {static_cast<qint64>(entry.id), static_cast<qint64>(entry.when), qt(entry.time), roll.step, roll.karmaLevel,
        QString::fromLatin1(rollrows::outcomeName(roll.outcome)), static_cast<qint64>(roll.total), roll.modifier,
        roll.error ? QVariant(QString::fromLatin1(rollrows::errorName(*roll.error))) : QVariant(), qt(roll.character),
        qt(roll.talent), rollrows::diceJson(roll.dice)};
}

const QString kInsertRoll = QStringLiteral(
    "INSERT OR IGNORE INTO rolls (id, rolled_at, time, step, karma, outcome, total, modifier, error, character, "
    "talent, dice) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");

// A whole number of the row as it stands: a text or a fraction in a field
// that the program writes as a whole number is no roll of its.
std::optional<qint64> whole(const QVariant& value)
{
    if (value.typeId() != QMetaType::LongLong && value.typeId() != QMetaType::Int) {
        return std::nullopt;
    }
    return value.toLongLong();
}

std::optional<RollLog::Entry> entryOf(const QSqlQuery& row)
{
    const auto id = whole(row.value(0));
    const auto when = whole(row.value(1));
    const auto step = whole(row.value(3));
    const auto karma = whole(row.value(4));
    const auto outcome = rollrows::outcome(row.value(5).toString());
    const auto total = whole(row.value(6));
    const auto modifier = whole(row.value(7));
    const auto error = rollrows::error(row.value(8).toString());
    auto dice = rollrows::dice(row.value(11).toString());
    if (!id || !when || !step || !karma || !outcome || !total || !modifier || !dice
        || (!row.value(8).isNull() && !error) || *step < 0 || *step > 1000 || *karma < 0 || *karma > 1000
        || *modifier < -1000 || *modifier > 1000) {
        return std::nullopt;
    }
    RollLog::Entry entry;
    entry.id = static_cast<std::uint64_t>(*id);
    entry.when = *when;
    entry.time = row.value(2).toString().toStdString();
    entry.roll.step = static_cast<int>(*step);
    entry.roll.karmaLevel = static_cast<int>(*karma);
    entry.roll.outcome = *outcome;
    entry.roll.total = *total;
    entry.roll.modifier = static_cast<int>(*modifier);
    entry.roll.error = error;
    entry.roll.character = row.value(9).toString().toStdString();
    entry.roll.talent = row.value(10).toString().toStdString();
    entry.roll.dice = std::move(*dice);
    if (!rollrows::isSound(entry)) {
        return std::nullopt;
    }
    return entry;
}

// The older files, as earlier versions wrote them.
constexpr int kFileFormat = 1;

struct FileRolls {
    std::vector<RollLog::Entry> rolls;
    int skipped = 0;
};

std::optional<FileRolls> rollsOfFile(const QJsonObject& root)
{
    const QJsonValue rolls = root.value(QStringLiteral("rolls"));
    if (!rolls.isArray()) {
        return std::nullopt;
    }
    FileRolls found;
    for (const QJsonValue& value : rolls.toArray()) {
        if (auto entry = rollrows::fromLogFile(value.toObject())) {
            found.rolls.push_back(std::move(*entry));
        } else {
            ++found.skipped;
        }
    }
    return found;
}

struct FileTalents {
    Roster roster;
    int skipped = 0;
};

std::optional<FileTalents> talentsOfFile(const QJsonObject& root)
{
    const QJsonValue characters = root.value(QStringLiteral("characters"));
    if (!characters.isArray()) {
        return std::nullopt;
    }
    FileTalents found;
    Roster& roster = found.roster;
    for (const QJsonValue& c : characters.toArray()) {
        const QJsonValue name = c.toObject().value(QStringLiteral("name"));
        const QJsonArray talents = c.toObject().value(QStringLiteral("talents")).toArray();
        if (!name.isString() || roster.addCharacter(name.toString().toStdString())) {
            found.skipped += 1 + static_cast<int>(talents.size());
            continue;
        }
        const std::size_t index = roster.characters().size() - 1;
        for (const QJsonValue& t : talents) {
            const QJsonValue talentName = t.toObject().value(QStringLiteral("name"));
            const QJsonValue step = t.toObject().value(QStringLiteral("step"));
            if (!talentName.isString() || !step.isDouble() || step.toDouble() != step.toInt()
                || roster.addTalent(index, talentName.toString().toStdString(), step.toInt())) {
                ++found.skipped;
            }
        }
    }
    if (const auto current = roster.characterIndex(root.value(QStringLiteral("current")).toString().toStdString())) {
        roster.setCurrent(*current);
    }
    return found;
}

QString skippedNote(int skipped, const QString& path)
{
    return (skipped == 1 ? tr("Ein Eintrag der Datei %1 war unlesbar und wurde übergangen.").arg(path)
                         : tr("%1 Einträge der Datei %2 waren unlesbar und wurden übergangen.").arg(skipped).arg(path));
}

QString keptAsideNote(const QString& path, const QString& aside)
{
    return tr("Die Datenbank %1 war beschädigt; sie wurde als %2 aufbewahrt und eine neue angelegt.").arg(path, aside);
}

} // namespace

Database::Database(Paths paths, QStringList pragmas) : m_paths(std::move(paths)), m_pragmas(std::move(pragmas))
{
    static std::atomic<int> connections{0};
    m_connection = QStringLiteral("velmora-%1").arg(++connections);
}

Database::~Database() { close(); }

Store::Made Database::makeHere(const Paths& paths, const QStringList& pragmas)
{
    return {std::make_unique<Database>(paths, pragmas), {}};
}

void Database::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
}

Database::Opened Database::open()
{
    Opened opened = openOnce(true);
    if (opened.fault == Fault::Damaged && !opened.notes.isEmpty()) {
        // Kept aside: a new one in its place.
        Opened fresh = openOnce(false);
        fresh.notes = opened.notes + fresh.notes;
        return fresh;
    }
    return opened;
}

Database::Opened Database::openOnce(bool keepDamagedAside)
{
    close();
    Opened opened;
    const QString folder = folderOf(m_paths.database);
    if (!QDir().mkpath(folder)) {
        m_lastError = folder;
        opened.fault =
            QFileInfo(QFileInfo(folder).absolutePath()).isWritable() ? Fault::CannotOpen : Fault::NoPermission;
        return opened;
    }
    const QSqlError openError = [&] {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(m_paths.database);
        // Not on the window's thread, but short all the same: a busy
        // database is tried again later rather than waited for.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=50"));
        return db.open() ? QSqlError() : db.lastError();
    }();
    if (openError.type() != QSqlError::NoError) {
        m_lastError = openError.text();
        opened.fault = faultOf(openError, folder);
        if (opened.fault == Fault::None) {
            opened.fault = Fault::CannotOpen;
        }
        close();
        return opened;
    }
    // In a scope of its own: the connection is closed below only once no
    // statement holds it.
    opened.fault = [&] {
        Statements sql(m_connection, folder, m_lastError);
        for (const QString& pragma : m_pragmas) {
            sql.run(QStringLiteral("PRAGMA ") + pragma);
        }
        const int version = sql.value(QStringLiteral("PRAGMA user_version")).toInt();
        if (sql.ok() && version > kSchema) {
            return Fault::Newer;
        }
        if (sql.ok()) {
            // WAL: readers never wait for a writer, and a commit is one append.
            sql.run(QStringLiteral("PRAGMA journal_mode = WAL"));
            sql.run(QStringLiteral("PRAGMA synchronous = FULL"));
        }
        return sql.ok() && version < kSchema ? create(opened.notes) : sql.fault();
    }();
    if (opened.fault == Fault::Damaged && keepDamagedAside) {
        close();
        const QString aside = keepAside();
        if (!aside.isEmpty()) {
            opened.notes << keptAsideNote(m_paths.database, aside);
        }
        return opened;
    }
    if (opened.fault != Fault::None) {
        close();
        return opened;
    }
    m_open = true;
    return opened;
}

Database::Opened Database::check()
{
    Opened checked;
    if (!m_open) {
        checked.fault = Fault::CannotOpen;
        return checked;
    }
    {
        Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
        const QString result = sql.value(QStringLiteral("PRAGMA quick_check")).toString();
        if (sql.ok() && result != QLatin1String("ok")) {
            sql.fail(Fault::Damaged, result);
        }
        checked.fault = sql.fault();
    }
    if (checked.fault != Fault::Damaged) {
        return checked;
    }
    close();
    const QString aside = keepAside();
    if (aside.isEmpty()) {
        return checked;
    }
    Opened fresh = openOnce(false);
    fresh.notes.prepend(keptAsideNote(m_paths.database, aside));
    return fresh;
}

QString Database::keepAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 0; n < 100; ++n) {
        const QString aside = m_paths.database + QStringLiteral(".unlesbar-") + stamp
            + (n == 0 ? QString() : QStringLiteral("-%1").arg(n));
        if (QFileInfo::exists(aside)) {
            continue;
        }
        if (!QFile::rename(m_paths.database, aside)) {
            return {};
        }
        // Its journal goes with it: a new database must not take it for its
        // own. Where it can neither go nor be removed, nothing is kept aside.
        for (const QString& part : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            const QString journal = m_paths.database + part;
            if (QFileInfo::exists(journal) && !QFile::rename(journal, aside + part) && !QFile::remove(journal)) {
                QFile::rename(aside, m_paths.database);
                return {};
            }
        }
        return aside;
    }
    return {};
}

Database::Fault Database::create(QStringList& notes)
{
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    JsonFile logFile(m_paths.logFile, kFileFormat, tr("des Verlaufs"));
    JsonFile talentsFile(m_paths.talentsFile, kFileFormat, tr("der Talente"));
    bool importedLog = false;
    bool importedTalents = false;
    const Fault fault = sql.transaction([&] {
        // Another Velmora may have made it meanwhile.
        if (sql.value(QStringLiteral("PRAGMA user_version")).toInt() >= kSchema || !sql.ok()) {
            return;
        }
        for (const char* statement : kSchemaSql) {
            sql.run(QString::fromLatin1(statement));
        }
        auto [rolls, logProblem] = logFile.readAs<FileRolls>(rollsOfFile);
        if (!logProblem.isEmpty()) {
            notes << logProblem;
        }
        if (rolls) {
            // Each roll once: a second roll with an id already taken gets one of its own.
            std::unordered_set<std::uint64_t> ids;
            std::uint64_t next = 1;
            const std::size_t from =
                rolls->rolls.size() > RollLog::kCapacity ? rolls->rolls.size() - RollLog::kCapacity : 0;
            for (std::size_t i = from; i < rolls->rolls.size(); ++i) {
                RollLog::Entry& entry = rolls->rolls[i];
                while (!ids.insert(entry.id).second) {
                    entry.id = next++;
                }
                sql.run(kInsertRoll, rowOf(entry));
            }
            if (rolls->skipped > 0) {
                notes << skippedNote(rolls->skipped, m_paths.logFile);
            }
            importedLog = true;
        }
        auto [talents, talentsProblem] = talentsFile.readAs<FileTalents>(talentsOfFile);
        if (!talentsProblem.isEmpty()) {
            notes << talentsProblem;
        }
        if (talents) {
            if (talents->skipped > 0) {
                notes << skippedNote(talents->skipped, m_paths.talentsFile);
            }
            importedTalents = true;
            if (sql.ok()) {
                sql.fail(writeTalents(talents->roster), m_lastError);
            }
        }
        sql.run(QStringLiteral("PRAGMA user_version = %1").arg(kSchema));
    });
    if (fault == Fault::None) {
        // Taken in: never again, and never lost.
        for (auto [file, imported] : {std::pair{&logFile, importedLog}, std::pair{&talentsFile, importedTalents}}) {
            if (imported) {
                const QString problem = file->markImported();
                if (!problem.isEmpty()) {
                    notes << problem;
                }
            }
        }
    }
    return fault;
}

Database::Fault Database::addRoll(const RollLog::Entry& entry)
{
    if (!m_open) {
        return Fault::CannotOpen;
    }
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    return sql.transaction([&] {
        sql.run(kInsertRoll, rowOf(entry));
        sql.run(QStringLiteral("DELETE FROM rolls WHERE seq IN (SELECT seq FROM rolls ORDER BY rolled_at DESC, seq "
                               "DESC LIMIT -1 OFFSET %1)")
                    .arg(RollLog::kCapacity));
    });
}

Database::Fault Database::removeRolls(const std::vector<std::uint64_t>& ids)
{
    if (!m_open) {
        return Fault::CannotOpen;
    }
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    return sql.transaction([&] {
        for (const std::uint64_t id : ids) {
            sql.run(QStringLiteral("DELETE FROM rolls WHERE id = ?"), {static_cast<qint64>(id)});
        }
    });
}

Database::Rolls Database::latestRolls()
{
    Rolls found;
    if (!m_open) {
        found.fault = Fault::CannotOpen;
        return found;
    }
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    QSqlQuery rows = sql.run(
        QStringLiteral("SELECT id, rolled_at, time, step, karma, outcome, total, modifier, error, character, talent, "
                       "dice FROM (SELECT * FROM rolls ORDER BY rolled_at DESC, seq DESC LIMIT %1) ORDER BY "
                       "rolled_at, seq")
            .arg(RollLog::kCapacity));
    while (sql.ok() && rows.next()) {
        if (auto entry = entryOf(rows)) {
            found.rolls.push_back(std::move(*entry));
        } else {
            ++found.skipped;
        }
    }
    if (sql.ok() && rows.lastError().type() != QSqlError::NoError) {
        sql.fail(rows.lastError());
    }
    found.fault = sql.fault();
    return found;
}

Database::Talents Database::readTalents()
{
    Talents found;
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    Roster& roster = found.roster;
    // Where each character of the table went in the roster, if anywhere.
    std::vector<std::pair<qint64, std::size_t>> placed;
    std::optional<std::size_t> current;
    QSqlQuery characters = sql.run(QStringLiteral("SELECT position, name, current FROM characters ORDER BY position"));
    while (sql.ok() && characters.next()) {
        const auto position = whole(characters.value(0));
        if (!position || characters.value(1).typeId() != QMetaType::QString
            || roster.addCharacter(characters.value(1).toString().toStdString())) {
            ++found.skipped;
            continue;
        }
        placed.emplace_back(*position, roster.characters().size() - 1);
        if (characters.value(2).toInt() != 0) {
            current = roster.characters().size() - 1;
        }
    }
    characters.finish();
    QSqlQuery talents =
        sql.run(QStringLiteral("SELECT character, name, step FROM talents ORDER BY character, position"));
    while (sql.ok() && talents.next()) {
        const auto owner = whole(talents.value(0));
        const auto step = whole(talents.value(2));
        const auto at = std::find_if(placed.begin(), placed.end(), [&](const auto& p) { return owner == p.first; });
        if (at == placed.end() || !step || *step < kFirstStep || *step > kLastStep
            || talents.value(1).typeId() != QMetaType::QString
            || roster.addTalent(at->second, talents.value(1).toString().toStdString(), static_cast<int>(*step))) {
            ++found.skipped;
        }
    }
    if (current) {
        roster.setCurrent(*current);
    }
    found.fault = sql.fault();
    return found;
}

Database::Talents Database::talents()
{
    if (!m_open) {
        Talents none;
        none.fault = Fault::CannotOpen;
        return none;
    }
    return readTalents();
}

Database::Fault Database::writeTalents(const Roster& roster)
{
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    sql.run(QStringLiteral("DELETE FROM talents"));
    sql.run(QStringLiteral("DELETE FROM characters"));
    for (std::size_t c = 0; c < roster.characters().size(); ++c) {
        const Character& character = roster.characters()[c];
        sql.run(QStringLiteral("INSERT INTO characters (position, name, current) VALUES (?, ?, ?)"),
            {static_cast<qint64>(c), qt(character.name), roster.current() == c ? 1 : 0});
        for (std::size_t t = 0; t < character.talents.size(); ++t) {
            sql.run(QStringLiteral("INSERT INTO talents (character, position, name, step) VALUES (?, ?, ?, ?)"),
                {static_cast<qint64>(c), static_cast<qint64>(t), qt(character.talents[t].name),
                    character.talents[t].step});
        }
    }
    return sql.fault();
}

Database::Talents Database::changeTalents(const std::function<Refusal(Roster&)>& change)
{
    Talents result;
    if (!m_open) {
        result.fault = Fault::CannotOpen;
        return result;
    }
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    const Fault fault = sql.transaction([&] {
        result = readTalents();
        sql.fail(result.fault, m_lastError);
        if (!sql.ok()) {
            return;
        }
        result.refusal = change(result.roster);
        if (result.refusal) {
            sql.fail(Fault::Other, QStringLiteral("refused")); // nothing to write: rolled back
            return;
        }
        sql.fail(writeTalents(result.roster), m_lastError);
    });
    if (!result.refusal) {
        result.fault = fault;
    }
    return result;
}

// A table of its own, made when first written: a database without it is as
// good for an older Velmora as before.
constexpr const char* kLayoutTable = "CREATE TABLE IF NOT EXISTS layout (name TEXT PRIMARY KEY, value BLOB NOT NULL)";

Database::Layout Database::layout()
{
    Layout found;
    if (!m_open) {
        found.fault = Fault::CannotOpen;
        return found;
    }
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    const bool made = sql.value(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'layout'")).toInt() > 0;
    if (made) {
        QSqlQuery rows = sql.run(QStringLiteral("SELECT name, value FROM layout"));
        while (sql.ok() && rows.next()) {
            const QString name = rows.value(0).toString();
            const QByteArray value = rows.value(1).toByteArray();
            if (name == QLatin1String("geometry")) {
                found.geometry = value;
            } else if (name == QLatin1String("state")) {
                found.state = value;
            } else {
                found.settings.insert(name, value);
            }
        }
    }
    found.fault = sql.fault();
    return found;
}

Database::Fault Database::keepLayout(const QByteArray& geometry, const QByteArray& state)
{
    if (!m_open) {
        return Fault::CannotOpen;
    }
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    return sql.transaction([&] {
        sql.run(QString::fromLatin1(kLayoutTable));
        for (const auto& [name, value] : {std::pair{"geometry", &geometry}, std::pair{"state", &state}}) {
            sql.run(QStringLiteral("INSERT OR REPLACE INTO layout (name, value) VALUES (?, ?)"),
                {QString::fromLatin1(name), *value});
        }
    });
}

Database::Fault Database::keepSetting(const QString& name, const QByteArray& value)
{
    if (!m_open) {
        return Fault::CannotOpen;
    }
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    return sql.transaction([&] {
        sql.run(QString::fromLatin1(kLayoutTable));
        sql.run(QStringLiteral("INSERT OR REPLACE INTO layout (name, value) VALUES (?, ?)"), {name, value});
    });
}

std::optional<std::int64_t> Database::dataVersion()
{
    if (!m_open) {
        return std::nullopt;
    }
    Statements sql(m_connection, folderOf(m_paths.database), m_lastError);
    const QVariant version = sql.value(QStringLiteral("PRAGMA data_version"));
    return sql.ok() ? std::optional<std::int64_t>(version.toLongLong()) : std::nullopt;
}

} // namespace velmora

// The module's one entry, named with the version so that a module left from
// another version is refused rather than called.
extern "C" Q_DECL_EXPORT velmora::Store* VELMORA_STORE_ENTRY(
    const velmora::Store::Paths* paths, const QStringList* pragmas)
{
    return new velmora::Database(*paths, *pragmas);
}
