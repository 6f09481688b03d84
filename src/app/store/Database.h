#pragma once

#include "app/store/Store.h"

namespace velmora {

// The one SQLite database that keeps the latest rolls, the characters and
// their talents: "velmora.sqlite" in the user's data folder. Every change is
// a transaction of its own, so that a crash, a full disk or a second
// Velmora at once leaves it whole. Used on one thread only, which may wait
// on the disk: never the window's.
class Database final : public Store {
public:
    static constexpr int kSchema = 1;

    // `pragmas` are run on every opening, after the program's own: a full
    // disk ("max_page_count") or a read-only one ("query_only") without either.
    explicit Database(Paths paths, QStringList pragmas = {});
    ~Database() override;
    // For Store::makeWith(), where this code is linked in.
    static Made makeHere(const Paths& paths, const QStringList& pragmas);

    const Paths& paths() const override { return m_paths; }

    Opened open() override;
    Opened check() override;
    bool isOpen() const override { return m_open; }
    void close() override;

    Fault addRoll(const RollLog::Entry& entry) override;
    Fault removeRolls(const std::vector<std::uint64_t>& ids) override;
    Rolls latestRolls() override;
    Talents talents() override;
    Talents changeTalents(const std::function<Refusal(Roster&)>& change) override;

    Layout layout() override;
    Fault keepLayout(const QByteArray& geometry, const QByteArray& state) override;
    Fault keepSetting(const QString& name, const QByteArray& value) override;

    std::optional<std::int64_t> dataVersion() override;
    const QString& lastError() const override { return m_lastError; }

private:
    Opened openOnce(bool keepDamagedAside);
    QString keepAside();
    Fault create(QStringList& notes);
    Fault writeTalents(const Roster& roster);
    Talents readTalents();

    Paths m_paths;
    QStringList m_pragmas;
    QString m_connection;
    bool m_open = false;
    QString m_lastError;
};

} // namespace velmora
