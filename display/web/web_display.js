// web_display: the page's side of the web display backend (web_display.cpp), an emscripten
// library. Module.page is the page's object (page.js): picture, nextKey, askFullscreen.
mergeInto(LibraryManager.library, {
  textdemo_page_picture: function (rgba, width, height, position) {
    Module.page.picture(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height, position);
  },
  textdemo_page_next_key: function () {
    return Module.page.nextKey();
  },
  // The time of the animation frame being run (before the first one: now). The loop runs
  // every step due by then, and only then waits for the next animation frame: the page
  // gets to paint and read its keys however long the steps take.
  textdemo_page_now_ms: function () {
    if (Module.page.frameTime === undefined) Module.page.frameTime = performance.now();
    return Module.page.frameTime;
  },
  // Resumes the show at the next animation frame.
  textdemo_page_wait_animation_frame__deps: ['$Asyncify'],
  textdemo_page_wait_animation_frame: function () {
    return Asyncify.handleSleep(function (wakeUp) {
      requestAnimationFrame(function (time) {
        Module.page.frameTime = time;
        wakeUp();
      });
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
