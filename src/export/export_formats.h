#pragma once
// The export formats of the old readers and the Internet formats: their
// numbers, names, the lists offered per database kind, default file names,
// and the header lines each format writes for a message.
//
// Header lines are built as UTF-8; the writer turns them into the format's
// character set (exportCharset).

#include <cstdint>
#include <string>
#include <vector>

#include "export/export_message.h"

namespace qb::exporting {

// Format numbers as the settings keep them. "Generic Mail Type 2" (mail)
// and "Unix News" (newsgroups) share 5. The Internet formats are this
// program's own way out to today's mail programs.
enum ExportFormat : int {
  FormatTapcis = 1,
  FormatEudora = 2,
  FormatGeneric1 = 3,
  FormatOzWin = 4,
  FormatGeneric2 = 5,
  FormatUnixNews = 5,
  FormatMbox = 10,
  FormatMaildir = 11,
};

struct FormatChoice {
  const char* name;
  int number;
};

// The format list of a database kind, in the order the window offers it
// (the old readers' formats, then "mbox" and "Maildir").
const std::vector<FormatChoice>& formatList(uint8_t kind);
// The number of a format name (any letter case; "generic1", "unixnews" and
// the like also work) for a kind; 0 when the kind does not offer it.
int formatNumber(uint8_t kind, const std::string& name);
// The name of a format number for a kind; empty when not offered.
std::string formatName(uint8_t kind, int number);

// Whether the format writes two files (inbox and outbox).
bool writesTwoFiles(uint8_t kind, int format);
// Default file names of a format ("SaveMsg.Txt", "InBox.Mbx", ...).
// `database` is the database's name (the OzWin II forum file and the
// Internet formats are named after it).
void defaultFileNames(uint8_t kind, int format, const std::string& database, std::string& inbox,
                      std::string& outbox);

// The character set the format's files are written in.
const char* exportCharset(int format);

// ---- pieces of the header lines --------------------------------------------
// "05-Mar-97" (forums) and "05-Mar-1997" (news, mail).
std::string forumDate(int32_t dayNo);
std::string newsDate(int32_t dayNo);

// Name texts (see the export notes in docs/export.md).
enum class NameUse {
  Forum,          // A; L A; F L A
  Internet,       // <A>; L <A>; F L <A> (CompuServe numbers with the mail domain)
  Tapcis,         // mail format 1: A / INTERNET:A
  OzWinSender,    // mail format 4: with the DOS vertical line
  OzWinReceiver,  // mail format 4: with a blank
};
std::string nameText(const NameParts& p, NameUse use);
// The Internet form of an address: a CompuServe number (no "@") gets the
// CompuServe mail domain, its comma becoming a full stop.
std::string internetAddress(const std::string& address);
bool isCompuServeNumber(const std::string& address);

// The header lines of a message in a format (set export); `sent` decides
// the inbox/outbox variant of mail formats 2 and 4.
std::vector<std::string> headerLines(const ExportMessage& m, int format, bool sent);
// The header lines of a single message (the clipboard copy and printing).
std::vector<std::string> singleHeaderLines(const ExportMessage& m);

// Breaks one line at the last blank at or before `column` (the blank is
// dropped; a double blank drops two), or after `column` when the first
// `column` characters hold none.
std::vector<std::string> wrapLine(const std::string& line, std::size_t column);
// Splits a text at its line ends ("\r\n", and a lone "\n" or "\r").
std::vector<std::string> splitLines(const std::string& text);

}  // namespace qb::exporting
