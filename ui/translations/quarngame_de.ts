<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Application</name>
    <message>
        <source>The folder %1 holds no experiment database yet.<byte value="xd"/>
Make the demo experiment there?</source>
        <translation>Der Ordner %1 enthält noch keine Experimentdatenbank.<byte value="xd"/>
Das Demo-Experiment dort anlegen?</translation>
    </message>
</context>
<context>
    <name>DatabaseWaitNotice</name>
    <message>
        <source>the database</source>
        <translation>die Datenbank</translation>
    </message>
    <message>
        <source>the lab server</source>
        <translation>den Laborserver</translation>
    </message>
    <message>
        <source>Waiting for %1... %2 s</source>
        <translation>Warten auf %1... %2 s</translation>
    </message>
</context>
<context>
    <name>DebriefWindow</name>
    <message>
        <source>Orders of each stage</source>
        <translation>Bestellungen jeder Stufe</translation>
    </message>
    <message>
        <source>Inventory (backlog below zero)</source>
        <translation>Lagerbestand (Rückstand unter null)</translation>
    </message>
    <message>
        <source>%1 (participant): orders and demand</source>
        <translation>%1 (Teilnehmer): Bestellungen und Nachfrage</translation>
    </message>
    <message>
        <source>Cost so far: stages and chain</source>
        <translation>Bisherige Kosten: Stufen und Kette</translation>
    </message>
    <message>
        <source>%1 (participant)</source>
        <translation>%1 (Teilnehmer)</translation>
    </message>
    <message>
        <source>- - customer demand</source>
        <translation>- - Kundennachfrage</translation>
    </message>
    <message>
        <source>chain</source>
        <translation>Kette</translation>
    </message>
    <message>
        <source>Costs: %1. Chain total: %2.</source>
        <translation>Kosten: %1. Kette gesamt: %2.</translation>
    </message>
    <message>
        <source>Place in the class: %1 of %2 (the lowest cost first).</source>
        <translation>Platz in der Gruppe: %1 von %2 (die niedrigsten Kosten zuerst).</translation>
    </message>
    <message>
        <source>The participant&apos;s orders varied %1 times as much as the customer demand (standard deviation).</source>
        <translation>Die Bestellungen des Teilnehmers schwankten %1-mal so stark wie die Kundennachfrage (Standardabweichung).</translation>
    </message>
    <message>
        <source>Quarn Game: debriefing of %1</source>
        <translation>Quarn Game: Nachbesprechung von %1</translation>
    </message>
    <message>
        <source>%1, trial %2</source>
        <translation>%1, Runde %2</translation>
    </message>
    <message>
        <source>Previous trial</source>
        <translation>Vorherige Runde</translation>
    </message>
    <message>
        <source>Next trial</source>
        <translation>Nächste Runde</translation>
    </message>
    <message>
        <source>&amp;Trial:</source>
        <translation>&amp;Runde:</translation>
    </message>
    <message>
        <source>No experiment trial is recorded.</source>
        <translation>Es ist keine Versuchsrunde aufgezeichnet.</translation>
    </message>
</context>
<context>
    <name>GameSession</name>
    <message>
        <source>First, we will have some training trials...</source>
        <translation>Zuerst spielen wir einige Übungsrunden...</translation>
    </message>
    <message>
        <source>Subject has already completed all trials in setting %1.  Please relogin</source>
        <translation>Der Teilnehmer hat bereits alle Runden der Einstellung %1 gespielt.  Bitte neu anmelden</translation>
    </message>
    <message>
        <source>Incorrect Password</source>
        <translation>Falsches Passwort</translation>
    </message>
    <message>
        <source>Are you sure you want to exit?</source>
        <translation>Wollen Sie das Spiel wirklich beenden?</translation>
    </message>
    <message>
        <source>Exiting Quarn Game. . .</source>
        <translation>Quarn Game wird beendet. . .</translation>
    </message>
    <message>
        <source>Training failed.  %1.  Restarting Trial</source>
        <translation>Übung nicht bestanden.  %1.  Die Runde beginnt von vorn</translation>
    </message>
    <message>
        <source>Keep your Inventory/Backorders below %1<byte value="xd"/>
