#pragma once

class ContentView;

// What a click on the "new apps" notification shows: the General tab with the
// newest apps in view, as a person would bring them there by hand (category
// "All", search cleared, list at the top). It selects nothing, so nothing is
// marked viewed by it.
class NewestAppsPresenter {
public:
    NewestAppsPresenter() = delete;

    static void present(ContentView& window);
};
