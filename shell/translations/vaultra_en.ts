<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>vaultra::shell::ConfigDialogWindow</name>
    <message>
        <source>Konfiguration</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>AG stoppen zum Sichern/Rücksichern</source>
        <translation>Stop PLC for backup/restore</translation>
    </message>
    <message>
        <source>Keine SFC/SFB sichern bei S7</source>
        <translation>No SFC/SFB backup for S7</translation>
    </message>
    <message>
        <source>Kein Zurückschreiben</source>
        <translation>No write back</translation>
    </message>
    <message>
        <source>Schnittstelle:</source>
        <translation>Interface:</translation>
    </message>
    <message>
        <source>Adapter:</source>
        <translation>Adapter:</translation>
    </message>
    <message>
        <source>Verzeichnis:</source>
        <translation>Directory:</translation>
    </message>
    <message>
        <source>Wiederholungsversuch alle</source>
        <translation>Retry every</translation>
    </message>
    <message>
        <source>min</source>
        <translation>min</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Bitte wählen sie einen Ordner aus:</source>
        <translation>Please select a folder:</translation>
    </message>
</context>
<context>
    <name>vaultra::shell::EntryDialogWindow</name>
    <message>
        <source>Eintrag</source>
        <translation>Entry</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Adresse:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>Passwort:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>Dateiname:</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>Intervall der Sicherung</source>
        <translation>Backup interval</translation>
    </message>
    <message>
        <source>alle</source>
        <translation>every</translation>
    </message>
    <message>
        <source>täglich um</source>
        <translation>daily at</translation>
    </message>
    <message>
        <source>wöchentlich am</source>
        <translation>weekly on</translation>
    </message>
    <message>
        <source>monatlich am</source>
        <translation>monthly on</translation>
    </message>
    <message>
        <source>nie</source>
        <translation>never</translation>
    </message>
    <message>
        <source>SPS-Trigger</source>
        <translation>PLC trigger</translation>
    </message>
    <message>
        <source>h</source>
        <translation>h</translation>
    </message>
    <message>
        <source>min</source>
        <translation>min</translation>
    </message>
    <message>
        <source>um</source>
        <translation>at</translation>
    </message>
    <message>
        <source>Intervall:</source>
        <translation>Interval:</translation>
    </message>
    <message>
        <source>sek</source>
        <translation>sec</translation>
    </message>
    <message>
        <source>Backup-Bit:</source>
        <translation>Backup bit:</translation>
    </message>
    <message>
        <source>Restore-Bit:</source>
        <translation>Restore bit:</translation>
    </message>
    <message>
        <source>Name (S7-String):</source>
        <translation>Name (S7 string):</translation>
    </message>
    <message>
        <source>Bausteine</source>
        <translation>Blocks</translation>
    </message>
    <message>
        <source>keinen dieser Bausteine sichern</source>
        <translation>back up none of these blocks</translation>
    </message>
    <message>
        <source>nur diese Bausteine sichern</source>
        <translation>back up only these blocks</translation>
    </message>
    <message>
        <source>Son</source>
        <translation>Sun</translation>
    </message>
    <message>
        <source>Mon</source>
        <translation>Mon</translation>
    </message>
    <message>
        <source>Die</source>
        <translation>Tue</translation>
    </message>
    <message>
        <source>Mit</source>
        <translation>Wed</translation>
    </message>
    <message>
        <source>Don</source>
        <translation>Thu</translation>
    </message>
    <message>
        <source>Fre</source>
        <translation>Fri</translation>
    </message>
    <message>
        <source>Sam</source>
        <translation>Sat</translation>
    </message>
</context>
<context>
    <name>vaultra::shell::MainWindow</name>
    <message>
        <source>&amp;Datei</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Ansicht</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>Einstellungen</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>&amp;Element</source>
        <translation>&amp;Entry</translation>
    </message>
    <message>
        <source>&amp;Hilfe</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>&amp;Neu</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>Ö&amp;ffnen...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>&amp;Schließen</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>&amp;Speichern</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>Speichern &amp;Als...</source>
        <translation>Save &amp;As...</translation>
    </message>
    <message>
        <source>B&amp;eenden</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>&amp;Werkzeugleiste</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>&amp;Statusleiste</source>
        <translation>&amp;Status Bar</translation>
    </message>
    <message>
        <source>&amp;Konfiguration</source>
        <translation>&amp;Configuration</translation>
    </message>
    <message>
        <source>&amp;Sprache</source>
        <translation>&amp;Language</translation>
    </message>
    <message>
        <source>&amp;Über...</source>
        <translation>&amp;About...</translation>
    </message>
    <message>
        <source>Än&amp;dern</source>
        <translation>&amp;Change</translation>
    </message>
    <message>
        <source>&amp;Löschen</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>Alle Rücksichern</source>
        <translation>Restore All</translation>
    </message>
    <message>
        <source>Alle Sichern </source>
        <translation>Backup All </translation>
    </message>
    <message>
        <source>Ausschneiden</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>Kopieren</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Einfügen</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Urlöschen</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Hilfe</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Werkzeugleiste</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>Unbenannt</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>Änderungen in &quot;%1&quot; speichern?</source>
        <translation>Save changes to &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>&amp;Ja</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;Nein</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Öffnen</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Sicherungssatz (*.INI *.ini);;Alle Dateien (*.*)</source>
        <translation>Backup set (*.INI *.ini);;All files (*.*)</translation>
    </message>
    <message>
        <source>Speichern unter</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>Info über Vaultra</source>
        <translation>About Vaultra</translation>
    </message>
    <message>
        <source>Vaultra Station Version %1</source>
        <translation>Vaultra Station version %1</translation>
    </message>
    <message>
        <source>Eine Sicherung läuft noch.