and your Cost below %2</source>
        <translation>Halten Sie Ihren Lagerbestand/Ihre Rückstände unter %1<byte value="xd"/>
und Ihre Kosten unter %2</translation>
    </message>
    <message>
        <source>Training Constraints</source>
        <translation>Vorgaben für die Übung</translation>
    </message>
    <message>
        <source>End cost playing as %1: %2</source>
        <translation>Ihre Gesamtkosten als %1: %2</translation>
    </message>
    <message>
        <source>End total cost for all roles is %1</source>
        <translation>Die Gesamtkosten aller Stufen betragen %1</translation>
    </message>
    <message>
        <source>Press the Next Trial button to continue</source>
        <translation>Klicken Sie auf „Nächste Runde“, um fortzufahren</translation>
    </message>
    <message>
        <source>End Trial</source>
        <translation>Ende der Runde</translation>
    </message>
    <message>
        <source>The experiment will now begin</source>
        <translation>Jetzt beginnt das Experiment</translation>
    </message>
    <message>
        <source>Training Complete</source>
        <translation>Übung abgeschlossen</translation>
    </message>
    <message>
        <source>Total cost sum over all %1 completed trial(s) is %2<byte value="xd"/>
Alert your moderator.</source>
        <translation>Die Summe der Kosten über alle %1 gespielten Runden beträgt %2<byte value="xd"/>
Bitte melden Sie sich bei der Versuchsleitung.</translation>
    </message>
    <message>
        <source>All %1 Trial(s) Completed</source>
        <translation>Alle %1 Runden gespielt</translation>
    </message>
    <message>
        <source>Orders in this trial are at most %1</source>
        <translation>In dieser Runde kann höchstens %1 bestellt werden</translation>
    </message>
    <message>
        <source>The time for this week ran out: %1 was ordered for you.</source>
        <translation>Die Zeit für diese Woche ist abgelaufen: Für Sie wurde %1 bestellt.</translation>
    </message>
    <message>
        <source>There is no file %1.<byte value="xd"/>
Please correct the name in the Setup File box.</source>
        <translation>Es gibt keine Datei %1.<byte value="xd"/>
Bitte korrigieren Sie den Namen im Feld „Datenbankdatei“.</translation>
    </message>
    <message>
        <source>Waiting for your team: %1 of %2 here (%3)</source>
        <translation>Warten auf Ihr Team: %1 von %2 da (%3)</translation>
    </message>
    <message>
        <source>Waiting for the %1...</source>
        <translation>Warten auf: %1...</translation>
    </message>
    <message>
        <source>Waiting for the %1 and the %2...</source>
        <translation>Warten auf: %1 und %2...</translation>
    </message>
    <message>
        <source>Waiting for the %1, the %2 and the %3...</source>
        <translation>Warten auf: %1, %2 und %3...</translation>
    </message>
    <message>
        <source>A simulated player now plays your stage, the %1, to the end of this trial.  Please wait for your moderator.</source>
        <translation>Ein simulierter Spieler spielt jetzt Ihre Stufe (%1) bis zum Ende dieser Runde.  Bitte warten Sie auf die Versuchsleitung.</translation>
    </message>
</context>
<context>
    <name>Login</name>
    <message>
        <source>Need to choose a valid setting</source>
        <translation>Bitte wählen Sie eine gültige Einstellung</translation>
    </message>
    <message>
        <source>The setting name %1 %2, which would break the lines of the participant&apos;s text file.  Please choose another setting.</source>
        <translation>Der Name der Einstellung %1 %2; das würde die Zeilen der Textdatei des Teilnehmers zerbrechen.  Bitte wählen Sie eine andere Einstellung.</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Anmeldung</translation>
    </message>
    <message>
        <source>User ID not found.  Register as a new user?</source>
        <translation>Benutzerkennung nicht gefunden.  Als neuen Teilnehmer registrieren?</translation>
    </message>
    <message>
        <source>The participant could not be registered.<byte value="xd"/>
