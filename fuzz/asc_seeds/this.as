
var obj = {name: "obj", getName: function () { return this.name; }};
trace(obj.getName());
var other = {name: "other"};
other.getName = obj.getName;
trace(other.getName());
function Counter() { this.count = 0; }
Counter.prototype.inc = function () { this.count++; return this; };
var cn = new Counter();
cn.inc().inc().inc();
trace(cn.count);
trace(this == _root);
var clip = _root.createEmptyMovieClip("h", 2);
clip.label = "clip h";
clip.onEnterFrame = function () {
  trace("enter " + this.label + " " + (this == clip) + " " + (this._parent == _root));
  delete this.onEnterFrame;
};
var point = {x: 3, y: 4};
with (point) { trace(x * y); }
trace("end");
