// Helpers of the in-process UI tests: the main window exists once per test
// program (made by ui_test_main.cpp), and the tests pump its messages while a
// helper thread plays the lookup worker.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Dispatches this thread's messages for about `milliseconds`.
void Pump(unsigned milliseconds);
// Pumps until `done` is true or the time is up; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, unsigned milliseconds);
// Runs `work` on another thread, as the lookup worker would, pumping until it
// ends; false if it did not end within the time (it is then left behind).
bool RunAsWorker(const std::function<void()>& work, unsigned milliseconds = 5000);

// Makes the windows again (after a test destroyed them) and loads the settings.
void RecreateMainWindows();
// A window's text as UTF-8.
std::string WindowText(HWND window);
// The pane's whole text (CR LF line ends) as UTF-16 and as UTF-8.
std::wstring PaneWideText();
std::string PaneText();
// A fresh settings file beside the test program: removed, then `text` written
// (nothing for an empty text).
void WriteSettingsFile(const std::string& text);
std::string ReadSettingsFile();
// Runs `action` on this thread; every message box it shows is closed as soon
// as it appears. Returns the boxes' captions and texts, "caption: text", in UTF-8.
std::vector<std::string> BoxesShownBy(const std::function<void()>& action);