Error %1: %2</source>
        <translation>Der Teilnehmer konnte nicht registriert werden.<byte value="xd"/>
Fehler %1: %2</translation>
    </message>
    <message>
        <source>New User Questionaire</source>
        <translation>Fragebogen für neue Teilnehmer</translation>
    </message>
    <message>
        <source>%1 has completed the only trial of setting %2</source>
        <translation>%1 hat die einzige Runde der Einstellung %2 bereits gespielt</translation>
    </message>
    <message>
        <source>%1 has completed all %3 trials of setting %2</source>
        <translation>%1 hat alle %3 Runden der Einstellung %2 bereits gespielt</translation>
    </message>
    <message>
        <source>Continue with user %1 on Trial %2?  Click No to change name</source>
        <translation>Mit Teilnehmer %1 bei Runde %2 fortfahren?  „Nein“ ändert die Kennung</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>A User ID cannot hold a comma, any of the characters / \ : * ? &quot; &lt; &gt; | or control characters.  Please enter another User ID.</source>
        <translation>Eine Benutzerkennung darf kein Komma, keines der Zeichen / \ : * ? &quot; &lt; &gt; | und keine Steuerzeichen enthalten.  Bitte geben Sie eine andere Kennung ein.</translation>
    </message>
    <message>
        <source>A User ID cannot be made of dots only.  Please enter another User ID.</source>
        <translation>Eine Benutzerkennung darf nicht nur aus Punkten bestehen.  Bitte geben Sie eine andere Kennung ein.</translation>
    </message>
    <message>
        <source>This setting is played by teams.  Please type your team&apos;s name in the Team box.</source>
        <translation>Diese Einstellung wird in Teams gespielt.  Bitte geben Sie den Namen Ihres Teams im Feld Team ein.</translation>
    </message>
    <message>
        <source>Please enter a User ID.</source>
        <translation>Bitte geben Sie eine Benutzerkennung ein.</translation>
    </message>
    <message>
        <source>A User ID has at most 21 characters.  Please enter another User ID.</source>
        <translation>Eine Benutzerkennung hat höchstens 21 Zeichen.  Bitte geben Sie eine andere Kennung ein.</translation>
    </message>
    <message>
        <source>A User ID cannot hold invisible characters or spaces other than the ordinary space.  Please enter another User ID.</source>
        <translation>Eine Benutzerkennung darf keine unsichtbaren Zeichen und keine Leerzeichen außer dem gewöhnlichen enthalten.  Bitte geben Sie eine andere Kennung ein.</translation>
    </message>
    <message>
        <source>A team name has at most 21 characters.  Please type another name in the Team box.</source>
        <translation>Ein Teamname hat höchstens 21 Zeichen.  Bitte geben Sie im Feld Team einen anderen Namen ein.</translation>
    </message>
    <message>
        <source>A team name cannot hold a comma, any of the characters / \ : * ? &quot; &lt; &gt; | or control characters.  Please type another name in the Team box.</source>
        <translation>Ein Teamname darf kein Komma, keines der Zeichen / \ : * ? &quot; &lt; &gt; | und keine Steuerzeichen enthalten.  Bitte geben Sie im Feld Team einen anderen Namen ein.</translation>
    </message>
    <message>
        <source>A team name cannot hold invisible characters or spaces other than the ordinary space.  Please type another name in the Team box.</source>
        <translation>Ein Teamname darf keine unsichtbaren Zeichen und keine Leerzeichen außer dem gewöhnlichen enthalten.  Bitte geben Sie im Feld Team einen anderen Namen ein.</translation>
    </message>
    <message>
        <source>A team name cannot be made of dots only.  Please type another name in the Team box.</source>
        <translation>Ein Teamname darf nicht nur aus Punkten bestehen.  Bitte geben Sie im Feld Team einen anderen Namen ein.</translation>
    </message>
    <message>
        <source>%1 is a member of team %2 in this setting.  Please type %2 in the Team box.</source>
        <translation>%1 ist in dieser Einstellung Mitglied des Teams %2.  Bitte geben Sie im Feld Team %2 ein.</translation>
    </message>
    <message>
        <source>Team %1 is full: its members are %2.</source>
        <translation>Das Team %1 ist vollständig: seine Mitglieder sind %2.</translation>
    </message>
    <message>
        <source>The records of %1 in setting %2 contradict each other, and the game would file this participant&apos;s weeks under the wrong trials:<byte value="xd"/>
