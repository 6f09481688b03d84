#pragma once

#include "app/store/Store.h"

#include <utility>
#include <vector>

namespace velmora {

// The one SQLite database that keeps every roll, the characters and their
// talents: "velmora.sqlite" in the user's data folder. Every change is a
// transaction of its own, so that a crash, a full disk or a second Velmora
// at once leaves it whole. Used on one thread only, which may wait on the
// disk: never the window's.
class Database final : public Store {
public:
    static constexpr int kSchema = 1;

    explicit Database(Paths paths, QStringList pragmas = {});
    ~Database() override;
    // For Store::makeWith(), where this code is linked in.
    static Made makeHere(const Paths& paths, const QStringList& pragmas);

    Opened open() override;
    bool isOpen() const override { return m_open; }
    void close() override;

    Fault write(const std::vector<Changes>& changes) override;
    Fault keepUnwritten(const std::vector<Changes>& changes) override;
    Page rolls(int count, bool older) override;
    Fault eachRoll(const std::function<bool(const RollLog::Entry&)>& take, Place* from = nullptr) override;
    Talents talents() override;
    Talents changeTalents(const std::function<Refusal(Roster&)>& change) override;
    std::optional<std::int64_t> dataVersion() override;
    const QString& lastError() const override { return m_lastError; }

    // The file of what could not be written, beside the database.
    QString unwrittenPath() const { return m_paths.database + QStringLiteral(".ungespeichert"); }

private:
    friend class Statements;
    Opened openOnce();
    QString keepAside();
    void takeInUnwritten(QStringList& notes);
    int takeInFrom(const QString& aside);
    Fault makeSchema(QStringList& notes);
    Fault writeTalents(const Roster& roster);
    Talents readTalents();

    Paths m_paths;
    QStringList m_pragmas;
    QString m_connection;
    bool m_open = false;
    // Found damaged past its first page: kept aside at the next opening.
    bool m_damaged = false;
    // The rows of the talents that the last reading refused: table, row.
    std::vector<std::pair<QString, QString>> m_refused;
    // Where the last page of rolls ended: (rolled_at, seq).
    std::pair<qint64, qint64> m_oldest{0, 0};
    QString m_lastError;
    QString m_mine; // the end of this program's file of what could not be written
};

} // namespace velmora
