// The engine's own texts, word for word as the operator has always seen them.
#pragma once

#include <string>

namespace vaultra::app::texts {

inline constexpr const char* kEscapeConfirm =
    "Die Escape-Taste wurde gedrückt.\n Wollen Sie wirklich Abbrechen ?\n";
inline constexpr const char* kNoMemory = "Kein Hauptspeicher mehr vom System bereitgestellt.";
inline constexpr const char* kPlcInit = "AG initialisieren...";
inline constexpr const char* kBlockNotReadable = "Baustein nicht von der Steuerung lesbar.";
inline constexpr const char* kPlcSaved = "AG gesichert.";
inline constexpr const char* kPlcUnreachable = "AG nicht ansprechbar.";
inline constexpr const char* kAbort = "Abbruch";
inline constexpr const char* kBeforeSave = "VOR DEM SPEICHERN";
inline constexpr const char* kAfterSave = "NACH DEM SPEICHERN";
inline constexpr const char* kIdle = "Für Hilfe F1 drücken";
inline constexpr const char* kNotFoundSuffix = " nicht gefunden!";

// Per-block and per-type texts of the S7 backup ("%s" the entry's name, "%-3.3s" the block type).
inline constexpr const char* kCheckType = "%s: %-3.3s prüfen";
inline constexpr const char* kReadDirectory = "%s: %-3.3s Buchhalter lesen";
inline constexpr const char* kBlockLater = "%s: %-3.3s %05d nachher lesen";
inline constexpr const char* kReadBlock = "%s: %-3.3s %05d lesen";

// Failures the station reports although older stations passed over them in silence.
inline constexpr const char* kPasswordRefused = "%s: Passwort von der Steuerung nicht angenommen.";
inline constexpr const char* kBadFileSuffix =
    "%s: Dateizusatz \"%s\" der Steuerung ist kein gültiger Dateiname.";
inline constexpr const char* kBlockLengthMismatch =
    "%s: %-3.3s %05d: Längenangabe im Bausteinkopf passt nicht zu den gelesenen Daten.";
inline constexpr const char* kProjectNotWritten = "%s: Projekt %s konnte nicht geschrieben werden.";
inline constexpr const char* kTrailerBytesNotKept =
    "%s: %-3.3s %05d: Bytes %s am Bausteinende hat das Projekt kein Feld, sie werden als 0 "
    "zurückgeschrieben.";

// The S7 restore.
inline constexpr const char* kWriteBlock = "%s: %-3.3s %05d übertragen";
inline constexpr const char* kBlockNotTransferable = "Baustein nicht in AG übertragbar";
inline constexpr const char* kPlcBusy = "AG ist beschäftigt";
inline constexpr const char* kKeySwitchRun =
    "Der Schluesselschalter der Steuerung ist auf RUN \nund nicht auf RUN-P. Somit ist keine Uebertragung "
    "moeglich\nDas Programm wird beendet\n";
inline constexpr const char* kPlcWritten = "korrekt in AG geschrieben";
inline constexpr const char* kRestoreDebugLine = "%-3.3s %05d Fehler %04X %04X\n";
inline constexpr const char* kProjectNotReadable = "%s: Projekt %s kann nicht gelesen werden.";
inline constexpr const char* kBlockRefused = "%s: %-3.3s %05d von der Steuerung nicht angenommen.";
inline constexpr const char* kUnknownBlockType = "%s: Baustein unbekannten Typs %u übergangen.";

// The S5 backup and restore (block numbers have three digits).
inline constexpr const char* kS5ReadBlock = "%s: %-3.3s %03d lesen";
inline constexpr const char* kS5WriteBlock = "%s: %-3.3s %03d übertragen";
inline constexpr const char* kBlockNotWritable = "Baustein nicht in die ausgewählte Datei schreibbar.";
inline constexpr const char* kFileNotOpened = "Datei konnte nicht geöffnet/erstellt werden.";
inline constexpr const char* kFileDirectoryUnreadable = "Buchhalter der Datei nicht lesbar !";
inline constexpr const char* kBlockDataUnreadable = "Konnte Bausteindaten nicht aus Datei lesen";
inline constexpr const char* kS5BlockLength =
    "%s: %-3.3s %03d: Längenangabe des Bausteins passt nicht in die Programmdatei.";
inline constexpr const char* kProgramFileNotWritten = "%s: Programmdatei %s konnte nicht geschrieben werden.";
inline constexpr const char* kProgramFileNotReadable = "%s: Programmdatei %s kann nicht gelesen werden.";
inline constexpr const char* kS5BlockRefused = "%s: %-3.3s %03d von der Steuerung nicht angenommen.";
inline constexpr const char* kS5BlocksNotWritten = "%s: %zu Bausteine nicht in AG übertragen: %s";

// The PLC trigger.
inline constexpr const char* kCheckTrigger = "%s: Trigger prüfen";
inline constexpr const char* kTriggerRestoreSwitchedOff =
    "%s: Die Steuerung fordert ein Zurückschreiben an, es ist aber ausgeschaltet (\"Kein Zurückschreiben\").";

}  // namespace vaultra::app::texts
