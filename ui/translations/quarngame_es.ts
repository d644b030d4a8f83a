<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
<context>
    <name>Application</name>
    <message>
        <source>The folder %1 holds no experiment database yet.<byte value="xd"/>
Make the demo experiment there?</source>
        <translation>La carpeta %1 aún no contiene ninguna base de datos de experimentos.<byte value="xd"/>
¿Crear allí el experimento de demostración?</translation>
    </message>
</context>
<context>
    <name>DatabaseWaitNotice</name>
    <message>
        <source>the database</source>
        <translation>la base de datos</translation>
    </message>
    <message>
        <source>the lab server</source>
        <translation>el servidor del laboratorio</translation>
    </message>
    <message>
        <source>Waiting for %1... %2 s</source>
        <translation>Esperando a %1... %2 s</translation>
    </message>
</context>
<context>
    <name>DebriefWindow</name>
    <message>
        <source>Orders of each stage</source>
        <translation>Pedidos de cada etapa</translation>
    </message>
    <message>
        <source>Inventory (backlog below zero)</source>
        <translation>Inventario (pedidos pendientes bajo cero)</translation>
    </message>
    <message>
        <source>%1 (participant): orders and demand</source>
        <translation>%1 (participante): pedidos y demanda</translation>
    </message>
    <message>
        <source>Cost so far: stages and chain</source>
        <translation>Coste acumulado: etapas y cadena</translation>
    </message>
    <message>
        <source>%1 (participant)</source>
        <translation>%1 (participante)</translation>
    </message>
    <message>
        <source>- - customer demand</source>
        <translation>- - demanda del cliente</translation>
    </message>
    <message>
        <source>chain</source>
        <translation>cadena</translation>
    </message>
    <message>
        <source>Costs: %1. Chain total: %2.</source>
        <translation>Costes: %1. Total de la cadena: %2.</translation>
    </message>
    <message>
        <source>Place in the class: %1 of %2 (the lowest cost first).</source>
        <translation>Puesto en la clase: %1 de %2 (primero el coste más bajo).</translation>
    </message>
    <message>
        <source>The participant&apos;s orders varied %1 times as much as the customer demand (standard deviation).</source>
        <translation>Los pedidos del participante variaron %1 veces más que la demanda del cliente (desviación estándar).</translation>
    </message>
    <message>
        <source>Quarn Game: debriefing of %1</source>
        <translation>Quarn Game: análisis final de %1</translation>
    </message>
    <message>
        <source>%1, trial %2</source>
        <translation>%1, ronda %2</translation>
    </message>
    <message>
        <source>Previous trial</source>
        <translation>Ronda anterior</translation>
    </message>
    <message>
        <source>Next trial</source>
        <translation>Ronda siguiente</translation>
    </message>
    <message>
        <source>&amp;Trial:</source>
        <translation>&amp;Ronda:</translation>
    </message>
    <message>
        <source>No experiment trial is recorded.</source>
        <translation>No hay ninguna ronda del experimento registrada.</translation>
    </message>
</context>
<context>
    <name>GameSession</name>
    <message>
        <source>First, we will have some training trials...</source>
        <translation>Primero haremos algunas rondas de práctica...</translation>
    </message>
    <message>
        <source>Subject has already completed all trials in setting %1.  Please relogin</source>
        <translation>El participante ya ha completado todas las rondas de la configuración %1.  Inicie sesión de nuevo</translation>
    </message>
    <message>
        <source>Incorrect Password</source>
        <translation>Contraseña incorrecta</translation>
    </message>
    <message>
        <source>Are you sure you want to exit?</source>
        <translation>¿Seguro que quiere salir?</translation>
    </message>
    <message>
        <source>Exiting Quarn Game. . .</source>
        <translation>Saliendo de Quarn Game. . .</translation>
    </message>
    <message>
        <source>Training failed.  %1.  Restarting Trial</source>
        <translation>Práctica no superada.  %1.  La ronda vuelve a empezar</translation>
    </message>
    <message>
        <source>Keep your Inventory/Backorders below %1<byte value="xd"/>
and your Cost below %2</source>
        <translation>Mantenga su inventario/sus pedidos pendientes por debajo de %1<byte value="xd"/>
