
var point = {x: 3, y: 4}, out = "";
for (var n = 0; n < 4; n++) {
  with (point) {
    if (n == 1) continue;
    if (n == 3) break;
    out += x * y + n + ";";
  }
}
trace(out + n);
function find(list) {
  for (var i = 0; i < list.length; i++) {
    with (list[i]) { if (hit) return id; }
  }
  return "none";
}
trace(find([{hit: false, id: 1}, {hit: true, id: 2}]));
lbl: for (var a = 0; a < 2; a++) {
  for (var b = 0; b < 2; b++) { with (point) { if (b == 1) continue lbl; out = a + "" + b; } }
}
trace(out);
trace("end");
