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
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStorageInfo>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <limits>
#include <span>
#include <unordered_set>
#include <utility>

namespace velmora {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("velmora::Database", text); }
QString qt(const std::string& text) { return QString::fromStdString(text); }

// The tables as they are made, and mended where a column went missing.
struct Table {
    const char* name;
    std::span<const char* const> columns;
    const char* key;
};
constexpr const char* kRollColumns[] = {"seq INTEGER PRIMARY KEY AUTOINCREMENT", "id INTEGER NOT NULL UNIQUE",
    "rolled_at INTEGER NOT NULL", // ms since 1970
    "time TEXT NOT NULL", // hh:mm:ss, local time
    "step INTEGER NOT NULL", "karma INTEGER NOT NULL", "outcome TEXT NOT NULL", "total INTEGER NOT NULL",
    "modifier INTEGER NOT NULL", "error TEXT", "character TEXT NOT NULL DEFAULT ''", "talent TEXT NOT NULL DEFAULT ''",
    "dice TEXT NOT NULL", "cleared INTEGER"}; // the clearing's mark, until it is undone or purged
constexpr const char* kCharacterColumns[] = {
    "position INTEGER PRIMARY KEY", "name TEXT NOT NULL", "current INTEGER NOT NULL DEFAULT 0"};
constexpr const char* kTalentColumns[] = {
    "character INTEGER NOT NULL", "position INTEGER NOT NULL", "name TEXT NOT NULL", "step INTEGER NOT NULL"};
// Rows of the talents that the rules refused, moved here rather than lost
// when the talents are written anew.
constexpr const char* kSetAsideColumns[] = {"source TEXT NOT NULL", "row TEXT NOT NULL"};
constexpr Table kTables[] = {{"rolls", kRollColumns, nullptr}, {"characters", kCharacterColumns, nullptr},
    {"talents", kTalentColumns, "PRIMARY KEY (character, position)"}, {"set_aside", kSetAsideColumns, nullptr}};

const QString kRollFields =
    QStringLiteral("id, rolled_at, time, step, karma, outcome, total, modifier, error, character, talent, dice");

// Less than this free, and the disk is as good as full: a connection's
// shared memory alone takes 32 KiB.
constexpr qint64 kRoomNeeded = 1 << 20;

// SQLite's primary result codes, as Qt passes them on.
Store::Fault faultOf(const QSqlError& error, const QString& folder)
{
    if (error.type() == QSqlError::NoError) {
        return Store::Fault::None;
    }
    const int code = error.nativeErrorCode().toInt() & 0xff;
    switch (code) {
    case 5: // BUSY
    case 6: // LOCKED
        return Store::Fault::Busy;
    case 13: // FULL
        return Store::Fault::Full;
    case 3: // PERM
    case 8: // READONLY
    case 23: // AUTH
        return Store::Fault::NoPermission;
    case 10: // IOERR
    case 14: { // CANTOPEN: a folder it may not write to, most often
        const QStorageInfo disk(folder);
        if (disk.isValid() && disk.isReadOnly()) {
            return Store::Fault::NoPermission; // however little room it has
        }
        // A disk that has no room left for the journal's shared memory
        // fails reads and writes alike, as an I/O error.
        if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < kRoomNeeded) {
            return Store::Fault::Full;
        }
        if (code == 10) {
            return Store::Fault::Other;
        }
        return QFileInfo(folder).isWritable() ? Store::Fault::CannotOpen : Store::Fault::NoPermission;
    }
    case 11: // CORRUPT
    case 26: // NOTADB
        return Store::Fault::Damaged;
    default:
        return Store::Fault::Other;
    }
}

QString folderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

} // namespace

// One statement after another on the database's connection, stopping at
// the first fault, which it keeps with SQLite's words.
class Statements {
public:
    explicit Statements(Database& database)
        : m_database(database)
        , m_db(QSqlDatabase::database(database.m_connection, false))
    {
    }

