// Synthetic toolkit events for widget tests: what the event loop would set
// before calling handle(), without a keyboard or a mouse.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>

#include <string>

namespace quelto::test {

// A key press with its produced text (UTF-8) and modifiers; returns what the
// widget's handle() returned.
int pressKey(Fl_Widget& widget, int key, const std::string& text, int state = 0);
// The same key offered as a shortcut, as the window does when the focused
// widget refused it; returns what the widget's handle() returned.
int pressShortcut(Fl_Widget& widget, int key, const std::string& text, int state = 0);
// Types each byte of ASCII text as its own key press.
void typeText(Fl_Widget& widget, const std::string& text);
// A paste event carrying text.
int pasteText(Fl_Widget& widget, const std::string& text);
// Mouse press and release at a point, with modifiers.
int mouse(Fl_Widget& widget, int event, int x, int y, int state = 0);
// Presses or releases a real key in the X server (XTest), for code that
// asks the keyboard's state rather than the event: F1..F12 only.
void holdKey(int flKey, bool down);
// Draws whatever is damaged, as the event loop does between events.
void settle();

}  // namespace quelto::test
