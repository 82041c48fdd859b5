// page: the web player's page around textdemo-web (the show compiled to WebAssembly).
//
// Reads the options from the address (?start=1:40, ?section=9, ?audio-delay=150, ?mute,
// ?archive=URL: the players' options under their names), fetches the archive, starts the
// program and gives it what web_display.js and web_audio.js ask for: the picture in the
// canvas, the keys (Escape, "m"; F1 toggles fullscreen here), the "Fullscreen?" question.
// The canvas holds the 640 x 400 window picture; it is enlarged by the largest whole number
// of device pixels that fits, so every picture pixel stays a crisp square. Whatever goes
// wrong ends in one line on the page and in the console.
//
// window.textdemo is what the tests read: position (the song position of the picture
// shown), clockAtPicture (the audio clock when it was drawn), audioClockMs() (the song
// position being heard, by the audio clock), frames, ended, error.
(function () {
  'use strict';
  var canvas = document.getElementById('picture');
  var panel = document.getElementById('panel');
  var message = document.getElementById('message');
  var buttons = document.getElementById('buttons');
  var painter = canvas.getContext('2d');
  var stdoutLines = [], stderrLines = [];
  var keys = [];
  var answer = null;  // while "Fullscreen?" is open: function (yes)
  var page = window.textdemo = { position: null, frames: 0, ended: false, error: null };

  function say(line, choices) {
    message.textContent = line;
    buttons.textContent = '';
    (choices || []).forEach(function (choice) {
      var button = document.createElement('button');
      button.textContent = choice[0];
      button.addEventListener('click', choice[1]);
      buttons.appendChild(button);
    });
    buttons.hidden = !choices;
    panel.hidden = false;
    var first = buttons.querySelector('button');
    if (first) first.focus();
  }

  function fail(line) {
    if (page.error) return;
    page.error = line;
    console.error(line);
    say(line);
  }

  function fit() {
    var ratio = window.devicePixelRatio || 1;
    var factor = Math.max(1, Math.floor(Math.min(window.innerWidth * ratio / canvas.width,
                                                 window.innerHeight * ratio / canvas.height)));
    canvas.style.width = canvas.width * factor / ratio + 'px';
    canvas.style.height = canvas.height * factor / ratio + 'px';
  }
  window.addEventListener('resize', fit);
  fit();

  function toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
    else if (document.documentElement.requestFullscreen)
      document.documentElement.requestFullscreen().catch(function () {});
  }

  window.addEventListener('keydown', function (event) {
    var key = event.key;
    if (answer) {
      if (key === 'y' || key === 'Y' || key === 'Enter') answer(true);
      else if (key === 'n' || key === 'N' || key === 'Escape') answer(false);
      else return;
    } else if (key === 'F1') {
      toggleFullscreen();
    } else if (key === 'Escape') {
      keys.push(27);
    } else if (key === 'm') {
      keys.push(109);
    } else {
      return;
    }
    event.preventDefault();
  });

  if (typeof WebAssembly !== 'object') {
    fail('This browser cannot run WebAssembly, which the show is made of.');
    return;
  }
  if (typeof AudioContext === 'undefined' && typeof webkitAudioContext === 'undefined') {
    fail('This browser has no WebAudio, which plays the show\'s music.');
    return;
  }

  // The players' options: ?name=value as --name=value, ?name as --name.
  var query = new URLSearchParams(window.location.search);
  var archiveUrl = query.get('archive') || 'ruk.salad';
  var archiveName = archiveUrl.split(/[?#]/)[0].split('/').pop() || 'ruk.salad';
  var args = [];
  query.forEach(function (value, name) {
    if (name !== 'archive') args.push(value === '' ? '--' + name : '--' + name + '=' + value);
  });
  args.push('--archive=/' + archiveName);

  page.audioClockMs = function () {
    var audio = window.Module && Module.textdemoAudio;
    if (!audio || audio.startedAt === null) return null;
    var context = audio.context;
    return (audio.offset + context.currentTime - audio.startedAt - (context.outputLatency || 0)) * 1000;
  };

  var Module = window.Module = {
    arguments: args,
    print: function (line) { stdoutLines.push(line); console.log(line); },
    printErr: function (line) { stderrLines.push(line); console.warn(line); },
    onAbort: function (what) { fail('the show stopped: ' + what); },
    onExit: function (code) {
      page.ended = true;
      if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
      if (code === 0) {
        say('The show has ended.', [['Play again', function () { window.location.reload(); }]]);
      } else {
        fail(stderrLines[0] || stdoutLines[stdoutLines.length - 1] || 'the show stopped (exit code ' + code + ')');
      }
    },
    preRun: [],
    page: {
      picture: function (rgba, width, height, position) {
        painter.putImageData(new ImageData(new Uint8ClampedArray(rgba), width, height), 0, 0);
        page.position = position;
        page.clockAtPicture = page.audioClockMs();
        page.frames += 1;
      },
      nextKey: function () { return keys.length ? keys.shift() : 0; },
      askFullscreen: function () {
        return new Promise(function (resolve) {
          answer = function (yes) {
            answer = null;
            var audio = Module.textdemoAudio;
            if (audio) audio.context.resume();
            if (yes) toggleFullscreen();
            say('Loading the music...');
            (audio ? audio.decoded : Promise.resolve()).then(function () {
              panel.hidden = true;
              resolve(yes ? 1 : 0);
            }, function (error) {
              fail('ruk.mp3: this browser cannot decode the music (' + (error && error.message || error) + ')');
              resolve(-1);
            });
          };
          say('Fullscreen?', [['Yes', function () { answer(true); }], ['No', function () { answer(false); }]]);
        });
      },
    },
  };

  // What the program throws to unwind its exit, after the page has heard it, is no fault.
  window.addEventListener('error', function (event) {
    if (!page.ended) fail('the show stopped: ' + event.message);
  });
  window.addEventListener('unhandledrejection', function (event) {
    if (!page.ended) fail('the show stopped: ' + event.reason);
  });

  fetch(archiveUrl).then(function (response) {
    if (!response.ok) throw new Error('HTTP ' + response.status + ' ' + response.statusText);
    return response.arrayBuffer();
  }).then(function (bytes) {
    Module.preRun.push(function () { FS.writeFile('/' + archiveName, new Uint8Array(bytes)); });
    var script = document.createElement('script');
    script.src = 'textdemo-web.js';
    script.onerror = function () { fail('unable to load textdemo-web.js'); };
    document.body.appendChild(script);
  }, function (error) {
    fail('unable to open ' + archiveName + ': ' + archiveUrl + ': ' + error.message);
  });
})();