y su coste por debajo de %2</translation>
    </message>
    <message>
        <source>Training Constraints</source>
        <translation>Límites de la práctica</translation>
    </message>
    <message>
        <source>End cost playing as %1: %2</source>
        <translation>Coste final jugando como %1: %2</translation>
    </message>
    <message>
        <source>End total cost for all roles is %1</source>
        <translation>El coste final de todos los puestos es %1</translation>
    </message>
    <message>
        <source>Press the Next Trial button to continue</source>
        <translation>Pulse el botón «Siguiente ronda» para continuar</translation>
    </message>
    <message>
        <source>End Trial</source>
        <translation>Fin de la ronda</translation>
    </message>
    <message>
        <source>The experiment will now begin</source>
        <translation>Ahora empieza el experimento</translation>
    </message>
    <message>
        <source>Training Complete</source>
        <translation>Práctica terminada</translation>
    </message>
    <message>
        <source>Total cost sum over all %1 completed trial(s) is %2<byte value="xd"/>
Alert your moderator.</source>
        <translation>La suma de los costes de las %1 rondas completadas es %2<byte value="xd"/>
Avise a la persona que dirige la sesión.</translation>
    </message>
    <message>
        <source>All %1 Trial(s) Completed</source>
        <translation>Completadas las %1 rondas</translation>
    </message>
    <message>
        <source>Orders in this trial are at most %1</source>
        <translation>En esta ronda se pueden pedir como máximo %1</translation>
    </message>
    <message>
        <source>The time for this week ran out: %1 was ordered for you.</source>
        <translation>El tiempo de esta semana se ha agotado: se pidió %1 por usted.</translation>
    </message>
    <message>
        <source>There is no file %1.<byte value="xd"/>
Please correct the name in the Setup File box.</source>
        <translation>No existe el archivo %1.<byte value="xd"/>
Corrija el nombre en el campo «Archivo de datos».</translation>
    </message>
    <message>
        <source>Waiting for your team: %1 of %2 here (%3)</source>
        <translation>Esperando a su equipo: %1 de %2 presentes (%3)</translation>
    </message>
    <message>
        <source>Waiting for the %1...</source>
        <translation>Esperando a: %1...</translation>
    </message>
    <message>
        <source>Waiting for the %1 and the %2...</source>
        <translation>Esperando a: %1 y %2...</translation>
    </message>
    <message>
        <source>Waiting for the %1, the %2 and the %3...</source>
        <translation>Esperando a: %1, %2 y %3...</translation>
    </message>
    <message>
        <source>A simulated player now plays your stage, the %1, to the end of this trial.  Please wait for your moderator.</source>
        <translation>Un jugador simulado juega ahora su etapa (%1) hasta el final de esta ronda.  Espere a la persona que dirige la sesión.</translation>
    </message>
</context>
<context>
    <name>Login</name>
    <message>
        <source>Need to choose a valid setting</source>
        <translation>Elija una configuración válida</translation>
    </message>
    <message>
        <source>The setting name %1 %2, which would break the lines of the participant&apos;s text file.  Please choose another setting.</source>
        <translation>El nombre de configuración %1 %2, lo que rompería las líneas del archivo de texto del participante.  Elija otra configuración.</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Inicio de sesión</translation>
    </message>
    <message>
        <source>User ID not found.  Register as a new user?</source>
        <translation>No se ha encontrado el ID de usuario.  ¿Registrarlo como usuario nuevo?</translation>
    </message>
    <message>
        <source>The participant could not be registered.<byte value="xd"/>
Error %1: %2</source>
        <translation>No se ha podido registrar al participante.<byte value="xd"/>
