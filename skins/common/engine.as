// The player engine every player skin runs first; the skin's own script draws on it.
//
// The program sets these variables on this timeline just before this script runs:
//   ParamsValue         <ParamsValue><Py.MovieFPS>..</Py.MovieFPS><Py.PlayPercent>..</..>...</ParamsValue>
//   MAXWAITFRAME        frames to wait for a song (or the playlist) to start arriving
//   GlobalInner         true when the songs are exported sprites of the movie itself
//   GlobalXMLTrackList  the playlist text when GlobalInner is true
// Without them (the template played on its own) the definition's defaults hold and the playlist
// is looked for beside the movie.
//
// What the player does is traced as lines starting with "tw: " (see skins/README.md), so that
// tests in a Flash runtime can follow it.

// It needs params.as before it.

stop();
var twClip = this;
var twState = new Object();
twState.tracks = new Array();
twState.order = new Array();
twState.pos = -1;          // position in twState.order of the current song, -1 before any
twState.mode = "idle";     // idle, loading, playing, paused, stopped
twState.kind = "";         // inner, swf, mp3, flv
twState.wait = 0;
twState.volume = 80;
twState.seconds = 0;
twState.duration = 0;
twState.ended = false;
twState.loadPercent = -1;  // of the song that loads, -1 while its size is unknown
twState.failures = 0;      // songs that failed one after the other since one last played
twState.notice = "";       // a short text for the listener: a song that failed
twState.noticeUntil = 0;   // getTimer() when the notice goes, -1 never
twState.shownTime = "";

function twReadTrackList(x) {
  var list = new Array();
  var player = twChild(x, "player");
  if (player == null) return list;
  var playlist = twChild(player, "playlist");
  if (playlist == null) return list;
  for (var t = playlist.firstChild; t != null; t = t.nextSibling) {
    if (t.nodeType != 1 || t.nodeName != "track") continue;
    var track = new Object();
    track.file = twNodeText(twChild(t, "file"));
    track.title = twNodeText(twChild(t, "title"));
    track.artist = twNodeText(twChild(t, "artist"));
    track.album = twNodeText(twChild(t, "album"));
    list.push(track);
  }
  return list;
}

// player.swf -> player.xml: the playlist lies beside the player under its base name.
function twPlaylistUrl() {
  var url = twClip._url;
  var cut = url.indexOf("?");
  if (cut >= 0) url = url.substr(0, cut);
  cut = url.indexOf("#");
  if (cut >= 0) url = url.substr(0, cut);
  var slash = url.lastIndexOf("/");
  var dot = url.lastIndexOf(".");
  if (dot > slash) url = url.substr(0, dot);
  return url + ".xml";
}

function twFps() {
  var fps = twNumber("Py.MovieFPS", 0);
  if (fps <= 0) fps = 24;
  return fps;
}

function twMakeOrder(count) {
  var order = new Array();
  for (var i = 0; i < count; i++) order.push(i);
  if (twState.shuffle) {
    for (var j = count - 1; j > 0; j--) {
      var k = random(j + 1);
      var swap = order[j];
      order[j] = order[k];
      order[k] = swap;
    }
  }
  return order;
}

function twTracksReady(list) {
  twState.tracks = list;
  twState.order = twMakeOrder(list.length);
  for (var i = 0; i < list.length; i++) twLog("track " + (i + 1) + " " + list[i].title);
  twLog("ready " + list.length + " autostart=" + (twState.autostart ? "yes" : "no") +
        " loop=" + (twState.loop ? "yes" : "no") + " shuffle=" + (twState.shuffle ? "yes" : "no"));
  twHooks.tracks();
  if (list.length == 0) {
    twState.mode = "stopped";
    twLog("stopped");
  } else if (twState.autostart) {
    twStart(0);
  } else {
    twState.pos = 0;
    twState.mode = "idle";
    twLog("idle " + (twState.order[0] + 1));
    twHooks.update();
  }
}

function twCurrent() {
  if (twState.pos < 0) return null;
  return twState.tracks[twState.order[twState.pos]];
}

function twIndex() {
  return twState.order[twState.pos] + 1;
}

function twExtension(file) {
  var q = file.indexOf("?");
  if (q >= 0) file = file.substr(0, q);
  var dot = file.lastIndexOf(".");
  if (dot < 0) return "";
  return file.substr(dot + 1).toLowerCase();
}

