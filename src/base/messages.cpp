#include "base/messages.h"

namespace orv {

void MessageTable::Fill() {
  static const char* const kTexts[kCount] = {
      "Versteckt das Programmfenster.",
      "Maximiert das Programmfenster.",
      "Minimiert das Programmfenster.",
      "Zeigt das Programmfenster an.",
      "n/a",
      "Sonntag",
      "Montag",
      "Dienstag",
      "Mittwoch",
      "Donnerstag",
      "Freitag",
      "Samstag",
      " Uhr",
      " Minute(n)",
      "dddd, dd. mmmm yyyy",
      "hh:nn \"Uhr\"",
      "Sollen selektierte Tasks gelöscht werden?",
      "Fehler beim Laden der Task-Einstellungen!",
      "Bitte weisen Sie dem Task eine Bezeichnung zu!",
      "Es existiert bereits ein Task mit dieser Bezeichnung!",
      "Weiter",
      "Fertig",
      "Leerlauf",
      "Uhrzeit",
      "inaktiv",
      "Wird durchgeführt...",
      "Task '",
      "' hat den Durchführungszeitpunkt erreicht.",
      "' konnte beim letzten Durchführungszeitpunkt nicht gestartet werden.",
      "Bitte geben Sie eine Uhrzeit im 24-Stunden-Format (hh:mm) ein!",
      "Nächste Session",
      "Bei Systemstart",
      "Bei Shutdown",
      "Bei Dateiänderung",
      "Überwachung",
  };
  for (int i = 0; i < kCount; ++i) entries_[static_cast<std::size_t>(i)] = kTexts[i];
}

const std::string& MessageTable::operator[](int n) const {
  static const std::string kEmpty;
  if (n < 0 || n >= kCount) return kEmpty;
  return entries_[static_cast<std::size_t>(n)];
}

}  // namespace orv
