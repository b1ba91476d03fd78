#include <gtest/gtest.h>

#include "base/messages.h"

namespace orv {
namespace {

TEST(MessageTable, EmptyUntilFilledAndOutOfRangeIsEmpty) {
  MessageTable table;
  EXPECT_EQ(table[0], "");
  table.Fill();
  EXPECT_EQ(table[-1], "");
  EXPECT_EQ(table[35], "");
  for (int i = 0; i < MessageTable::kCount; ++i) EXPECT_FALSE(table[i].empty()) << i;
}

TEST(MessageTable, ExactTexts) {
  MessageTable t;
  t.Fill();
  EXPECT_EQ(t[0], "Versteckt das Programmfenster.");
  EXPECT_EQ(t[3], "Zeigt das Programmfenster an.");
  EXPECT_EQ(t[4], "n/a");
  EXPECT_EQ(t[12], " Uhr");
  EXPECT_EQ(t[13], " Minute(n)");
  EXPECT_EQ(t[14], "dddd, dd. mmmm yyyy");
  EXPECT_EQ(t[15], "hh:nn \"Uhr\"");
  EXPECT_EQ(t[16], "Sollen selektierte Tasks gelöscht werden?");
  EXPECT_EQ(t[17], "Fehler beim Laden der Task-Einstellungen!");
  EXPECT_EQ(t[18], "Bitte weisen Sie dem Task eine Bezeichnung zu!");
  EXPECT_EQ(t[19], "Es existiert bereits ein Task mit dieser Bezeichnung!");
  EXPECT_EQ(t[20], "Weiter");
  EXPECT_EQ(t[21], "Fertig");
  EXPECT_EQ(t[22], "Leerlauf");
  EXPECT_EQ(t[23], "Uhrzeit");
  EXPECT_EQ(t[24], "inaktiv");
  EXPECT_EQ(t[25], "Wird durchgeführt...");
  EXPECT_EQ(t[29], "Bitte geben Sie eine Uhrzeit im 24-Stunden-Format (hh:mm) ein!");
  EXPECT_EQ(t[30], "Nächste Session");
  EXPECT_EQ(t[31], "Bei Systemstart");
  EXPECT_EQ(t[32], "Bei Shutdown");
  EXPECT_EQ(t[33], "Bei Dateiänderung");
  EXPECT_EQ(t[34], "Überwachung");
}

TEST(MessageTable, WeekdayNamesAndComposedLines) {
  MessageTable t;
  t.Fill();
  EXPECT_EQ(t.WeekdayName(1), "Sonntag");
  EXPECT_EQ(t.WeekdayName(2), "Montag");
  EXPECT_EQ(t.WeekdayName(7), "Samstag");
  EXPECT_EQ("15" + t[kMsgMinutes], "15 Minute(n)");
  EXPECT_EQ("18:00" + t[kMsgUhr], "18:00 Uhr");
  EXPECT_EQ(t[kMsgTaskPrefix] + "Backup" + t[kMsgConfirmSuffix],
            "Task 'Backup' hat den Durchführungszeitpunkt erreicht.");
  EXPECT_EQ(t[kMsgTaskPrefix] + "Backup" + t[kMsgRecoverSuffix],
            "Task 'Backup' konnte beim letzten Durchführungszeitpunkt nicht gestartet "
            "werden.");
}

}  // namespace
}  // namespace orv
