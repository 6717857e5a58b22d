/*
 * Where the upload goes: an existing project, chosen from the list the host
 * sends, or a new one the user names.
 *
 * The destination belongs to the user as soon as they touch it: a project
 * list that arrives later only refills the chooser, and preselects the
 * remembered project only while the user has not chosen anything.
 *
 * Every text that comes from the service is put into the page with
 * textContent or as an option's text, never as markup; names are isolated
 * so that their writing direction cannot rearrange what stands around them.
 */
(function (root) {
  'use strict';

  var SEARCH_FROM = 11;          // more projects than fit a glance
  var LABEL_LENGTH = 60;         // longer names are shortened in the list only
  var FSI = '\u2068';
  var PDI = '\u2069';

  var Names = root.QrvnProjectList;

  function byId(id) { return document.getElementById(id); }

  var el = {
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
    projectDescription: byId('project-description')
  };

  var state = {
    projects: [],
    rememberedId: '',
    destinationTouched: false,  // mode, typed name or chosen project
    projectChosen: false
  };

  function addOption(select, value, label) {
    var option = document.createElement('option');
    option.value = value;
    option.textContent = label;
    select.appendChild(option);
    return option;
  }

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

  function init(onListRetry) {
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
    el.listRetry.addEventListener('click', onListRetry);
  }

  root.QrvnChooser = {
    init: init,
    onProjectList: onProjectList,
    setListStatus: setListStatus,
    mode: currentMode,
    selected: function () { return findProject(el.projectSelect.value); },
    projectName: function (id) { var p = findProject(id); return p ? p.name : null; },
    startAfresh: startAfresh
  };
})(window);
