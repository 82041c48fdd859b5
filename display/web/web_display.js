// web_display: the page's side of the web display backend (web_display.cpp), an emscripten
// library. Module.page is the page's object (page.js): picture, nextKey, askFullscreen.
mergeInto(LibraryManager.library, {
  textdemo_page_picture: function (rgba, width, height, position) {
    Module.page.picture(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height, position);
  },
  textdemo_page_next_key: function () {
    return Module.page.nextKey();
  },
  textdemo_page_now_ms: function () {
    return performance.now();
  },
  // Resumes the show at the next animation frame.
  textdemo_page_wait_animation_frame__deps: ['$Asyncify'],
  textdemo_page_wait_animation_frame: function () {
    return Asyncify.handleSleep(function (wakeUp) {
      requestAnimationFrame(function () { wakeUp(); });
    });
  },
  // 1 for Yes, 0 for No, -1 when the music could not be decoded.
  textdemo_page_ask_fullscreen__deps: ['$Asyncify'],
  textdemo_page_ask_fullscreen: function () {
    return Asyncify.handleSleep(function (wakeUp) {
      Module.page.askFullscreen().then(wakeUp);
    });
  },
});
