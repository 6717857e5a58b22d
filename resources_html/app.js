/*
 * The palette page: shows the screen the host asks for, follows an upload
 * while it runs, explains failures and sends the user's choices back. The
 * form lives in form.js and chooser.js.
 *
 * Nothing here waits for ever: sign-in and the project list offer to ask
 * again after WAIT_MS, and an upload that reports nothing for QUIET_MS says
 * that it is taking longer than expected.
 */
(function () {
  'use strict';

  var SCREENS = ['waiting', 'uploadform', 'progressscreen', 'successscreen', 'errorscreen'];
  var WAIT_MS = 30 * 1000;
  var QUIET_MS = 2 * 60 * 1000;
  var BURST_MS = 1000;           // repeated clicks within this count as one
  var FSI = '\u2068';
  var PDI = '\u2069';

  var Form = window.QrvnForm;
  var Chooser = window.QrvnChooser;
  var Status = window.QrvnStatus;

  function byId(id) { return document.getElementById(id); }

  var el = {
    signinSlow: byId('signin-slow'),
    signinRetry: byId('signin-retry'),
    cancelNote: byId('cancel-note'),
    cancelNoteDismiss: byId('cancel-note-dismiss'),
    bar: byId('progress-bar'),
    barFill: byId('progress-fill'),
    progressText: byId('progress-text'),
    progressSlow: byId('progress-slow'),
    cancelButton: byId('cancel-button'),
    successText: byId('success-text'),
    openButton: byId('open-button'),
    anotherAfterSuccess: byId('another-after-success'),
    errorHeading: byId('error-heading'),
    errorSummary: byId('error-summary'),
    tryAgain: byId('another-after-error'),
    backToForm: byId('back-to-form'),
    errorDetails: byId('error-details'),
    errorMessage: byId('error-message'),
    copyDetails: byId('copy-details'),
    copyResult: byId('copy-result'),
    announcer: byId('announcer')
  };

  var state = {
    screen: '',
    successProjectId: '',
    running: false,         // from the upload's start until the host ends it
    cancelling: false,
    lastUpload: null,       // {action, members, projectName}
    hostReportsProgress: false,
    listArrived: false,
    errorKind: '',
    lastProgressStep: -1,
    lastClick: {},
    sentThisScreen: {}
  };

  var timers = { signin: 0, list: 0, quiet: 0 };

  function restart(name, ms, fire) {
    clearTimeout(timers[name]);
    timers[name] = ms > 0 ? setTimeout(fire, ms) : 0;
  }

  // ---- building blocks ------------------------------------------------

  function announce(text) {
    el.announcer.textContent = text;
  }

  function send(action, members) {
    QrvnBridge.send(action, members || {});
  }

  // One message per click burst; `perScreen` messages go once until the
  // host shows another screen, because they ask it to do exactly that.
  function sendFromClick(action, members, perScreen) {
    var now = Date.now();
    if (now - (state.lastClick[action] || -Infinity) < BURST_MS) return false;
    if (perScreen && state.sentThisScreen[action]) return false;
    state.lastClick[action] = now;
    if (perScreen) state.sentThisScreen[action] = true;
    send(action, members);
    return true;
  }

  function isolated(name) {
    return FSI + QrvnProjectList.displayName(name) + PDI;
  }

  function showScreen(name) {
    if (name === state.screen) return;
    state.screen = name;
    state.sentThisScreen = {};
    SCREENS.forEach(function (screen) {
      byId('screen-' + screen).hidden = screen !== name;
    });
    document.body.setAttribute('data-current-screen', name);
    // Moving focus to the heading tells keyboard and screen reader users
    // where they are, instead of leaving focus on a hidden control.
    byId('screen-' + name).querySelector('h1').focus();
    if (name !== 'waiting') restart('signin', 0);
    if (name !== 'progressscreen') restart('quiet', 0);
  }

  // ---- waiting for sign-in and for the project list ---------------------

  function waitForSignIn() {
    el.signinSlow.hidden = true;
    restart('signin', WAIT_MS, function () {
      el.signinSlow.hidden = false;
      announce('Signing in is taking longer than usual.');
    });
  }

  function waitForList() {
    Chooser.setListStatus('Loading projects\u2026', false, false);
    restart('list', WAIT_MS, function () {
      Chooser.setListStatus('The project list has not arrived yet.', true, true);
    });
  }

  // Asking the host for the form again also restarts a sign-in that got
  // lost, and brings a fresh project list when signed in.
  function askAgain(restartWait) {
    if (sendFromClick('uploadanotherproject', {}, false)) restartWait();
  }

  // ---- progress -------------------------------------------------------

  function setBar(known, percent) {
    el.bar.classList.toggle('bar-busy', !known);
    el.barFill.style.width = known ? percent + '%' : '';
    if (known) el.bar.setAttribute('aria-valuenow', String(percent));
    else el.bar.removeAttribute('aria-valuenow');
  }

  function showCancel() {
    el.cancelButton.hidden = !(state.running && state.hostReportsProgress);
  }

  function startProgress() {
    if (state.screen !== 'progressscreen') {
      state.lastProgressStep = -1;
      setBar(false, 0);
      el.progressText.textContent = 'Exporting your file and sending it to StrataVox Fabriqo.';
      el.cancelButton.textContent = 'Cancel';
      el.cancelButton.removeAttribute('aria-disabled');
    }
    state.running = true;
    Form.setBusy(true);
    heardFromHost();
    showCancel();
  }

  function heardFromHost() {
    el.progressSlow.hidden = true;
    restart('quiet', QUIET_MS, function () {
      if (state.screen === 'progressscreen') el.progressSlow.hidden = false;
    });
  }

  function onProgress(members) {
    state.hostReportsProgress = true;
    if (state.screen === 'progressscreen') heardFromHost();
    showCancel();
    if (state.cancelling) return;
    var progress = Status.describeProgress(members);
    setBar(progress.known, progress.percent);
    showProgressText(progress.text);
    // Announce each phase and every quarter, not every update.
    var step = progress.known ? 10 + Math.floor(progress.percent / 25) : ['exporting', 'creating', 'announcing', 'uploading'].indexOf(progress.phase);
    if (step !== state.lastProgressStep) {
      state.lastProgressStep = step;
      announce(progress.known ? 'Uploading ' + progress.percent + ' %' : progress.text);
    }
  }

  // The line breaks between its parts only, never inside "12.3 MB/s".
  function showProgressText(text) {
    el.progressText.textContent = '';
    text.split(' \u00b7 ').forEach(function (part, i) {
      if (i > 0) el.progressText.appendChild(document.createTextNode(' \u00b7 '));
      var span = document.createElement('span');
      span.className = 'nowrap';
      span.textContent = part;
      el.progressText.appendChild(span);
    });
  }

  function cancel() {
    if (state.cancelling || !sendFromClick('cancelupload', {}, true)) return;
    state.cancelling = true;
    el.cancelButton.textContent = 'Cancelling\u2026';
    el.cancelButton.setAttribute('aria-disabled', 'true');
    el.progressText.textContent = 'Stopping the upload\u2026';
    announce('Cancelling the upload\u2026');
  }

  // ---- the end of an upload ---------------------------------------------

  function endUpload() {
    state.running = false;
    state.cancelling = false;
    Form.setBusy(false);
  }

  function showSuccess(projectId) {
    var upload = state.lastUpload;
    var name = Chooser.projectName(projectId);
    if (name === null && upload && upload.action === 'createproject') name = upload.projectName;
    var what = upload && upload.members.uploadType === 'toolpath' ? 'print job' : 'design';
    el.successText.textContent = name === null ? 'Your file is now in the project library.' : 'Your ' + what + ' is now in ';
    if (name !== null) {
      var strong = document.createElement('strong');
      strong.textContent = isolated(name);
      el.successText.appendChild(strong);
      el.successText.appendChild(document.createTextNode('.'));
    }
    state.successProjectId = projectId;
    Chooser.startAfresh();
    showScreen('successscreen');
    announce('Upload complete. ' + el.successText.textContent);
  }

  function showError(text) {
    var context = state.running ? 'upload' : state.screen === 'waiting' || state.screen === '' ? 'signin' : 'projects';
    var error = Status.describeError(text, context);
    endUpload();
    state.errorKind = error.kind;
    el.errorHeading.textContent = error.heading;
    el.errorSummary.textContent = error.summary;
    el.errorMessage.textContent = error.details;
    el.errorDetails.hidden = error.details === '';
    el.errorDetails.open = false;
    el.copyResult.textContent = '';
    el.backToForm.hidden = error.kind === 'signin';
    showScreen('errorscreen');
    announce(error.heading + '. ' + error.summary);
  }

  // The same upload with the same settings when there is one to repeat;
  // otherwise the host is asked for the form again (and for sign-in when
  // that is what failed).
  function tryAgain() {
    var upload = state.errorKind === 'upload' ? state.lastUpload : null;
    if (!upload) {
      sendFromClick('uploadanotherproject', {}, true);
      return;
    }
    if (sendFromClick(upload.action, upload.members, true)) {
      state.running = true;
      Form.setBusy(true);
    }
  }

  function backToForm() {
    if (state.errorKind === 'projects') {
      Chooser.setListStatus('The project list could not be loaded.', true, true);
    }
    showScreen('uploadform');
  }

  function copyDetails() {
    var text = el.errorMessage.textContent;
    var done = function () { el.copyResult.textContent = 'Copied.'; };
    var manual = function () {
      var range = document.createRange();
      range.selectNodeContents(el.errorMessage);
      window.getSelection().removeAllRanges();
      window.getSelection().addRange(range);
      el.copyResult.textContent = document.execCommand('copy') ? 'Copied.' : 'Selected: press Ctrl+C to copy.';
    };
    if (navigator.clipboard && navigator.clipboard.writeText) navigator.clipboard.writeText(text).then(done, manual);
    else manual();
  }

  // ---- messages from the host -------------------------------------------

  function onNavigate(members) {
    switch (members.target) {
      case 'uploadform':
        if (state.running && state.cancelling) {
          endUpload();
          el.cancelNote.hidden = false;
        }
        if (state.running) Form.showWhileBusy();
        else Form.setBusy(false);
        Form.showFormError('');
        if (!state.listArrived) waitForList();
        showScreen('uploadform');
        break;
      case 'progressscreen':
        el.cancelNote.hidden = true;
        startProgress();
        showScreen('progressscreen');
        break;
      case 'successscreen':
        endUpload();
        showSuccess(members.projectid || '');
        break;
      case 'errorscreen':
        showError(members.errormessage);
        break;
      default:
        break;
    }
  }

  function onProjectList(members) {
    restart('list', 0);
    var problem = Chooser.onProjectList(members);
    state.listArrived = problem === '';
    if (problem !== '') {
      send('messagedlg', { title: 'StratavoxPalette.page', message: 'could not read the project list: ' + problem });
    }
  }

  // ---- wiring ---------------------------------------------------------

  Form.init({
    onSubmit: function (action, members, projectName) {
      state.lastUpload = { action: action, members: members, projectName: projectName };
      state.running = true;
      el.cancelNote.hidden = true;
      send(action, members);
    },
    onListRetry: function () { askAgain(waitForList); }
  });
  showScreen('waiting');
  waitForSignIn();

  el.signinRetry.addEventListener('click', function () { askAgain(waitForSignIn); });
  el.cancelNoteDismiss.addEventListener('click', function () {
    el.cancelNote.hidden = true;
    byId('screen-uploadform').querySelector('h1').focus();
  });
  el.cancelButton.addEventListener('click', cancel);
  el.openButton.addEventListener('click', function () {
    sendFromClick('openfabriqo', { projectid: state.successProjectId }, false);
  });
  el.anotherAfterSuccess.addEventListener('click', function () {
    sendFromClick('uploadanotherproject', {}, true);
  });
  el.tryAgain.addEventListener('click', tryAgain);
  el.backToForm.addEventListener('click', backToForm);
  el.copyDetails.addEventListener('click', copyDetails);

  QrvnBridge.onMessage(function (action, members) {
    if (action === 'navigate') onNavigate(members);
    else if (action === 'projectlist') onProjectList(members);
    else if (action === 'materials') Form.onMaterials(members);
    else if (action === 'uploadprogress') onProgress(members);
  });

  send('apploaded', {});
})();
