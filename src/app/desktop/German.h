#pragma once

class QCoreApplication;

namespace velmora {

// Qt's own dialogs and buttons in German, whatever the desktop's language:
// "Ja", "Nein", "Abbrechen", "Speichern unter". False, and said on stderr,
// where Qt's German translations are not installed.
bool speakGerman(QCoreApplication& app);

} // namespace velmora