%3Correct or remove these rows (quarngame-admin check lists them all), or give the participant another User ID.</source>
        <translation>Die Aufzeichnungen von %1 in der Einstellung %2 widersprechen einander, und das Spiel würde die Wochen dieses Teilnehmers unter falschen Runden ablegen:<byte value="xd"/>
%3Korrigieren oder entfernen Sie diese Zeilen (quarngame-admin check listet sie alle auf), oder geben Sie dem Teilnehmer eine andere Benutzerkennung.</translation>
    </message>
</context>
<context>
    <name>LoginWindow</name>
    <message>
        <source>Quarngame Login</source>
        <translation>Quarn Game – Anmeldung</translation>
    </message>
    <message>
        <source>User ID:</source>
        <translation>Benutzerkennung:</translation>
    </message>
    <message>
        <source>Setup File:</source>
        <translation>Datenbankdatei:</translation>
    </message>
    <message>
        <source>Setting:</source>
        <translation>Einstellung:</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Folder: %1</source>
        <translation>Ordner: %1</translation>
    </message>
    <message>
        <source>In use: %1</source>
        <translation>In Gebrauch: %1</translation>
    </message>
    <message>
        <source>Team:</source>
        <translation>Team:</translation>
    </message>
    <message>
        <source>server named in %1 (%2)</source>
        <translation>Server laut %1 (%2)</translation>
    </message>
    <message>
        <source>the local socket</source>
        <translation>lokaler Socket</translation>
    </message>
    <message>
        <source>of the login user</source>
        <translation>des angemeldeten Benutzers</translation>
    </message>
    <message>
        <source>server %1:%2, database %3</source>
        <translation>Server %1:%2, Datenbank %3</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Time left: %1</source>
        <translation>Verbleibende Zeit: %1</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Cost</source>
        <translation>Kosten</translation>
    </message>
    <message>
        <source>Recent Order</source>
        <translation>Letzte Bestellung</translation>
    </message>
    <message>
        <source>Back Order</source>
        <translation>Rückstand</translation>
    </message>
    <message>
        <source>Inventory</source>
        <translation>Lagerbestand</translation>
    </message>
    <message>
        <source>Last Satisfied</source>
        <translation>Zuletzt geliefert</translation>
    </message>
    <message>
        <source>Demand</source>
        <translation>Nachfrage</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Trial:</source>
        <translation>Runde:</translation>
    </message>
    <message>
        <source>Week:</source>
        <translation>Woche:</translation>
    </message>
    <message>
        <source>Make Order</source>
        <translation>Bestellen</translation>
    </message>
    <message>
        <source>Total Cost</source>
        <translation>Gesamtkosten</translation>
    </message>
    <message>
        <source>In</source>
        <translation>In</translation>
    </message>
    <message>
        <source>weeks, demand to Retailer is</source>
        <translation>Wochen beträgt die Nachfrage beim Einzelhändler</translation>
    </message>
    <message>
        <source>The experiment is over.</source>
        <translation>Das Experiment ist beendet.</translation>
    </message>
    <message>
        <source>Thank you for taking part.
Please alert your moderator.</source>
        <translation>Vielen Dank für Ihre Teilnahme.
