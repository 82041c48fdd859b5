// web_audio: the page's sound for the web sound device (sound_device_web.cpp), an emscripten
// library. The music is decoded by the browser at its own sample rate (the audio context is
// made at that rate, so nothing is resampled before it is played) and played through a gain
// (mute) and an analyser (what the tests listen to). Module.textdemoAudio holds the state
// (context, buffer, startedAt: the context's time at play, offset: where play began);
// its `decoded` promise settles when decoding is done, and the page waits for it before
// the show starts.
mergeInto(LibraryManager.library, {
  textdemo_audio_open: function (data, size, rate) {
    var Context = typeof AudioContext !== 'undefined' ? AudioContext
                : typeof webkitAudioContext !== 'undefined' ? webkitAudioContext : null;
    if (!Context) return 0;
    var context;
    try { context = new Context({ sampleRate: rate }); } catch (e) { context = new Context(); }
    var audio = Module.textdemoAudio = { context: context, rate: rate, startedAt: null };
    audio.gain = context.createGain();
    audio.analyser = context.createAnalyser();
    audio.gain.connect(audio.analyser);
    audio.analyser.connect(context.destination);
    var bytes = HEAPU8.slice(data, data + size);
    audio.decoded = context.decodeAudioData(bytes.buffer).then(function (buffer) {
      audio.buffer = buffer;
      return buffer;
    });
    return 1;
  },
  textdemo_audio_play: function (offset) {
    var audio = Module.textdemoAudio;
    var source = audio.source = audio.context.createBufferSource();
    source.buffer = audio.buffer;
    source.connect(audio.gain);
    audio.startedAt = audio.context.currentTime;
    audio.offset = offset;
    source.start(audio.startedAt, offset);
  },
  textdemo_audio_heard_seconds: function () {
    var audio = Module.textdemoAudio, context = audio.context;
    return Math.max(0, context.currentTime - audio.startedAt - (context.outputLatency || 0));
  },
  textdemo_audio_mute: function (muted) {
    Module.textdemoAudio.gain.gain.value = muted ? 0 : 1;
  },
  textdemo_audio_close: function () {
    var audio = Module.textdemoAudio;
    if (audio.source) audio.source.stop();
    audio.context.close();
  },
});
