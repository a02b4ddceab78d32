
var o = {a: 1, b: 2, c: 3};
var keys = [];
for (var k in o) keys.push(k + "=" + o[k]);
keys.sort();
trace(keys.join(","));
var arr = ["x", "y", "z"];
var idx = [];
for (var i in arr) idx.push(i + arr[i]);
idx.sort();
trace(idx.join(","));
var n = 0;
for (var k2 in o) { n++; if (n == 2) break; }
trace(n);
function firstKey(obj) { for (var key in obj) { return "has " + key; } return "empty"; }
trace(firstKey({}) + "," + firstKey({q: 1}));
var count = 0;
for (var a1 in o) for (var a2 in o) { if (a2 == "b") continue; count++; }
trace(count);
o.d = 4;
delete o.a;
keys = [];
for (k in o) keys.push(k);
keys.sort();
trace(keys.join(","));
trace("end");
