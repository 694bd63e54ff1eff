// English forms of the station's German texts, keyed by the German text exactly as the code writes it.
// Format strings keep their conversions in the same order.
#pragma once

#include <utility>

namespace vaultra::app {

inline constexpr std::pair<const char*, const char*> kEnglishTexts[] = {
    // engine
    {"Die Escape-Taste wurde gedrückt.\n Wollen Sie wirklich Abbrechen ?\n",
     "The Escape key was pressed.\n Do you really want to abort ?\n"},
    {"Kein Hauptspeicher mehr vom System bereitgestellt.", "The system provides no more memory."},
    {"AG initialisieren...", "Initialising PLC..."},
    {"Baustein nicht von der Steuerung lesbar.", "Block cannot be read from the PLC."},
    {"AG gesichert.", "PLC backed up."},
    {"AG nicht ansprechbar.", "PLC not reachable."},
    {"Abbruch", "Aborted"},
    {"VOR DEM SPEICHERN", "BEFORE SAVING"},
    {"NACH DEM SPEICHERN", "AFTER SAVING"},
    {"%s: %-3.3s prüfen", "%s: %-3.3s checking"},
    {"%s: %-3.3s Buchhalter lesen", "%s: %-3.3s reading directory"},
    {"%s: %-3.3s %05d nachher lesen", "%s: %-3.3s %05d read later"},
    {"%s: %-3.3s %05d lesen", "%s: %-3.3s %05d reading"},
    {"%s: Passwort von der Steuerung nicht angenommen.", "%s: password not accepted by the PLC."},
    {"%s: Projekt %s konnte nicht geschrieben werden.", "%s: project %s could not be written."},
    {"%s: Dateizusatz \"%s\" der Steuerung ist kein gültiger Dateiname.",
     "%s: file suffix \"%s\" from the PLC is not a valid file name."},
    {"%s: S5-Sicherung ist in dieser Station nicht verfügbar.",
     "%s: S5 backup is not available in this station."},
    {"%s: SPS-Trigger ist in dieser Station nicht verfügbar.",
     "%s: PLC trigger is not available in this station."},
    // reasons of a failed run
    {"Fehler %04X: %s", "error %04X: %s"},
    {"Dienst nicht unterstützt", "service not supported"},
    {"Speicher der Steuerung voll", "PLC memory full"},
    {"Steuerung beschäftigt", "PLC busy"},
    {"Auftrag fehlerhaft", "request invalid"},
    {"Bausteinname fehlerhaft", "block name invalid"},
    {"Objekt nicht vorhanden", "object does not exist"},
    {"kein solcher Auftrag", "no such job"},
    {"falscher Betriebszustand", "wrong operating mode"},
    {"geschützt, Passwort nötig", "protected, password needed"},
    {"Liste nicht vorhanden", "list does not exist"},
    {"Passwort falsch", "wrong password"},
    {"unbekannter Fehler", "unknown error"},
    {"keine Antwort der Steuerung (Zeitüberschreitung)", "no answer from the PLC (time-out)"},
    {"unerwartete Antwort des Adapters", "unexpected answer from the adapter"},
    {"Verbindung von der Steuerung getrennt", "connection closed by the PLC"},
    {"Adapter lehnt die Busparameter ab", "adapter refuses the bus parameters"},
    {"keine Werte erhalten", "no values received"},
    {"Verbindung abgelehnt: falscher Steckplatz oder falsche MPI-Adresse?",
     "connection refused: wrong slot or wrong MPI address?"},
    {"Schnittstelle oder Verbindung nicht verfügbar", "port or connection not available"},
    {"S5-Sicherung ist in dieser Station nicht verfügbar", "S5 backup is not available in this station"},
    {"Passwort nicht angenommen", "password not accepted"},
    {"Bausteinliste %s nicht lesbar", "block list %s cannot be read"},
    {"Baustein %s %05d nicht lesbar", "block %s %05d cannot be read"},
    {"Projekt %s konnte nicht geschrieben werden", "project %s could not be written"},
    {"AG nicht ansprechbar", "PLC not reachable"},
    // result lines
    {"Grund unbekannt", "reason unknown"},
    {"fehlgeschlagen: %s, %.1f s", "failed: %s, %.1f s"},
    {"gesichert, %zu Bausteine, nichts geschrieben, %.1f s",
     "backed up, %zu blocks, nothing written, %.1f s"},
    {"gesichert, %zu Bausteine, %s, %.1f s → %s", "backed up, %zu blocks, %s, %.1f s → %s"},
    // vaultra-cli
    {"Vaultra: Sicherung und Rücksicherung von S5- und S7-Steuerungen",
     "Vaultra: backup and restore of S5 and S7 PLCs"},
    {"diese Hilfe zeigen", "show this help"},
    {"Version zeigen", "show the version"},
    {"ausführlich: auch jeden Baustein melden", "verbose: report every block too"},
    {"still: nur die Ergebniszeilen", "quiet: only the result lines"},
    {"Sprache der Texte: de (Vorgabe) oder en; ohne die Angabe nach LANG",
     "language of the texts: de (default) or en; without it chosen by LANG"},
    {"Umgebungsvariablen:\n"
     "  VAULTRA_COM<n>           Gerät der seriellen Schnittstelle COM<n> (z. B. VAULTRA_COM1=/dev/ttyUSB0)\n"
     "  VAULTRA_ISO_TCP_PORT     TCP-Port für S7-RFC1006 statt 102\n"
     "  VAULTRA_LAN_RAW_PORT     TCP-Port des LAN-Adapters (ohne Rahmen) statt 10010\n"
     "  VAULTRA_LAN_FRAMED_PORT  TCP-Port des LAN-Adapters (mit Längenrahmen) statt 64738\n"
     "  XDG_CONFIG_HOME          Ort der Benutzereinstellungen (Netzwerkadapter)\n"
     "  LANG                     en... wählt englische Texte (wie --lang en)\n"
     "\n",
     "Environment variables:\n"
     "  VAULTRA_COM<n>           device of serial port COM<n> (e.g. VAULTRA_COM1=/dev/ttyUSB0)\n"
     "  VAULTRA_ISO_TCP_PORT     TCP port for S7-RFC1006 instead of 102\n"
     "  VAULTRA_LAN_RAW_PORT     TCP port of the LAN adapter (unframed) instead of 10010\n"
     "  VAULTRA_LAN_FRAMED_PORT  TCP port of the LAN adapter (length-prefixed) instead of 64738\n"
     "  XDG_CONFIG_HOME          where the user settings live (network adapter)\n"
     "  LANG                     en... chooses English texts (as --lang en)\n"
     "\n"},
    {"Exit-Status: 0 alles erfolgreich, 1 eine Sicherung oder ein Schreibvorgang ist fehlgeschlagen (bei "
     "inspect: "
     "etwas war nicht lesbar), 2 falsche Eingabe, Sicherungssatz nicht lesbar oder leer.",
     "Exit status: 0 all succeeded, 1 a backup or a write failed (inspect: something could not be read), 2 "
     "bad "
     "input, backup set unreadable or empty."},
    {"Exit-Status: 0 alle Bausteine lesbar, 1 etwas war nicht lesbar (beschädigte Bausteine), 2 nicht "
     "gefunden oder "
     "kein Projekt / keine Programmdatei.",
     "Exit status: 0 every block readable, 1 something could not be read (damaged blocks), 2 not found or "
     "not a "
     "project / program file."},
    {"Options", "Options"},
    {"OPTIONS", "OPTIONS"},
    {"Angabe fehlt: ", "Missing: "},
    {"Unerwartete Angabe: ", "Unexpected: "},
    {"Ungültiger Wert: ", "Invalid value: "},
    {"Diese Angaben schließen sich aus: ", "These options exclude each other: "},
    {"Falsche Eingabe: ", "Bad input: "},
    {" (--help zeigt die Angaben)", " (--help lists the options)"},
    {"Sicherungssatz (.INI)", "backup set (.INI)"},
    {"Der Sicherungssatz \"%s\" kann nicht gelesen werden.", "The backup set \"%s\" cannot be read."},
    {"Der Sicherungssatz \"%s\" ist nicht einwandfrei lesbar und bleibt unverändert; mit --force wird er "
     "trotzdem "
     "neu geschrieben.",
     "The backup set \"%s\" does not read cleanly and is left as it is; --force rewrites it anyway."},
    {"Der Sicherungssatz \"%s\" ist nicht einwandfrei lesbar; es wird nichts gesichert.",
     "The backup set \"%s\" does not read cleanly; nothing is backed up."},
    {"Der Sicherungssatz \"%s\" kann nicht geschrieben werden.", "The backup set \"%s\" cannot be written."},
    {"Der Sicherungssatz \"%s\" enthält keine Einträge; es wird nichts gesichert.",
     "The backup set \"%s\" has no entries; nothing is backed up."},
    {"Kein Eintrag \"%s\" im Sicherungssatz.", "No entry \"%s\" in the backup set."},
    {"Warnung: ", "Warning: "},
    {"auch einen nicht einwandfrei lesbaren Sicherungssatz neu schreiben",
     "rewrite a backup set that does not read cleanly too"},
    {"Sicherungssatz \"%s\" angelegt.", "Backup set \"%s\" created."},
    {"Die Datei \"%s\" gibt es schon; mit --force wird sie ersetzt.",
     "The file \"%s\" exists already; --force replaces it."},
    {"Neuen, leeren Sicherungssatz anlegen", "create a new, empty backup set"},
    {"eine vorhandene Datei ersetzen", "replace an existing file"},
    {"Eintrag %zu \"%s\" angelegt.", "Entry %zu \"%s\" added."},
    {"Eintrag %zu \"%s\" geändert.", "Entry %zu \"%s\" changed."},
    {"Eintrag %zu \"%s\" gelöscht.", "Entry %zu \"%s\" deleted."},
    {"Neuen Eintrag anhängen", "append a new entry"},
    {"Eintrag ändern", "change an entry"},
    {"Einträge löschen", "delete entries"},
    {"Eintrag: Position ab 0 oder Name", "entry: index from 0 or name"},
    {"Einträge: Position ab 0 oder Name", "entries: index from 0 or name"},
    {"Einträge: Position ab 0 oder Name; ohne Angabe alle", "entries: index from 0 or name; all without one"},
    {"Konfiguration von \"%s\" gespeichert.", "Configuration of \"%s\" saved."},
    {"Konfiguration der Station ändern", "change the station configuration"},
    {"Hinweis: Das Verzeichnis \"%s\" wird mit \"/\" am Ende gespeichert, da die Dateinamen ohne "
     "Trennzeichen "
     "angehängt werden.",
     "Note: the directory \"%s\" is stored with a trailing \"/\", since file names are appended without a "
     "separator."},
    {"Verzeichnis der Sicherungen; es wird dem Dateinamen ohne Trennzeichen vorangestellt, ein vorhandenes "
     "Verzeichnis ohne \"/\" am Ende bekommt eines. Ohne --dir bleibt das Verzeichnis, wie es ist.",
     "directory of the backups; it is put in front of the file name without a separator, an existing "
     "directory "
     "without a trailing \"/\" gets one. Without --dir the directory stays as it is."},
    {"Unbekannter Baustein \"%s\" in der Bausteinliste; erlaubt sind DB, SB, PB, FB, OB, FX (S7: FC), DX "
     "(S7: SFB) "
     "mit oder ohne Nummer, z. B. \"DB 1,FX 22\".",
     "Unknown block \"%s\" in the block list; allowed are DB, SB, PB, FB, OB, FX (S7: FC), DX (S7: SFB) with "
     "or "
     "without a number, e.g. \"DB 1,FX 22\"."},
    {"Die Adresse \"%s\" hat mehr Teile, als die Schnittstelle %s kennt (%s).",
     "The address \"%s\" has more parts than the interface %s takes (%s)."},
    {"Warnung: Intervall alle 0:00 – der Eintrag wird bei jedem Durchlauf der Station (jede Sekunde) "
     "gesichert.",
     "Warning: interval every 0:00 – the entry is backed up at every pass of the station (every second)."},
    {"--every gilt nur mit --interval every.", "--every applies only with --interval every."},
    {"--at gilt nur mit --interval daily, weekly oder monthly.",
     "--at applies only with --interval daily, weekly or monthly."},
    {"--weekday gilt nur mit --interval weekly.", "--weekday applies only with --interval weekly."},
    {"--day gilt nur mit --interval monthly.", "--day applies only with --interval monthly."},
    {"--trigger-interval gilt nur mit --interval trigger.",
     "--trigger-interval applies only with --interval trigger."},
    {"Sichert alle Einträge (\"Alle Sichern\") oder die genannten", "back up every entry or the named ones"},
    {"nur ein JSON-Objekt je Ergebnis eines Eintrags (für Skripte)",
     "only one JSON object per entry result (for scripts)"},
    {"Die Station: sichert fällige Einträge bis SIGINT/SIGTERM und liest den Sicherungssatz neu, wenn er "
     "sich ändert",
     "the station: backs up due entries until SIGINT/SIGTERM and reads the backup set again when it changes"},
    {"Station gestartet mit \"%s\": %s", "Station started with \"%s\": %s"},
    {"Station beendet.", "Station ended."},
    {"%zu Einträge.", "%zu entries."},
    {"Der Sicherungssatz enthält keine Einträge; die Station wartet auf Änderungen der Datei.",
     "The backup set has no entries; the station waits for the file to change."},
    {"Sicherungssatz \"%s\" neu geladen: %s", "Backup set \"%s\" reloaded: %s"},
    {"Warnung: Der geänderte Sicherungssatz \"%s\" ist nicht einwandfrei lesbar; die Station arbeitet mit "
     "dem "
     "bisherigen weiter.",
     "Warning: the changed backup set \"%s\" does not read cleanly; the station goes on with the previous "
     "one."},
    {"Einstellungen und Einträge eines Sicherungssatzes zeigen",
     "show the settings and entries of a backup set"},
    {"alle Felder maschinenlesbar", "every field machine-readable"},
    {"Passwörter im Klartext zeigen (sonst ********)", "show passwords in clear text (else ********)"},
    {"Schnittstelle: COM", "Port: COM"},
    {"Verzeichnis: ", "Directory: "},
    {"Wiederholungsversuch alle %u min", "Retry every %u min"},
    {"AG stoppen zum Sichern/Rücksichern: ", "Stop PLC for backup/restore: "},
    {"Keine SFC/SFB sichern bei S7: ", "No SFC/SFB backup for S7: "},
    {"Kein Zurückschreiben: ", "No write-back: "},
    {"ja", "yes"},
    {"nein", "no"},
    {"Nr", "No"},
    {"Name\tAdresse\tPasswort\tIntervall\tnächster Backup\tDateiname",
     "Name\tAddress\tPassword\tInterval\tnext backup\tFile name"},
    // interval column of the list (same widths as the German texts)
    {"Alle        %02d:%02d", "Every       %02d:%02d"},
    {"Täglich um  %02d:%02d", "Daily at    %02d:%02d"},
    {" um %02d:%02d", " at %02d:%02d"},
    {"am %02d. um %02d:%02d", "day %02d at %02d:%02d"},
    {"nie                 ", "never               "},
    {"per SPS-Trigger     ", "by PLC trigger      "},
    {"Son", "Sun"},
    {"Die", "Tue"},
    {"Mit", "Wed"},
    {"Don", "Thu"},
    {"Fre", "Fri"},
    {"Sam", "Sat"},
    // S7 restore and PLC trigger
    {"%s: %-3.3s %05d übertragen", "%s: %-3.3s %05d transferring"},
    {"Baustein nicht in AG übertragbar", "Block cannot be transferred to the PLC"},
    {"AG ist beschäftigt", "PLC is busy"},
    {"Der Schluesselschalter der Steuerung ist auf RUN \nund nicht auf RUN-P. Somit ist keine Uebertragung "
     "moeglich\nDas Programm wird beendet\n",
     "The PLC's key switch is at RUN \nand not at RUN-P. So no transfer is possible\nThe program is ended\n"},
    {"korrekt in AG geschrieben", "written to the PLC correctly"},
    {"%s: Projekt %s kann nicht gelesen werden.", "%s: project %s cannot be read."},
    {"%s: %-3.3s %05d von der Steuerung nicht angenommen.", "%s: %-3.3s %05d not accepted by the PLC."},
    {"%s: Baustein unbekannten Typs %u übergangen.", "%s: block of unknown type %u skipped."},
    {"%s: S5-Rücksicherung ist in dieser Station nicht verfügbar.",
     "%s: S5 restore is not available in this station."},
    {"%s: Trigger prüfen", "%s: checking trigger"},
    // PLC start, stop and clear
    {"Das AG wirklich starten?", "Really start the PLC?"},
    {"Das AG wirklich stoppen?", "Really stop the PLC?"},
    {"Das AG wirklich löschen?", "Really clear the PLC?"},
    {"AG gestartet", "PLC started"},
    {"AG gestoppt", "PLC stopped"},
    {"AG gelöscht", "PLC cleared"},
    {"AG löschen...", "Clearing PLC..."},
    {"Keine AG ausgewählt!", "No PLC selected!"},
    {"Funktion ist auf diesem AG nicht verfügbar.", "Function not available on this PLC."},
    {"Das AG ist nicht im STOP-Zustand.\nEin komplettes Löschen ist dann nicht möglich.",
     "The PLC is not in STOP.\nA complete clear is not possible then."},
    {"Fehler beim löschen", "Error while clearing"},
    {"Konnte das AG nicht schliessen.", "Could not close the PLC."},
    {"Bausteine einer S5-Programmdatei oder eines STEP 7-Projekts",
     "blocks of an S5 program file or a STEP 7 project"},
    {"S5-Programmdatei oder Projektdatei (.S7P)", "S5 program file or project file (.S7P)"},
    {"Der Sicherungssatz endet vorzeitig; fehlende Werte werden als 0 gelesen.",
     "The backup set ends early; missing values are read as 0."},
    {"Nach dem letzten Eintrag folgen weitere Daten; die Datei ist wohl kein Sicherungssatz.",
     "More data follows the last entry; the file is probably not a backup set."},
    {"Ein Sicherungssatz kann höchstens 1023 Einträge enthalten!",
     "A backup set holds at most 1023 entries!"},
    {"Der SPS-Trigger kann nur bei S7-Steuerungen verwendet werden!",
     "The PLC trigger works only with S7 PLCs!"},
    {"Bitte wählen Sie einen Wochentag aus!", "Please choose a weekday!"},
    {"Der Tag des Monats ist ungültig, bitte geben Sie 1 bis 31 ein!",
     "The day of the month is invalid, enter 1 to 31!"},
    {"Keine gültige Ethernet Adresse!", "Not a valid Ethernet address!"},
    {"Anzahl der Zeichen ist falsch, bitte geben Sie genau 12 Zeichen ein",
     "Wrong number of characters, please enter exactly 12 characters"},
    {"Bitte geben Sie hexadezimalstellen ein, dies sind die Zahlen 0-9 und die Zeichen A-F.",
     "Please enter hexadecimal digits, that is 0-9 and A-F."},
    {"serielle Schnittstelle (1 = COM1; 1..255)", "serial port (1 = COM1; 1..255)"},
    {"Wiederholungsversuch alle ... min (1..32767)", "retry every ... min (1..32767)"},
    {"Netzwerkadapter für LAN-Verbindungen", "network adapter for LAN connections"},
    {"Dateiname", "file name"},
    {"Bausteinliste", "block list"},
    {"nur diese Bausteine sichern", "back up only these blocks"},
    {"keinen dieser Bausteine sichern", "back up none of these blocks"},
    {"Tag des Monats", "day of the month"},
};

}  // namespace vaultra::app