Wollen Sie sie abbrechen und das Programm beenden?</source>
        <translation>A backup is still running.
Do you want to abort it and exit the program?</translation>
    </message>
    <message>
        <source>Erstellt einen neuen Sicherungssatz
Neu</source>
        <translation>Creates a new backup set
New</translation>
    </message>
    <message>
        <source>Öffnet einen bestehenden Sicherungssatz
Öffnen</source>
        <translation>Opens an existing backup set
Open</translation>
    </message>
    <message>
        <source>Schließt den Sicherungssatz
Schließen</source>
        <translation>Closes the backup set
Close</translation>
    </message>
    <message>
        <source>Speichert den Sicherungssatz
Speichern</source>
        <translation>Saves the backup set
Save</translation>
    </message>
    <message>
        <source>Speichert den Sicherungssatz unter einem neuen Namen
Speichern unter</source>
        <translation>Saves the backup set under a new name
Save As</translation>
    </message>
    <message>
        <source>Öffnet diesen Sicherungssatz</source>
        <translation>Opens this backup set</translation>
    </message>
    <message>
        <source>Schneidet die Markierung aus
Ausschneiden</source>
        <translation>Cuts the selection
Cut</translation>
    </message>
    <message>
        <source>Kopiert die Markierung
Kopieren</source>
        <translation>Copies the selection
Copy</translation>
    </message>
    <message>
        <source>Fügt den Inhalt der Zwischenablage ein
Einfügen</source>
        <translation>Inserts the clipboard contents
Paste</translation>
    </message>
    <message>
        <source>Zeigt Programminformationen und Versionsnummer an
Info</source>
        <translation>Displays program information and version
About</translation>
    </message>
    <message>
        <source>Beendet das Programm
Beenden</source>
        <translation>Quits the program
Exit</translation>
    </message>
    <message>
        <source>Zeigt Hilfe zu angeklickten Schaltflächen an
Hilfe</source>
        <translation>Displays help for clicked buttons
Help</translation>
    </message>
    <message>
        <source>Blendet die Werkzeugleiste ein oder aus
Werkzeugleiste</source>
        <translation>Shows or hides the toolbar
Toolbar</translation>
    </message>
    <message>
        <source>Blendet die Statusleiste ein oder aus
Statusleiste</source>
        <translation>Shows or hides the status bar
Status bar</translation>
    </message>
    <message>
        <source>Neuen Eintrag erzeugen</source>
        <translation>Create a new entry</translation>
    </message>
    <message>
        <source>Ändern aller markierten Einträge</source>
        <translation>Change all marked entries</translation>
    </message>
    <message>
        <source>Löschen aller Markeirten Einträge</source>
        <translation>Delete all marked entries</translation>
    </message>
    <message>
        <source>Zurücksichern aller Einträge auf die SPSen
Restore</source>
        <translation>Restore all entries to the PLCs
Restore</translation>
    </message>
    <message>
        <source>Sichern aller Einträge
Backup</source>
        <translation>Back up all entries
Backup</translation>
    </message>
    <message>
        <source>Konfiguration des Systems</source>
        <translation>System configuration</translation>
    </message>
    <message>
        <source>Startet alle ausgewählten AGs
Start</source>
        <translation>Starts all selected PLCs
Start</translation>
    </message>
    <message>
        <source>Stopt alle ausgewählten AGs
Stop</source>
        <translation>Stops all selected PLCs
Stop</translation>
    </message>
    <message>
        <source>Urlöschen aller ausgewählten AGs
Urlöschen</source>
        <translation>Clears all selected PLCs
Clear</translation>
    </message>
    <message>
        <source>Einstellen der Sprache</source>
        <translation>Set the language</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Die Datei existiert nicht.</source>
        <translation>The file does not exist.</translation>
    </message>
    <message>
        <source>Der Name bezeichnet ein Verzeichnis.</source>
        <translation>The name denotes a directory.</translation>
    </message>
    <message>
        <source>Die Datei kann nicht gelesen werden (keine Berechtigung oder Lesefehler).</source>
        <translation>The file cannot be read (no permission or read error).</translation>
    </message>
    <message>
        <source>Der Sicherungssatz &quot;%1&quot; kann nicht gelesen werden:
%2</source>
        <translation>The backup set &quot;%1&quot; cannot be read:
%2</translation>
    </message>
    <message>
        <source>Ein neuer, leerer Sicherungssatz wird angelegt.</source>
        <translation>A new, empty backup set is created.</translation>
    </message>
    <message>
        <source>Der Sicherungssatz &quot;%1&quot; ist nicht vollständig lesbar:
%2</source>
        <translation>The backup set &quot;%1&quot; could not be read completely:
%2</translation>
    </message>
    <message>
        <source>Der Sicherungssatz &quot;%1&quot; kann nicht geschrieben werden.</source>
        <translation>The backup set &quot;%1&quot; cannot be written.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>&amp;Ja</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;Nein</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>vaultra::shell::StatusPanes</name>
    <message>
        <source>Für Hilfe F1 drücken</source>
        <translation>For Help, press F1</translation>
    </message>
    <message>
        <source>UF</source>
        <translation>CAP</translation>
    </message>
    <message>
        <source>NUM</source>
        <translation>NUM</translation>
    </message>
    <message>
        <source>RF</source>
        <translation>SCRL</translation>
    </message>
</context>
</TS>
