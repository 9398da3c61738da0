#include "ui/fltk_page_device.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Paged_Device.H>
#include <FL/Fl_PostScript.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>

#include "conversation/safe_file.h"
#include "text/text_encoding.h"

namespace quelto {

FltkPageDevice::FltkPageDevice(Fl_Paged_Device& device) : device_(device) {
  fl_open_display();
}

PageGeometry FltkPageDevice::geometry() {
  int w = 0, h = 0, left = 0, top = 0, right = 0, bottom = 0;
  device_.printable_rect(&w, &h);
  device_.margins(&left, &top, &right, &bottom);
  PageGeometry g;
  g.offsetX = left;
  g.offsetY = top;
  g.width = left + w + right;
  g.height = top + h + bottom;
  g.dpiX = 72;
  g.dpiY = 72;
  return g;
}

int FltkPageDevice::createFont(const PrintFontRequest& r) {
  int face = FL_TIMES;
  if (r.faceName == "Arial")
    face = FL_HELVETICA;
  else if (r.faceName == "Courier New")
    face = FL_COURIER;
  if (r.bold) face += FL_BOLD;
  if (r.italic) face += FL_ITALIC;
  fonts_.push_back({face, r.height > 0 ? r.height : 1});
  return static_cast<int>(fonts_.size()) - 1;
}

void FltkPageDevice::select(int font) {
  const Font& f = fonts_.at(static_cast<size_t>(font));
  fl_font(f.face, f.size);
}

PrintFontMetrics FltkPageDevice::fontMetrics(int font) {
  // Measured on the display with the same font: the toolkit's PostScript
  // output places text with these metrics too.
  Fl_Surface_Device* previous = Fl_Surface_Device::surface();
  Fl_Display_Device::display_device()->set_current();
  select(font);
  PrintFontMetrics m;
  m.descent = fl_descent();
  m.ascent = fl_height() - m.descent;
  for (int b = 0; b < 256; ++b) {
    const std::string utf8 = cp1252ToUtf8(std::string(1, static_cast<char>(b)));
    m.widths[static_cast<size_t>(b)] = b < 32 ? 0 : static_cast<int>(fl_width(utf8.c_str()) + 0.5);
  }
  previous->set_current();
  return m;
}

void FltkPageDevice::drawText(int font, int x, int y, const std::string& bytes) {
  select(font);
  fl_color(FL_BLACK);
  const std::string utf8 = cp1252ToUtf8(bytes);
  fl_draw(utf8.c_str(), static_cast<int>(utf8.size()), x, y + fl_height() - fl_descent());
}

void FltkPageDevice::drawLine(int x0, int y0, int x1, int y1) {
  fl_color(FL_BLACK);
  fl_line(x0, y0, x1, y1);
  fl_point(x1, y1);
}

void FltkPageDevice::startPage() {
  device_.start_page();
}

void FltkPageDevice::endPage() {
  device_.end_page();
}

bool printConversationToPostScript(const std::string& path, const Conversation& conversation,
                                   const Profile& profile) {
  // The toolkit writes the document to a stream; keep it in memory and put
  // it in place in one step, so an old file survives a failed print.
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = ::open_memstream(&buffer, &size);
  if (!out) return false;
  bool ok = false;
  {
    Fl_PostScript_File_Device ps;
    if (ps.start_job(out, 0, Fl_Paged_Device::A4) == 0) {
      // end_job closes the stream and restores the display surface.
      FltkPageDevice device(ps);
      ok = printConversation(&device, conversation, profile);
      ps.end_job();
      out = nullptr;
    }
  }
  if (out) std::fclose(out);
  std::string document(buffer ? buffer : "", size);
  std::free(buffer);
  return ok && writeFileSafely(path, document) == SafeWriteResult::Ok;
}

}  // namespace quelto
