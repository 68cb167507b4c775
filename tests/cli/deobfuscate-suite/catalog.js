// A small catalogue: items with prices, a search, a price table and a summary line.
var CATALOG_TITLE = 'Spring catalogue';
var items = [
  { code: 'A100', name: 'ink stone', price: 128, tags: 'desk,stone' },
  { code: 'B220', name: 'brush set', price: 64, tags: 'desk,brush' },
  { code: 'C310', name: 'rice paper', price: 32, tags: 'paper' },
  { code: 'D405', name: 'seal paste', price: 96, tags: 'seal,desk' }
];

function byCode(code) {
  for (var i = 0; i < items.length; i++) {
    if (items[i].code === code) return items[i];
  }
  return null;
}

function withTag(tag) {
  var found = [];
  for (var i = 0; i < items.length; i++) {
    var tags = items[i].tags.split(',');
    for (var j = 0; j < tags.length; j++) {
      if (tags[j] === tag) found.push(items[i].name);
    }
  }
  return found;
}

function priceLabel(price) {
  switch (true) {
    case price >= 100: return 'premium';
    case price >= 50: return 'standard';
    default: return 'budget';
  }
}

function total(codes) {
  var sum = 0;
  for (var i = 0; i < codes.length; i++) {
    var item = byCode(codes[i]);
    if (item) sum += item.price;
  }
  return sum;
}

function summary() {
  var lines = [CATALOG_TITLE + ' (' + items.length + ' items)'];
  for (var i = 0; i < items.length; i++) {
    lines.push(items[i].code + ' ' + items[i].name + ': ' + items[i].price + ' yuan, ' + priceLabel(items[i].price));
  }
  return lines.join('\n');
}

var counter = (function () {
  var seen = 0;
  return { next: function () { seen += 1; return 'visit number ' + seen; } };
})();
