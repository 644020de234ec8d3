#pragma once
// The stores of the news readers, seen as sources of messages: each source
// cuts its file into messages and each message into queued line pieces,
// ready for the Internet header reader. What separates the messages on disk
// (separator lines, index entries, data blocks, header blocks) is the
// source's business; reading the header, assembling the text and filing the
// message are shared (news_filer.h).

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/formats/shared/internet_header.h"
#include "text/line_piece.h"
#include "text/mime.h"

namespace qb::import::news {

// At most this many pieces of one message are queued (about 2 MB); the
// rest of an oversized message is read past. The text keeps 64000 bytes.
constexpr std::size_t kMaxMessagePieces = 5000;

struct SourceMessage {
  std::vector<text::LinePiece> pieces;
  std::size_t first = 0;  // the first header line
  bool indexed = false;   // `index` holds the article's index entry
  NewsIndexEntry index;

  void clear() {
    pieces.clear();
    first = 0;
    indexed = false;
    index = NewsIndexEntry{};
  }
};

class NewsSource {
 public:
  virtual ~NewsSource() = default;
  // Opens the file (command 199). False when it cannot be read.
  virtual bool open(const std::string& path) = 0;
  // The next message into `m` (cleared first); false when the file holds no
  // more.
  virtual bool next(SourceMessage& m) = 0;
  // Progress through the file, 0..1000.
  virtual int permille() const = 0;
};

// Cuts physical lines into line pieces and queues them as they stand (the
// body routine undoes the transfer encoding later). No line is cut short.
class LineCutter {
 public:
  explicit LineCutter(std::vector<text::LinePiece>& out) : out_(out) {}

  // One physical line, without its line end.
  void addLine(std::string_view line);
  // Bytes of a stream of lines ended by LF, CR LF or CR.
  void feed(std::string_view bytes);
  // Ends a partial line of feed().
  void flush();

 private:
  std::vector<text::LinePiece>& out_;
  std::string partial_;  // feed(): the line not yet ended
  bool skipLf_ = false;  // feed() ended on a CR: an LF that follows belongs to it
};

// The archive text of a queued message body from pieces[first] on: the
// pieces not marked removed, joined into lines, through the body routine
// (text/body_text.h) with the given form.
std::string messageText(const std::vector<text::LinePiece>& pieces, std::size_t first, const text::TextForm& form);

// The sources of the news formats (each in its own unit).
enum class Separation { None, FromLines, Equals };
// "Agent News", "Unix News": separated by "From " lines or by lines of eight
// "=", decided from the first 300 bytes of each file.
std::unique_ptr<NewsSource> makeAgentSource();
// "VirtualAccess": separated by lines of ten "=".
std::unique_ptr<NewsSource> makeVirtualAccessSource();
// "Winvn", "Generic Mail Type 2": separated by "From " lines.
std::unique_ptr<NewsSource> makeFromLineSource();
// "IE News", "Outlook Express 4 News": news cache files with index entries.
std::unique_ptr<NewsSource> makeNewsCacheSource();
// "Netscape News": news folder files.
std::unique_ptr<NewsSource> makeNetscapeSource();
// "Gravity": articles one after another, found by their header blocks.
std::unique_ptr<NewsSource> makeGravitySource();
// "Outlook Express 5 News", "Outlook Express 5 Mail": message databases.
std::unique_ptr<NewsSource> makeDbxSource();

// True when the line is a "From " separator (an envelope line, see
// import/formats/shared/envelope_line.h).
bool isFromSeparator(std::string_view line);

}  // namespace qb::import::news