function twRelease() {
  if (twState.kind == "mp3") twState.sound.stop();
  if (twState.kind == "flv") twState.stream.close();
  twClip.song.removeMovieClip();
  twState.kind = "";
  twState.sound = null;
  twState.stream = null;
  twState.seconds = 0;
  twState.duration = 0;
}

// Starts loading the song at position pos of the play order; it plays once enough has arrived.
function twStart(pos) {
  twRelease();
  twState.pos = pos;
  twState.wait = 0;
  twState.ended = false;
  twState.mode = "loading";
  twState.loadPercent = -1;
  var track = twCurrent();
  var file = track.file;
  var ext = twExtension(file);
  twLog("loading " + twIndex() + " " + file);
  if (twState.inner) {
    twState.kind = "inner";
    var clip = twClip.attachMovie(file, "song", 10);
    if (clip == undefined) {
      twFail("no sprite " + file);
      return;
    }
    clip.stop();
  } else if (ext == "mp3") {
    twState.kind = "mp3";
    twClip.createEmptyMovieClip("song", 10);
    var s = new Sound(twClip.song);
    twState.sound = s;
    twState.loaded = false;
    // A song let go of may still report: only the current one counts.
    s.onLoad = function(ok) {
      if (twState.sound != s) return;
      if (ok) {
        twState.loaded = true;
        // A runtime that takes a stream whole has had nothing to start before it all arrived.
        if (twState.mode == "playing" && s.position == 0) {
          s.stop();
          s.start(0);
        }
      } else {
        twFail("cannot load " + file);
      }
    };
    s.onSoundComplete = function() {
      if (twState.sound == s) twState.ended = true;
    };
    // Streamed, so that it can start before all of it arrived; held until the play percent has.
    s.loadSound(file, true);
    s.stop();
  } else if (ext == "flv") {
    twState.kind = "flv";
    twClip.createEmptyMovieClip("song", 10);
    var nc = new NetConnection();
    nc.connect(null);
    var ns = new NetStream(nc);
    twState.stream = ns;
    // A stream that was closed still delivers its last events, its end among them: only the
    // current stream's count, or the song after it would end at once.
    ns.onMetaData = function(info) {
      if (twState.stream == ns && info.duration > 0) twState.duration = info.duration;
    };
    ns.onStatus = function(info) {
      if (twState.stream != ns) return;
      if (info.code == "NetStream.Play.Stop") twState.ended = true;
      if (info.code == "NetStream.Play.StreamNotFound") twFail("cannot load " + file);
    };
    twClip.song.attachAudio(ns);
    ns.play(file);
    ns.pause(true);
  } else {
    twState.kind = "swf";
    twClip.createEmptyMovieClip("song", 10);
    twClip.song.loadMovie(file);
  }
  twApplyVolume();
  twHooks.update();
}

// A song that cannot be played is skipped with a notice; when none of the list could be played
// one after the other, the player stops rather than going round for ever.
function twFail(message) {
  var track = twCurrent();
  twLog("error " + twIndex() + " " + message);
  twRelease();
  twState.failures++;
  if (twState.failures >= twState.order.length) {
    twState.mode = "stopped";
    twSay(twState.order.length == 1 ? "Cannot play " + twName(track) : "No song could be played", -1);
    twLog("stopped");
    twHooks.update();
    return;
  }
  twSay("Cannot play " + twName(track), 4000);
  twAdvance();
}

function twName(track) {
  return track.title != "" ? track.title : track.file;
}

// Shows a notice for ms milliseconds (-1: until the listener starts a song).
function twSay(text, ms) {
  twState.notice = text;
  twState.noticeUntil = ms < 0 ? -1 : getTimer() + ms;
  twLog("notice " + text);
}

// What the skin shows in its text line beside the title: a notice, the loading state, or "".
function twNotice() {
  if (twState.notice != "") return twState.notice;
  if (twState.mode != "loading") return "";
  var text = "Loading" + String.fromCharCode(0x2026);
  if (twState.loadPercent >= 0) text += " " + Math.floor(twState.loadPercent) + "%";
  return text;
}

// The time line "0:12 / 3:04", or the time that remains "-2:52 / 3:04", into a text field; at
// the song's position unless another is given (where a held seek bar would go).
function twShowTime(field, remaining, at) {
  if (at == undefined) at = twState.seconds;
  // What remains is rounded up: a song that just started shows all of its length, not a second less.
  var shown = remaining ? Math.ceil(twState.duration - at) : at;
  var text = (remaining ? "-" : "") + twClock(shown) + " / " + twClock(twState.duration);
  if (text != twState.shownTime) {
    twState.shownTime = text;
    twLog("time " + text);
  }
  field.text = text;
}

