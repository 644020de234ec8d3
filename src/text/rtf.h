#pragma once
// RTF to text, for message bodies kept only as RTF (Outlook's compressed
// RTF body, once decompressed). One pass over the text:
//  - groups of the font, colour and style tables, document information,
//    pictures, objects and every "{\*\destination ...}" group are dropped;
//  - \par and \line end a line (CR LF), \tab is a tab, \uN is the character
//    N (the \ucN replacement characters after it are passed over), \'hh is a
//    byte of the document's code page (\ansicpgN; Windows-1252 when absent
//    or unknown), the quote and dash words are their characters;
//  - an RTF body that encapsulates HTML (\fromhtml1) gives back the HTML:
//    the text of the "{\*\htmltag...}" groups and the text outside
//    \htmlrtf ... \htmlrtf0 (the rendering-only parts).
// The result is UTF-8, at most about 64000 bytes (the rest is dropped).

#include <string>
#include <string_view>

namespace qb::text {

struct RtfText {
  std::string text;   // UTF-8
  bool html = false;  // the RTF encapsulated HTML; `text` is that HTML
};

RtfText rtfToText(std::string_view rtf);

}  // namespace qb::text