Bitte melden Sie sich bei der Versuchsleitung.</translation>
    </message>
    <message>
        <source>%1 - Setting: %2</source>
        <translation>%1 – Einstellung: %2</translation>
    </message>
    <message>
        <source>Training</source>
        <translation>Übung</translation>
    </message>
    <message>
        <source>Next Trial</source>
        <translation>Nächste Runde</translation>
    </message>
    <message>
        <source>Game Over</source>
        <translation>Spielende</translation>
    </message>
    <message>
        <source>To complete the study, please follow this link:</source>
        <translation>Um die Studie abzuschließen, folgen Sie bitte diesem Link:</translation>
    </message>
</context>
<context>
    <name>Page</name>
    <message>
        <source>Moderator</source>
        <translation>Versuchsleitung</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>Verbindung wird aufgebaut...</translation>
    </message>
    <message>
        <source>The connection is lost. Reconnecting...</source>
        <translation>Die Verbindung ist unterbrochen. Sie wird wieder aufgebaut...</translation>
    </message>
    <message>
        <source>The session has ended. Please alert your moderator.</source>
        <translation>Die Sitzung ist beendet. Bitte melden Sie sich bei der Versuchsleitung.</translation>
    </message>
    <message>
        <source>Join a class by its code</source>
        <translation>Einer Klasse mit ihrem Code beitreten</translation>
    </message>
    <message>
        <source>Join a class</source>
        <translation>Einer Klasse beitreten</translation>
    </message>
    <message>
        <source>Class code:</source>
        <translation>Klassencode:</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Beitreten</translation>
    </message>
    <message>
        <source>To complete the study, please follow this link:</source>
        <translation>Um die Studie abzuschließen, folgen Sie bitte diesem Link:</translation>
    </message>
    <message>
        <source>Your name:</source>
        <translation>Ihr Name:</translation>
    </message>
    <message>
        <source>Setting: %1</source>
        <translation>Einstellung: %1</translation>
    </message>
    <message>
        <source>Waiting for the teacher to start</source>
        <translation>Warten, bis die Lehrkraft beginnt</translation>
    </message>
    <message>
        <source>There is no class with this code.</source>
        <translation>Es gibt keine Klasse mit diesem Code.</translation>
    </message>
    <message>
        <source>This class takes nobody new any more.</source>
        <translation>Diese Klasse nimmt niemanden mehr auf.</translation>
    </message>
    <message>
        <source>This class has ended.</source>
        <translation>Diese Klasse ist beendet.</translation>
    </message>
    <message>
        <source>This User ID cannot be used. Please type another one.</source>
        <translation>Diese Benutzerkennung kann nicht verwendet werden. Bitte geben Sie eine andere ein.</translation>
    </message>
</context>
<context>
    <name>ParticipantSession</name>
    <message>
        <source>The class is paused. Please wait for your teacher.</source>
        <translation>Die Klasse macht eine Pause. Bitte warten Sie auf Ihre Lehrkraft.</translation>
    </message>
</context>
<context>
    <name>PauseWindow</name>
    <message>
        <source>Please alert your moderator that you are ready for some questions.  When finished, you will be informed of the password needed to continue.</source>
        <translation>Bitte sagen Sie der Versuchsleitung, dass Sie für einige Fragen bereit sind.  Danach erhalten Sie das Passwort, mit dem es weitergeht.</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Weiter</translation>
    </message>
</context>
<context>
    <name>QtPrompter</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ja</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Nein</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Ignorieren</translation>
    </message>