Error %1: %2</translation>
    </message>
    <message>
        <source>New User Questionaire</source>
        <translation>Cuestionario para usuarios nuevos</translation>
    </message>
    <message>
        <source>%1 has completed the only trial of setting %2</source>
        <translation>%1 ya ha completado la única ronda de la configuración %2</translation>
    </message>
    <message>
        <source>%1 has completed all %3 trials of setting %2</source>
        <translation>%1 ya ha completado las %3 rondas de la configuración %2</translation>
    </message>
    <message>
        <source>Continue with user %1 on Trial %2?  Click No to change name</source>
        <translation>¿Continuar con el usuario %1 en la ronda %2?  Pulse «No» para cambiar el nombre</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Continuar</translation>
    </message>
    <message>
        <source>A User ID cannot hold a comma, any of the characters / \ : * ? &quot; &lt; &gt; | or control characters.  Please enter another User ID.</source>
        <translation>Un ID de usuario no puede contener comas, ninguno de los caracteres / \ : * ? &quot; &lt; &gt; | ni caracteres de control.  Introduzca otro ID de usuario.</translation>
    </message>
    <message>
        <source>A User ID cannot be made of dots only.  Please enter another User ID.</source>
        <translation>Un ID de usuario no puede estar formado solo por puntos.  Introduzca otro ID de usuario.</translation>
    </message>
    <message>
        <source>This setting is played by teams.  Please type your team&apos;s name in the Team box.</source>
        <translation>Esta configuración se juega en equipos.  Escriba el nombre de su equipo en el campo Equipo.</translation>
    </message>
    <message>
        <source>Please enter a User ID.</source>
        <translation>Introduzca un ID de usuario.</translation>
    </message>
    <message>
        <source>A User ID has at most 21 characters.  Please enter another User ID.</source>
        <translation>Un ID de usuario tiene como máximo 21 caracteres.  Introduzca otro ID de usuario.</translation>
    </message>
    <message>
        <source>A User ID cannot hold invisible characters or spaces other than the ordinary space.  Please enter another User ID.</source>
        <translation>Un ID de usuario no puede contener caracteres invisibles ni espacios distintos del espacio normal.  Introduzca otro ID de usuario.</translation>
    </message>
    <message>
        <source>A team name has at most 21 characters.  Please type another name in the Team box.</source>
        <translation>Un nombre de equipo tiene como máximo 21 caracteres.  Escriba otro nombre en el campo Equipo.</translation>
    </message>
    <message>
        <source>A team name cannot hold a comma, any of the characters / \ : * ? &quot; &lt; &gt; | or control characters.  Please type another name in the Team box.</source>
        <translation>Un nombre de equipo no puede contener comas, ninguno de los caracteres / \ : * ? &quot; &lt; &gt; | ni caracteres de control.  Escriba otro nombre en el campo Equipo.</translation>
    </message>
    <message>
        <source>A team name cannot hold invisible characters or spaces other than the ordinary space.  Please type another name in the Team box.</source>
        <translation>Un nombre de equipo no puede contener caracteres invisibles ni espacios distintos del espacio normal.  Escriba otro nombre en el campo Equipo.</translation>
    </message>
    <message>
        <source>A team name cannot be made of dots only.  Please type another name in the Team box.</source>
        <translation>Un nombre de equipo no puede estar formado solo por puntos.  Escriba otro nombre en el campo Equipo.</translation>
    </message>
    <message>
        <source>%1 is a member of team %2 in this setting.  Please type %2 in the Team box.</source>
        <translation>%1 es miembro del equipo %2 en esta configuración.  Escriba %2 en el campo Equipo.</translation>
    </message>
    <message>
        <source>Team %1 is full: its members are %2.</source>
        <translation>El equipo %1 está completo: sus miembros son %2.</translation>
    </message>
    <message>
        <source>The records of %1 in setting %2 contradict each other, and the game would file this participant&apos;s weeks under the wrong trials:<byte value="xd"/>
%3Correct or remove these rows (quarngame-admin check lists them all), or give the participant another User ID.</source>
        <translation>Los registros de %1 en la configuración %2 se contradicen, y el juego archivaría las semanas de este participante bajo rondas equivocadas:<byte value="xd"/>
%3Corrija o elimine estas filas (quarngame-admin check las enumera todas), o dé al participante otro ID de usuario.</translation>
    </message>