    Store::Fault fault() const { return m_fault; }
    bool ok() const { return m_fault == Store::Fault::None; }

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
    QVariant value(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery query = run(sql, values);
        return next(query) ? query.value(0) : QVariant();
    }
    // The next row; a fault in reading it is a fault, not the end.
    bool next(QSqlQuery& query)
    {
        if (!ok()) {
            return false;
        }
        if (query.next()) {
            return true;
        }
        if (query.lastError().type() != QSqlError::NoError) {
            fail(query.lastError());
        }
        return false;
    }

    void fail(const QSqlError& error)
    {
        const Store::Fault fault = faultOf(error, folderOf(m_database.m_paths.database));
        fail(fault == Store::Fault::None ? Store::Fault::Other : fault, error.text());
    }
    // The first fault stays: what followed it is its consequence.
    void fail(Store::Fault fault, const QString& why)
    {
        if (ok() && fault != Store::Fault::None) {
            m_fault = fault;
            m_database.m_lastError = why;
            m_database.m_damaged = m_database.m_damaged || fault == Store::Fault::Damaged;
        }
    }

    // The statements of `work` in one transaction that takes the write lock
    // at once, so that a busy database is found before anything is done.
    template <typename Work>
    Store::Fault transaction(Work&& work)
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
            const QString why = m_database.m_lastError;
            QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
            m_database.m_lastError = why;
        }
        return m_fault;
    }

private:
    Database& m_database;
    QSqlDatabase m_db;
    Store::Fault m_fault = Store::Fault::None;
};

namespace {

QVariantList rowOf(const RollLog::Entry& entry)
{
    const RollRecord& roll = entry.roll;
    return {static_cast<qint64>(entry.id), static_cast<qint64>(entry.when), qt(entry.time), roll.step, roll.karmaLevel,
        QString::fromLatin1(rollrows::outcomeName(roll.outcome)), static_cast<qint64>(roll.total), roll.modifier,
        roll.error ? QVariant(QString::fromLatin1(rollrows::errorName(*roll.error))) : QVariant(), qt(roll.character),
        qt(roll.talent), rollrows::diceJson(roll.dice)};
}

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

// The older files, as earlier versions wrote them, and what could not be
// written, in the same form.
constexpr int kFileFormat = 1;

struct FileRolls {
    std::vector<Store::Changes> changes;
    int skipped = 0;
};

std::optional<FileRolls> rollsOfFile(const QJsonObject& root)
{
    const QJsonValue rolls = root.value(QStringLiteral("rolls"));
    if (!rolls.isArray()) {
        return std::nullopt;
    }
    FileRolls found;
    Store::Changes& added = found.changes.emplace_back();
    for (const QJsonValue& value : rolls.toArray()) {
        if (auto entry = rollrows::fromLogFile(value.toObject())) {
            added.added.push_back(std::move(*entry));
        } else {
            ++found.skipped;
        }
    }
    // Clearings and their undoing, in order, after the rolls they may touch.
    for (const QJsonValue& value : root.value(QStringLiteral("clearings")).toArray()) {
        const QJsonObject o = value.toObject();
        Store::Changes& change = found.changes.emplace_back();
        for (const QJsonValue& id : o.value(QStringLiteral("removed")).toArray()) {
            change.removed.push_back(id.toString().toULongLong(nullptr, 16));
        }
        change.removedUpTo = o.value(QStringLiteral("removedUpTo")).toInteger();
        change.mark = o.value(QStringLiteral("mark")).toInteger();
        change.restored = o.value(QStringLiteral("restored")).toInteger();
        for (const QJsonValue& mark : o.value(QStringLiteral("purged")).toArray()) {
            change.purged.push_back(mark.toInteger());
        }
    }
    return found;
}

QJsonObject fileOf(const std::vector<Store::Changes>& changes)
{
    QJsonArray rolls;
    QJsonArray clearings;
    for (const Store::Changes& change : changes) {
        for (const RollLog::Entry& entry : change.added) {
            rolls.append(rollrows::toLogFile(entry));
        }
        if (change.clears() || change.restored != 0 || !change.purged.empty()) {
            QJsonArray removed;
            for (const std::uint64_t id : change.removed) {
                removed.append(QString::number(id, 16));
            }
            QJsonArray purged;
            for (const std::int64_t mark : change.purged) {
                purged.append(static_cast<qint64>(mark));
            }
            clearings.append(QJsonObject{{QStringLiteral("removed"), removed},
                {QStringLiteral("removedUpTo"), static_cast<qint64>(change.removedUpTo)},
                {QStringLiteral("mark"), static_cast<qint64>(change.mark)},
                {QStringLiteral("restored"), static_cast<qint64>(change.restored)},
                {QStringLiteral("purged"), purged}});
        }
    }
    return {{QStringLiteral("format"), kFileFormat}, {QStringLiteral("rolls"), rolls},
        {QStringLiteral("clearings"), clearings}};
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

// The row as text, to be kept where the rules cannot take it.
QString rowText(const QSqlQuery& row)
{
    QJsonArray values;
    for (int i = 0; i < row.record().count(); ++i) {
        values.append(QJsonValue::fromVariant(row.value(i)));
    }
    return QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact));
}

} // namespace

