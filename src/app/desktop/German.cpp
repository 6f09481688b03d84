#include "app/desktop/German.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace velmora {

void germanLocale() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

bool speakGerman(QCoreApplication& app)
{
    germanLocale();
    const QLocale german;
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(german, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        std::fprintf(stderr,
            "velmora: Qt's German translations are missing from %s (Debian package qt6-translations-l10n); Qt's "
            "own buttons stay English\n",
            qPrintable(folder));
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace velmora
