/*
 * Where the upload goes: an existing project, chosen from the list the host
 * sends, or a new one the user names.
 *
 * The destination belongs to the user as soon as they touch it: a project
 * list that arrives later only refills the chooser, and preselects the
 * remembered project only while the user has not chosen anything. Typing
 * a search is not choosing: only picking a row changes the choice, and a
 * search that hides the chosen project leaves it chosen.
 *
 * Lists run to tens of thousands of projects, more than a drop-down can
 * draw in time; it lists the remembered project and at most LISTED others,
 * in option elements made once and refilled in place, and the search
 * reaches every project.
 *
 * Every text that comes from the service is put into the page with
 * textContent or as an option's text, never as markup.
 */
(function (root) {
  'use strict';

  var SEARCH_FROM = 11;          // more projects than fit a glance
  var LISTED = 500;              // rows a drop-down draws without delay
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
    placeholder: byId('project-placeholder'),
    lastGroup: byId('project-last-used'),
    allGroup: byId('project-others'),
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
    byId: new Map(),
    rememberedId: '',
    chosenId: '',
    userChose: false,           // picked a row, or the host chose after a cancel
    destinationTouched: false,  // mode, typed name or chosen project
    chooseWhenListed: '',       // the project a cancel left behind
    rows: []                    // the reusable option elements
  };

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
    return state.byId.get(id) || null;
  }

  function fillRow(option, project) {
    var name = Names.displayName(project.name);
    option.value = project.id;
    option.textContent = name.length > LABEL_LENGTH ? name.slice(0, LABEL_LENGTH - 1) + '\u2026' : name;
    option.title = name;
    option.hidden = false;
  }

  function row(index) {
    while (state.rows.length <= index) {
      state.rows.push(el.allGroup.appendChild(document.createElement('option')));
    }
    return state.rows[index];
  }

  // The chosen project's whole name, isolated, below the chooser: the list
  // shortens long names, and a search may hide the chosen row.
  function showChosen(hidden) {
    var project = findProject(state.chosenId);
    el.projectChosen.textContent = project ? (hidden ? 'Still chosen: ' : '') + FSI + Names.displayName(project.name) + PDI : '';
    el.projectChosen.hidden = !project;
    el.projectSummary.textContent = project ? project.description : '';
    el.projectSummary.hidden = !project || project.description === '';
  }

  // Shows the rows that match the search, reusing the option elements; the
  // chosen project stays selected when it is listed and is listed whenever
  // there is no search.
  function showRows() {
    var query = el.search.value.trim();
    var matches = Names.matcher(query);
    var remembered = findProject(state.rememberedId);
    var chosen = findProject(state.chosenId);
    var pinned = query === '' && chosen && chosen !== remembered ? chosen : null;
    var lastShown = !!remembered && matches(remembered);
    var shown = 0;
    var matched = lastShown ? 1 : 0;

    var last = el.lastGroup.firstElementChild || el.lastGroup.appendChild(document.createElement('option'));
    if (lastShown) fillRow(last, remembered);
    else { last.hidden = true; last.value = ''; }
    el.lastGroup.hidden = !lastShown;
    if (pinned) { fillRow(row(0), pinned); shown = matched = matched + 1; }
    for (var i = 0; i < state.projects.length; i++) {
      var project = state.projects[i];
      if (project === remembered || project === pinned || !matches(project)) continue;
      matched++;
      if (shown < LISTED) fillRow(row(shown++), project);
    }
    for (var k = shown; k < state.rows.length && !state.rows[k].hidden; k++) {
      state.rows[k].hidden = true;
      state.rows[k].value = '';     // a hidden row never stands for a choice
    }

    var listed = !!chosen && (chosen === pinned || (chosen === remembered && lastShown) || (query !== '' && matches(chosen)));
    if (listed) el.projectSelect.value = chosen.id;
    if (!listed || el.projectSelect.value !== chosen.id) {
      // The closed drop-down then says what it holds instead of going blank.
      el.placeholder.textContent = matched === 0 ? 'No project matches' : 'Pick one of the ' + matched + ' matches';
      el.placeholder.selected = true;
      listed = false;
    }

    var total = state.projects.length;
    var more = matched > shown + (lastShown ? 1 : 0) ? ' The first ' + LISTED + ' are listed; search to find the others.' : '';
    el.projectCount.textContent = (query === '' ? total + (total === 1 ? ' project.' : ' projects.')
      : matched + ' of ' + total + ' projects match.') + more;
    showChosen(!!chosen && !listed);
  }

  function renderProjects(projects, rememberedId) {
    state.projects = projects;
    state.byId = new Map();
    Names.prepareForSearch(projects);
    projects.forEach(function (p) {
      if (!state.byId.has(p.id)) state.byId.set(p.id, p);
    });
    state.rememberedId = state.byId.has(rememberedId) ? rememberedId : '';
    if (state.chooseWhenListed !== '' && state.byId.has(state.chooseWhenListed)) {
      state.chosenId = state.chooseWhenListed;
      state.userChose = true;
      state.chooseWhenListed = '';
      setMode('existing');
    } else if (!(state.userChose && state.byId.has(state.chosenId))) {
      state.userChose = false;
      state.chosenId = state.rememberedId || (projects.length > 0 ? projects[0].id : '');
    }
    el.searchField.hidden = projects.length < SEARCH_FROM;
    if (el.searchField.hidden) el.search.value = '';
    showRows();

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
      renderProjects([], '');
      setListStatus(e.message + ' You can still upload into a new project.', true, true);
      return e.message;
    }
    renderProjects(projects, members.defaultprojectid || '');
    return '';
  }

  // A cancelled upload may have created its project already: it becomes
  // the choice as soon as the list holds it (the fresh list that follows
  // a cancel does), so the next upload goes there instead of into a twin.
  function chooseAfterCancel(id) {
    state.chooseWhenListed = id;
    state.destinationTouched = true;
    if (state.byId.has(id)) renderProjects(state.projects, state.rememberedId);
  }

  // After a success the form starts afresh: the project now exists, and the
  // next list preselects it.
  function startAfresh() {
    el.projectName.value = '';
    el.projectDescription.value = '';
    el.search.value = '';
    byId('project-name-count').hidden = true;
    byId('project-description-count').hidden = true;
    state.destinationTouched = false;
    state.userChose = false;
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
      state.userChose = true;
      state.chosenId = el.projectSelect.value;
      showChosen();
    });
    el.search.addEventListener('input', showRows);
    el.listRetry.addEventListener('click', onListRetry);
  }

  root.QrvnChooser = {
    init: init,
    onProjectList: onProjectList,
    setListStatus: setListStatus,
    chooseAfterCancel: chooseAfterCancel,
    mode: currentMode,
    selected: function () { return findProject(state.chosenId); },
    projectName: function (id) { var p = findProject(id); return p ? p.name : null; },
    startAfresh: startAfresh
  };
})(window);