// Percent of the current song that has arrived; -1 while nothing is known yet.
function twLoadedPercent() {
  var done = 0;
  var total = 0;
  if (twState.kind == "inner") return 100;
  if (twState.kind == "mp3") {
    if (twState.loaded) return 100;
    done = twState.sound.getBytesLoaded();
    total = twState.sound.getBytesTotal();
  } else if (twState.kind == "flv") {
    done = twState.stream.bytesLoaded;
    total = twState.stream.bytesTotal;
  } else if (twState.kind == "swf") {
    done = twClip.song.getBytesLoaded();
    total = twClip.song.getBytesTotal();
  }
  if (total == undefined || total <= 0) return -1;
  return done * 100 / total;
}

function twBeginPlaying() {
  twState.mode = "playing";
  twState.failures = 0;
  if (twState.noticeUntil < 0) twState.notice = "";
  if (twState.kind == "mp3") {
    twState.sound.stop();
    twState.sound.start(0);
  } else if (twState.kind == "flv") {
    twState.stream.pause(false);
  } else {
    twClip.song.play();
  }
  twApplyVolume();
  twLog("playing " + twIndex() + " " + twCurrent().title);
  twHooks.update();
}

function twTick() {
  if (twState.notice != "" && twState.noticeUntil >= 0 && getTimer() >= twState.noticeUntil) {
    twState.notice = "";
    twHooks.update();
  }
  if (twState.mode == "loading") {
    var percent = twLoadedPercent();
    // A loaded movie or a streamed sound starts itself: hold it until enough has arrived.
    if (twState.kind == "swf" && twClip.song._totalframes > 0) twClip.song.stop();
    if (twState.kind == "mp3") twState.sound.stop();
    var ready = percent >= 0 && percent >= twState.playPercent;
    // Bytes of a sound are no song until some of them could be read as one: an error page is not.
    if (twState.kind == "mp3" && !twState.loaded && !(twState.sound.duration > 0)) ready = false;
    if (twState.kind == "swf" && !(twClip.song._totalframes > 0)) ready = false;
    if (ready) {
      twBeginPlaying();
    } else if (percent < 0 || percent >= 100) {
      twState.wait++;
      // A sound that cannot be fetched or read says so through its onLoad.
      if (twState.kind != "mp3" && twState.wait > twState.maxWait) {
        twFail((percent < 0 ? "nothing arrived from " : "cannot read ") + twCurrent().file);
      }
    }
    if (twState.mode == "loading" && percent != twState.loadPercent) {
      twState.loadPercent = percent;
      twHooks.update();
    }
    return;
  }
  if (twState.mode != "playing") return;
  var fps = twFps();
  if (twState.kind == "inner" || twState.kind == "swf") {
    var song = twClip.song;
    twState.seconds = (song._currentframe - 1) / fps;
    twState.duration = song._totalframes / fps;
    if (song._totalframes > 0 && song._currentframe >= song._totalframes) twState.ended = true;
  } else if (twState.kind == "mp3") {
    twState.seconds = twState.sound.position / 1000;
    twState.duration = twState.sound.duration / 1000;
  } else if (twState.kind == "flv") {
    twState.seconds = twState.stream.time;
  }
  if (twState.ended) {
    twLog("ended " + twIndex());
    twAdvance();
    return;
  }
  twHooks.update();
}

// After a song ends: the next one, wrapping to the first only with Loop.
function twAdvance() {
  if (twState.pos + 1 < twState.order.length) {
    twStart(twState.pos + 1);
  } else if (twState.loop) {
    twStart(0);
  } else {
    twRelease();
    twState.mode = "stopped";
    twLog("stopped");
    twHooks.update();
  }
}

// A song the listener chose: the whole list may be tried again.
function twChoose(pos) {
  twState.failures = 0;
  if (twState.noticeUntil < 0) twState.notice = "";
  twStart(pos);
}

function twNext() {
  var n = twState.order.length;
  if (n == 0) return;
  twChoose((twState.pos + 1) % n);
}

function twPrevious() {
  var n = twState.order.length;
  if (n == 0) return;
  twChoose((twState.pos - 1 + n) % n);
}

