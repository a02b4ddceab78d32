// The preloaders' shared part: how much of the movie they sit in has arrived. The stage movie
// shows a preloader in its first frame and the player in its second; _root is the stage movie.
// The preloader holds the stage on its frame until everything has arrived, then lets it play on
// to the player's frame, which stops it there; its own frame stays on view for that one frame.
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
  if (percent == 100) {
    twLog("preloader done");
    _root.play();
  }
}

function preRun() {
  if (ParamsValue != undefined) twReadParams(ParamsValue);
  _root.stop();
  preTick();
  preClip.onEnterFrame = preTick;
}