</context>
<context>
    <name>Questionnaire</name>
    <message>
        <source>Freshmen</source>
        <translation>1. Studienjahr</translation>
    </message>
    <message>
        <source>Sophomore</source>
        <translation>2. Studienjahr</translation>
    </message>
    <message>
        <source>Junior</source>
        <translation>3. Studienjahr</translation>
    </message>
    <message>
        <source>Senior</source>
        <translation>4. Studienjahr</translation>
    </message>
    <message>
        <source>Graduate</source>
        <translation>Master/Promotion</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Anderes</translation>
    </message>
    <message>
        <source>Art</source>
        <translation>Kunst</translation>
    </message>
    <message>
        <source>Chemical Engineering</source>
        <translation>Chemieingenieurwesen</translation>
    </message>
    <message>
        <source>Civil &amp; Environmental Engineering</source>
        <translation>Bau- und Umweltingenieurwesen</translation>
    </message>
    <message>
        <source>Electrical &amp; Computer Engineering</source>
        <translation>Elektro- und Informationstechnik</translation>
    </message>
    <message>
        <source>Engineering &amp; Public Policy</source>
        <translation>Technik und Politik</translation>
    </message>
    <message>
        <source>Mechanical Engineering</source>
        <translation>Maschinenbau</translation>
    </message>
    <message>
        <source>Materials Science &amp; Engineering</source>
        <translation>Materialwissenschaft und Werkstofftechnik</translation>
    </message>
    <message>
        <source>Architecture</source>
        <translation>Architektur</translation>
    </message>
    <message>
        <source>Design</source>
        <translation>Design</translation>
    </message>
    <message>
        <source>Drama</source>
        <translation>Theater</translation>
    </message>
    <message>
        <source>Music</source>
        <translation>Musik</translation>
    </message>
    <message>
        <source>Economics</source>
        <translation>Volkswirtschaftslehre</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Anglistik</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Geschichte</translation>
    </message>
    <message>
        <source>Modern Languages</source>
        <translation>Moderne Sprachen</translation>
    </message>
    <message>
        <source>Philosophy</source>
        <translation>Philosophie</translation>
    </message>
    <message>
        <source>Psychology</source>
        <translation>Psychologie</translation>
    </message>
    <message>
        <source>Social &amp; Decision Sciences</source>
        <translation>Sozial- und Entscheidungswissenschaften</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>Statistik</translation>
    </message>
    <message>
        <source>Industrial Management</source>
        <translation>Wirtschaftsingenieurwesen</translation>
    </message>
    <message>
        <source>Biological Sciences</source>
        <translation>Biologie</translation>
    </message>
    <message>
        <source>Chemistry</source>
        <translation>Chemie</translation>
    </message>
    <message>
        <source>Mathematical Sciences</source>
        <translation>Mathematik</translation>
    </message>
    <message>
        <source>Physics</source>
        <translation>Physik</translation>
    </message>
    <message>
        <source>Computer Science</source>
        <translation>Informatik</translation>
    </message>
    <message>
        <source>Male</source>
        <translation>Männlich</translation>
    </message>
    <message>
        <source>Female</source>
        <translation>Weiblich</translation>
    </message>
</context>
<context>
    <name>QuestionnaireWindow</name>
    <message>
        <source>New User Questionaire</source>
        <translation>Fragebogen für neue Teilnehmer</translation>
    </message>
    <message>
        <source>Please provide some background information for our experiment.</source>
        <translation>Bitte geben Sie für unser Experiment einige Angaben zu Ihrer Person an.</translation>
    </message>
    <message>
        <source>Subject ID:</source>
        <translation>Teilnehmerkennung:</translation>
    </message>
    <message>
        <source>Age:</source>
        <translation>Alter:</translation>
    </message>
    <message>
        <source>Class Status:</source>
        <translation>Studienjahr:</translation>
    </message>
    <message>
        <source>Major:</source>
        <translation>Studienfach:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Please indicate gender</source>
        <translation>Bitte geben Sie Ihr Geschlecht an</translation>
    </message>
    <message>
        <source>Gender Missing</source>
        <translation>Geschlecht fehlt</translation>
    </message>
    <message>
        <source>Please enter your age (I know you&apos;re older than 5)</source>
        <translation>Bitte geben Sie Ihr Alter ein (mindestens 5 Jahre)</translation>
    </message>
    <message>
        <source>Age Missing or Invalid</source>
        <translation>Alter fehlt oder ist ungültig</translation>
    </message>
