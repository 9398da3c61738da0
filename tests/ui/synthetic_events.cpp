#include "synthetic_events.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace quelto::test {

namespace {
std::vector<char> textBuffer;

void setText(const std::string& text) {
  textBuffer.assign(text.begin(), text.end());
  textBuffer.push_back('\0');
  Fl::e_text = textBuffer.data();
  Fl::e_length = static_cast<int>(text.size());
}
}  // namespace

int pressKey(Fl_Widget& widget, int key, const std::string& text, int state) {
  Fl::e_number = FL_KEYBOARD;
  Fl::e_keysym = key;
  Fl::e_state = state;
  setText(text);
  return widget.handle(FL_KEYBOARD);
}

int pressShortcut(Fl_Widget& widget, int key, const std::string& text, int state) {
  Fl::e_number = FL_SHORTCUT;
  Fl::e_keysym = key;
  Fl::e_state = state;
  setText(text);
  return widget.handle(FL_SHORTCUT);
}

int sendKey(Fl_Window& window, int key, const std::string& text, int state) {
  Fl::e_number = FL_KEYBOARD;
  Fl::e_keysym = key;
  Fl::e_state = state;
  setText(text);
  return Fl::handle(FL_KEYBOARD, &window);
}

void focusWindow(Fl_Window& window) {
  Fl::e_keysym = 0;
  // As from the X server: the window that had the focus loses it first.
  Fl::handle(FL_UNFOCUS, nullptr);
  Fl::handle(FL_FOCUS, &window);
}

void typeText(Fl_Widget& widget, const std::string& text) {
  for (char c : text) {
    const int key = c == '\r' ? FL_Enter : static_cast<unsigned char>(c);
    pressKey(widget, key, std::string(1, c));
    settle();
  }
}

int pasteText(Fl_Widget& widget, const std::string& text) {
  Fl::e_number = FL_PASTE;
  setText(text);
  return widget.handle(FL_PASTE);
}

int mouse(Fl_Widget& widget, int event, int x, int y, int state) {
  Fl::e_number = event;
  Fl::e_x = x;
  Fl::e_y = y;
  Fl::e_state = state;
  return widget.handle(event);
}

void holdKey(int flKey, bool down) {
  // xdotool drives the X server's own key state through XTest.
  const std::string command =
      std::string("xdotool ") + (down ? "keydown F" : "keyup F") + std::to_string(flKey - FL_F);
  if (std::system(command.c_str()) != 0) return;
  Fl::check();
}

void settle() {
  Fl::flush();
  Fl::check();
}

}  // namespace quelto::test
