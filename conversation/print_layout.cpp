#include "conversation/print_layout.h"

#include <cstdio>

#include "conversation/conversation.h"
#include "settings/profile.h"
#include "settings/translation.h"
#include "text/text_encoding.h"

namespace quelto {

namespace {

struct LoadedFont {
  int handle = 0;
  PrintFontMetrics metrics;
  int lineHeight() const { return metrics.ascent + metrics.descent; }
};

class PageLayout {
 public:
  PageLayout(PageDevice& device, const Profile& profile) : dev_(device) {
    const PageGeometry g = dev_.geometry();
    const double unitsPerInch = marginUnitFactor(profile.units);
    const auto atLeastZero = [](int v) { return v < 0 ? 0 : v; };
    top_ = atLeastZero(static_cast<int>(profile.topMargin / unitsPerInch * g.dpiY - g.offsetY));
    left_ = atLeastZero(static_cast<int>(profile.leftMargin / unitsPerInch * g.dpiX - g.offsetX));
    right_ = static_cast<int>(g.width - profile.rightMargin / unitsPerInch * g.dpiX - g.offsetX);
    bottom_ = static_cast<int>(g.height - profile.bottomMargin / unitsPerInch * g.dpiY);
    dpiX_ = g.dpiX;
    dpiY_ = g.dpiY;
    x_ = left_;
    y_ = top_;
  }

  bool hasRoom() const {
    return right_ - left_ >= kLeastPrintableInches * dpiX_ &&
           bottom_ - top_ >= kLeastPrintableInches * dpiY_;
  }

  LoadedFont makeFont(const std::string& faceName, int points, bool bold, bool italic) {
    // Character height from the horizontal resolution, as the page was
    // always laid out.
    PrintFontRequest r{faceName, points * dpiX_ / 72, bold, italic};
    LoadedFont f;
    f.handle = dev_.createFont(r);
    f.metrics = dev_.fontMetrics(f.handle);
    return f;
  }

  void setHeadingFont(const LoadedFont& f) { heading_ = f; }

  void startFirstPage() {
    dev_.startPage();
    printText(heading_, "Page 1");
    headingRule();
  }

  void finish() {
    sectionRule();
    dev_.endPage();
  }

  void headingRule() {
    x_ = left_;
    dev_.drawLine(left_, y_, right_, y_);
    y_ += heading_.lineHeight() / 2;
  }

  void sectionRule() {
    y_ += heading_.lineHeight() / 2;
    headingRule();
  }

  void printText(const LoadedFont& font, const std::string& text) {
    // The page heading is printed from inside printText; one more level
    // would mean the heading itself broke the page.
    if (depth_ >= 2) return;
    ++depth_;
    const int h = font.lineHeight();
    const auto& w = font.metrics.widths;
    x_ = left_;
    if (text.empty()) {
      y_ += h;
      --depth_;
      return;
    }
    std::string run;
    for (const char c : text) {
      const auto ch = static_cast<unsigned char>(c);
      if (ch == 13) continue;
      if (ch == 10) {
        write(font, run);
        run.clear();
        y_ += h;
        x_ = left_;
        continue;
      }
      if (x_ + w[ch] > right_) {
        const size_t space = run.rfind(' ');
        if (space != std::string::npos && space >= 1) {
          write(font, run.substr(0, space));
          run.erase(0, space + 1);
        } else {
          write(font, run);
          run.clear();
        }
        x_ = left_ + widthOf(font, run);
        y_ += h;
      }
      if (y_ + h > bottom_) {
        dev_.endPage();
        dev_.startPage();
        y_ = top_;
        ++page_;
        char heading[32];
        std::snprintf(heading, sizeof heading, "Page %d", page_);
        printText(heading_, heading);
        headingRule();
        // The run carried over still goes at the start of the new row.
        x_ = left_ + widthOf(font, run);
      }
      if (ch == 9) {
        run += "    ";
        x_ += 4 * w[' '];
      } else {
        run.push_back(c);
        x_ += w[ch];
      }
    }
    if (!run.empty()) write(font, run);
    if (static_cast<unsigned char>(text.back()) != 10) y_ += h;
    --depth_;
  }

