// The JSON support script: JSON 3 wrapped so that its export object becomes the one new
// global QUILLBOX, with QUILLBOX.JSON and the log array QUILLBOX.log. Written for old
// engines: no other global is read or written, and nothing newer than ES3 is used.
var QUILLBOX = (function () {
var exports = {}, define, module;
