/*
 * The upload form: what is uploaded, with which printer settings, into the
 * project chosen in chooser.js; and the one message that starts it.
 */
(function (root) {
  'use strict';

  var NO_EXTRUDER = 'Not used';

  var Chooser = root.QrvnChooser;
  var Printers = root.QrvnPrinters;

  function byId(id) { return document.getElementById(id); }

  var el = {
    form: byId('upload-form'),
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
    nameCount: byId('project-name-count'),
    descriptionCount: byId('project-description-count'),
    formError: byId('form-error'),
    busyNote: byId('upload-busy'),
    uploadButton: byId('upload-button')
  };

  var state = {
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

  // A field that cuts what is typed or pasted at its limit says how close
  // it is, so nothing is lost unseen.
  function showCount(field, line) {
    var limit = field.maxLength;
    var used = field.value.length;
    line.hidden = used < limit * 0.9;
    line.textContent = used >= limit ? 'The limit of ' + limit + ' characters is reached; anything more was left out.'
      : used + ' of ' + limit + ' characters.';
  }

  function submit(event) {
    event.preventDefault();
    if (state.busy) return;
    var uploadType = currentUploadType();
    var members = printerMembers(uploadType);
    var action;
    var projectName;
    members.uploadType = uploadType;

    if (Chooser.mode() === 'existing') {
      var project = Chooser.selected();
      if (!project) return refuse('Choose a project to upload into.', byId('project-select'));
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
      // The problem is already said next to the fields; focus leads there.
      if (checkExtruderTwo() !== '') return refuse('', el.printcoreTwo);
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

  function init(options) {
    state.onSubmit = options.onSubmit;
    fillChoices(el.printcoreOne, Printers.printCores, false);
    fillChoices(el.materialOne, Printers.materials, false);
    fillChoices(el.printcoreTwo, Printers.printCores, true);
    fillChoices(el.materialTwo, Printers.materials, true);
    applyPrinterDefaults('');
    setPrinter('');
    Chooser.init(options.onListRetry);
    el.typeDesign.addEventListener('change', showPrinterSettings);
    el.typeToolpath.addEventListener('change', showPrinterSettings);
    el.printcoreTwo.addEventListener('change', checkExtruderTwo);
    el.materialTwo.addEventListener('change', checkExtruderTwo);
    el.form.addEventListener('submit', submit);
    // What was refused is out of date once the user changes anything.
    el.form.addEventListener('input', function () { showFormError(''); });
    el.form.addEventListener('change', function () { showFormError(''); });
    el.projectName.addEventListener('input', function () { showCount(el.projectName, el.nameCount); });
    el.projectDescription.addEventListener('input', function () { showCount(el.projectDescription, el.descriptionCount); });
    // Enter on a choice submits a form by default; here it must not send
    // an upload the user has not finished setting up.
    el.form.addEventListener('keydown', function (event) {
      if (event.key === 'Enter' && event.target.type === 'radio') event.preventDefault();
    });
  }

  root.QrvnForm = {
    init: init,
    onMaterials: onMaterials,
    setBusy: setBusy,
    showWhileBusy: showWhileBusy,
    showFormError: showFormError
  };
})(window);
