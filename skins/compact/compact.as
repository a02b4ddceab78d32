// The compact bar: tints, texts and bars follow the engine's state.

function cbShow() {
  var track = twCurrent();
  titleText.text = track == null ? "" : track.title;
  var notice = twNotice();
  artistText.text = notice != "" ? notice : track == null ? "" : track.artist;
  // A song that loads shows a dimmed play icon, not a pause icon at 0:00.
  pauseIcon._visible = twState.mode == "playing";
  playIcon._visible = !pauseIcon._visible;
  playIcon._alpha = twState.mode == "loading" ? 40 : 100;
  twShowTime(timeText, cbRemaining);
  var fraction = twState.duration > 0 ? twState.seconds / twState.duration : 0;
  if (fraction > 1) fraction = 1;
  seekFill._xscale = Math.max(fraction * 100, 0.1);
  volFill._xscale = Math.max(twState.volume, 0.1);
}

twHooks.update = cbShow;
twHooks.tracks = cbShow;

if (ParamsValue != undefined) twReadParams(ParamsValue);
var cbRemaining = twParam("Py.TimeDisplay", "Elapsed").toLowerCase() == "remaining";
var cbBg = twColor("Py.BgColor", "0x20262E");
var cbText = twColor("Py.TextColor", "0xFFFFFF");
var cbButton = twColor("Py.ButtonColor", "0x3FA9F5");
twTint(bg, cbBg);
twTint(prevFace, cbButton);
twTint(playFace, cbButton);
twTint(nextFace, cbButton);
twTint(prevIcon, cbBg);
twTint(playIcon, cbBg);
twTint(pauseIcon, cbBg);
twTint(nextIcon, cbBg);
twTint(seekFill, cbButton);
twTint(volFill, cbButton);
twTint(seekTrack, cbText);
twTint(volTrack, cbText);
seekTrack._alpha = 25;
volTrack._alpha = 25;
titleText.textColor = cbText;
artistText.textColor = cbText;
timeText.textColor = cbText;
twRun("compact");