function twPlayIndex(index) {
  for (var p = 0; p < twState.order.length; p++) {
    if (twState.order[p] == index) {
      twChoose(p);
      return;
    }
  }
}

function twPause() {
  if (twState.mode != "playing") return;
  twState.mode = "paused";
  if (twState.kind == "mp3") {
    twState.resumeAt = twState.sound.position / 1000;
    twState.sound.stop();
  } else if (twState.kind == "flv") {
    twState.stream.pause(true);
  } else {
    twClip.song.stop();
  }
  twLog("paused " + twIndex());
  twHooks.update();
}

function twResume() {
  if (twState.mode != "paused") return;
  twState.mode = "playing";
  if (twState.kind == "mp3") twState.sound.start(twState.resumeAt);
  else if (twState.kind == "flv") twState.stream.pause(false);
  else twClip.song.play();
  twLog("resumed " + twIndex());
  twHooks.update();
}

// The play/pause button: it also starts the list when nothing plays yet.
function twToggle() {
  if (twState.mode == "playing") twPause();
  else if (twState.mode == "paused") twResume();
  else if (twState.mode == "idle" || twState.mode == "stopped") {
    if (twState.order.length > 0) twChoose(twState.pos < 0 ? 0 : twState.pos);
  }
}

// Seeks to a fraction (0..1) of the current song.
function twSeek(fraction) {
  if (twState.mode != "playing" && twState.mode != "paused") return;
  if (fraction < 0) fraction = 0;
  if (fraction > 1) fraction = 1;
  var seconds = fraction * twState.duration;
  if (twState.kind == "inner" || twState.kind == "swf") {
    var frame = Math.floor(fraction * (twClip.song._totalframes - 1)) + 1;
    if (twState.mode == "playing") twClip.song.gotoAndPlay(frame);
    else twClip.song.gotoAndStop(frame);
  } else if (twState.kind == "mp3") {
    if (twState.mode == "playing") {
      twState.sound.stop();
      twState.sound.start(seconds);
    } else {
      twState.resumeAt = seconds;
    }
  } else if (twState.kind == "flv") {
    twState.stream.seek(seconds);
  }
  twLog("seek " + twIndex() + " " + Math.round(seconds));
}

function twApplyVolume() {
  if (twState.kind == "mp3") twState.sound.setVolume(twState.volume);
  else if (twClip.song != undefined) {
    var s = new Sound(twClip.song);
    s.setVolume(twState.volume);
  }
}

function twSetVolume(v) {
  v = Math.round(v);
  if (v < 0) v = 0;
  if (v > 100) v = 100;
  twState.volume = v;
  twApplyVolume();
  twLog("volume " + v);
  twHooks.update();
}

// m:ss
function twClock(seconds) {
  if (isNaN(seconds) || seconds < 0) seconds = 0;
  var s = Math.floor(seconds);
  var m = Math.floor(s / 60);
  s = s % 60;
  return m + ":" + (s < 10 ? "0" : "") + s;
}

// What the skin's script sets to show the player: tracks() after the playlist was read,
// update() whenever the state or the time changed.
var twHooks = new Object();
twHooks.tracks = function() {
};
twHooks.update = function() {
};

// Called by the skin's script once it has defined its hooks and drawn itself.
function twRun(skinName) {
  twLog("skin " + skinName);
  if (ParamsValue != undefined) twReadParams(ParamsValue);
  twState.autostart = twYes("Py.Autostart", "Yes");
  twState.loop = twYes("Py.Loop", "Yes");
  twState.shuffle = twYes("Py.Shuffle", "No");
  twState.playPercent = twNumber("Py.PlayPercent", 0);
  twState.volume = twNumber("Py.Volume", 80);
  twState.maxWait = 60;
  if (MAXWAITFRAME != undefined && MAXWAITFRAME > 0) twState.maxWait = MAXWAITFRAME;
  twState.inner = (GlobalInner == true);
  twClip.onEnterFrame = function() {
    twTick();
  };
  if (twState.inner) {
    var x = new XML();
    x.ignoreWhite = true;
    x.parseXML(GlobalXMLTrackList);
    twTracksReady(twReadTrackList(x));
  } else {
    var url = twPlaylistUrl();
    var px = new XML();
    px.ignoreWhite = true;
    px.onLoad = function(ok) {
      if (ok) {
        twTracksReady(twReadTrackList(px));
      } else {
        twLog("error 0 cannot load " + url);
        twTracksReady(new Array());
      }
    };
    px.load(url);
  }
}
