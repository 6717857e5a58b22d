/*
 * Print cores and materials offered for a toolpath upload, and the choices
 * preselected for a printer. This is the only place that lists them.
 *
 * The printer name is the machine name of the active setup, as the host
 * reports it; the first profile whose pattern matches it supplies the
 * defaults, and the last profile matches every printer.
 *
 * Loaded as a classic script by the page (global QrvnPrinters) and as a
 * CommonJS module by the tests.
 */
(function (root, factory) {
  'use strict';
  var api = factory();
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.QrvnPrinters = api;
})(this, function () {
  'use strict';

  var printCores = ['AA 0.25', 'AA 0.4', 'AA 0.8', 'BB 0.4', 'BB 0.8', 'CC 0.4', 'CC 0.6'];
  var materials = ['PLA', 'Tough PLA', 'PETG', 'ABS', 'Nylon', 'CPE', 'TPU 95A', 'PVA', 'Breakaway'];

  // Extruder 2 may stay empty: a single-material print leaves it unused.
  var profiles = [
    {
      pattern: /composite|carbon|\bcf\b/i,
      printcoreOne: 'CC 0.6', materialOne: 'Nylon', printcoreTwo: 'AA 0.4', materialTwo: 'Nylon'
    },
    {
      pattern: /single|mini/i,
      printcoreOne: 'AA 0.4', materialOne: 'PLA', printcoreTwo: '', materialTwo: ''
    },
    {
      pattern: /.*/,
      printcoreOne: 'AA 0.4', materialOne: 'PLA', printcoreTwo: 'BB 0.4', materialTwo: 'PVA'
    }
  ];

  function defaultsFor(printerName) {
    var name = typeof printerName === 'string' ? printerName : '';
    for (var i = 0; i < profiles.length; i++) {
      var p = profiles[i];
      if (p.pattern.test(name)) {
        return {
          printcoreOne: p.printcoreOne, materialOne: p.materialOne,
          printcoreTwo: p.printcoreTwo, materialTwo: p.materialTwo
        };
      }
    }
    return { printcoreOne: '', materialOne: '', printcoreTwo: '', materialTwo: '' };
  }

  // Extruder 2 is either used (a print core and a material) or not at all;
  // half a choice would reach the printer as something nobody asked for.
  function extruderTwoProblem(printcore, material) {
    if (printcore === '' && material !== '') return 'Extruder 2 has a material but no print core.';
    if (printcore !== '' && material === '') return 'Extruder 2 has a print core but no material.';
    return '';
  }

  return {
    extruderTwoProblem: extruderTwoProblem,
    printCores: printCores,
    materials: materials,
    defaultsFor: defaultsFor
  };
});
