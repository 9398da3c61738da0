// Printing a conversation: the page layout engine (headings, word wrap,
// tabs, page breaks, margins) over a small page-device seam, so that the
// same layout drives a printer, a PostScript file or a recording device in
// tests.
//
// Units: everything the engine gives to or gets from a device is in device
// pixels, with (0, 0) at the top-left corner of the printable area (the
// physical page minus the device's physical offsets).
//
// Threads: user-interface thread (devices draw with the toolkit).
#pragma once

#include <array>
#include <string>

namespace quelto {

class Conversation;
struct Profile;

// What a device tells the layout about its page, in device pixels.
struct PageGeometry {
  int offsetX = 0;  // physical offset of the printable area from the paper edge
  int offsetY = 0;
  int width = 0;   // physical page (paper) width
  int height = 0;  // physical page height
  int dpiX = 72;   // pixels per inch
  int dpiY = 72;
};

// A font request: face name as a word processor knows it ("Arial",
// "Courier New", "Times New Roman"), character height in device pixels.
struct PrintFontRequest {
  std::string faceName;
  int height = 0;
  bool bold = false;
  bool italic = false;
};

struct PrintFontMetrics {
  int ascent = 0;
  int descent = 0;
  std::array<int, 256> widths{};  // advance of every Windows-1252 byte
};

class PageDevice {
 public:
  virtual ~PageDevice() = default;
  virtual PageGeometry geometry() = 0;
  // Makes a font; returns a handle for the other calls (valid until the
  // end of printConversation).
  virtual int createFont(const PrintFontRequest& request) = 0;
  virtual PrintFontMetrics fontMetrics(int font) = 0;
  // Draws Windows-1252 bytes in black with the text's top-left corner at
  // (x, y).
  virtual void drawText(int font, int x, int y, const std::string& bytes) = 0;
  // A black line, both end points included.
  virtual void drawLine(int x0, int y0, int x1, int y1) = 0;
  virtual void startPage() = 0;
  virtual void endPage() = 0;
};

// The least printable width and height, in inches, a page must keep
// between its margins: room for the "Page n" heading, its rule and one line
// of the largest print size (36 points). With less the layout would start a
// page for nearly every character (thousands of pages for one
// conversation).
constexpr double kLeastPrintableInches = 1.0;

// The paper the margins are checked against before a printer is chosen: the
// narrower of A4 (8.27 in) and Letter (8.5 in) and the shorter of their
// heights (11.69 in, 11 in).
constexpr double kCheckedPaperWidthInches = 8.27;
constexpr double kCheckedPaperHeightInches = 11.0;

// Whether the profile's margins, in its units, leave at least
// kLeastPrintableInches across and down on A4 and on Letter paper.
// Personal Preferences refuses margins that do not.
bool marginsLeavePrintableArea(const Profile& profile);

// Lays the conversation out over the device: a "Page 1" heading and a
// heading rule, the call metadata in 18-point Times bold, a section rule,
// every line in the profile's print fonts (or its screen fonts with
// useScreenFaces) and capitals, word-wrapped between the profile's margins,
// with a "Page n" heading on each new page, and a closing section rule.
// False, with nothing drawn and no page started, when there is no device or
// when the margins leave less than kLeastPrintableInches across or down on
// the device's page; true otherwise.
bool printConversation(PageDevice* device, const Conversation& conversation,
                       const Profile& profile);

// The face name a toolkit face stands for on paper: family 0 "Arial",
// 4 "Courier New", anything else "Times New Roman" (the style bits aside).
std::string printFaceName(int face);

}  // namespace quelto
