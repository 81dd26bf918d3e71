#pragma once

// What a program that runs the web engine sets before its application object
// exists: the engine reads both when it starts.
class WebEngineEnvironment {
public:
    // Chromium refuses to run as root with its sandbox on, so the sandbox goes
    // off for root (unless the user chose otherwise); the engine's pages share
    // one OpenGL context with the widgets.
    static void prepare();
};
