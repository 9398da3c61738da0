// The page device over the toolkit's paged devices: Fl_Printer in the
// program (its print dialog, PostScript to the print system) and
// Fl_PostScript_File_Device to write a PostScript file.
//
// Units: the toolkit's paged devices draw in points, 72 per inch, with the
// origin at the top-left corner of the printable area; the margins the
// toolkit keeps around it are the physical offsets.
//
// Measuring text needs the toolkit's display connection (fl_open_display),
// so this library needs an X display even when it only writes a file.
// User-interface thread only.
//
// Printing on a printer, as the Print command does:
//   Fl_Printer printer;
//   if (printer.start_job(0) == 0) {  // print dialog; page count unknown
//     FltkPageDevice device(printer);
//     printConversation(&device, conversation, currentProfile());
//     printer.end_job();
//   }
#pragma once

#include <string>
#include <vector>

#include "conversation/print_layout.h"

class Fl_Paged_Device;

namespace quelto {

class FltkPageDevice : public PageDevice {
 public:
  // `device` has had its job started (start_job) and is ended by the
  // caller (end_job) after printConversation.
  explicit FltkPageDevice(Fl_Paged_Device& device);

  PageGeometry geometry() override;
  int createFont(const PrintFontRequest& request) override;
  PrintFontMetrics fontMetrics(int font) override;
  void drawText(int font, int x, int y, const std::string& bytes) override;
  void drawLine(int x0, int y0, int x1, int y1) override;
  void startPage() override;
  void endPage() override;

 private:
  struct Font {
    int face;  // toolkit font number
    int size;  // points
  };
  void select(int font);

  Fl_Paged_Device& device_;
  std::vector<Font> fonts_;
};

// Lays the conversation out into an A4 PostScript file at `path` (replaced
// as a whole, the old file kept on failure). False when the file could not
// be written or the toolkit refused the job.
bool printConversationToPostScript(const std::string& path, const Conversation& conversation,
                                   const Profile& profile);

}  // namespace quelto