</context>
<context>
    <name>Records</name>
    <message>
        <source>the setting has no trial of that number</source>
        <translation>die Einstellung hat keine Runde dieser Nummer</translation>
    </message>
    <message>
        <source>the trial has no week of that number</source>
        <translation>die Runde hat keine Woche dieser Nummer</translation>
    </message>
    <message>
        <source>a week is recorded as four rows, one for each stage, written together</source>
        <translation>eine Woche wird als vier Zeilen aufgezeichnet, eine je Stufe, zusammen geschrieben</translation>
    </message>
    <message>
        <source>the trial is recorded as played, but no week of it or of a later trial is: the game would play it and record it under the next number</source>
        <translation>die Runde ist als gespielt aufgezeichnet, aber keine ihrer Wochen und keine einer späteren Runde: das Spiel würde sie spielen und unter der nächsten Nummer aufzeichnen</translation>
    </message>
    <message>
        <source>the User ID is not registered (datUser has no row of it), yet has records</source>
        <translation>die Benutzerkennung ist nicht registriert (datUser hat keine Zeile davon), hat aber Aufzeichnungen</translation>
    </message>
</context>
<context>
    <name>Roles</name>
    <message>
        <source>Factory</source>
        <translation>Fabrik</translation>
    </message>
    <message>
        <source>Distributor</source>
        <translation>Verteiler</translation>
    </message>
    <message>
        <source>Wholesaler</source>
        <translation>Großhändler</translation>
    </message>
    <message>
        <source>Retailer</source>
        <translation>Einzelhändler</translation>
    </message>
</context>
<context>
    <name>SkipTrainingDialog</name>
    <message>
        <source>Password to skip training</source>
        <translation>Passwort zum Überspringen der Übung</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Moderator: type the training&apos;s password to end the training and start the experiment.</source>
        <translation>Versuchsleitung: Geben Sie das Passwort der Übung ein, um die Übung zu beenden und das Experiment zu beginnen.</translation>
    </message>
</context>
<context>
    <name>SplashWindow</name>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>For %1, with Qt %2</source>
        <translation>Für %1, mit Qt %2</translation>
    </message>
    <message>
        <source>A supply-chain ordering game for laboratory studies of dynamic decision making, written by the Quarn Game developers.

For research and teaching use. Results recorded with it belong to the study that collected them; participants take part under that study&apos;s consent procedure.</source>
        <translation>Ein Bestellspiel über eine Lieferkette für Laborstudien zum dynamischen Entscheiden, geschrieben von den Entwicklern von Quarn Game.

Für Forschung und Lehre. Die damit erhobenen Ergebnisse gehören der Studie, die sie erhoben hat; die Teilnehmenden nehmen nach deren Einwilligungsverfahren teil.</translation>
    </message>
</context>
<context>
    <name>Text</name>
    <message>
        <source>holds bytes that are not UTF-8 text</source>
        <translation>enthält Bytes, die kein UTF-8-Text sind</translation>
    </message>
    <message>
        <source>holds a comma</source>
        <translation>enthält ein Komma</translation>
    </message>
    <message>
        <source>holds a line break</source>
        <translation>enthält einen Zeilenumbruch</translation>
    </message>
</context>
<context>
    <name>Training</name>
    <message>
        <source>Cost ran above %1</source>
        <translation>Die Kosten stiegen über %1</translation>
    </message>
    <message>
        <source>Inventory/Backorder exceeded %1</source>
        <translation>Lagerbestand/Rückstand überschritt %1</translation>
    </message>
