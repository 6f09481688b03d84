#include "app/store/Store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QStandardPaths>

#include <utility>

#define VELMORA_TEXT(name) #name
#define VELMORA_NAME_OF(name) VELMORA_TEXT(name)

namespace velmora {
namespace {

QString tr(const char* text) { return QCoreApplication::translate("velmora::Store", text); }

Store::Maker& maker()
{
    static Store::Maker made;
    return made;
}

using Entry = Store* (*)(const Store::Paths*, const QStringList*);

// Where the module is looked for, first found first.
QStringList moduleCandidates()
{
    // Beside the program in its build folder; installed, where the
    // installation puts it, found from the program's folder whatever the prefix.
    const QString programs = QCoreApplication::applicationDirPath();
    const QString name = QStringLiteral(VELMORA_STORE_MODULE);
    return {programs + QLatin1Char('/') + name, programs + QStringLiteral("/" VELMORA_STORE_FROM_PROGRAM "/") + name};
}

} // namespace

Store::Paths Store::userPaths()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return {data + QStringLiteral("/velmora.sqlite"), data + QStringLiteral("/log.json"),
        config + QStringLiteral("/talents.json"), config + QStringLiteral("/velmora.conf")};
}

void Store::makeWith(Maker instead) { maker() = std::move(instead); }

Store::Made Store::make(const Paths& paths, const QStringList& pragmas)
{
    if (maker()) {
        return maker()(paths, pragmas);
    }
    const QStringList candidates = moduleCandidates();
    QString name = candidates.last();
    QString cause = tr("nicht gefunden");
    for (const QString& candidate : candidates) {
        if (!QFileInfo::exists(candidate)) {
            continue;
        }
        name = candidate;
        // Never unloaded: the store's code runs until the program ends.
        QLibrary module(candidate);
        if (!module.load()) {
            cause = module.errorString();
            break;
        }
        const auto entry = reinterpret_cast<Entry>(module.resolve(VELMORA_NAME_OF(VELMORA_STORE_ENTRY)));
        if (entry == nullptr) {
            cause = tr("von einer anderen Version");
            break;
        }
        return {std::unique_ptr<Store>(entry(&paths, &pragmas)), {}};
    }
    return {nullptr,
        tr("Velmoras Teil für die Datenbank, %1, lässt sich nicht laden (%2): Würfe und Talente dieser Sitzung "
           "bleiben nur im Speicher.")
            .arg(name, cause)};
}

} // namespace velmora
