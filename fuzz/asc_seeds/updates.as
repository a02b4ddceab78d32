
var q = 5;
trace(q++); trace(q); trace(++q); trace(q--); trace(--q);
var o = {v: 1};
trace(o.v++); trace(++o.v); trace(o.v);
var arr = [10, 20];
arr[1] += 5;
arr[0] *= 3;
trace(arr);                                   // an array prints its elements with commas
var z = 10;
z += 5; z -= 3; z *= 2; z /= 4; trace(z);
z %= 4; trace(z);
z <<= 3; z >>= 1; z |= 1; z &= 5; z ^= 7; trace(z);
z = -16; z >>>= 28; trace(z);
var s = "a"; s += 1; s += true; trace(s);
var i = 0, j = 0;
var n = i++ + i++ + ++j;
trace(n + "," + i + "," + j);
var str = "5"; str++; trace(typeof str + str);   // ++ makes a number
var k = [1, 2, 3], p = 0;
k[p++] += 10;                                    // the index is evaluated once
trace(k + ";" + p);
function f() { var loc = {n: 1}; loc.n += loc.n++ * 2; return loc.n; }
trace(f());                                      // the old value is read before the right side runs
trace("end");