</context>
<context>
    <name>TrialCharts</name>
    <message>
        <source> (participant)</source>
        <translation> (Teilnehmer)</translation>
    </message>
    <message>
        <source>Customer demand</source>
        <translation>Kundennachfrage</translation>
    </message>
    <message>
        <source>Week</source>
        <translation>Woche</translation>
    </message>
    <message>
        <source>Units ordered</source>
        <translation>Bestellte Einheiten</translation>
    </message>
    <message>
        <source>Zero</source>
        <translation>Null</translation>
    </message>
    <message>
        <source>Net inventory (units)</source>
        <translation>Nettobestand (Einheiten)</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Einheiten</translation>
    </message>
    <message>
        <source>Demand received</source>
        <translation>Erhaltene Nachfrage</translation>
    </message>
    <message>
        <source>Orders placed</source>
        <translation>Aufgegebene Bestellungen</translation>
    </message>
    <message>
        <source>Total cost</source>
        <translation>Gesamtkosten</translation>
    </message>
    <message>
        <source>Chain</source>
        <translation>Kette</translation>
    </message>
    <message>
        <source>Cost so far</source>
        <translation>Bisherige Kosten</translation>
    </message>
    <message>
        <source>no participant</source>
        <translation>kein Teilnehmer</translation>
    </message>
    <message>
        <source>participant as %1</source>
        <translation>Teilnehmer als %1</translation>
    </message>
    <message>
        <source>Setting %1, trial %2: %3, %4 weeks, delay %5</source>
        <translation>Einstellung %1, Runde %2: %3, %4 Wochen, Lieferzeit %5</translation>
    </message>
    <message>
        <source>Orders of each stage per week</source>
        <translation>Bestellungen jeder Stufe pro Woche</translation>
    </message>
    <message>
        <source>Inventory of each stage per week (backlog below zero)</source>
        <translation>Lagerbestand jeder Stufe pro Woche (Rückstand unter null)</translation>
    </message>
    <message>
        <source>No participant in this trial</source>
        <translation>Kein Teilnehmer in dieser Runde</translation>
    </message>
    <message>
        <source>The participant&apos;s orders (%1) and the demand received</source>
        <translation>Die Bestellungen des Teilnehmers (%1) und die erhaltene Nachfrage</translation>
    </message>
    <message>
        <source>Cost so far of each stage and of the chain</source>
        <translation>Bisherige Kosten jeder Stufe und der Kette</translation>
    </message>
    <message>
        <source>Cost of each stage over the trial</source>
        <translation>Kosten jeder Stufe über die Runde</translation>
    </message>
    <message>
        <source>Cost of each stage over the trial (participant: %1)</source>
        <translation>Kosten jeder Stufe über die Runde (Teilnehmer: %1)</translation>
    </message>
    <message>
        <source>%1 (member %2)</source>
        <translation>%1 (Mitglied %2)</translation>
    </message>
    <message>
        <source>Simulated</source>
        <translation>Simuliert</translation>
    </message>
    <message>
        <source>,&lt;br&gt;%1 from week %2</source>
        <translation>,&lt;br&gt;%1 ab Woche %2</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 (%2, member %3)</source>
        <translation>%1 (%2, Mitglied %3)</translation>
    </message>
    <message>
        <source>%1 (%2 from week %3)</source>
        <translation>%1 (%2 ab Woche %3)</translation>
    </message>
    <message>
        <source>%1 as %2</source>
        <translation>%1 als %2</translation>
    </message>
    <message>
        <source>team %1 (%2)</source>
        <translation>Team %1 (%2)</translation>
    </message>
    <message>
        <source>The team&apos;s orders per week: each line a person or a simulated player</source>
        <translation>Die Bestellungen des Teams je Woche: jede Linie eine Person oder ein simulierter Spieler</translation>
    </message>
</context>
<context>
    <name>WorkstationMark</name>
    <message>
        <source>%1 is playing at workstation %2 since %3.<byte value="xd"/>
Take %1 over on this workstation?  Answer Yes only if that session has ended.</source>
        <translation>%1 spielt seit %3 am Arbeitsplatz %2.<byte value="xd"/>
%1 an diesem Arbeitsplatz übernehmen?  Antworten Sie nur dann mit Ja, wenn die dortige Sitzung beendet ist.</translation>
    </message>
</context>
</TS>