</context>
<context>
    <name>LoginWindow</name>
    <message>
        <source>Quarngame Login</source>
        <translation>Quarn Game: inicio de sesión</translation>
    </message>
    <message>
        <source>User ID:</source>
        <translation>ID de usuario:</translation>
    </message>
    <message>
        <source>Setup File:</source>
        <translation>Archivo de datos:</translation>
    </message>
    <message>
        <source>Setting:</source>
        <translation>Configuración:</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Empezar</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Folder: %1</source>
        <translation>Carpeta: %1</translation>
    </message>
    <message>
        <source>In use: %1</source>
        <translation>En uso: %1</translation>
    </message>
    <message>
        <source>Team:</source>
        <translation>Equipo:</translation>
    </message>
    <message>
        <source>server named in %1 (%2)</source>
        <translation>servidor indicado en %1 (%2)</translation>
    </message>
    <message>
        <source>the local socket</source>
        <translation>el socket local</translation>
    </message>
    <message>
        <source>of the login user</source>
        <translation>del usuario conectado</translation>
    </message>
    <message>
        <source>server %1:%2, database %3</source>
        <translation>servidor %1:%2, base de datos %3</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Time left: %1</source>
        <translation>Tiempo restante: %1</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 de %2</translation>
    </message>
    <message>
        <source>Cost</source>
        <translation>Coste</translation>
    </message>
    <message>
        <source>Recent Order</source>
        <translation>Último pedido</translation>
    </message>
    <message>
        <source>Back Order</source>
        <translation>Pendiente</translation>
    </message>
    <message>
        <source>Inventory</source>
        <translation>Inventario</translation>
    </message>
    <message>
        <source>Last Satisfied</source>
        <translation>Último servido</translation>
    </message>
    <message>
        <source>Demand</source>
        <translation>Demanda</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Nombre:</translation>
    </message>
    <message>
        <source>Trial:</source>
        <translation>Ronda:</translation>
    </message>
    <message>
        <source>Week:</source>
        <translation>Semana:</translation>
    </message>
    <message>
        <source>Make Order</source>
        <translation>Hacer pedido</translation>
    </message>
    <message>
        <source>Total Cost</source>
        <translation>Coste total</translation>
    </message>
    <message>
        <source>In</source>
        <translation>En</translation>
    </message>
    <message>
        <source>weeks, demand to Retailer is</source>
        <translation>semanas, la demanda al Minorista será</translation>
    </message>
    <message>
        <source>The experiment is over.</source>
        <translation>El experimento ha terminado.</translation>
    </message>
    <message>
        <source>Thank you for taking part.
Please alert your moderator.</source>
        <translation>Gracias por su participación.
Avise a la persona que dirige la sesión.</translation>
    </message>
    <message>
        <source>%1 - Setting: %2</source>
        <translation>%1 - Configuración: %2</translation>
    </message>
    <message>
        <source>Training</source>
        <translation>Práctica</translation>
    </message>
    <message>
        <source>Next Trial</source>
        <translation>Siguiente ronda</translation>
    </message>
    <message>
        <source>Game Over</source>
        <translation>Fin del juego</translation>
    </message>
    <message>
        <source>To complete the study, please follow this link:</source>
        <translation>Para completar el estudio, siga este enlace:</translation>
    </message>
</context>
<context>
    <name>Page</name>
    <message>
        <source>Moderator</source>
        <translation>Moderador</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>Conectando...</translation>
    </message>
    <message>
        <source>The connection is lost. Reconnecting...</source>
        <translation>Se perdió la conexión. Reconectando...</translation>
    </message>
    <message>
        <source>The session has ended. Please alert your moderator.</source>
        <translation>La sesión ha terminado. Avise a la persona que dirige la sesión.</translation>
    </message>
    <message>
        <source>Join a class by its code</source>
        <translation>Unirse a una clase con su código</translation>
    </message>
    <message>
        <source>Join a class</source>
        <translation>Unirse a una clase</translation>
    </message>
    <message>
        <source>Class code:</source>
        <translation>Código de la clase:</translation>
    </message>
    <message>
        <source>Join</source>
        <translation>Unirse</translation>
    </message>
    <message>
        <source>To complete the study, please follow this link:</source>
        <translation>Para completar el estudio, siga este enlace:</translation>
    </message>
    <message>
        <source>Your name:</source>
        <translation>Su nombre:</translation>
    </message>
    <message>
        <source>Setting: %1</source>
        <translation>Configuración: %1</translation>
    </message>
    <message>
        <source>Waiting for the teacher to start</source>
        <translation>Esperando a que el profesor comience</translation>
    </message>
    <message>
        <source>There is no class with this code.</source>
        <translation>No hay ninguna clase con este código.</translation>
    </message>
    <message>
        <source>This class takes nobody new any more.</source>
        <translation>Esta clase ya no admite a nadie más.</translation>
    </message>
    <message>
        <source>This class has ended.</source>
        <translation>Esta clase ha terminado.</translation>
    </message>
    <message>
        <source>This User ID cannot be used. Please type another one.</source>
        <translation>Este ID de usuario no se puede usar. Escriba otro, por favor.</translation>
    </message>
