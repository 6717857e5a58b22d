/*
 * The upload form: where the file goes (an existing project or a new one),
 * what is uploaded and with which printer settings.
 *
 * The destination belongs to the user as soon as they touch it: a project
 * list that arrives later only refills the chooser, and preselects the
 * remembered project only while the user has not chosen anything.
 *
 * Every text that comes from the service is put into the page with
 * textContent or as an option's text, never as markup.
 */
(function (root) {
  'use strict';

  var NO_EXTRUDER = 'Not used';
  var SEARCH_FROM = 11;          // more projects than fit a glance
  var LABEL_LENGTH = 60;         // longer names are shortened in the list only
  var FSI = '\u2068';
  var PDI = '\u2069';

  var Names = root.QrvnProjectList;
  var Printers = root.QrvnPrinters;

  function byId(id) { return document.getElementById(id); }

  var el = {
    form: byId('upload-form'),
    modeExisting: byId('mode-existing'),
    modeNew: byId('mode-new'),
    existingBlock: byId('existing-project'),
    newBlock: byId('new-project'),
    searchField: byId('project-search-field'),
    search: byId('project-search'),
    projectSelect: byId('project-select'),
    projectCount: byId('project-count'),
    projectChosen: byId('project-chosen'),
    projectSummary: byId('project-summary'),
    listStatus: byId('project-list-status'),
    listText: byId('project-list-text'),
    listRetry: byId('list-retry'),
    projectName: byId('project-name'),
    projectDescription: byId('project-description'),
    typeDesign: byId('type-design'),
    typeToolpath: byId('type-toolpath'),
    toolpathReason: byId('toolpath-reason'),
    printerSettings: byId('printer-settings'),
    printerName: byId('printer-name'),
    printcoreOne: byId('printcore-one'),
    materialOne: byId('material-one'),
    printcoreTwo: byId('printcore-two'),
    materialTwo: byId('material-two'),
    extruderProblem: byId('extruder-two-problem'),
    formError: byId('form-error'),
    busyNote: byId('upload-busy'),
    uploadButton: byId('upload-button')
  };

  var state = {
    projects: [],
    rememberedId: '',
    destinationTouched: false,  // mode, typed name or chosen project
    projectChosen: false,
    busy: false,
    onSubmit: null
  };

  // ---- building blocks ------------------------------------------------

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

  function showFormError(text) {
    el.formError.textContent = text;
    el.formError.hidden = text === '';
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

  function findProject(id) {
    for (var i = 0; i < state.projects.length; i++) {
      if (state.projects[i].id === id) return state.projects[i];
    }
    return null;
  }

  function optionLabel(project) {
    var name = Names.displayName(project.name);
    if (name.length > LABEL_LENGTH) name = name.slice(0, LABEL_LENGTH - 1) + '\u2026';
    return FSI + name + PDI + (project.id === state.rememberedId ? ' \u2605 last used' : '');
  }

  // The chosen project's whole name, isolated, below the chooser: the list
  // itself shortens long names.
  function showChosen() {
    var project = findProject(el.projectSelect.value);
    el.projectChosen.textContent = project ? FSI + Names.displayName(project.name) + PDI : '';
    el.projectChosen.hidden = !project;
    el.projectSummary.textContent = project ? project.description : '';
    el.projectSummary.hidden = !project || project.description === '';
  }

  function fillProjectSelect() {
    var previous = el.projectSelect.value;
    var query = el.search.value.trim();
    var shown = Names.ordered(state.projects, state.rememberedId).filter(function (p) {
      return query === '' || Names.matches(p, query);
    });
    el.projectSelect.textContent = '';
    shown.forEach(function (project) {
      addOption(el.projectSelect, project.id, optionLabel(project)).title = Names.displayName(project.name);
    });
    var keep = shown.some(function (p) { return p.id === previous; });
    var remembered = shown.some(function (p) { return p.id === state.rememberedId; });
    if (keep && (state.projectChosen || !remembered)) el.projectSelect.value = previous;
    else if (remembered) el.projectSelect.value = state.rememberedId;
    else if (shown.length > 0) el.projectSelect.selectedIndex = 0;

    var total = state.projects.length;
    el.projectCount.textContent = query === '' ? total + (total === 1 ? ' project' : ' projects')
      : shown.length + ' of ' + total + ' projects match';
    showChosen();
  }

  function renderProjects(projects, rememberedId) {
    state.projects = projects;
    state.rememberedId = projects.some(function (p) { return p.id === rememberedId; }) ? rememberedId : '';
    el.searchField.hidden = projects.length < SEARCH_FROM;
    if (el.searchField.hidden) el.search.value = '';
    fillProjectSelect();

    el.modeExisting.disabled = projects.length === 0;
    if (projects.length === 0) {
      setListStatus('You have no projects yet. Create a new one.', false);
      setMode('new');
    } else {
      setListStatus('', false);
      if (!state.destinationTouched) setMode('existing');
    }
  }

  function setListStatus(text, failed, retry) {
    el.listText.textContent = text;
    el.listStatus.hidden = text === '';
    el.listStatus.classList.toggle('status-error', !!failed);
    el.listRetry.hidden = !retry;
  }

  function onProjectList(members) {
    var projects;
    try {
      projects = Names.parse(members.projectlist);
    } catch (e) {
      state.projects = [];
      el.projectSelect.textContent = '';
      showChosen();
      el.modeExisting.disabled = true;
      setMode('new');
      setListStatus(e.message + ' You can still upload into a new project.', true, true);
      return e.message;
    }
    renderProjects(projects, members.defaultprojectid || '');
    return '';
  }

  // ---- printer settings -----------------------------------------------

  function currentUploadType() {
    return el.typeToolpath.checked ? 'toolpath' : 'design';
  }

  function showPrinterSettings() {
    el.printerSettings.hidden = currentUploadType() !== 'toolpath';
  }

  function applyPrinterDefaults(printer) {
    var defaults = Printers.defaultsFor(printer);
    choose(el.printcoreOne, defaults.printcoreOne);
    choose(el.materialOne, defaults.materialOne);
    choose(el.printcoreTwo, defaults.printcoreTwo);
    choose(el.materialTwo, defaults.materialTwo);
    checkExtruderTwo();
  }

  // A toolpath needs the active setup the host names as the printer; without
  // one the choice is offered greyed out, with the reason next to it.
  function setPrinter(printer) {
    el.printerName.textContent = printer === '' ? 'No active setup' : 'Printer: ' + printer;
    el.printerName.classList.toggle('muted', printer === '');
    el.typeToolpath.disabled = printer === '';
    el.toolpathReason.hidden = printer !== '';
    if (printer === '' && el.typeToolpath.checked) el.typeDesign.checked = true;
    showPrinterSettings();
  }

  function onMaterials(members) {
    var printer = members.printer || '';
    setPrinter(printer);
    applyPrinterDefaults(printer);
  }

  function checkExtruderTwo() {
    var problem = Printers.extruderTwoProblem(el.printcoreTwo.value, el.materialTwo.value);
    el.extruderProblem.textContent = problem === '' ? '' : problem + ' Choose both, or set both to \u201cNot used\u201d.';
    el.extruderProblem.hidden = problem === '';
    [el.printcoreTwo, el.materialTwo].forEach(function (select) {
      if (problem === '') select.removeAttribute('aria-invalid');
      else select.setAttribute('aria-invalid', 'true');
    });
    return problem;
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

  // ---- sending --------------------------------------------------------

  function refuse(text, field) {
    showFormError(text);
    if (field) field.focus();
  }

  function submit(event) {
    event.preventDefault();
    if (state.busy) return;
    var uploadType = currentUploadType();
    var members = printerMembers(uploadType);
    var action;
    var projectName;
    members.uploadType = uploadType;

    if (currentMode() === 'existing') {
      var project = findProject(el.projectSelect.value);
      if (!project) return refuse('Choose a project to upload into.', el.projectSelect);
      action = 'selectproject';
      members.projectID = project.id;
      projectName = project.name;
    } else {
      var name = el.projectName.value.trim();
      if (name === '') return refuse('Enter a name for the new project.', el.projectName);
      action = 'createproject';
      members.projectName = projectName = name;
      members.projectDescription = el.projectDescription.value.trim();
    }
    if (uploadType === 'toolpath') {
      if (members.printcoreOne === '' || members.materialOne === '') {
        return refuse('Choose a print core and a material for extruder 1.', el.printcoreOne);
      }
      if (checkExtruderTwo() !== '') return refuse(el.extruderProblem.textContent, el.printcoreTwo);
    }

    showFormError('');
    setBusy(true);
    state.onSubmit(action, members, projectName);
  }

  // While an upload runs the form may be shown, but it cannot start another.
  function setBusy(busy) {
    state.busy = busy;
    el.uploadButton.disabled = busy;
    el.busyNote.hidden = true;
  }

  function showWhileBusy() {
    el.busyNote.hidden = !state.busy;
  }

  // After a success the form starts afresh: the project now exists, and the
  // next list preselects it.
  function startAfresh() {
    el.projectName.value = '';
    el.projectDescription.value = '';
    el.search.value = '';
    state.destinationTouched = false;
    state.projectChosen = false;
  }

  function touched() { state.destinationTouched = true; }

  function init(options) {
    state.onSubmit = options.onSubmit;
    fillChoices(el.printcoreOne, Printers.printCores, false);
    fillChoices(el.materialOne, Printers.materials, false);
    fillChoices(el.printcoreTwo, Printers.printCores, true);
    fillChoices(el.materialTwo, Printers.materials, true);
    applyPrinterDefaults('');
    setPrinter('');
    setMode('new');
    el.modeExisting.disabled = true;

    el.modeExisting.addEventListener('change', function () { touched(); setMode('existing'); });
    el.modeNew.addEventListener('change', function () { touched(); setMode('new'); });
    el.projectName.addEventListener('input', touched);
    el.projectDescription.addEventListener('input', touched);
    el.projectSelect.addEventListener('change', function () {
      touched();
      state.projectChosen = true;
      showChosen();
    });
    el.search.addEventListener('input', function () {
      touched();
      state.projectChosen = true;
      fillProjectSelect();
    });
    el.typeDesign.addEventListener('change', showPrinterSettings);
    el.typeToolpath.addEventListener('change', showPrinterSettings);
    el.printcoreTwo.addEventListener('change', checkExtruderTwo);
    el.materialTwo.addEventListener('change', checkExtruderTwo);
    el.form.addEventListener('submit', submit);
    el.listRetry.addEventListener('click', options.onListRetry);
  }

  root.QrvnForm = {
    init: init,
    onProjectList: onProjectList,
    onMaterials: onMaterials,
    setListStatus: setListStatus,
    hasProjects: function () { return state.projects.length > 0; },
    projectName: function (id) { var p = findProject(id); return p ? p.name : null; },
    setBusy: setBusy,
    showWhileBusy: showWhileBusy,
    showFormError: showFormError,
    startAfresh: startAfresh
  };
})(window);
