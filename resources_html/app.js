/*
 * The palette page: shows the screen the host asks for, fills the project
 * chooser and the printer settings from the host's messages, and sends the
 * user's choices back. Every text that comes from the service is put into
 * the page with textContent or as an option's text, never as markup.
 */
(function () {
  'use strict';

  var SCREENS = ['waiting', 'uploadform', 'progressscreen', 'successscreen', 'errorscreen'];
  var NO_EXTRUDER = 'Not used';

  var state = {
    projects: [],
    successProjectId: '',
    modeChosenByUser: false,
    submitted: false
  };

  function byId(id) { return document.getElementById(id); }

  var el = {
    form: byId('upload-form'),
    modeExisting: byId('mode-existing'),
    modeNew: byId('mode-new'),
    existingBlock: byId('existing-project'),
    newBlock: byId('new-project'),
    projectSelect: byId('project-select'),
    projectSummary: byId('project-summary'),
    listStatus: byId('project-list-status'),
    projectName: byId('project-name'),
    projectDescription: byId('project-description'),
    typeDesign: byId('type-design'),
    typeToolpath: byId('type-toolpath'),
    printerSettings: byId('printer-settings'),
    printerName: byId('printer-name'),
    printcoreOne: byId('printcore-one'),
    materialOne: byId('material-one'),
    printcoreTwo: byId('printcore-two'),
    materialTwo: byId('material-two'),
    formError: byId('form-error'),
    uploadButton: byId('upload-button'),
    openButton: byId('open-button'),
    anotherAfterSuccess: byId('another-after-success'),
    anotherAfterError: byId('another-after-error'),
    errorMessage: byId('error-message')
  };

  // ---- building blocks ------------------------------------------------

  function setText(node, text) {
    node.textContent = text;
  }

  function addOption(select, value, label) {
    var option = document.createElement('option');
    option.value = value;
    option.textContent = label;
    select.appendChild(option);
    return option;
  }

  function fillChoices(select, values, allowEmpty) {
    select.textContent = '';
    if (allowEmpty) addOption(select, '', NO_EXTRUDER);
    values.forEach(function (value) { addOption(select, value, value); });
  }

  // Selects `value` when the list offers it; a value the list lacks is
  // added, so a default never silently turns into a different choice.
  function choose(select, value) {
    for (var i = 0; i < select.options.length; i++) {
      if (select.options[i].value === value) {
        select.selectedIndex = i;
        return;
      }
    }
    addOption(select, value, value === '' ? NO_EXTRUDER : value).selected = true;
  }

  function showScreen(name) {
    SCREENS.forEach(function (screen) {
      var section = byId('screen-' + screen);
      if (section) section.hidden = screen !== name;
    });
    document.body.setAttribute('data-current-screen', name);
  }

  function showFormError(text) {
    setText(el.formError, text);
    el.formError.hidden = text === '';
  }

  function diagnostic(message) {
    QrvnBridge.send('messagedlg', { title: 'StratavoxPalette.page', message: message });
  }

  // ---- project chooser ----------------------------------------------

  function currentMode() {
    return el.modeExisting.checked ? 'existing' : 'new';
  }

  function setMode(mode) {
    el.modeExisting.checked = mode === 'existing';
    el.modeNew.checked = mode !== 'existing';
    el.existingBlock.hidden = mode !== 'existing';
    el.newBlock.hidden = mode === 'existing';
  }

  function selectedProject() {
    var id = el.projectSelect.value;
    for (var i = 0; i < state.projects.length; i++) {
      if (state.projects[i].id === id) return state.projects[i];
    }
    return null;
  }

  function showProjectSummary() {
    var project = selectedProject();
    setText(el.projectSummary, project ? project.description : '');
    el.projectSummary.hidden = !project || project.description === '';
  }

  function renderProjects(projects, defaultId) {
    var previous = el.projectSelect.value;
    state.projects = projects;
    el.projectSelect.textContent = '';
    projects.forEach(function (project) {
      addOption(el.projectSelect, project.id, project.name === '' ? 'Untitled project' : project.name);
    });

    var hasDefault = projects.some(function (p) { return p.id === defaultId; });
    var keepPrevious = projects.some(function (p) { return p.id === previous; });
    if (hasDefault) el.projectSelect.value = defaultId;
    else if (keepPrevious) el.projectSelect.value = previous;
    else if (projects.length > 0) el.projectSelect.selectedIndex = 0;

    el.modeExisting.disabled = projects.length === 0;
    if (projects.length === 0) {
      setText(el.listStatus, 'You have no projects yet. Create a new one.');
      el.listStatus.hidden = false;
      setMode('new');
    } else {
      el.listStatus.hidden = true;
      if (hasDefault || !state.modeChosenByUser) setMode('existing');
    }
    showProjectSummary();
  }

  function onProjectList(members) {
    var projects;
    try {
      projects = QrvnProjectList.parse(members.projectlist);
    } catch (e) {
      state.projects = [];
      el.projectSelect.textContent = '';
      el.modeExisting.disabled = true;
      setMode('new');
      setText(el.listStatus, e.message + ' You can still upload into a new project.');
      el.listStatus.hidden = false;
      el.listStatus.classList.add('status-error');
      diagnostic('could not read the project list: ' + e.message);
      return;
    }
    el.listStatus.classList.remove('status-error');
    renderProjects(projects, members.defaultprojectid || '');
  }

  // ---- printer settings -----------------------------------------------

  function currentUploadType() {
    return el.typeToolpath.checked ? 'toolpath' : 'design';
  }

  function showPrinterSettings() {
    el.printerSettings.hidden = currentUploadType() !== 'toolpath';
  }

  function applyPrinterDefaults(printer) {
    var defaults = QrvnPrinters.defaultsFor(printer);
    choose(el.printcoreOne, defaults.printcoreOne);
    choose(el.materialOne, defaults.materialOne);
    choose(el.printcoreTwo, defaults.printcoreTwo);
    choose(el.materialTwo, defaults.materialTwo);
  }

  function onMaterials(members) {
    var printer = members.printer || '';
    setText(el.printerName, printer === '' ? 'No active setup' : 'Printer: ' + printer);
    el.printerName.classList.toggle('muted', printer === '');
    applyPrinterDefaults(printer);
  }

  function printerMembers(uploadType) {
    if (uploadType !== 'toolpath') {
      return { printcoreOne: '', materialOne: '', printcoreTwo: '', materialTwo: '' };
    }
    return {
      printcoreOne: el.printcoreOne.value,
      materialOne: el.materialOne.value,
      printcoreTwo: el.printcoreTwo.value,
      materialTwo: el.materialTwo.value
    };
  }

  // ---- screens --------------------------------------------------------

  function onNavigate(members) {
    switch (members.target) {
      case 'uploadform':
        state.submitted = false;
        el.uploadButton.disabled = false;
        showFormError('');
        showScreen('uploadform');
        break;
      case 'progressscreen':
        showScreen('progressscreen');
        break;
      case 'successscreen':
        state.successProjectId = members.projectid || '';
        // The project now exists; a fresh form starts from it, not from
        // the name that was just used.
        el.projectName.value = '';
        el.projectDescription.value = '';
        state.modeChosenByUser = false;
        showScreen('successscreen');
        break;
      case 'errorscreen':
        setText(el.errorMessage, members.errormessage ||
          'Something went wrong. Please try again.');
        showScreen('errorscreen');
        break;
      default:
        break;
    }
  }

  function submit(event) {
    event.preventDefault();
    if (state.submitted) return;
    var uploadType = currentUploadType();
    var message;
    var members = printerMembers(uploadType);
    members.uploadType = uploadType;

    if (currentMode() === 'existing') {
      var project = selectedProject();
      if (!project) {
        showFormError('Choose a project to upload into.');
        return;
      }
      message = 'selectproject';
      members.projectID = project.id;
    } else {
      var name = el.projectName.value.trim();
      if (name === '') {
        showFormError('Enter a name for the new project.');
        el.projectName.focus();
        return;
      }
      message = 'createproject';
      members.projectName = name;
      members.projectDescription = el.projectDescription.value.trim();
    }
    if (uploadType === 'toolpath' && (members.printcoreOne === '' || members.materialOne === '')) {
      showFormError('Choose a print core and a material for extruder 1.');
      return;
    }

    showFormError('');
    state.submitted = true;
    el.uploadButton.disabled = true;
    QrvnBridge.send(message, members);
  }

  // ---- wiring ---------------------------------------------------------

  fillChoices(el.printcoreOne, QrvnPrinters.printCores, false);
  fillChoices(el.materialOne, QrvnPrinters.materials, false);
  fillChoices(el.printcoreTwo, QrvnPrinters.printCores, true);
  fillChoices(el.materialTwo, QrvnPrinters.materials, true);
  applyPrinterDefaults('');
  setMode('new');
  el.modeExisting.disabled = true;
  showPrinterSettings();
  showScreen('waiting');

  el.modeExisting.addEventListener('change', function () {
    state.modeChosenByUser = true;
    setMode('existing');
  });
  el.modeNew.addEventListener('change', function () {
    state.modeChosenByUser = true;
    setMode('new');
  });
  el.projectSelect.addEventListener('change', showProjectSummary);
  el.typeDesign.addEventListener('change', showPrinterSettings);
  el.typeToolpath.addEventListener('change', showPrinterSettings);
  el.form.addEventListener('submit', submit);
  el.openButton.addEventListener('click', function () {
    QrvnBridge.send('openfabriqo', { projectid: state.successProjectId });
  });
  el.anotherAfterSuccess.addEventListener('click', function () {
    QrvnBridge.send('uploadanotherproject', {});
  });
  el.anotherAfterError.addEventListener('click', function () {
    QrvnBridge.send('uploadanotherproject', {});
  });

  QrvnBridge.onMessage(function (action, members) {
    if (action === 'navigate') onNavigate(members);
    else if (action === 'projectlist') onProjectList(members);
    else if (action === 'materials') onMaterials(members);
  });

  QrvnBridge.send('apploaded', {});
})();