 private:
  static int widthOf(const LoadedFont& font, const std::string& bytes) {
    int sum = 0;
    for (const char c : bytes) sum += font.metrics.widths[static_cast<unsigned char>(c)];
    return sum;
  }

  void write(const LoadedFont& font, const std::string& bytes) {
    if (!bytes.empty()) dev_.drawText(font.handle, left_, y_, bytes);
  }

  PageDevice& dev_;
  LoadedFont heading_;
  int top_ = 0, left_ = 0, right_ = 0, bottom_ = 0;
  int dpiX_ = 72;
  int dpiY_ = 72;
  int x_ = 0, y_ = 0;
  int page_ = 1;
  int depth_ = 0;
};

std::string foldCase(std::string text, bool capitals, bool lowerOtherwise) {
  for (char& c : text) {
    if (capitals && c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
    else if (!capitals && lowerOtherwise && c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  }
  return text;
}

// A translated heading in Windows-1252, or the fallback when the
// translation is empty.
std::string headingText(Text text, const char* fallback) {
  const std::string t = translate(text);
  return utf8ToCp1252(t.empty() ? fallback : t);
}

}  // namespace

std::string printFaceName(int face) {
  switch (face & ~3) {
    case 0:
      return "Arial";
    case 4:
      return "Courier New";
    default:
      return "Times New Roman";
  }
}

bool marginsLeavePrintableArea(const Profile& p) {
  // As the layout reads them: a negative top or left margin counts as none,
  // a negative right or bottom one reaches past the paper's edge.
  const double perInch = marginUnitFactor(p.units);
  const auto atLeastZero = [](double v) { return v < 0 ? 0.0 : v; };
  const double across =
      kCheckedPaperWidthInches - (atLeastZero(p.leftMargin) + p.rightMargin) / perInch;
  const double down =
      kCheckedPaperHeightInches - (atLeastZero(p.topMargin) + p.bottomMargin) / perInch;
  // Written so that a margin that is not a number is refused too.
  return across >= kLeastPrintableInches && down >= kLeastPrintableInches;
}

bool printConversation(PageDevice* device, const Conversation& c, const Profile& p) {
  if (!device) return false;
  PageLayout page(*device, p);
  if (!page.hasRoom()) return false;

  const bool screen = p.useScreenFaces != 0;
  const int sentFace = screen ? p.sentTextFace : p.printSentTextFace;
  const int sentSize = screen ? p.sentTextSize : p.printSentTextSize;
  const bool sentCaps = (screen ? p.sentTextCapitals : p.printSentTextCapitals) != 0;
  const int recvFace = screen ? p.receivedTextFace : p.printReceivedTextFace;
  const int recvSize = screen ? p.receivedTextSize : p.printReceivedTextSize;
  const bool recvCaps = (screen ? p.receivedTextCapitals : p.printReceivedTextCapitals) != 0;

  const LoadedFont heading = page.makeFont("Times New Roman", 18, true, false);
  const LoadedFont sent =
      page.makeFont(printFaceName(sentFace), sentSize, sentFace & 1, sentFace & 2);
  const LoadedFont received =
      page.makeFont(printFaceName(recvFace), recvSize, recvFace & 1, recvFace & 2);
  page.setHeadingFont(heading);

  page.startFirstPage();
  const std::string call = c.incoming ? headingText(Text::ReceivedCall, "Received Call From")
                                      : headingText(Text::PlacedCall, "Placed Call To");
  page.printText(heading, call + ": " + c.caller);
  page.printText(heading, "Date: " + c.date);
  page.printText(heading, "Notes: " + c.notes);
  page.printText(heading, headingText(Text::PrintedBy, "Printed by") + ": " +
                              utf8ToCp1252(p.firstName) + " " + utf8ToCp1252(p.lastName));
  page.sectionRule();

  for (const auto& line : c.lines) {
    const std::string text = line->text.substr(1);
    if (line->isReceived())
      page.printText(received, foldCase(text, recvCaps, true));
    else
      page.printText(sent, foldCase(text, sentCaps, false));
  }
  page.finish();
  return true;
}

}  // namespace quelto
