// The preloaders' shared part: how much of the movie they sit in has arrived. The stage movie
// shows a preloader in its first frame; _root is the stage movie then.
//
// preHooks.show(percent) draws the percent; "tw: preloader P" is traced at every change and
// "tw: preloader done" once everything has arrived.

var preHooks = new Object();
preHooks.show = function(percent) {
};
var preShown = -1;
var preClip = this;

function preTick() {
  var total = _root.getBytesTotal();
  var percent = 0;
  if (total > 0) percent = Math.floor(_root.getBytesLoaded() * 100 / total);
  if (percent > 100) percent = 100;
  if (percent == preShown) return;
  preShown = percent;
  preHooks.show(percent);
  twLog("preloader " + percent);
  if (percent == 100) twLog("preloader done");
}

function preRun() {
  if (ParamsValue != undefined) twReadParams(ParamsValue);
  preTick();
  preClip.onEnterFrame = preTick;
}
