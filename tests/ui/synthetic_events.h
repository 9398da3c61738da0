// Synthetic toolkit events for widget tests: what the event loop would set
// before calling handle(), without a keyboard or a mouse.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>

#include <string>

namespace quelto::test {

// A key press with its produced text (UTF-8) and modifiers; returns what the
// widget's handle() returned.
int pressKey(Fl_Widget& widget, int key, const std::string& text, int state = 0);
// The same key offered as a shortcut, as the window does when the focused
// widget refused it; returns what the widget's handle() returned.
int pressShortcut(Fl_Widget& widget, int key, const std::string& text, int state = 0);
// A key press delivered as the event loop delivers one to a window: first
// to the focused widget and its parents, then as a shortcut, then Escape as
// the modal window's close. Returns whether anything used it.
int sendKey(Fl_Window& window, int key, const std::string& text, int state = 0);
// The window receiving the keyboard focus from the window manager: the
// focus goes to the widget the window remembers, or its first that takes it.
void focusWindow(Fl_Window& window);
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
