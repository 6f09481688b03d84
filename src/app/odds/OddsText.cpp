#include "app/odds/OddsText.h"

#include "karma/KarmaState.h"
#include "steps/StepTable.h"

#include <QCoreApplication>
#include <QStringList>

#include <cmath>

namespace velmora {
namespace {

constexpr double kTableFloor = 0.001;

// Rounded half up, to whole tenths. The tail cut and the sums leave a chance
// some 10^-12 short of its exact value, and one exactly on a half, as step
// 14's 79/80 = 98.75 %, would round down; so up to a millionth of a tenth
// below a half counts as the half.
long long roundTenths(double tenths) { return std::llround(tenths + 1e-6); }

QString tenthsText(long long tenths)
{
    return QString::number(tenths / 10) + QLatin1Char(',') + QString::number(tenths % 10);
}

} // namespace

StepOddsSet stepOddsSet(OddsCache& cache, int step)
{
    StepOddsSet set{};
    for (int level = kNoKarma; level <= kHighestKarmaLevel; ++level) {
        set[static_cast<std::size_t>(level)] = &cache.odds(step, level);
    }
    return set;
}

QString percentText(double chance)
{
    const long long tenths = roundTenths(chance * 1000.0);
    if (tenths == 0 && chance > 0.0) {
        return QStringLiteral("< 0,1 %");
    }
    if (tenths == 1000 && chance < 1.0) {
        return QStringLiteral("> 99,9 %");
    }
    return tenthsText(tenths) + QStringLiteral(" %");
}

QString decimalText(double value) { return tenthsText(roundTenths(value * 10.0)); }

QString diceText(int step)
{
    const StepDefinition& row = stepDefinition(step);
    QStringList dice;
    for (const std::int16_t sides : row.rolledDice()) {
        dice << QStringLiteral("D%1").arg(sides);
    }
    QString text = dice.join(QStringLiteral(" + "));
    if (row.modifier != 0) {
        text += QStringLiteral(" \u2212 %1").arg(row.modifier);
    }
    return text;
}

QString karmaColumnTitle(int karmaLevel)
{
    if (karmaLevel == kNoKarma) {
        return QCoreApplication::translate("velmora::OddsText", "ohne Karma");
    }
    return QString::fromStdString(karmaName(karmaLevel));
}

namespace {

// Shown, the parts stand apart by middle dots; spoken, by commas, since a
// screen reader names a middle dot or colon aloud at its usual settings.
QString stepDescription(int step, int karmaLevel, bool spoken)
{
    QString dice = diceText(step);
    if (spoken) {
        dice.replace(QStringLiteral(" + "), QStringLiteral(" plus "))
            .replace(QStringLiteral(" \u2212 "), QStringLiteral(" minus "));
    }
    const QString separator = spoken ? QStringLiteral(", ") : QStringLiteral(" \u00b7 ");
    QString text = dice + separator + QCoreApplication::translate("velmora::OddsText", "im Mittel ")
        + decimalText(sharedOdds().odds(step, kNoKarma).mean());
    if (karmaLevel != kNoKarma) {
        text += separator + QCoreApplication::translate("velmora::OddsText", "mit %1").arg(karmaColumnTitle(karmaLevel))
            + (spoken ? QCoreApplication::translate("velmora::OddsText", " im Mittel ") : QStringLiteral(": "))
            + decimalText(sharedOdds().odds(step, karmaLevel).mean());
    }
    return text;
}

} // namespace

QString stepButtonDescription(int step, int karmaLevel) { return stepDescription(step, karmaLevel, false); }

QString stepButtonSpokenDescription(int step, int karmaLevel) { return stepDescription(step, karmaLevel, true); }

int lastMinimumRoll(const StepOddsSet& odds)
{
    int n = 1;
    for (;; ++n) {
        bool allBelow = true;
        for (const RollOdds* level : odds) {
            allBelow = allBelow && level->chanceAtLeast(n) < kTableFloor;
        }
        if (allBelow) {
            return n;
        }
    }
}

} // namespace velmora
