// A request signer of the kind site code carries: query strings sorted, a keyed checksum,
// and a token made of them.
var SIGN_KEY = 'quillbox-demo-key';
var SIGN_PREFIX = 'qb_sign';

function padLeft(text, width, fill) {
  text = String(text);
  while (text.length < width) text = fill + text;
  return text;
}

function checksum(text) {
  var h = 5381;
  for (var i = 0; i < text.length; i++) {
    h = ((h << 5) + h + text.charCodeAt(i)) & 0x7fffffff;
  }
  return h;
}

function toHex(n) {
  return padLeft(n.toString(16), 8, '0');
}

function sortedQuery(params) {
  var keys = [];
  for (var k in params) {
    if (params.hasOwnProperty(k)) keys.push(k);
  }
  keys.sort();
  var parts = [];
  for (var i = 0; i < keys.length; i++) {
    parts.push(encodeURIComponent(keys[i]) + '=' + encodeURIComponent(params[keys[i]]));
  }
  return parts.join('&');
}

function sign(params, time) {
  var query = sortedQuery(params);
  var digest = toHex(checksum(SIGN_KEY + '|' + query + '|' + time));
  return SIGN_PREFIX + ':' + digest + ':' + time;
}

function verify(params, time, token) {
  return sign(params, time) === token ? 'valid signature' : 'invalid signature';
}

var signer = {
  name: 'demo signer',
  version: 3,
  signOrder: function (id, amount) {
    return sign({ order: id, amount: amount, currency: 'CNY' }, 1700000000);
  }
};
