#pragma once

class QCoreApplication;

namespace velmora {

// Numbers the German way, whatever the desktop's language, in every widget
// made after this.
void germanLocale();

// That, and Qt's own dialogs and buttons in German: "Ja", "Nein",
// "Abbrechen", "Speichern unter". False, and said on stderr, where Qt's
// German translations are not installed.
bool speakGerman(QCoreApplication& app);

} // namespace velmora
