// The lookup pages from the keyboard and the mouse: focus where the work is, a click anywhere on a
// row picks it, Enter on a picked row (or a double click) returns with it.
(function () {
  'use strict';

  function returnButton(form) {
    return form ? form.querySelector('input[name="btnSubmit2"]') : null;
  }

  function pickAndReturn(radio) {
    radio.checked = true;
    var button = returnButton(radio.form);
    if (button) button.click();
  }

  document.addEventListener('DOMContentLoaded', function () {
    var results = document.querySelector('.lookup-frame');
    var firstChoice = results ? results.querySelector('input[type="radio"], input[type="text"]') : null;
    var search = document.querySelector('.lookup-search input[type="text"]');
    if (firstChoice) {
      firstChoice.focus();
    } else if (search) {
      search.focus();
      search.select();
    }
    if (!results) return;

    results.addEventListener('click', function (event) {
      var row = event.target.closest('tr');
      var radio = row ? row.querySelector('input[type="radio"]') : null;
      if (radio && event.target !== radio) radio.checked = true;
    });
    results.addEventListener('dblclick', function (event) {
      var row = event.target.closest('tr');
      var radio = row ? row.querySelector('input[type="radio"]') : null;
      if (radio) pickAndReturn(radio);
    });
    results.addEventListener('keydown', function (event) {
      if (event.key === 'Enter' && event.target.type === 'radio') {
        event.preventDefault();
        pickAndReturn(event.target);
      }
    });
  });
})();