</context>
<context>
    <name>ParticipantSession</name>
    <message>
        <source>The class is paused. Please wait for your teacher.</source>
        <translation>La clase está en pausa. Por favor, espere a su profesor.</translation>
    </message>
</context>
<context>
    <name>PauseWindow</name>
    <message>
        <source>Please alert your moderator that you are ready for some questions.  When finished, you will be informed of the password needed to continue.</source>
        <translation>Avise a la persona que dirige la sesión de que está listo para unas preguntas.  Al terminar, se le dirá la contraseña para continuar.</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Continuar</translation>
    </message>
</context>
<context>
    <name>QtPrompter</name>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Sí</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abortar</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Reintentar</translation>
    </message>
    <message>
        <source>Ignore</source>
        <translation>Ignorar</translation>
    </message>
</context>
<context>
    <name>Questionnaire</name>
    <message>
        <source>Freshmen</source>
        <translation>Primer curso</translation>
    </message>
    <message>
        <source>Sophomore</source>
        <translation>Segundo curso</translation>
    </message>
    <message>
        <source>Junior</source>
        <translation>Tercer curso</translation>
    </message>
    <message>
        <source>Senior</source>
        <translation>Cuarto curso</translation>
    </message>
    <message>
        <source>Graduate</source>
        <translation>Posgrado</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Otro</translation>
    </message>
    <message>
        <source>Art</source>
        <translation>Bellas Artes</translation>
    </message>
    <message>
        <source>Chemical Engineering</source>
        <translation>Ingeniería Química</translation>
    </message>
    <message>
        <source>Civil &amp; Environmental Engineering</source>
        <translation>Ingeniería Civil y Ambiental</translation>
    </message>
    <message>
        <source>Electrical &amp; Computer Engineering</source>
        <translation>Ingeniería Eléctrica e Informática</translation>
    </message>
    <message>
        <source>Engineering &amp; Public Policy</source>
        <translation>Ingeniería y Políticas Públicas</translation>
    </message>
    <message>
        <source>Mechanical Engineering</source>
        <translation>Ingeniería Mecánica</translation>
    </message>
    <message>
        <source>Materials Science &amp; Engineering</source>
        <translation>Ciencia e Ingeniería de Materiales</translation>
    </message>
    <message>
        <source>Architecture</source>
        <translation>Arquitectura</translation>
    </message>
    <message>
        <source>Design</source>
        <translation>Diseño</translation>
    </message>
    <message>
        <source>Drama</source>
        <translation>Arte Dramático</translation>
    </message>
    <message>
        <source>Music</source>
        <translation>Música</translation>
    </message>
    <message>
        <source>Economics</source>
        <translation>Economía</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Filología Inglesa</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Historia</translation>
    </message>
    <message>
        <source>Modern Languages</source>
        <translation>Lenguas Modernas</translation>
    </message>
    <message>
        <source>Philosophy</source>
        <translation>Filosofía</translation>
    </message>
    <message>
        <source>Psychology</source>
        <translation>Psicología</translation>
    </message>
    <message>
        <source>Social &amp; Decision Sciences</source>
        <translation>Ciencias Sociales y de la Decisión</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>Estadística</translation>
    </message>
    <message>
        <source>Industrial Management</source>
        <translation>Organización Industrial</translation>
    </message>
    <message>
        <source>Biological Sciences</source>
        <translation>Biología</translation>
    </message>
    <message>
        <source>Chemistry</source>
        <translation>Química</translation>
    </message>
    <message>
        <source>Mathematical Sciences</source>
        <translation>Matemáticas</translation>
    </message>
    <message>
        <source>Physics</source>
        <translation>Física</translation>
    </message>
    <message>
        <source>Computer Science</source>
        <translation>Informática</translation>
    </message>
    <message>
        <source>Male</source>
        <translation>Hombre</translation>
    </message>
    <message>
        <source>Female</source>
        <translation>Mujer</translation>
    </message>
