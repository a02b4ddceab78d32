
function key(k) { return k; }
function idx(i) { return i; }
function crunch(a, b) {
  var o = {x: 1, y: 2}, p = [5, 6, 7];
  o[key(a)] += p[idx(b)] -= 3;
  p[idx(0)] = o[key("y")] = 9;
  var keep = function () { return o.x; };
  o.x++;
  return o.x + "," + o.y + "," + p + "," + keep();
}
trace(crunch("x", 1));
function sum() { var t = 0; for (var i = 0; i < arguments.length; i++) t += arguments[i]; return t; }
trace(sum(1, 2, 3, 4));
trace("end");
