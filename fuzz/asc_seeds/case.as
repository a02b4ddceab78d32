
var Score = 10;
var score = 2;
trace(Score + score);
function Twice(n) { return N * 2; }
trace(Twice(4));
trace(typeof twice);
trace("end");
