// The compact bar: tints, texts and bars follow the engine's state.

var cbShown = null;  // the track the texts show
var cbNotice = "";   // and the notice they show

function cbShow() {
  var track = twCurrent();
  var notice = twNotice();
  if (track != cbShown || notice != cbNotice || track == null) {
    cbShown = track;
    cbNotice = notice;
    twFit(titleText, track == null ? "" : track.title);
    twFit(artistText, notice != "" ? notice : twArtistLine(track));
  }
  // A song that loads shows a dimmed play icon, not a pause icon at 0:00.
  pauseIcon._visible = twState.mode == "playing";
  playIcon._visible = !pauseIcon._visible;
  playIcon._alpha = twState.mode == "loading" ? 40 : 100;
  var fraction = twShownFraction();
  // While the seek bar is held the time shows where the song would go.
  twShowTime(timeText, cbRemaining, twState.seekHeld >= 0 ? fraction * twState.duration : twState.seconds);
  seekFill._xscale = Math.max(fraction * 100, 0.1);
  volFill._xscale = Math.max(twState.volume, 0.1);
  waves._visible = twState.volume > 0;
  muted._visible = twState.volume == 0;
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
twTint(speaker, cbText);
twTint(waves, cbText);
twTint(muted, cbText);
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
