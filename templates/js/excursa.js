// Gives a name to the controls that the server draws without a label (the date and time pickers,
// radio buttons followed by their caption, the logo link), and marks the fields the district
// requires. Runs once the page is read; changes nothing that the form posts.
(function () {
  'use strict';

  var partNames = {
    MONTH: 'month', DATE: 'day', YEAR: 'year', HOUR: 'hour', MIN: 'minute', AMPM: ''
  };

  function isNamed(control) {
    return control.hasAttribute('aria-label') || control.hasAttribute('aria-labelledby') ||
      (control.labels && control.labels.length > 0);
  }

  // "Dep_month" -> "month"; a radio of a time picker is named by its value ("AM", "PM").
  function partOf(control) {
    if (control.type === 'radio') return control.value;
    var name = control.name || '';
    var part = name.slice(name.lastIndexOf('_') + 1).toUpperCase();
    return partNames.hasOwnProperty(part) ? partNames[part] : name;
  }

  function namePickers() {
    document.querySelectorAll('[role="group"][aria-label]').forEach(function (group) {
      var base = group.getAttribute('aria-label');
      group.querySelectorAll('select, input').forEach(function (control) {
        if (!isNamed(control)) control.setAttribute('aria-label', (base + ' ' + partOf(control)).trim());
      });
    });
  }

  // The caption a radio button or check box carries is the text right after it.
  function captionAfter(control) {
    var node = control.nextSibling;
    while (node && node.nodeType === Node.TEXT_NODE && !node.textContent.trim()) node = node.nextSibling;
    if (!node) return '';
    if (node.nodeType === Node.TEXT_NODE) return node.textContent.replace(/\u00a0/g, ' ').trim();
    return node.tagName === 'B' || node.tagName === 'SPAN' || node.tagName === 'FONT' ? node.textContent.trim() : '';
  }

  // The column a cell stands in, counting the cells that span several.
  function columnOf(cell) {
    var column = 0;
    for (var c = cell.previousElementSibling; c; c = c.previousElementSibling) column += c.colSpan || 1;
    return column;
  }

  // Rows of one cell only separate the records.
  function isRecordRow(row) {
    return row.cells.length > 1;
  }

  // The heading over a cell; a table whose records take two lines has two heading rows.
  function columnHeading(cell) {
    var table = cell.closest('table');
    var heads = table && table.tHead ? Array.prototype.filter.call(table.tHead.rows, isRecordRow) : [];
    if (!heads.length) return '';
    var row = cell.parentElement;
    var rows = Array.prototype.filter.call(row.parentElement.rows, isRecordRow);
    var head = heads[rows.indexOf(row) % heads.length];
    var wanted = columnOf(cell);
    var column = 0;
    for (var i = 0; i < head.cells.length; i++) {
      var span = head.cells[i].colSpan || 1;
      if (wanted < column + span) return head.cells[i].textContent.trim();
      column += span;
    }
    return '';
  }

  function rowTextBesides(cell) {
    return Array.prototype.filter.call(cell.parentElement.cells, function (c) { return c !== cell; })
      .map(function (c) { return c.textContent.trim(); })
      .filter(Boolean).join(', ');
  }

  // A radio button or check box is named by its caption; in a result table a radio button picks
  // its row, and a check box shows the column's yes/no for its row.
  function nameChoices() {
    document.querySelectorAll('input[type="radio"], input[type="checkbox"]').forEach(function (control) {
      if (isNamed(control)) return;
      var caption = captionAfter(control);
      var cell = control.closest('td');
      if (!caption && cell && control.type === 'radio') caption = rowTextBesides(cell);
      if (!caption && cell) {
        var heading = columnHeading(cell);
        var first = cell.parentElement.cells[0];
        if (heading) caption = heading + (first && first !== cell ? ' (' + first.textContent.trim() + ')' : '');
      }
      if (caption) control.setAttribute('aria-label', caption);
    });
  }

  function cellText(cell) {
    return cell ? cell.textContent.replace(/\u00a0/g, ' ').replace(/:\s*$/, '').trim() : '';
  }

  // Fields drawn in a table row whose first cell says what they are ("City:"); a row with an empty
  // first cell continues the row above it (the second address line).
  function nameFieldsInRows() {
    document.querySelectorAll('td input:not([type="hidden"]), td select, td textarea').forEach(function (control) {
      if (isNamed(control) || control.type === 'radio' || control.type === 'checkbox' ||
          control.type === 'submit' || control.type === 'button' || control.type === 'reset') return;
      var cell = control.closest('td');
      var text = cellText(cell.previousElementSibling);
      var row = cell.parentElement;
      if (!text && cell.previousElementSibling && row.previousElementSibling) {
        var above = cellText(row.previousElementSibling.firstElementChild);
        if (above) text = above + ' (continued)';
      }
      if (text) control.setAttribute('aria-label', text);
    });
  }

  // A field under a term of a description list ("Request no.") or after its caption and a line
  // break ("Approve/Deny Comment:<br><textarea>").
  function nameFieldsByText() {
    document.querySelectorAll('input:not([type="hidden"]), select, textarea').forEach(function (control) {
      if (isNamed(control) || control.type === 'submit' || control.type === 'button' || control.type === 'reset') return;
      var term = control.closest('dd') && control.closest('dd').previousElementSibling;
      var text = term && term.tagName === 'DT' ? cellText(term) : '';
      if (!text) {
        var node = control.previousSibling;
        while (node && (node.nodeName === 'BR' || (node.nodeType === Node.TEXT_NODE && !node.textContent.trim()))) {
          node = node.previousSibling;
        }
        if (node && node.nodeType === Node.TEXT_NODE) text = cellText(node);
      }
      if (text) control.setAttribute('aria-label', text);
    });
  }

  function nameImages() {
    document.querySelectorAll('[data-image-name] img:not([alt])').forEach(function (image) {
      image.alt = image.closest('[data-image-name]').getAttribute('data-image-name');
    });
  }

  // A control a tag draws only sometimes, so that the tag's contents cannot carry its name.
  function nameDrawnControls() {
    document.querySelectorAll('[data-control-name]').forEach(function (holder) {
      holder.querySelectorAll('input, select').forEach(function (control) {
        if (!isNamed(control)) control.setAttribute('aria-label', holder.getAttribute('data-control-name'));
      });
    });
  }

  function rowHeadOf(control) {
    var row = control.closest('tr');
    return row ? row.querySelector('th') : null;
  }

  function markRequired() {
    var list = document.getElementById('requiredFields');
    if (!list || !list.value.trim() || !list.form) return;
    var wanted = list.value.trim().toUpperCase().split(/\s+/);
    var marked = false;
    Array.prototype.forEach.call(list.form.elements, function (control) {
      if (!control.name || wanted.indexOf(control.name.toUpperCase()) < 0) return;
      if (control.type === 'hidden') return;
      control.setAttribute('aria-required', 'true');
      var head = rowHeadOf(control);
      if (!head || head.querySelector('.required-mark')) return;
      var mark = document.createElement('span');
      mark.className = 'required-mark';
      mark.textContent = '*';
      mark.title = 'Required';
      head.appendChild(mark);
      marked = true;
    });
    var note = document.getElementById('requiredNote');
    if (marked && note) note.hidden = false;
  }

  function run() {
    namePickers();
    nameChoices();
    nameFieldsInRows();
    nameFieldsByText();
    nameImages();
    nameDrawnControls();
    markRequired();
  }

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', run);
  } else {
    run();
  }
})();
