// The participant's page: shows what the server's messages say, as the main
// window shows the game's events, and sends the participant's login, orders
// and the moderator's passwords. Incoming messages are taken in order; a
// message box, the shipments' movement and a finished trial hold the ones
// after them, as the window's modal boxes and animation hold the game.
"use strict";
(() => {
  const $ = (id) => document.getElementById(id);

  // ---- Texts: the windows' translations, by context and English source.
  let texts = {};
  // Marks a text for the translation files; translated where it is shown.
  const QT_TRANSLATE_NOOP = (context, source) => [context, source];
  const qsTranslate = (context, source) => {
    const translated = texts[context] && texts[context][source];
    return translated || source;
  };
  const tr = (text) => qsTranslate(text[0], text[1]);
  const fill = (text, ...args) => text.replace(/%(\d)/g, (all, n) => (n <= args.length ? args[n - 1] : all));

  const kRoleNames = [
    QT_TRANSLATE_NOOP("Roles", "Factory"), QT_TRANSLATE_NOOP("Roles", "Distributor"),
    QT_TRANSLATE_NOOP("Roles", "Wholesaler"), QT_TRANSLATE_NOOP("Roles", "Retailer")];
  // A stage's figures: the message's name, the value's and the caption's
  // control names, the caption.
  const kFigures = [
    ["recentOrder", "lblOrder", "tagOrder", QT_TRANSLATE_NOOP("MainWindow", "Recent Order")],
    ["backorder", "lblBackOrder", "tagBackOrder", QT_TRANSLATE_NOOP("MainWindow", "Back Order")],
    ["inventory", "lblInventory", "tagInventory", QT_TRANSLATE_NOOP("MainWindow", "Inventory")],
    ["satisfied", "lblSatisfied", "tagSatisfied", QT_TRANSLATE_NOOP("MainWindow", "Last Satisfied")],
    ["demand", "lblDemand", "tagDemand", QT_TRANSLATE_NOOP("MainWindow", "Demand")],
    ["totalCost", "lblSpent", "tagCost", QT_TRANSLATE_NOOP("MainWindow", "Cost")]];
  const kCaptions = {
    lblLoginTitle: QT_TRANSLATE_NOOP("LoginWindow", "Quarngame Login"),
    lblUserID: QT_TRANSLATE_NOOP("LoginWindow", "User ID:"),
    lblSetting: QT_TRANSLATE_NOOP("LoginWindow", "Setting:"),
    lblTeam: QT_TRANSLATE_NOOP("LoginWindow", "Team:"),
    cmdStart: QT_TRANSLATE_NOOP("LoginWindow", "Start"),
    lblQuestionnaireTitle: QT_TRANSLATE_NOOP("QuestionnaireWindow", "New User Questionaire"),
    Label6: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Please provide some background information for our experiment."),
    lblSubjectID: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Subject ID:"),
    Label10: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Age:"),
    lblGender_0: QT_TRANSLATE_NOOP("Questionnaire", "Male"),
    lblGender_1: QT_TRANSLATE_NOOP("Questionnaire", "Female"),
    Label4: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Class Status:"),
    Label5: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Major:"),
    cmdOK: QT_TRANSLATE_NOOP("QuestionnaireWindow", "OK"),
    cmdCancel: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Cancel"),
    tagTotalCost: QT_TRANSLATE_NOOP("MainWindow", "Total Cost"),
    lblPrefix: QT_TRANSLATE_NOOP("MainWindow", "In"),
    lblSuffix: QT_TRANSLATE_NOOP("MainWindow", "weeks, demand to Retailer is"),
    lblTraining: QT_TRANSLATE_NOOP("MainWindow", "Training"),
    lblName: QT_TRANSLATE_NOOP("MainWindow", "Name:"),
    tagTrial: QT_TRANSLATE_NOOP("MainWindow", "Trial:"),
    tagWeek: QT_TRANSLATE_NOOP("MainWindow", "Week:"),
    cmdSkipTraining: QT_TRANSLATE_NOOP("Page", "Moderator"),
    lblClosing: QT_TRANSLATE_NOOP("MainWindow", "The experiment is over."),
    lblAlertModerator: QT_TRANSLATE_NOOP("MainWindow", "Thank you for taking part.\nPlease alert your moderator."),
    cmdGameOver: QT_TRANSLATE_NOOP("MainWindow", "Game Over"),
    cmdMessageOk: QT_TRANSLATE_NOOP("QtPrompter", "OK"),
    cmdYes: QT_TRANSLATE_NOOP("QtPrompter", "&Yes"),
    cmdNo: QT_TRANSLATE_NOOP("QtPrompter", "&No"),
    lblAlert: QT_TRANSLATE_NOOP("PauseWindow", "Please alert your moderator that you are ready for some questions.  When finished, you will be informed of the password needed to continue."),
    cmdContinue: QT_TRANSLATE_NOOP("PauseWindow", "Continue"),
    lblSkipTitle: QT_TRANSLATE_NOOP("SkipTrainingDialog", "Password to skip training"),
    lblPrompt: QT_TRANSLATE_NOOP("SkipTrainingDialog", "Moderator: type the training's password to end the training and start the experiment."),
    cmdDone: QT_TRANSLATE_NOOP("SkipTrainingDialog", "Done"),
    cmdSkipCancel: QT_TRANSLATE_NOOP("SkipTrainingDialog", "Cancel"),
    cmdShowJoin: QT_TRANSLATE_NOOP("Page", "Join a class by its code"),
    lblJoinTitle: QT_TRANSLATE_NOOP("Page", "Join a class"),
    lblClassCode: QT_TRANSLATE_NOOP("Page", "Class code:"),
    cmdJoin: QT_TRANSLATE_NOOP("Page", "Join"),
    lblCompletionText: QT_TRANSLATE_NOOP("Page", "To complete the study, please follow this link:"),
  };
  // A class's texts: what the student gives, and why a join was refused.
  const kJoinAs = {
    name: QT_TRANSLATE_NOOP("Page", "Your name:"),
    id: QT_TRANSLATE_NOOP("LoginWindow", "User ID:"),
  };
  const kJoinSetting = QT_TRANSLATE_NOOP("Page", "Setting: %1");
  const kClassWaiting = QT_TRANSLATE_NOOP("Page", "Waiting for the teacher to start");
  const kJoinRefusals = {
    unknownClass: QT_TRANSLATE_NOOP("Page", "There is no class with this code."),
    classClosed: QT_TRANSLATE_NOOP("Page", "This class takes nobody new any more."),
    classEnded: QT_TRANSLATE_NOOP("Page", "This class has ended."),
    subjectRefused: QT_TRANSLATE_NOOP("Page", "This User ID cannot be used. Please type another one."),
  };
  const kMainCaption = "Korvi Lab: Quarn Game";
  const kConnecting = QT_TRANSLATE_NOOP("Page", "Connecting...");
  const kReconnecting = QT_TRANSLATE_NOOP("Page", "The connection is lost. Reconnecting...");
  const kSessionEnded = QT_TRANSLATE_NOOP("Page", "The session has ended. Please alert your moderator.");
  const kMakeOrder = QT_TRANSLATE_NOOP("MainWindow", "Make Order");
  const kNextTrial = QT_TRANSLATE_NOOP("MainWindow", "Next Trial");
  const kCounter = QT_TRANSLATE_NOOP("MainWindow", "%1 of %2");
  const kSettingCaption = QT_TRANSLATE_NOOP("MainWindow", "%1 - Setting: %2");
  // The questionnaire's offered answers, recorded in English.
  const offered = (answers) => answers.map((answer) => ["Questionnaire", answer]);
  const kClasses = offered(["Freshmen", "Sophomore", "Junior", "Senior", "Graduate", "Other"]);
  const kMajors = offered(["Art", "Chemical Engineering", "Civil & Environmental Engineering",
    "Electrical & Computer Engineering", "Engineering & Public Policy", "Mechanical Engineering",
    "Materials Science & Engineering", "Architecture", "Design", "Drama", "Music", "Economics",
    "English", "History", "Modern Languages", "Philosophy", "Psychology",
    "Social & Decision Sciences", "Statistics", "Industrial Management", "Biological Sciences",
    "Chemistry", "Mathematical Sciences", "Physics", "Computer Science", "Other"]);
  // The message kinds by the number an older server sends instead of a name.
  const kPromptKinds = ["Message", "Error", "DatabaseOutdated", "DatabaseRetry",
    "DatabaseWriteFailed", "DatabaseNotStored", "DatabaseRefused", "TextWriteFailed",
    "TextNotWritten", "SetupFileMissing", "InvalidSetting", "SettingBreaksTextLines",
    "SubjectIdRefused", "PlanRefused", "RegisterNewUser", "QuestionnaireIncomplete",
    "RegistrationFailed", "TakeOver", "CompletedAll", "Resume", "TeamNameNeeded", "TeamFull",
    "TeamOfOtherMember", "RecordsContradict", "OrderAboveLimit", "TrainingIntro",
    "TrainingConstraints", "TrainingFailed", "TrainingComplete", "NoTrialLeft", "TrialEnded",
    "GameOver", "IncorrectPassword", "ConfirmExit", "TakenOverElsewhere"];
  const kAnimationMs = 300;
  const kLoginKey = "quarn.login";

  // ---- The game as the page shows it.
  const game = {
    language: "", subject: "", setting: "", training: false, trialCounter: "",
    weekCounter: "", role: -1, turn: 0, weekOpen: false, orderSent: false, shownAt: 0,
    trucks: [[], [], [], []], over: false, status: kConnecting,
  };
  let socket = null;
  let retryMs = 500;
  let endedByServer = false;
  let pendingLogin = null;  // the login sent and not yet answered
  let lastKind = "";        // the kind of the latest message box
  const inbox = [];
  let held = false;

  // ---- Texts in the participant's language.
  function applyTexts() {
    for (const [id, text] of Object.entries(kCaptions)) $(id).textContent = tr(text).replace("&", "");
    document.querySelectorAll(".role").forEach((frame, r) => {
      frame.querySelector("h2").textContent = tr(kRoleNames[r]);
      for (const [, , tag, caption] of kFigures) $(`${tag}_${r}`).textContent = tr(caption);
    });
    fillAnswers("lstClass", kClasses);
    fillAnswers("lstMajor", kMajors);
    showCounters();
    showOrderCaption();
    showStatus(game.status);
    if (game.subject) document.title = fill(tr(kSettingCaption), kMainCaption, game.setting);
  }

  function fillAnswers(listId, answers) {
    $(listId).replaceChildren(...answers.map((answer) => {
      const option = document.createElement("option");
      option.value = tr(answer);
      return option;
    }));
  }

  // The texts of `language` ("de", "de-AT"); English, or a language the
  // server has no texts for, shows the English source texts.
  function useLanguage(language) {
    const wanted = (language || "").toLowerCase().split(/[-_]/)[0];
    if (!/^[a-z]{2,3}$/.test(wanted)) return;
    game.language = wanted;
    const loading = wanted === "en" ? Promise.resolve({}) :
      fetch(`/texts/${wanted}.json`).then((response) => (response.ok ? response.json() : {}));
    loading.catch(() => ({})).then((loaded) => {
      if (game.language !== wanted) return;  // a later choice came first
      texts = loaded;
      document.documentElement.lang = wanted;
      applyTexts();
    });
  }

  // ---- The chain's stages, built once.
  function buildRoles() {
    const roles = $("roles");
    for (let r = 0; r < 4; ++r) {
      const frame = document.createElement("section");
      frame.className = "role card";
      frame.id = `fraRole_${r}`;
      const name = document.createElement("h2");
      name.id = `lblRole_${r}`;
      const road = document.createElement("div");
      road.className = "road";
      road.id = `fraRoad_${r}`;
      const details = document.createElement("div");
      details.className = "figures";
      details.id = `fraDetails_${r}`;
      for (const [, control, tag] of kFigures) {
        const figure = document.createElement("div");
        figure.className = control === "lblSpent" ? "figure spent" : "figure";
        const value = document.createElement("span");
        value.className = "value";
        value.id = `${control}_${r}`;
        const caption = document.createElement("span");
        caption.id = `${tag}_${r}`;
        figure.append(value, caption);
        figure.hidden = true;
        details.append(figure);
      }
      frame.append(name, road, details);
      roles.append(frame);
    }
  }

  function counterText(counter) {
    const parts = String(counter || "").split(" of ");
    return parts.length === 2 ? fill(tr(kCounter), parts[0], parts[1]) : String(counter || "");
  }

  function showCounters() {
    $("lblSubjectName").textContent = game.subject;
    $("lblTrial").textContent = counterText(game.trialCounter);
    $("lblWeek").textContent = counterText(game.weekCounter);
  }

  function showStatus(text) {
    game.status = text;
    $("status").hidden = !text;
    if (text) $("status").textContent = tr(text);
  }

  // ---- Screens.
  function showScreen(id) {
    for (const screen of ["frmLogin", "frmJoin", "frmNewUser", "frmMain", "fraClosing"]) $(screen).hidden = screen !== id;
  }

  function closeDialog(id) {
    if ($(id).open) $(id).close();
  }

  // ---- The order box: digits only, at most four; Enter orders; locked
  // from the order sent until the next week opens or the order is refused.
  function showOrderCaption() {
    $("cmdOrder").textContent = tr(held === "nextTrial" ? kNextTrial : kMakeOrder);
  }

  function lockOrder() {
    $("txtOrder").disabled = true;
    $("cmdOrder").disabled = true;
  }

  function unlockOrder() {
    const box = $("txtOrder");
    box.disabled = false;
    $("cmdOrder").disabled = box.value.trim() === "";
    box.focus();
    box.select();
  }

  function sendOrder() {
    const box = $("txtOrder");
    if (!game.weekOpen || game.orderSent || box.disabled || !/^[0-9]{1,4}$/.test(box.value)) return;
    game.orderSent = true;
    lockOrder();
    send({ type: "order", turn: game.turn, value: box.value,
      decisionMs: Math.max(0, Math.min(2147483647, Math.round(performance.now() - game.shownAt))) });
  }

  function orderNotTaken() {
    if (!game.orderSent) return;
    game.orderSent = false;
    if (game.weekOpen) unlockOrder();
  }

  function onOrderKey(event) {
    const box = event.target;
    if (event.key === "Enter") {
      event.preventDefault();
      if (!event.repeat) sendOrder();
    } else if (event.key === "e" && game.training) {
      event.preventDefault();
      openSkipDialog();
    } else if (/^[0-9]$/.test(event.key)) {
      // A lone 0 is typed over.
      if (box.value === "0" && box.selectionStart === box.selectionEnd) box.value = "";
    } else if (event.key.length === 1 && !event.ctrlKey && !event.metaKey && !event.altKey) {
      event.preventDefault();
    }
  }

  function onOrderInput() {
    const box = $("txtOrder");
    const digits = box.value.replace(/[^0-9]/g, "").slice(0, 4);
    if (digits !== box.value) box.value = digits;
    $("cmdOrder").disabled = box.disabled || digits === "";
  }

  function onOrderButton() {
    if (held === "nextTrial") {
      $("cmdOrder").disabled = true;
      release();
    } else {
      sendOrder();
    }
  }

  // ---- Message boxes.
  function kindName(kind) {
    return typeof kind === "number" ? kPromptKinds[kind] || "Message" : String(kind || "Message");
  }

  function isQuestion(message) {
    return message.style ? !/^ok/i.test(message.style) : message.answer !== undefined;
  }

  // A question the server answered in the moderator's place is not asked
  // again; a take-over it refused is asked, and Yes logs in taking over.
  function showMessage(message) {
    const kind = kindName(message.kind);
    lastKind = kind;
    const takeOver = kind === "TakeOver" && message.answer === "no" && lastLogin !== null;
    if (isQuestion(message) && !takeOver) return false;
    $("lblMessageTitle").textContent = message.title || "";
    $("lblMessageText").textContent = String(message.text || "").replace(/\r\n/g, "\n");
    $("cmdMessageOk").hidden = takeOver;
    $("cmdYes").hidden = !takeOver;
    $("cmdNo").hidden = !takeOver;
    $("dlgMessage").dataset.kind = kind;
    $("dlgMessage").showModal();
    (takeOver ? $("cmdNo") : $("cmdMessageOk")).focus();
    return true;
  }

  function answerMessage(yes) {
    const kind = $("dlgMessage").dataset.kind;
    closeDialog("dlgMessage");
    // The refusal that came with the question is taken before the new login.
    if (held === "message") release();
    if (kind === "TakeOver" && yes && lastLogin) sendLogin(Object.assign({}, lastLogin, { takeOver: true }));
    if (!$("frmLogin").hidden && !$("cmdStart").disabled) $("txtSubjectID").focus();
    else if (game.weekOpen && !game.orderSent && !$("txtOrder").disabled) $("txtOrder").focus();
  }

  // ---- The pause and the skip password.
  function openPause() {
    $("txtPassword").value = "";
    if (!$("frmPause").open) $("frmPause").showModal();
    $("txtPassword").focus();
  }

  function sendPausePassword() {
    send({ type: "pause", password: $("txtPassword").value });
  }

  function openSkipDialog() {
    if (!game.training) return;
    $("txtSkipPassword").value = "";
    if (!$("frmPassword").open) $("frmPassword").showModal();
    $("txtSkipPassword").focus();
  }

  function sendSkipPassword() {
    if (!game.training) return closeDialog("frmPassword");
    send({ type: "skipTraining", password: $("txtSkipPassword").value });
  }

  function selectPassword(id) {
    $(id).focus();
    $(id).select();
  }

  // ---- The login and the questionnaire.
  let lastLogin = null;

  function storedLogin() {
    try {
      const login = JSON.parse(sessionStorage.getItem(kLoginKey));
      return login && typeof login.subject === "string" ? login : null;
    } catch (error) {
      return null;
    }
  }

  function sendLogin(login) {
    lastLogin = { subject: login.subject, setting: login.setting, team: login.team };
    if (login.classCode) {
      Object.assign(lastLogin, { classCode: login.classCode, given: login.given, joinAs: login.joinAs });
    }
    pendingLogin = lastLogin;
    $("cmdStart").disabled = true;
    $("cmdJoin").disabled = true;
    const message = login.classCode ? joinMessage(login) :
      { type: "login", subject: login.subject, setting: login.setting };
    if (login.team && !login.classCode) message.team = login.team;
    if (login.questionnaire) message.questionnaire = login.questionnaire;
    if (login.takeOver) message.takeOver = true;
    send(message);
  }

  function onLogin(event) {
    event.preventDefault();
    const subject = $("txtSubjectID").value;
    if (subject.trim() === "" || pendingLogin) return;
    sendLogin({ subject, setting: $("cboSetting").value, team: $("txtTeam").value });
  }

  // ---- A class: joined by its code with a name or a User ID.
  let joinAs = "";  // what the class asks for: "name" or "id"; "" before the server said

  function joinMessage(login) {
    const message = { type: "joinClass", code: login.classCode };
    if (login.joinAs === "name") message.name = login.given;
    else message.subject = login.given;
    return message;
  }

  // The code of the class the address names: /join/CODE or ?class=CODE.
  function classCodeOfAddress() {
    const path = /^\/join\/([^/]*)$/.exec(location.pathname);
    if (path) return decodeURIComponent(path[1]);
    return new URLSearchParams(location.search).get("class");
  }

  // An online study's link: ?id=USERID&setting=SETTING (&team=TEAM).
  function studyLinkOfAddress() {
    const query = new URLSearchParams(location.search);
    const subject = query.get("id"), setting = query.get("setting");
    if (!subject || !setting) return null;
    return { subject, setting, team: query.get("team") || "" };
  }

  function showJoin(code) {
    showScreen("frmJoin");
    if (code !== undefined && code !== null) $("txtClassCode").value = code;
    $("txtClassCode").disabled = false;
    showJoinNote("");
    joinAs = "";
    $("lblJoinSetting").hidden = true;
    $("lblJoinName").hidden = true;
    $("txtJoinName").hidden = true;
    $("txtJoinName").disabled = false;
    $("cmdJoin").disabled = $("txtClassCode").value.trim() === "";
    if ($("txtClassCode").value.trim() !== "") askClass();
    else $("txtClassCode").focus();
  }

  function showJoinNote(text) {
    $("lblJoinNote").textContent = text ? tr(text) : "";
    $("lblJoinNote").hidden = !text;
  }

  // Asks the server what the class of the typed code needs.
  function askClass() {
    pendingLogin = { classCode: $("txtClassCode").value };
    $("cmdJoin").disabled = true;
    send({ type: "joinClass", code: $("txtClassCode").value });
  }

  function onJoin(event) {
    event.preventDefault();
    if (pendingLogin) return;
    if (!joinAs) return askClass();
    const given = $("txtJoinName").value;
    if (given.trim() === "") return;
    sendLogin({ classCode: $("txtClassCode").value, given, joinAs, subject: given, setting: "", team: "" });
  }

  function joinRefused(reason) {
    pendingLogin = null;
    sessionStorage.removeItem(kLoginKey);
    if ($("frmJoin").hidden) showJoin();
    showJoinNote(kJoinRefusals[reason] || "");
    if (reason === "unknownClass" || reason === "classEnded") {
      joinAs = "";
      $("txtClassCode").disabled = false;
      $("txtClassCode").select();
    }
    $("cmdJoin").disabled = false;
  }

  function loginRefused(reason) {
    pendingLogin = null;
    // A server that asks no questionnaire itself refuses a new User ID
    // after registering it would have been agreed.
    if (reason === "questionnaireNeeded" || (reason === "refused" && lastKind === "RegisterNewUser")) {
      return showQuestionnaire();
    }
    if (!$("frmNewUser").hidden && lastKind === "QuestionnaireIncomplete") return;
    sessionStorage.removeItem(kLoginKey);
    if (lastLogin && lastLogin.classCode) {
      $("cmdJoin").disabled = false;
      return showScreen("frmJoin");
    }
    showScreen("frmLogin");
    $("cmdStart").disabled = $("txtSubjectID").value.trim() === "";
    $("txtSubjectID").focus();
    $("txtSubjectID").select();
  }

  function showQuestionnaire() {
    if (!lastLogin) return;
    if ($("frmNewUser").hidden) {
      $("frmNewUser").reset();
      $("lblSubject").textContent = lastLogin.subject;
    }
    showScreen("frmNewUser");
    $("txtAge").focus();
  }

  // An offered answer is recorded in English, a typed one as typed, a
  // blank one as "Other".
  function answerOf(id, offered) {
    const typed = $(id).value;
    if (typed.trim() === "") return "Other";
    const found = offered.find((answer) => tr(answer) === typed);
    return found ? found[1] : typed;
  }

  // The window's checks, with its messages: a gender chosen, an age of 5
  // or more. The server checks the answers again.
  function questionnaireFault(answers) {
    if (!answers.gender) {
      return { title: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Gender Missing"),
        text: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Please indicate gender") };
    }
    if (!(answers.age >= 5)) {
      return { title: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Age Missing or Invalid"),
        text: QT_TRANSLATE_NOOP("QuestionnaireWindow", "Please enter your age (I know you're older than 5)") };
    }
    return null;
  }

  function onQuestionnaire(event) {
    event.preventDefault();
    if (!lastLogin || pendingLogin || held) return;
    const answers = { schoolYear: answerOf("cboClass", kClasses), major: answerOf("cboMajor", kMajors) };
    const gender = document.querySelector('input[name="gender"]:checked');
    if (gender) answers.gender = gender.value;
    if (/^[0-9]{1,2}$/.test($("txtAge").value)) answers.age = Number($("txtAge").value);
    const fault = questionnaireFault(answers);
    if (fault) {
      showMessage({ kind: "QuestionnaireIncomplete", style: "okWarning", title: tr(fault.title), text: tr(fault.text) });
      hold("message");
      return;
    }
    sendLogin(Object.assign({}, lastLogin, { questionnaire: answers }));
  }

  // ---- The game's messages, taken in order.
  function hold(reason) {
    held = reason;
  }

  function release() {
    held = false;
    showOrderCaption();
    pump();
  }

  function pump() {
    while (!held && inbox.length) take(inbox.shift());
  }

  function take(message) {
    const handler = handlers[message.type];
    if (handler) handler(message);
  }

  const handlers = {
    sessionStarted(message) {
      pendingLogin = null;
      endedByServer = false;
      game.subject = String(message.subject || "");
      game.setting = String(message.setting || "");
      game.over = false;
      sessionStorage.setItem(kLoginKey, JSON.stringify(lastLogin || storedLogin() ||
        { subject: game.subject, setting: game.setting, team: "" }));
      document.title = fill(tr(kSettingCaption), kMainCaption, game.setting);
      closeDialog("frmPause");
      showCounters();
      showScreen("frmMain");
      lockOrder();
    },
    language(message) {
      if (message.language) useLanguage(message.language);
    },
    training(message) {
      game.training = message.active === true;
      $("lblTraining").hidden = !game.training;
      $("cmdSkipTraining").hidden = !game.training;
      if (!game.training) closeDialog("frmPassword");
    },
    trialStarted(message) {
      closeDialog("frmPause");
      game.trialCounter = message.counter;
      game.weekCounter = message.firstWeek;
      game.role = message.role;
      showCounters();
      const slots = Math.max(0, Math.min(3, Number(message.delay) || 0));
      // A road the display hides carries nothing the page could show.
      const roads = Array.isArray(message.roads) ? message.roads : [true, true, true, true];
      game.trucks = [0, 1, 2, 3].map((r) =>
        new Array(slots).fill(roads[r] === false ? null : message.initialShipment));
      document.querySelectorAll(".role").forEach((frame, r) => {
        frame.classList.toggle("participant", r === message.role);
        frame.querySelectorAll(".figure").forEach((figure) => { figure.hidden = true; });
        showTrucks(r, false);
      });
      $("fraTotalCost").hidden = true;
      const forecast = Number(message.forecastWeeks);
      $("fraPredictor").hidden = forecast === -1 || Number.isNaN(forecast);
      $("lblPredictWeeks").textContent = String(message.forecastWeeks);
      $("lblPredict").textContent = "";
      showScreen("frmMain");
    },
    figures(message) {
      (message.roles || []).forEach((figures, r) => {
        for (const [field, control] of kFigures) {
          const value = $(`${control}_${r}`);
          if (!value) continue;
          const shown = figures && figures[field] !== undefined;
          value.parentElement.hidden = !shown;
          if (shown) value.textContent = String(figures[field]);
        }
      });
      $("fraTotalCost").hidden = message.totalCost === undefined;
      if (message.totalCost !== undefined) $("lblTotalCost").textContent = String(message.totalCost);
      if (message.forecast !== undefined) $("lblPredict").textContent = String(message.forecast);
      if (message.weekCounter) {
        game.weekCounter = message.weekCounter;
        showCounters();
      }
    },
    weekOpened(message) {
      closeDialog("frmPause");
      game.turn = message.turn;
      game.weekCounter = message.counter;
      game.weekOpen = true;
      game.orderSent = false;
      showCounters();
      showScreen("frmMain");
      $("txtOrder").value = "";
      unlockOrder();
      game.shownAt = performance.now();
    },
    shipments(message) {
      game.weekOpen = false;
      lockOrder();
      moveTrucks(message.departing, true);
      hold("animation");
      setTimeout(release, kAnimationMs);
    },
    weekReplayed(message) {
      moveTrucks(message.departing, false);
    },
    trainingRestart() {
      game.weekOpen = false;
      lockOrder();
    },
    trialEnded() {
      game.weekOpen = false;
      $("txtOrder").value = "";
      $("txtOrder").disabled = true;
      hold("nextTrial");
      showOrderCaption();
      $("cmdOrder").disabled = false;
      $("cmdOrder").focus();
    },
    trialClosed() {
      lockOrder();
    },
    paused() {
      game.weekOpen = false;
      lockOrder();
      openPause();
    },
    trainingSkipped() {
      // The training's open week is over: no order goes into it.
      closeDialog("frmPassword");
      game.weekOpen = false;
      lockOrder();
    },
    teamWaiting(message) {
      const text = String(message.text || "");
      $("lblTeamWaiting").textContent = text;
      $("lblTeamWaiting").hidden = text === "";
      if (text !== "") lockOrder();
    },
    classInfo(message) {
      pendingLogin = null;
      joinAs = message.identity === "name" ? "name" : "id";
      $("txtClassCode").value = String(message.code || "");
      $("txtClassCode").disabled = true;
      $("lblJoinSetting").textContent = fill(tr(kJoinSetting), String(message.setting || ""));
      $("lblJoinSetting").hidden = false;
      $("lblJoinName").textContent = tr(kJoinAs[joinAs]);
      $("lblJoinName").hidden = false;
      $("txtJoinName").hidden = false;
      $("cmdJoin").disabled = $("txtJoinName").value.trim() === "";
      $("txtJoinName").focus();
    },
    classJoined(message) {
      if (lastLogin) {
        lastLogin.subject = String(message.subject || "");
        lastLogin.setting = String(message.setting || "");
      }
    },
    classWaiting(message) {
      if (!message.code) {
        $("txtJoinName").disabled = false;
        return showJoinNote("");
      }
      pendingLogin = null;
      if ($("frmJoin").hidden) showScreen("frmJoin");
      $("txtJoinName").disabled = true;
      $("cmdJoin").disabled = true;
      showJoinNote(kClassWaiting);
    },
    completionLink(message) {
      showCompletionLink(message.address);
    },
    gameOver() {
      game.over = true;
      game.weekOpen = false;
      closeDialog("frmPause");
      closeDialog("frmPassword");
      sessionStorage.removeItem(kLoginKey);
      showScreen("fraClosing");
    },
    message(message) {
      if (showMessage(message)) hold("message");
    },
    refused(message) {
      if (message.of === "joinClass") joinRefused(message.reason);
      else if (message.of === "login") loginRefused(message.reason);
      else if (message.of === "order") orderNotTaken();
      else if (message.of === "pause") selectPassword("txtPassword");
      else if (message.of === "skipTraining") selectPassword("txtSkipPassword");
    },
    error(message) {
      // A message the server did not take: whatever waited on it is free.
      // A login the server finds already made (a page that came back to its
      // session) changes nothing.
      if (pendingLogin) {
        if (message.reason === "notNow") pendingLogin = null;
        else loginRefused("");
      }
      orderNotTaken();
    },
    ended() {
      endedByServer = true;
      sessionStorage.removeItem(kLoginKey);
    },
  };

  // The study's completion link, an http(s) address only.
  function showCompletionLink(link) {
    let address = null;
    try {
      address = link ? new URL(String(link)) : null;
    } catch (error) {
      address = null;
    }
    const shown = address !== null && (address.protocol === "https:" || address.protocol === "http:");
    $("lblCompletion").hidden = !shown;
    $("lnkCompletion").href = shown ? address.href : "";
    $("lnkCompletion").textContent = shown ? address.href : "";
  }

  // ---- The shipments: every truck drives one slot on; the one that
  // delivers comes back to the start of its road with what left this week.
  function moveTrucks(departing, animate) {
    (departing || []).forEach((load, r) => {
      const slots = game.trucks[r];
      if (!slots || slots.length === 0) return;
      slots.pop();
      slots.unshift(load);
      showTrucks(r, animate);
    });
  }

  function showTrucks(r, animate) {
    const road = $(`fraRoad_${r}`);
    const slots = game.trucks[r];
    road.hidden = slots.length === 0 || slots.every((load) => load === null);
    road.replaceChildren(...slots.map((load, j) => {
      const truck = document.createElement("span");
      truck.className = "truck";
      truck.id = `lblTruck_${r + 4 * j}`;
      truck.textContent = load === null || load === undefined ? "" : String(load);
      return truck;
    }));
    road.classList.remove("moving");
    if (animate) {
      void road.offsetWidth;  // restarts the animation
      road.classList.add("moving");
    }
  }

  // ---- The connection: reconnects with a growing pause after a loss; the
  // server sends the game as it stands, or, after its own restart, the
  // login kept for this tab logs in again (never a password).
  function send(message) {
    if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
  }

  function connect() {
    const path = document.querySelector('meta[name="quarn-socket"]').content;
    socket = new WebSocket(`${location.protocol === "https:" ? "wss:" : "ws:"}//${location.host}${path}`);
    socket.onopen = onOpen;
    socket.onmessage = (event) => {
      let message;
      try {
        message = JSON.parse(event.data);
      } catch (error) {
        return;
      }
      if (!message || typeof message.type !== "string") return;
      inbox.push(message);
      pump();
    };
    socket.onclose = onClose;
  }

  function onOpen() {
    retryMs = 500;
    endedByServer = false;
    pendingLogin = null;
    inbox.length = 0;
    held = false;
    closeDialog("dlgMessage");
    showOrderCaption();
    showStatus("");
    const login = storedLogin();
    const study = studyLinkOfAddress();
    const classCode = classCodeOfAddress();
    if (login) {
      lastLogin = login;
      sendLogin(login);
    } else if (!$("frmMain").hidden || !$("fraClosing").hidden || !$("frmNewUser").hidden) {
      // The screen shown stays.
    } else if (study) {
      sendLogin(study);
    } else if (classCode !== null || !$("frmJoin").hidden) {
      showJoin(classCode !== null && $("txtClassCode").value === "" ? classCode : undefined);
    } else {
      showScreen("frmLogin");
      $("cmdStart").disabled = $("txtSubjectID").value.trim() === "";
      $("txtSubjectID").focus();
    }
  }

  function onClose() {
    socket = null;
    lockOrder();
    if (game.over) return showStatus("");
    if (endedByServer) {
      showStatus(kSessionEnded);
      game.weekOpen = false;
      return;
    }
    showStatus(kReconnecting);
    setTimeout(connect, retryMs + Math.random() * 250);
    retryMs = Math.min(retryMs * 2, 8000);
  }

  // ---- Start.
  function wire() {
    $("frmLogin").addEventListener("submit", onLogin);
    $("txtSubjectID").addEventListener("input", () => {
      $("cmdStart").disabled = $("txtSubjectID").value.trim() === "" || pendingLogin !== null;
    });
    $("frmNewUser").addEventListener("submit", onQuestionnaire);
    $("frmJoin").addEventListener("submit", onJoin);
    $("cmdShowJoin").addEventListener("click", () => showJoin(""));
    $("txtClassCode").addEventListener("input", () => {
      $("cmdJoin").disabled = $("txtClassCode").value.trim() === "" || pendingLogin !== null;
    });
    $("txtJoinName").addEventListener("input", () => {
      $("cmdJoin").disabled = $("txtJoinName").value.trim() === "" || pendingLogin !== null;
    });
    $("cmdCancel").addEventListener("click", () => loginRefused(""));
    $("txtAge").addEventListener("input", () => {
      $("txtAge").value = $("txtAge").value.replace(/[^0-9]/g, "").slice(0, 2);
    });
    const box = $("txtOrder");
    box.addEventListener("keydown", onOrderKey);
    box.addEventListener("input", onOrderInput);
    box.addEventListener("paste", (event) => event.preventDefault());
    box.addEventListener("drop", (event) => event.preventDefault());
    box.addEventListener("focus", () => box.select());
    $("cmdOrder").addEventListener("click", onOrderButton);
    $("cmdSkipTraining").addEventListener("click", openSkipDialog);
    $("cmdMessageOk").addEventListener("click", () => answerMessage(false));
    $("cmdYes").addEventListener("click", () => answerMessage(true));
    $("cmdNo").addEventListener("click", () => answerMessage(false));
    $("dlgMessage").addEventListener("cancel", (event) => {
      event.preventDefault();
      answerMessage(false);
    });
    $("frmPause").addEventListener("cancel", (event) => event.preventDefault());
    $("cmdContinue").addEventListener("click", sendPausePassword);
    $("txtPassword").addEventListener("keydown", (event) => {
      if (event.key === "Enter") {
        event.preventDefault();
        sendPausePassword();
      }
    });
    $("cmdDone").addEventListener("click", sendSkipPassword);
    $("cmdSkipCancel").addEventListener("click", () => closeDialog("frmPassword"));
    $("txtSkipPassword").addEventListener("keydown", (event) => {
      if (event.key === "Enter") {
        event.preventDefault();
        sendSkipPassword();
      }
    });
    // The skip key while a training restart is pending and the box is locked.
    document.addEventListener("keydown", (event) => {
      if (event.key === "e" && game.training && event.target === document.body) openSkipDialog();
    });
  }

  buildRoles();
  wire();
  applyTexts();
  useLanguage(navigator.language);
  connect();
})();