</context>
<context>
    <name>QuestionnaireWindow</name>
    <message>
        <source>New User Questionaire</source>
        <translation>Cuestionario para usuarios nuevos</translation>
    </message>
    <message>
        <source>Please provide some background information for our experiment.</source>
        <translation>Por favor, facilítenos algunos datos sobre usted para nuestro experimento.</translation>
    </message>
    <message>
        <source>Subject ID:</source>
        <translation>ID de participante:</translation>
    </message>
    <message>
        <source>Age:</source>
        <translation>Edad:</translation>
    </message>
    <message>
        <source>Class Status:</source>
        <translation>Curso:</translation>
    </message>
    <message>
        <source>Major:</source>
        <translation>Carrera:</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Please indicate gender</source>
        <translation>Indique su sexo</translation>
    </message>
    <message>
        <source>Gender Missing</source>
        <translation>Falta el sexo</translation>
    </message>
    <message>
        <source>Please enter your age (I know you&apos;re older than 5)</source>
        <translation>Introduzca su edad (al menos 5 años)</translation>
    </message>
    <message>
        <source>Age Missing or Invalid</source>
        <translation>Edad ausente o no válida</translation>
    </message>
</context>
<context>
    <name>Records</name>
    <message>
        <source>the setting has no trial of that number</source>
        <translation>la configuración no tiene ninguna ronda con ese número</translation>
    </message>
    <message>
        <source>the trial has no week of that number</source>
        <translation>la ronda no tiene ninguna semana con ese número</translation>
    </message>
    <message>
        <source>a week is recorded as four rows, one for each stage, written together</source>
        <translation>una semana se registra como cuatro filas, una por etapa, escritas juntas</translation>
    </message>
    <message>
        <source>the trial is recorded as played, but no week of it or of a later trial is: the game would play it and record it under the next number</source>
        <translation>la ronda está registrada como jugada, pero ninguna semana suya ni de una ronda posterior lo está: el juego la jugaría y la registraría con el número siguiente</translation>
    </message>
    <message>
        <source>the User ID is not registered (datUser has no row of it), yet has records</source>
        <translation>el ID de usuario no está registrado (datUser no tiene ninguna fila suya), pero tiene registros</translation>
    </message>
</context>
<context>
    <name>Roles</name>
    <message>
        <source>Factory</source>
        <translation>Fábrica</translation>
    </message>
    <message>
        <source>Distributor</source>
        <translation>Distribuidor</translation>
    </message>
    <message>
        <source>Wholesaler</source>
        <translation>Mayorista</translation>
    </message>
    <message>
        <source>Retailer</source>
        <translation>Minorista</translation>
    </message>
</context>
<context>
    <name>SkipTrainingDialog</name>
    <message>
        <source>Password to skip training</source>
        <translation>Contraseña para saltar la práctica</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Hecho</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Moderator: type the training&apos;s password to end the training and start the experiment.</source>
        <translation>Moderador: escriba la contraseña de la práctica para terminar la práctica y empezar el experimento.</translation>
    </message>
</context>
<context>
    <name>SplashWindow</name>
    <message>
        <source>Version %1</source>
        <translation>Versión %1</translation>
    </message>
    <message>
        <source>For %1, with Qt %2</source>
        <translation>Para %1, con Qt %2</translation>
    </message>
    <message>
        <source>A supply-chain ordering game for laboratory studies of dynamic decision making, written by the Quarn Game developers.

For research and teaching use. Results recorded with it belong to the study that collected them; participants take part under that study&apos;s consent procedure.</source>
        <translation>Un juego de pedidos en una cadena de suministro para estudios de laboratorio sobre la toma de decisiones dinámicas, escrito por los desarrolladores de Quarn Game.

Para uso en investigación y docencia. Los resultados registrados pertenecen al estudio que los recogió; los participantes toman parte según el procedimiento de consentimiento de ese estudio.</translation>
    </message>
</context>
<context>
    <name>Text</name>
    <message>
        <source>holds bytes that are not UTF-8 text</source>
        <translation>contiene bytes que no son texto UTF-8</translation>
    </message>
    <message>
        <source>holds a comma</source>
        <translation>contiene una coma</translation>
    </message>
    <message>
        <source>holds a line break</source>
        <translation>contiene un salto de línea</translation>
    </message>
