/*
 * The palette page: shows the screen the host asks for, follows an upload
 * while it runs, explains failures and sends the user's choices back. The
 * form lives in form.js and chooser.js.
 *
 * Nothing here waits for ever: sign-in and the project list offer to ask
 * again after WAIT_MS; an upload that reports nothing for QUIET_MS says
 * that it is taking longer than expected, and one that never reported
 * progress, or whose cancel is not confirmed within WAIT_MS, offers a way
 * back to the form. The host sends nothing while no byte moves, so an
 * estimate older than STALE_MS is dropped rather than shown as current.
 */
(function () {
  'use strict';

  var SCREENS = ['waiting', 'uploadform', 'progressscreen', 'successscreen', 'errorscreen'];
  var WAIT_MS = 30 * 1000;
  var QUIET_MS = 2 * 60 * 1000;
  var STALE_MS = 5 * 1000;
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
    signinStatus: byId('signin-status'),
    listText: byId('project-list-text'),
    cancelNote: byId('cancel-note'),
    cancelNoteText: byId('cancel-note-text'),
    cancelNoteDismiss: byId('cancel-note-dismiss'),
    progressHeading: byId('progress-heading'),
    progressLeave: byId('progress-leave'),
    progressLeaveText: byId('progress-leave-text'),
    progressLeaveButton: byId('progress-leave-button'),
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
    lastProgress: null,     // the last well-formed "uploadprogress"
    listArrived: false,
    errorContext: '',
    errorProjectId: '',
    lastProgressStep: -1,
    lastClick: {},
    sentThisScreen: {}
  };

  var timers = { signin: 0, list: 0, quiet: 0, stale: 0, cancel: 0 };

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
  // host next shows a screen (the same one again after a second failure),
  // because they ask it to do exactly that.
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

  function quoted(name) {
    return '\u201c' + isolated(name) + '\u201d';
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
    if (name !== 'progressscreen') ['quiet', 'stale', 'cancel'].forEach(function (t) { restart(t, 0); });
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
  // lost, and brings a fresh project list when signed in. The button that
  // asked hides itself; focus goes to the line that says what happens now
  // instead of falling to the page.
  function askAgain(restartWait, line) {
    if (!sendFromClick('uploadanotherproject', {}, false)) return;
    restartWait();
    line.focus();
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

  // A way back to the form when the upload cannot be cancelled or the
  // cancel is not confirmed; the host still ends the upload on its own.
  function offerLeave(text) {
    el.progressLeaveText.textContent = text + ' The upload may still finish; the page will say so when it does.';
    el.progressLeave.hidden = false;
  }

  function whatGoesWhere() {
    var upload = state.lastUpload;
    if (!upload) return 'Uploading\u2026';
    var what = upload.members.uploadType === 'toolpath' ? 'the print job' : 'the design';
    return 'Uploading ' + what + ' to ' + quoted(upload.projectName);
  }

  function startProgress() {
    if (state.screen !== 'progressscreen') {
      state.lastProgressStep = -1;
      state.lastProgress = null;
      setBar(false, 0);
      el.progressHeading.textContent = whatGoesWhere();
      el.progressText.textContent = 'Exporting your file and sending it to StrataVox Fabriqo.';
      el.cancelButton.textContent = 'Cancel';
      el.cancelButton.removeAttribute('aria-disabled');
      el.progressLeave.hidden = true;
    }
    state.running = true;
    Form.setBusy(true);
    heardFromHost();
    showCancel();
  }

  function heardFromHost() {
    el.progressSlow.hidden = true;
    restart('quiet', QUIET_MS, function () {
      if (state.screen !== 'progressscreen') return;
      el.progressSlow.hidden = false;
      if (!state.hostReportsProgress) offerLeave('StrataVox Fabriqo has not reported any progress.');
    });
  }

  function showProgress(aged) {
    var progress = Status.describeProgress(state.lastProgress, aged);
    setBar(progress.known, progress.percent);
    showProgressText(progress.text);
    return progress;
  }

  function onProgress(members) {
    // Late reports of an upload that has ended or is being cancelled, and
    // malformed ones, change nothing and say nothing.
    if (!state.running || state.cancelling || !Status.describeProgress(members)) return;
    state.hostReportsProgress = true;
    state.lastProgress = members;
    if (state.screen === 'progressscreen') heardFromHost();
    showCancel();
    var progress = showProgress(false);
    restart('stale', STALE_MS, function () { showProgress(true); });
    // Announce each phase and every quarter, not every update.
    var step = progress.known ? 10 + Math.floor(progress.percent / 25) : ['exporting', 'creating', 'announcing', 'uploading'].indexOf(progress.phase);
    if (step !== state.lastProgressStep && state.screen === 'progressscreen') {
      state.lastProgressStep = step;
      announce(progress.known ? progress.percent + ' % uploaded' : progress.text);
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
    restart('stale', 0);
    el.cancelButton.textContent = 'Cancelling\u2026';
    el.cancelButton.setAttribute('aria-disabled', 'true');
    el.progressText.textContent = 'Stopping the upload\u2026';
    announce('Cancelling the upload\u2026');
    restart('cancel', WAIT_MS, function () { offerLeave('StrataVox Fabriqo has not confirmed the cancel yet.'); });
  }

  function leaveProgress() {
    showScreen('uploadform');
    Form.showWhileBusy();
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
    if (name === null && upload) name = upload.projectName;
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
    // The heading is read when it takes focus; the sentence is not.
    announce(el.successText.textContent);
  }

  function showError(members) {
    var context = state.running ? 'upload' : state.screen === 'waiting' || state.screen === '' ? 'signin' : 'projects';
    var error = Status.describeError(members, context);
    endUpload();
    state.errorContext = context;
    state.errorProjectId = members.projectid || '';
    el.errorHeading.textContent = error.heading;
    el.errorSummary.textContent = error.summary;
    el.errorMessage.textContent = error.details;
    el.errorDetails.hidden = error.details === '';
    el.errorDetails.open = false;
    el.copyResult.textContent = '';
    el.tryAgain.textContent = context === 'signin' ? 'Sign in again' : 'Try again';
    el.backToForm.hidden = context === 'signin';
    showScreen('errorscreen');
    announce(error.summary);
  }

  // The same upload with the same settings when there is one to repeat,
  // into the project it created if it got that far; otherwise the host is
  // asked for the form again (and for sign-in when that is what failed).
  function tryAgain() {
    var upload = state.errorContext === 'upload' ? state.lastUpload : null;
    if (!upload) {
      sendFromClick('uploadanotherproject', {}, true);
      return;
    }
    if (state.errorProjectId !== '' && upload.action === 'createproject') {
      var members = Object.assign({}, upload.members, { projectID: state.errorProjectId });
      delete members.projectName;
      delete members.projectDescription;
      upload = { action: 'selectproject', members: members, projectName: upload.projectName };
    }
    if (sendFromClick(upload.action, upload.members, true)) {
      state.lastUpload = upload;
      state.running = true;
      Form.setBusy(true);
    }
  }

  function backToForm() {
    if (state.errorContext === 'projects') {
      Chooser.setListStatus('The project list could not be loaded.', true, true);
    }
    showScreen('uploadform');
    if (state.running) Form.showWhileBusy();
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

  // The note under the form's heading after a cancel; the project the
  // cancelled upload created, if any, is chosen for the next one.
  function showCancelled(projectId) {
    var upload = state.lastUpload;
    var text = 'Upload cancelled.';
    if (projectId !== '') {
      Chooser.chooseAfterCancel(projectId);
      if (upload && upload.action === 'createproject') {
        text += ' The project ' + quoted(upload.projectName) + ' had been created already; it is chosen below.';
      } else text += ' The project it went to is chosen below.';
    }
    el.cancelNoteText.textContent = text;
    el.cancelNote.hidden = false;
    announce(text);
  }

  function onNavigate(members) {
    // The host has answered: what was sent once per screen may be sent again.
    state.sentThisScreen = {};
    var cancelled = members.target === 'uploadform' && state.running && state.cancelling;
    el.cancelNote.hidden = true;
    switch (members.target) {
      case 'uploadform':
        if (cancelled) endUpload();
        if (state.running) Form.showWhileBusy();
        else Form.setBusy(false);
        Form.showFormError('');
        if (!state.listArrived) waitForList();
        showScreen('uploadform');
        if (cancelled) showCancelled(members.projectid || '');
        break;
      case 'progressscreen':
        startProgress();
        showScreen('progressscreen');
        break;
      case 'successscreen':
        endUpload();
        showSuccess(members.projectid || '');
        break;
      case 'errorscreen':
        showError(members);
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
    onListRetry: function () { askAgain(waitForList, el.listText); }
  });
  showScreen('waiting');
  waitForSignIn();

  el.signinRetry.addEventListener('click', function () { askAgain(waitForSignIn, el.signinStatus); });
  el.cancelNoteDismiss.addEventListener('click', function () {
    el.cancelNote.hidden = true;
    byId('screen-uploadform').querySelector('h1').focus();
  });
  el.cancelButton.addEventListener('click', cancel);
  el.progressLeaveButton.addEventListener('click', leaveProgress);
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