Database::Database(Paths paths, QStringList pragmas) : m_paths(std::move(paths)), m_pragmas(std::move(pragmas))
{
    static std::atomic<int> connections{0};
    m_connection = QStringLiteral("velmora-%1").arg(++connections);
    // One file of what could not be written per program: two at once must
    // not overwrite each other's.
    m_mine = QStringLiteral("-%1").arg(QRandomGenerator::system()->generate(), 8, 16, QChar('0'));
    // Qt SQL's own state made now, before the keeper registers its end:
    // what is made first is ended last.
    QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"));
    QSqlDatabase::contains(m_connection);
    QSqlQuery{QSqlDatabase()};
}

Database::~Database() { close(); }

Store::Made Database::makeHere(const Paths& paths, const QStringList& pragmas)
{
    return {std::make_unique<Database>(paths, pragmas), {}};
}

void Database::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
}

Store::Opened Database::open()
{
    Opened opened = openOnce();
    if (opened.fault == Fault::Damaged || m_damaged) {
        close();
        const QString aside = keepAside();
        if (aside.isEmpty()) {
            opened.fault = Fault::Damaged;
            return opened;
        }
        m_damaged = false;
        opened = openOnce();
        const int taken = opened.fault == Fault::None ? takeInFrom(aside) : 0;
        opened.notes.prepend(tr("Die Datenbank %1 war beschädigt; sie wurde als %2 aufbewahrt und eine neue angelegt, "
                                "mit den %3 Würfen, die sich daraus lesen ließen.")
                                 .arg(m_paths.database, aside)
                                 .arg(taken));
    }
    if (opened.fault == Fault::None) {
        takeInUnwritten(opened.notes);
    }
    return opened;
}

void Database::takeInUnwritten(QStringList& notes)
{
    // What earlier runs could not write, after whatever a damaged file
    // gave, whose places they may name; never this program's own.
    const QFileInfo database(m_paths.database);
    for (const QFileInfo& file :
        QDir(database.absolutePath()).entryInfoList({database.fileName() + QStringLiteral(".ungespeichert*")})) {
        if (file.filePath() == unwrittenPath() + m_mine) {
            continue;
        }
        // This program's own, as large as what could not be written.
        JsonFile journal(
            file.filePath(), kFileFormat, tr("der nicht gespeicherten Würfe"), std::numeric_limits<qint64>::max());
        auto [rolls, problem] = journal.readAs<FileRolls>(rollsOfFile);
        if (!problem.isEmpty()) {
            notes << problem;
        }
        if (rolls && write(rolls->changes) == Fault::None) {
            QFile::remove(file.filePath());
            notes << tr("%1 Würfe, die beim letzten Mal nicht gespeichert werden konnten, sind übernommen.")
                         .arg(rolls->changes.front().added.size());
        }
    }
}