</context>
<context>
    <name>Training</name>
    <message>
        <source>Cost ran above %1</source>
        <translation>El coste superó %1</translation>
    </message>
    <message>
        <source>Inventory/Backorder exceeded %1</source>
        <translation>El inventario/pendiente superó %1</translation>
    </message>
</context>
<context>
    <name>TrialCharts</name>
    <message>
        <source> (participant)</source>
        <translation> (participante)</translation>
    </message>
    <message>
        <source>Customer demand</source>
        <translation>Demanda del cliente</translation>
    </message>
    <message>
        <source>Week</source>
        <translation>Semana</translation>
    </message>
    <message>
        <source>Units ordered</source>
        <translation>Unidades pedidas</translation>
    </message>
    <message>
        <source>Zero</source>
        <translation>Cero</translation>
    </message>
    <message>
        <source>Net inventory (units)</source>
        <translation>Inventario neto (unidades)</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Unidades</translation>
    </message>
    <message>
        <source>Demand received</source>
        <translation>Demanda recibida</translation>
    </message>
    <message>
        <source>Orders placed</source>
        <translation>Pedidos realizados</translation>
    </message>
    <message>
        <source>Total cost</source>
        <translation>Coste total</translation>
    </message>
    <message>
        <source>Chain</source>
        <translation>Cadena</translation>
    </message>
    <message>
        <source>Cost so far</source>
        <translation>Coste acumulado</translation>
    </message>
    <message>
        <source>no participant</source>
        <translation>sin participante</translation>
    </message>
    <message>
        <source>participant as %1</source>
        <translation>participante como %1</translation>
    </message>
    <message>
        <source>Setting %1, trial %2: %3, %4 weeks, delay %5</source>
        <translation>Configuración %1, ronda %2: %3, %4 semanas, retraso %5</translation>
    </message>
    <message>
        <source>Orders of each stage per week</source>
        <translation>Pedidos de cada etapa por semana</translation>
    </message>
    <message>
        <source>Inventory of each stage per week (backlog below zero)</source>
        <translation>Inventario de cada etapa por semana (pedidos pendientes bajo cero)</translation>
    </message>
    <message>
        <source>No participant in this trial</source>
        <translation>Ningún participante en esta ronda</translation>
    </message>
    <message>
        <source>The participant&apos;s orders (%1) and the demand received</source>
        <translation>Los pedidos del participante (%1) y la demanda recibida</translation>
    </message>
    <message>
        <source>Cost so far of each stage and of the chain</source>
        <translation>Coste acumulado de cada etapa y de la cadena</translation>
    </message>
    <message>
        <source>Cost of each stage over the trial</source>
        <translation>Coste de cada etapa en la ronda</translation>
    </message>
    <message>
        <source>Cost of each stage over the trial (participant: %1)</source>
        <translation>Coste de cada etapa en la ronda (participante: %1)</translation>
    </message>
    <message>
        <source>%1 (member %2)</source>
        <translation>%1 (miembro %2)</translation>
    </message>
    <message>
        <source>Simulated</source>
        <translation>Simulado</translation>
    </message>
    <message>
        <source>,&lt;br&gt;%1 from week %2</source>
        <translation>,&lt;br&gt;%1 desde la semana %2</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 (%2, member %3)</source>
        <translation>%1 (%2, miembro %3)</translation>
    </message>
    <message>
        <source>%1 (%2 from week %3)</source>
        <translation>%1 (%2 desde la semana %3)</translation>
    </message>
    <message>
        <source>%1 as %2</source>
        <translation>%1 como %2</translation>
    </message>
    <message>
        <source>team %1 (%2)</source>
        <translation>equipo %1 (%2)</translation>
    </message>
    <message>
        <source>The team&apos;s orders per week: each line a person or a simulated player</source>
        <translation>Los pedidos del equipo por semana: cada línea una persona o un jugador simulado</translation>
    </message>
</context>
<context>
    <name>WorkstationMark</name>
    <message>
        <source>%1 is playing at workstation %2 since %3.<byte value="xd"/>
Take %1 over on this workstation?  Answer Yes only if that session has ended.</source>
        <translation>%1 está jugando en el puesto %2 desde %3.<byte value="xd"/>
¿Continuar con %1 en este puesto?  Responda Sí solo si esa sesión ha terminado.</translation>
    </message>
</context>
</TS>