Store::Opened Database::openOnce()
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
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_paths.database);
    // Not the window's thread: another program's transaction is waited
    // for, as long as a moment's takes.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    const bool isOpen = db.open();
    const QSqlError error = db.lastError();
    db = QSqlDatabase();
    if (!isOpen) {
        m_lastError = error.text();
        opened.fault = faultOf(error, folder);
        opened.fault = opened.fault == Fault::None ? Fault::CannotOpen : opened.fault;
        close();
        return opened;
    }
    m_open = true;
    opened.fault = [&] {
        Statements sql(*this);
        for (const QString& pragma : m_pragmas) {
            sql.run(QStringLiteral("PRAGMA ") + pragma);
        }
        const int version = sql.value(QStringLiteral("PRAGMA user_version")).toInt();
        if (sql.ok() && version > kSchema) {
            return Fault::Newer;
        }
        // Pages of deleted rolls given back to the disk, on a file made now.
        if (sql.value(QStringLiteral("SELECT count(*) FROM sqlite_master")).toInt() == 0) {
            sql.run(QStringLiteral("PRAGMA auto_vacuum = INCREMENTAL"));
        }
        // WAL: readers never wait for a writer, and a commit is one append;
        // its file cut back once written through.
        sql.run(QStringLiteral("PRAGMA journal_mode = WAL"));
        sql.run(QStringLiteral("PRAGMA synchronous = FULL"));
        sql.run(QStringLiteral("PRAGMA journal_size_limit = 4194304"));
        return sql.ok() ? makeSchema(opened.notes) : sql.fault();
    }();
    if (opened.fault != Fault::None) {
        close();
        return opened;
    }
    return opened;
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

int Database::takeInFrom(const QString& aside)
{
    // Whatever can still be read, a thousand rows at a time, and where
    // those fail, one by one: a damaged page costs its own rows only.
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    const auto copy = [&](const QString& sql, const QVariantList& values = {}) {
        query.prepare(sql);
        for (const QVariant& value : values) {
            query.addBindValue(value);
        }
        return query.exec() ? query.numRowsAffected() : -1;
    };
    if (copy(QStringLiteral("ATTACH DATABASE ? AS old"), {aside}) < 0) {
        return 0;
    }
    copy(QStringLiteral("INSERT OR IGNORE INTO characters SELECT position, name, current FROM old.characters"));
    copy(QStringLiteral("INSERT OR IGNORE INTO talents SELECT character, position, name, step FROM old.talents"));
    // Which rolls there were, from the index where the table cannot say.
    std::vector<qint64> seqs;
    for (const QString& sql : {QStringLiteral("SELECT seq FROM old.rolls INDEXED BY rolls_in_order"),
             QStringLiteral("SELECT seq FROM old.rolls")}) {
        for (query.exec(sql); seqs.empty() && query.next();) {
            do {
                seqs.push_back(query.value(0).toLongLong());
            } while (query.next());
        }
    }
    std::sort(seqs.begin(), seqs.end());
    // Cleared rolls stay cleared: their mark comes with them.
    const QString rows = QStringLiteral("INSERT OR IGNORE INTO rolls (seq, cleared, %1) SELECT seq, cleared, %1 FROM "
                                        "old.rolls WHERE seq BETWEEN ? AND ?")
                             .arg(kRollFields);
    int taken = 0;
    constexpr std::size_t kChunk = 1000;
    db.transaction();
    for (std::size_t from = 0; from < seqs.size(); from += kChunk) {
        const std::size_t to = std::min(seqs.size(), from + kChunk) - 1;
        const int whole = copy(rows, {seqs[from], seqs[to]});
        if (whole == static_cast<int>(to - from + 1)) {
            taken += whole;
            continue;
        }
        for (std::size_t i = from; i <= to; ++i) {
            taken += std::max(0, copy(rows, {seqs[i], seqs[i]}));
        }
    }
    db.commit();
    query.exec(QStringLiteral("DETACH DATABASE old"));
    return taken;
}

Store::Fault Database::makeSchema(QStringList& notes)
{
    Statements sql(*this);
    // Thirty times what an earlier version wrote, whose log held a thousand
    // rolls: read whole, a file takes ten times its size in memory.
    constexpr qint64 kLargestOld = 8 << 20;
    JsonFile logFile(m_paths.logFile, kFileFormat, tr("des Verlaufs"), kLargestOld);
    JsonFile talentsFile(m_paths.talentsFile, kFileFormat, tr("der Talente"), kLargestOld);
    bool importedLog = false;
    bool importedTalents = false;
    // Whatever was dropped by hand is made again, on every opening; a
    // database that lacks nothing is only read.
    QStringList missing;
    for (const Table& table : kTables) {
        const QString name = QString::fromLatin1(table.name);
        QSqlQuery present = sql.run(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {name});
        QStringList found;
        while (sql.next(present)) {
            found << present.value(0).toString();
        }
        QStringList columns;
        for (const char* column : table.columns) {
            columns << QString::fromLatin1(column);
            // As a column may be added: its name and type, unconstrained.
            const QStringList words = columns.constLast().split(' ');
            if (!found.isEmpty() && !found.contains(words[0])) {
                missing << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(name, words[0], words[1]);
            }
        }
        if (table.key != nullptr) {
            columns << QString::fromLatin1(table.key);
        }
        if (found.isEmpty()) {
            missing << QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)").arg(name, columns.join(", "));
        }
    }
    // A roll kept once: an id added again is unique as the table made it.
    if (missing.contains(QStringLiteral("ALTER TABLE rolls ADD COLUMN id INTEGER"))) {
        missing << QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS rolls_by_id ON rolls (id)");
    }
    if (sql.value(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'rolls_in_order'")).toInt() == 0) {
        missing << QStringLiteral("CREATE INDEX IF NOT EXISTS rolls_in_order ON rolls (rolled_at, seq)");
    }
    // The cleared rolls only: few, found by their mark and counted at once.
    if (sql.value(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'rolls_cleared'")).toInt() == 0) {
        missing << QStringLiteral(
            "CREATE INDEX IF NOT EXISTS rolls_cleared ON rolls (cleared) WHERE cleared IS NOT NULL");
    }
    if (!sql.ok() || (missing.isEmpty() && sql.value(QStringLiteral("PRAGMA user_version")).toInt() >= kSchema)) {
        return sql.fault();
    }
    const Fault fault = sql.transaction([&] {
        for (const QString& statement : missing) {
            sql.run(statement);
        }
        if (sql.value(QStringLiteral("PRAGMA user_version")).toInt() >= kSchema || !sql.ok()) {
            return;
        }
        auto [rolls, logProblem] = logFile.readAs<FileRolls>(rollsOfFile);
        if (!logProblem.isEmpty()) {
            notes << logProblem;
        }
        if (rolls) {
            // Each roll once: a second roll with an id already taken gets one of its own.
            std::unordered_set<std::uint64_t> ids;
            std::uint64_t next = 1;
            for (RollLog::Entry& entry : rolls->changes.front().added) {
                while (!ids.insert(entry.id).second) {
                    entry.id = next++;
                }
                sql.run(QStringLiteral("INSERT OR IGNORE INTO rolls (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                            .arg(kRollFields),
                    rowOf(entry));
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

Store::Fault Database::write(const std::vector<Changes>& changes)
{
    if (!m_open) {
        return Fault::CannotOpen;
    }
    if (std::all_of(changes.begin(), changes.end(), [](const Changes& c) { return c.empty(); })) {
        return Fault::None;
    }
    Statements sql(*this);
    bool purged = false;
    const Fault fault = sql.transaction([&] {
        for (const Changes& change : changes) {
            for (const RollLog::Entry& entry : change.added) {
                sql.run(QStringLiteral("INSERT OR IGNORE INTO rolls (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                            .arg(kRollFields),
                    rowOf(entry));
            }
            const QVariant mark = static_cast<qint64>(change.mark);
            for (const std::uint64_t id : change.removed) {
                sql.run(QStringLiteral("UPDATE rolls SET cleared = ? WHERE id = ? AND cleared IS NULL"),
                    {mark, static_cast<qint64>(id)});
            }
            if (change.removedUpTo > 0) {
                sql.run(QStringLiteral("UPDATE rolls SET cleared = ? WHERE seq <= ? AND cleared IS NULL"),
                    {mark, static_cast<qint64>(change.removedUpTo)});
            }
            if (change.restored != 0) {
                sql.run(QStringLiteral("UPDATE rolls SET cleared = NULL WHERE cleared = ?"),
                    {static_cast<qint64>(change.restored)});
            }
            for (const std::int64_t gone : change.purged) {
                sql.run(QStringLiteral("DELETE FROM rolls WHERE cleared = ?"), {static_cast<qint64>(gone)});
                purged = true;
            }
        }
    });
    if (fault == Fault::None && purged) {
        sql.run(QStringLiteral("PRAGMA incremental_vacuum"));
    }
    return fault;
}

Store::Fault Database::keepUnwritten(const std::vector<Changes>& changes)
{
    const QString path = unwrittenPath() + m_mine;
    if (std::all_of(changes.begin(), changes.end(), [](const Changes& c) { return c.empty(); })) {
        return QFile::exists(path) && !QFile::remove(path) ? Fault::NoPermission : Fault::None;
    }
    QDir().mkpath(folderOf(path));
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)
        && file.write(QJsonDocument(fileOf(changes)).toJson(QJsonDocument::Compact)) >= 0 && file.commit()) {
        return Fault::None;
    }
    m_lastError = file.errorString();
    return file.error() == QFileDevice::PermissionsError ? Fault::NoPermission : Fault::Full;
}

Store::Page Database::rolls(int count, bool older)
{
    Page page;
    if (!m_open) {
        page.fault = Fault::CannotOpen;
        return page;
    }
    Statements sql(*this);
    if (!older) {
        // The count, the newest place and the rolls as of one moment.
        sql.run(QStringLiteral("BEGIN"));
        // Counted whole, less the few that are cleared: a count of those
        // not cleared reads every row, 0.16 s for a million.
        page.total = sql.value(QStringLiteral("SELECT count(*) FROM rolls")).toLongLong()
            - sql.value(QStringLiteral("SELECT count(*) FROM rolls WHERE cleared IS NOT NULL")).toLongLong();
        page.upTo = sql.value(QStringLiteral("SELECT max(seq) FROM rolls")).toLongLong();
    }
    QSqlQuery rows =
        sql.run(QStringLiteral("SELECT %1, seq FROM rolls WHERE cleared IS NULL %2 ORDER BY rolled_at DESC, seq DESC "
                               "LIMIT ?")
                    .arg(kRollFields, older ? QStringLiteral("AND (rolled_at, seq) < (?, ?)") : QString()),
            older ? QVariantList{m_oldest.first, m_oldest.second, count + 1} : QVariantList{count + 1});
    int read = 0;
    while (sql.next(rows)) {
        if (++read > count) {
            page.more = true;
            break;
        }
        m_oldest = {rows.value(1).toLongLong(), rows.value(12).toLongLong()};
        if (auto entry = entryOf(rows)) {
            page.rolls.push_back(std::move(*entry));
            page.places.push_back(m_oldest.second);
        } else {
            ++page.skipped;
        }
    }
    rows.finish();
    if (!older) {
        QSqlQuery(QSqlDatabase::database(m_connection, false)).exec(QStringLiteral("COMMIT"));
    }
    page.fault = sql.fault();
    return page;
}

Store::Fault Database::eachRoll(const std::function<bool(const RollLog::Entry&)>& take, Place* from)
{
    if (!m_open) {
        return Fault::CannotOpen;
    }
    Statements sql(*this);
    QSqlQuery rows = from == nullptr
        ? sql.run(
            QStringLiteral("SELECT %1, seq FROM rolls WHERE cleared IS NULL ORDER BY rolled_at, seq").arg(kRollFields))
        : sql.run(QStringLiteral("SELECT %1, seq FROM rolls WHERE cleared IS NULL AND (rolled_at, seq) > (?, ?) "
                                 "ORDER BY rolled_at, seq LIMIT ?")
                      .arg(kRollFields),
            {QVariant::fromValue<qlonglong>(from->when), QVariant::fromValue<qlonglong>(from->seq), from->count + 1});
    int read = 0;
    while (sql.next(rows)) {
        if (from != nullptr && ++read > from->count) {
            break;
        }
        if (from != nullptr) {
            *from = {rows.value(1).toLongLong(), rows.value(12).toLongLong(), from->count, false};
        }
        if (auto entry = entryOf(rows); entry && !take(*entry)) {
            break;
        }
    }
    if (from != nullptr) {
        from->more = read > from->count;
    }
    return sql.fault();
}

Store::Talents Database::readTalents()
{
    Talents found;
    Statements sql(*this);
    m_refused.clear();
    Roster& roster = found.roster;
    // Where each character of the table went in the roster, if anywhere.
    std::vector<std::pair<qint64, std::size_t>> placed;
    std::optional<std::size_t> current;
    QSqlQuery characters = sql.run(QStringLiteral("SELECT position, name, current FROM characters ORDER BY position"));
    while (sql.next(characters)) {
        const auto position = whole(characters.value(0));
        if (!position || characters.value(1).typeId() != QMetaType::QString
            || roster.addCharacter(characters.value(1).toString().toStdString())) {
            ++found.skipped;
            m_refused.emplace_back(QStringLiteral("characters"), rowText(characters));
            continue;
        }
        placed.emplace_back(*position, roster.characters().size() - 1);
        if (characters.value(2).toInt() != 0) {
            current = roster.characters().size() - 1;
        }
    }
    characters.finish();
    QSqlQuery talents =
        sql.run(QStringLiteral("SELECT character, name, step, position FROM talents ORDER BY character, position"));
    while (sql.next(talents)) {
        const auto owner = whole(talents.value(0));
        const auto step = whole(talents.value(2));
        const auto at = std::find_if(placed.begin(), placed.end(), [&](const auto& p) { return owner == p.first; });
        if (at == placed.end() || !step || *step < kFirstStep || *step > kLastStep
            || talents.value(1).typeId() != QMetaType::QString
            || roster.addTalent(at->second, talents.value(1).toString().toStdString(), static_cast<int>(*step))) {
            ++found.skipped;
            m_refused.emplace_back(QStringLiteral("talents"), rowText(talents));
        }
    }
    if (current) {
        roster.setCurrent(*current);
    }
    found.fault = sql.fault();
    return found;
}

Store::Talents Database::talents()
{
    if (!m_open) {
        Talents none;
        none.fault = Fault::CannotOpen;
        return none;
    }
    return readTalents();
}

Store::Fault Database::writeTalents(const Roster& roster)
{
    Statements sql(*this);
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

Store::Talents Database::changeTalents(const std::function<Refusal(Roster&)>& change)
{
    Talents result;
    if (!m_open) {
        result.fault = Fault::CannotOpen;
        return result;
    }
    Statements sql(*this);
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
        // Rows that the rules refuse are moved aside whole, never deleted.
        for (const auto& [table, row] : m_refused) {
            sql.run(QStringLiteral("INSERT INTO set_aside (source, row) VALUES (?, ?)"), {table, row});
        }
        sql.fail(writeTalents(result.roster), m_lastError);
    });
    if (!result.refusal) {
        result.fault = fault;
    }
    return result;
}

std::optional<std::int64_t> Database::dataVersion()
{
    if (!m_open) {
        return std::nullopt;
    }
    Statements sql(*this);
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
